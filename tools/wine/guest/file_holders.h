// Other processes that keep files open the way a running viewer would, so the program meets
// a file in use: orbhold.exe opens the file without FILE_SHARE_DELETE and waits.
#pragma once

#include <string>
#include <vector>

#include "win_handle.h"

namespace guest {

class FileHolders {
 public:
  FileHolders() = default;
  FileHolders(const FileHolders&) = delete;
  FileHolders& operator=(const FileHolders&) = delete;
  ~FileHolders() { ReleaseAll(); }

  // Starts a holder for the file and waits until it has the file open. holderExe is the
  // holder program. Returns false with error filled when the holder could not take the file.
  bool Hold(const std::wstring& holderExe, const std::wstring& path, std::wstring& error);
  void ReleaseAll();

 private:
  std::vector<UniqueHandle> processes_;
};

}  // namespace guest
