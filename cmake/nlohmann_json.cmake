# nlohmann/json (Debian's nlohmann-json3-dev, header only) for the run record, as the
# interface library halvex_json. Both builds use the host's one header: the cross build gets
# an include folder of its own that holds only the nlohmann folder (a link made at configure
# time), never the host's whole /usr/include.
set(HALVEX_NLOHMANN_DIR /usr/include/nlohmann CACHE PATH "Folder of nlohmann/json.hpp")
if(NOT EXISTS ${HALVEX_NLOHMANN_DIR}/json.hpp)
  message(FATAL_ERROR "nlohmann/json.hpp not found in ${HALVEX_NLOHMANN_DIR}: install "
                      "nlohmann-json3-dev (scripts/lib/deps.sh)")
endif()
set(HALVEX_JSON_INCLUDE_DIR ${CMAKE_BINARY_DIR}/third_party/include)
file(MAKE_DIRECTORY ${HALVEX_JSON_INCLUDE_DIR})
file(CREATE_LINK ${HALVEX_NLOHMANN_DIR} ${HALVEX_JSON_INCLUDE_DIR}/nlohmann SYMBOLIC)
add_library(halvex_json INTERFACE)
target_include_directories(halvex_json SYSTEM INTERFACE ${HALVEX_JSON_INCLUDE_DIR})
