// Where the resident installer keeps the files it receives: a folder on the host. A file is
// written to a temporary name and renamed when it is complete, so the folder never shows a
// partial file under the remote name.
#ifndef HALVEX_SIM_SIM_STORE_H
#define HALVEX_SIM_SIM_STORE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "util/no_copy.h"

namespace sim {

class cSimStore : private cNoCopy {
 public:
  explicit cSimStore(const std::string& szDir);
  ~cSimStore();

  // Creates the folder when it is missing. False with a reason when it cannot be used.
  bool Prepare(std::string& szError);

  // Checks the text of a remote name: false with a reason when it is empty, absolute, holds a
  // "." or ".." or empty component (either slash separates), a control byte, or more than 259
  // characters.
  static bool CheckName(const std::string& szName, std::string& szWhy);

  // Starts a file under the remote name (which must pass CheckName); creates its subfolders.
  // False with a reason when the name would pass through a link or names a folder.
  bool Begin(const std::string& szName, std::string& szError);
  bool Append(const uint8_t* data, size_t n, std::string& szError);
  // Renames the complete file to its name; szPath receives where it lies.
  bool Commit(std::string& szPath, std::string& szError);
  // Drops the file being received, if any.
  void Abort();
  bool IsOpen() const { return fd >= 0; }

 private:
  std::string szDir;
  std::string szTempPath;
  std::string szTargetPath;
  int fd;
};

}  // namespace sim

#endif
