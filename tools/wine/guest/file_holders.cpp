#include "file_holders.h"

#include <windows.h>

namespace guest {

bool FileHolders::Hold(const std::wstring& holderExe, const std::wstring& path,
                       std::wstring& error) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  UniqueHandle ready(CreateEventW(&inherit, TRUE, FALSE, nullptr));
  if (!ready) {
    error = L"cannot create the holder's event";
    return false;
  }
  std::wstring commandLine = L"\"" + holderExe + L"\" " +
                             std::to_wstring(reinterpret_cast<ULONG_PTR>(ready.get())) + L" " +
                             path;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(holderExe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      nullptr, &startup, &info)) {
    error = L"cannot start the holder " + holderExe;
    return false;
  }
  CloseHandle(info.hThread);
  UniqueHandle process(info.hProcess);
  // The holder signals once it has the file open; if it ends first, it could not.
  HANDLE waits[] = {ready.get(), process.get()};
  const DWORD which = WaitForMultipleObjects(2, waits, FALSE, 10000);
  if (which != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    error = L"the holder could not open " + path;
    return false;
  }
  processes_.push_back(std::move(process));
  return true;
}

void FileHolders::ReleaseAll() {
  for (UniqueHandle& process : processes_) {
    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 5000);
  }
  processes_.clear();
}

}  // namespace guest
