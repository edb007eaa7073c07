# What every target of the project is built with: the source root as its include folder (headers
# are named "folder/file.h"), warnings as errors, and on Windows the system version it targets.
# Third-party code (GoogleTest) is not held to these.
function(halvex_target target)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    return()
  endif()
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(WIN32)
    target_compile_definitions(${target} PUBLIC _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
  endif()
endfunction()
