// Helpers shared by the fuzz targets.
#ifndef HALVEX_FUZZ_FUZZ_SUPPORT_H
#define HALVEX_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// Notices go nowhere (a fuzz run would print thousands of them).
void SilenceNotices();

// Stops the run with a report when a property of the code under test does not hold.
void Require(bool bHolds, const char* szWhat);

// The input cut at NUL bytes (the last piece may be empty).
std::vector<std::string> SplitAtNul(const uint8_t* data, size_t size);

}  // namespace fuzz

#endif
