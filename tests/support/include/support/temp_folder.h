// A fresh folder for one test, removed with everything in it when the object goes, and the
// few whole-file helpers the tests share.
//
//   cTempFolder folder;                      a place for files: GetPath(), PathOf("a/b.bin")
//   cTempFolder folder(cTempFolder::ENTER);  also the working folder while it lives, for code
//                                            that reads relative paths ("packages/...")
//   folder.WriteFile("packages/A.pkg", "[files]\r\nmain=a.bin\r\n");
#ifndef HALVEX_TESTS_SUPPORT_TEMP_FOLDER_H
#define HALVEX_TESTS_SUPPORT_TEMP_FOLDER_H

#include <cstdint>
#include <string>

#include "util/no_copy.h"

class cTempFolder : private cNoCopy {
 public:
  enum eEnter { STAY, ENTER };

  explicit cTempFolder(eEnter enter = STAY);
  ~cTempFolder();

  const std::string& GetPath() const { return szFolder; }
  // The path of a file or folder below it; relative paths use '/' and may be UTF-8.
  std::string PathOf(const std::string& relative) const;
  // Creates a folder (and its parents) below it.
  void MakeFolder(const std::string& relative) const;
  // Writes bytes to a file below it, creating its folders; returns the file's path.
  std::string WriteFile(const std::string& relative, const std::string& bytes) const;
  // A file of size bytes whose content is not written (sparse where the system allows).
  bool MakeSized(const std::string& relative, uint64_t size) const;

 private:
  std::string szFolder;
  std::string szPrevious;  // the working folder to return to (ENTER)
};

// The bytes of a file; false (or "") when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
std::string ReadWholeFile(const std::string& path);
bool AppendToFile(const std::string& path, const std::string& bytes);
// True when both files can be read and hold the same bytes (read a block at a time: for images
// of any size).
bool SameFileBytes(const std::string& pathA, const std::string& pathB);
bool ResizeFile(const std::string& path, uint64_t size);
// Number of this process's open descriptors that refer to path; -1 where it cannot be told.
int CountOpenHandles(const std::string& path);

#endif
