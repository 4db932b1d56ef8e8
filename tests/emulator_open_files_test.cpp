// The emulated open files against Windows' behaviour: sharing modes checked against every other
// way of touching the file, ReadFile's counts, and the handle table that shows leaks and
// double closes.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/emulated/session.h"
#include "platform_api.h"
#include "support/case_name.h"
#include "support/new_session.h"

namespace {

const std::string kCopy = "C:\\WINDOWS\\TEMP\\obuninst.tmp";
const std::string kTemp = "C:\\WINDOWS\\TEMP";
const std::string kOther = "C:\\Other.exe";
const std::string kLinkedTemp = "C:\\Users\\pat\\Temp";  // a link to C:\WINDOWS\TEMP
const emu::Bytes kCopyBytes = {'M', 'Z', 'c', 'o', 'p', 'y'};

emu::Session SampleFiles() {
  emu::Session session = test::NewSession();
  session.machine.files.CreateFile(kCopy, kCopyBytes);
  session.machine.files.CreateFile(kOther, {'o'});
  session.machine.files.CreateFile("C:\\Users\\pat\\Temp").linkTarget = kTemp;
  session.machine.files.Find("C:\\Users\\pat\\Temp")->directory = true;
  return session;
}

HANDLE Open(const std::string& path, DWORD access, DWORD share) {
  return CreateFileA(path.c_str(), access, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

// What a second program tries while the copy is held open; returns the call's result and
// leaves the last error set.
using Attempt = std::function<BOOL()>;

struct SharingCase {
  const char* behaviour;
  DWORD access;  // the holder's open of the copy
  DWORD share;
  Attempt attempt;
  DWORD error;  // 0: the attempt succeeds
};

BOOL OpenSucceeds(DWORD access, DWORD share) {
  HANDLE handle = Open(kCopy, access, share);
  if (handle == INVALID_HANDLE_VALUE) return FALSE;
  CloseHandle(handle);
  return TRUE;
}

STARTUPINFOA Startup() {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  return startup;
}

BOOL Start() {
  STARTUPINFOA startup = Startup();
  PROCESS_INFORMATION started;
  std::string line = "\"" + kCopy + "\" C:\\x";
  return CreateProcessA(kCopy.c_str(), line.data(), NULL, NULL, FALSE, 0, NULL, kTemp.c_str(),
                        &startup, &started);
}

const DWORD kReadOnly = FILE_SHARE_READ;
const DWORD kAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

const SharingCase kSharingCases[] = {
    {"a copy from it is refused when the holder writes", GENERIC_READ | GENERIC_WRITE, kAll,
     [] { return CopyFileA(kCopy.c_str(), "C:\\WINDOWS\\TEMP\\twin.tmp", TRUE); },
     ERROR_SHARING_VIOLATION},
    {"a start from it is allowed while reads are shared", GENERIC_READ, kReadOnly, Start, 0},
    {"a start from it is refused when the holder writes", GENERIC_WRITE, kAll, Start,
     ERROR_SHARING_VIOLATION},
    {"the folder above cannot be renamed", GENERIC_READ, kAll,
     [] { return MoveFileA(kTemp.c_str(), "C:\\WINDOWS\\TEMP2"); }, ERROR_ACCESS_DENIED},
    {"a link on the way to it can be renamed", GENERIC_READ, kReadOnly,
     [] { return MoveFileA(kLinkedTemp.c_str(), "C:\\Users\\pat\\Temp2"); }, 0},
    {"an open for attributes only is never refused", GENERIC_READ, 0,
     [] { return OpenSucceeds(0, 0); }, 0},
};

class Sharing : public testing::TestWithParam<SharingCase> {};

TEST_P(Sharing, WhileTheCopyIsHeld) {
  const SharingCase& c = GetParam();
  emu::Session session = SampleFiles();
  // Working in the drive root, so that only the open file holds the temp folder.
  emu::ActiveProcess process(session, "C:\\", "C:\\Launcher.exe");
  HANDLE held = Open(kCopy, c.access, c.share);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  SetLastError(0xDEAD);
  EXPECT_EQ(c.attempt(), c.error ? FALSE : TRUE);
  EXPECT_EQ(GetLastError(), c.error ? c.error : 0xDEAD);
  EXPECT_TRUE(CloseHandle(held));
  EXPECT_TRUE(emu::OpenFileCount(session) == 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, Sharing, testing::ValuesIn(kSharingCases), test::ByBehaviour);

struct OpenCase {
  const char* behaviour;
  std::string path;
  DWORD access;
  DWORD disposition;
  DWORD error;  // 0: opened
};

const OpenCase kOpenCases[] = {
    {"an existing file opens", kCopy, GENERIC_READ, OPEN_EXISTING, 0},
    {"a link on the way is followed", kLinkedTemp + "\\obuninst.tmp", GENERIC_READ, OPEN_EXISTING,
     0},
    {"a missing file is not found", kTemp + "\\none.tmp", GENERIC_READ, OPEN_EXISTING,
     ERROR_FILE_NOT_FOUND},
    {"a missing folder is path not found", "C:\\Nope\\x", GENERIC_READ, OPEN_EXISTING,
     ERROR_PATH_NOT_FOUND},
    {"a folder needs backup semantics", kTemp, GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
    {"a file with a trailing backslash is an invalid name", kCopy + "\\", GENERIC_READ,
     OPEN_EXISTING, ERROR_INVALID_NAME},
    {"the running image cannot be opened for writing", "C:\\Launcher.exe", GENERIC_WRITE,
     OPEN_EXISTING, ERROR_SHARING_VIOLATION},
    {"the running image can be opened for reading", "C:\\Launcher.exe", GENERIC_READ, OPEN_EXISTING,
     0},
    {"a path of 260 characters is too long", "C:\\" + std::string(300, 'n'), GENERIC_READ,
     OPEN_EXISTING, ERROR_FILENAME_EXCED_RANGE},
    {"a disposition out of range is refused", kCopy, GENERIC_READ, 9, ERROR_INVALID_PARAMETER},
};

class OpenFile : public testing::TestWithParam<OpenCase> {};

TEST_P(OpenFile, Attempt) {
  const OpenCase& c = GetParam();
  emu::Session session = SampleFiles();
  session.machine.files.CreateFile("C:\\Launcher.exe", {'M', 'Z'});
  emu::ActiveProcess process(session, kTemp, "C:\\Launcher.exe");
  SetLastError(0xDEAD);
  HANDLE handle = CreateFileA(c.path.c_str(), c.access, FILE_SHARE_READ, NULL, c.disposition,
                              FILE_ATTRIBUTE_NORMAL, NULL);
  if (c.error) {
    EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_TRUE(emu::OpenFileCount(session) == 0);
  } else {
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(emu::OpenFileCount(session), 1u);
    EXPECT_TRUE(CloseHandle(handle));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, OpenFile, testing::ValuesIn(kOpenCases), test::ByBehaviour);

TEST(FileHandles, ALeakAndADoubleCloseShowInTheTable) {
  emu::Session session = SampleFiles();
  {
    emu::ActiveProcess process(session, kTemp, "C:\\Launcher.exe");
    HANDLE closedTwice = Open(kCopy, GENERIC_READ, FILE_SHARE_READ);
    EXPECT_TRUE(CloseHandle(closedTwice));
    EXPECT_FALSE(CloseHandle(closedTwice));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    Open(kCopy, GENERIC_READ, FILE_SHARE_READ);  // never closed
    EXPECT_FALSE(DeleteFileA(kCopy.c_str())) << "the leaked handle holds the file";
  }
  EXPECT_EQ(session.record.badHandleCloses.size(), 1u);
  ASSERT_EQ(session.record.leakedHandles.size(), 1u);
  EXPECT_EQ(session.record.leakedHandles[0].rfind("process 1: file 2 \"C:", 0), 0u);
  EXPECT_NE(session.record.leakedHandles[0].find("obuninst.tmp"), std::string::npos);
  EXPECT_TRUE(emu::OpenFileCount(session) == 0) << "Windows closes what an ended process held";
  emu::ActiveProcess later(session, kTemp, "C:\\Launcher.exe");
  EXPECT_TRUE(DeleteFileA(kCopy.c_str()));
}

TEST(FileHandles, AFileDeletedWhileOpenIsStillReadThroughItsHandle) {
  emu::Session session = SampleFiles();
  emu::ActiveProcess process(session, kTemp, "C:\\Launcher.exe");
  HANDLE handle = Open(kCopy, GENERIC_READ, kAll);
  ASSERT_TRUE(DeleteFileA(kCopy.c_str()));
  EXPECT_EQ(session.machine.files.Find(kCopy), nullptr);
  BYTE buffer[16];
  DWORD count = 0;
  ASSERT_TRUE(ReadFile(handle, buffer, sizeof(buffer), &count, NULL));
  EXPECT_EQ(emu::Bytes(buffer, buffer + count), kCopyBytes);
  CloseHandle(handle);
}

}  // namespace
