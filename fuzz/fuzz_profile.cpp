// The profile reader on any text: section, key and text from the input, and an output
// buffer of the size the first byte chooses, exactly that large on the heap.
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t outSize = data[0];
  const std::vector<std::string> pieces = fuzz::SplitAtNul(data + 1, size - 1);
  // section NUL key NUL text (the text may hold NUL bytes of its own).
  const std::string section = pieces.size() > 1 ? pieces[0] : "files";
  const std::string key = pieces.size() > 2 ? pieces[1] : "main";
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  if (pieces.size() > 2) text = text.substr(pieces[0].size() + pieces[1].size() + 2);

  std::unique_ptr<char[]> out(new char[outSize == 0 ? 1 : outSize]);
  const bool bFits = platform::ReadProfileValue(text, section.c_str(), key.c_str(),
                                                outSize == 0 ? nullptr : out.get(), outSize);
  if (outSize > 0) {
    fuzz::Require(std::memchr(out.get(), '\0', outSize) != nullptr, "the value is terminated");
  } else {
    fuzz::Require(!bFits, "no buffer holds no value");
  }
  return 0;
}
