#include "platform/open_failure.h"

#include <cerrno>
#include <cstring>

namespace platform {

std::string DescribeOpenErrno(int port, const std::string& path, int error,
                              const std::string& ownerGroup) {
  const std::string com = "COM" + std::to_string(port);
  std::string text = path + " (" + com + "): " + std::strerror(error) + ".";
  switch (error) {
    case ENOENT:
      text += " Map " + com + " to the adapter's device with HALVEX_" + com +
              "=<device>, best a stable /dev/serial/by-id/... path (halvex-installer -PORTS"
              " lists them).";
      break;
    case ENODEV:
    case ENXIO:
    case EIO:
      text += " No port hardware answers there. Map " + com +
              " to the adapter's device with"
              " HALVEX_" +
              com + "=<device> (halvex-installer -PORTS lists them).";
      break;
    case EACCES:
    case EPERM: {
      const std::string group = ownerGroup.empty() ? std::string("dialout") : ownerGroup;
      text += " The user must be in the group that owns the device (" + group +
              "): sudo usermod -a -G " + group + " $USER, then log in again.";
      break;
    }
    case EBUSY:
      text +=
          " Another program holds the port (a terminal program, ModemManager, another"
          " installer); close it and try again.";
      break;
    case ENOTTY:
      text += " That path is not a serial device.";
      break;
    default:
      break;
  }
  return text;
}

}  // namespace platform
