// The version an image file carries in its name.
#ifndef HALVEX_SIM_SIM_VERSION_H
#define HALVEX_SIM_SIM_VERSION_H

#include <string>

namespace sim {

// Six characters, two each for major, minor and patch, stand just before the name's last
// point ('main_010203.bin' is 1.2.3); a name without a point uses its last six characters when
// it is longer than six. Each pair is read like atoi. False (and "?.?.?") when the name carries
// no version; otherwise "%d.%d.%d".
bool GetVersionFromImageName(const std::string& szName, std::string& szVersion);

}  // namespace sim

#endif
