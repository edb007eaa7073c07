// A fresh folder that the test works in; the working directory returns when it goes.
#ifndef HALVEX_TESTS_SUPPORT_TEMP_FOLDER_H
#define HALVEX_TESTS_SUPPORT_TEMP_FOLDER_H

#include <string>

class cTempFolder {
 public:
  cTempFolder();
  ~cTempFolder();
  cTempFolder(const cTempFolder&) = delete;
  cTempFolder& operator=(const cTempFolder&) = delete;

  const std::string& GetPath() const { return folder; }

  // Creates a folder (and its parents) below the working folder; relative paths use '/'.
  void MakeFolder(const std::string& relative) const;
  // Writes a file below the working folder.
  void WriteFile(const std::string& relative, const std::string& content) const;

 private:
  std::string folder;
  std::string previous;
};

#endif
