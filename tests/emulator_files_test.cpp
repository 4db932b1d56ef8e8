// What only the emulated machine has of files: locks and the launcher's image release, running
// images and current folders in use, links as machine images lay them, faults, restart records
// and Windows 9x. What Windows does with files the conformance cases hold (tests/conformance/).
#include <gtest/gtest.h>

#include <string>

#include "platform/emulated/session.h"
#include "platform_api.h"
#include "support/case_name.h"
#include "support/new_session.h"

namespace {

const std::string kExe = test::kInstalledExe;  // C:\Program Files\Orbelle\Uninstall.exe
const std::string kFolder = "C:\\Program Files\\Orbelle";
const std::string kLong = "C:\\" + std::string(300, 'n');

// The install folder with the exe and a help file, an empty folder, the temp folder, a link to
// a system file, and a path too long for the program's own calls.
emu::Session SampleFiles() {
  emu::Session session = test::NewSession();
  session.machine.files.CreateFile(kExe, {'M', 'Z'});
  session.machine.files.CreateFile(kFolder + "\\Orbelle.hlp", {'h'});
  session.machine.files.CreateFolder("C:\\Empty");
  session.machine.files.CreateFolder("C:\\WINDOWS\\TEMP");
  session.machine.files.CreateFile("C:\\WINDOWS\\SYSTEM\\USER.EXE", {'u'});
  session.machine.files.CreateFile("C:\\WINDOWS\\TEMP\\obuninst.tmp").linkTarget =
      "C:\\WINDOWS\\SYSTEM\\USER.EXE";
  session.machine.files.CreateFile(kLong);
  return session;
}

struct DeleteCase {
  const char* behaviour;
  std::string path;
  DWORD error;  // 0: deleted
  bool lockAlways;
  std::string image;  // the running process's image ("" = a file not on this list)
};

const DeleteCase kDeleteCases[] = {
    {"a locked file is a sharing violation", kFolder + "\\Orbelle.hlp", ERROR_SHARING_VIOLATION,
     true, ""},
    {"the running image is access denied", kExe, ERROR_ACCESS_DENIED, false, kExe},
    {"a link is deleted, not its target", "C:\\WINDOWS\\TEMP\\obuninst.tmp", 0, false, ""},
};

class DeleteFile : public testing::TestWithParam<DeleteCase> {};

TEST_P(DeleteFile, Attempt) {
  const DeleteCase& c = GetParam();
  emu::Session session = SampleFiles();
  if (c.lockAlways) session.scenario.faults.locked[emu::UpperName(c.path)] = {true, 0};
  emu::ActiveProcess process(session, "C:\\WINDOWS\\TEMP",
                             c.image.empty() ? "C:\\WINDOWS\\TEMP\\w.tmp" : c.image);
  EXPECT_EQ(DeleteFileA(c.path.c_str()), c.error ? FALSE : TRUE);
  if (c.error) {
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(session.machine.files.Find(c.path) == nullptr,
            c.error == 0 || c.error == ERROR_FILE_NOT_FOUND);
  EXPECT_NE(session.machine.files.Find("C:\\WINDOWS\\SYSTEM\\USER.EXE"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, DeleteFile, testing::ValuesIn(kDeleteCases), test::ByBehaviour);

struct HoldCase {
  const char* behaviour;
  int locked;    // [locked] N on the launcher's file
  int release;   // image_release R
  int failures;  // deletions that fail before one succeeds: max(N, R)
};

const HoldCase kHoldCases[] = {
    {"a lock alone", 2, 0, 2},
    {"the image release alone", 0, 3, 3},
    {"the release outlasts the lock", 2, 3, 3},
    {"the lock outlasts the release", 4, 1, 4},
};

class LauncherFileHold : public testing::TestWithParam<HoldCase> {};

TEST_P(LauncherFileHold, CountsEveryAttemptAgainstEveryLock) {
  const HoldCase& c = GetParam();
  emu::Session session = SampleFiles();
  session.scenario.faults.locked[emu::UpperName(kExe)] = {false, c.locked};
  session.scenario.faults.imageRelease = c.release;
  emu::ActiveProcess worker(session, "C:\\WINDOWS\\TEMP", "C:\\WINDOWS\\TEMP\\w.tmp");
  for (int attempt = 1; attempt <= c.failures; ++attempt) {
    EXPECT_FALSE(DeleteFileA(kExe.c_str())) << "attempt " << attempt;
  }
  EXPECT_TRUE(DeleteFileA(kExe.c_str()));
  EXPECT_EQ(emu::ImageReleasesLeft(session), 0);
  EXPECT_EQ(emu::LockFailuresLeft(session, emu::UpperName(kExe)), 0);
  EXPECT_EQ(session.scenario.faults.imageRelease, c.release) << "the scenario is only read";
}

INSTANTIATE_TEST_SUITE_P(Cases, LauncherFileHold, testing::ValuesIn(kHoldCases), test::ByBehaviour);

struct RemoveCase {
  const char* behaviour;
  std::string path;
  DWORD error;  // 0: removed
};

const RemoveCase kRemoveCases[] = {
    {"a drive letter alone is the root", "C:", ERROR_ACCESS_DENIED},
    {"the current folder of a running process is in use", "C:\\WINDOWS\\TEMP",
     ERROR_SHARING_VIOLATION},
};

class RemoveDirectory : public testing::TestWithParam<RemoveCase> {};

TEST_P(RemoveDirectory, Attempt) {
  const RemoveCase& c = GetParam();
  emu::Session session = SampleFiles();
  emu::ActiveProcess process(session, "C:\\WINDOWS\\TEMP");
  EXPECT_EQ(RemoveDirectoryA(c.path.c_str()), c.error ? FALSE : TRUE);
  if (c.error) {
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(session.machine.files.Find(c.path) == nullptr,
            c.error == 0 || c.error == ERROR_FILE_NOT_FOUND);
}

INSTANTIATE_TEST_SUITE_P(Cases, RemoveDirectory, testing::ValuesIn(kRemoveCases),
                         test::ByBehaviour);

struct CopyCase {
  const char* behaviour;
  std::string to;
  BOOL failIfExists;
  DWORD error;          // 0: copied
  std::string written;  // the file that holds the exe's bytes afterwards
};

const CopyCase kCopyCases[] = {
    {"a new file is created", "C:\\WINDOWS\\TEMP\\new.tmp", FALSE, 0, "C:\\WINDOWS\\TEMP\\new.tmp"},
    {"a locked destination is a sharing violation", "C:\\WINDOWS\\SYSTEM\\USER.EXE", FALSE,
     ERROR_SHARING_VIOLATION, ""},
    {"the running image cannot be written", "C:\\WINDOWS\\TEMP\\w.tmp", FALSE,
     ERROR_SHARING_VIOLATION, ""},
    {"a link destination writes its target", "C:\\WINDOWS\\TEMP\\obuninst.tmp", FALSE, 0,
     "C:\\WINDOWS\\SYSTEM\\USER.EXE"},
};

class CopyFile : public testing::TestWithParam<CopyCase> {};

TEST_P(CopyFile, FromTheExe) {
  const CopyCase& c = GetParam();
  emu::Session session = SampleFiles();
  session.machine.files.CreateFile("C:\\WINDOWS\\TEMP\\w.tmp");
  session.scenario.faults.locked[emu::UpperName("C:\\WINDOWS\\SYSTEM\\USER.EXE")] = {false, 2};
  if (c.written.starts_with("C:\\WINDOWS\\SYSTEM")) session.scenario.faults.locked.clear();
  emu::ActiveProcess process(session, "C:\\WINDOWS\\TEMP", "C:\\WINDOWS\\TEMP\\w.tmp");
  EXPECT_EQ(CopyFileA(kExe.c_str(), c.to.c_str(), c.failIfExists), c.error ? FALSE : TRUE);
  if (c.error) {
    EXPECT_EQ(GetLastError(), c.error);
  }
  if (!c.written.empty()) {
    EXPECT_EQ(session.machine.files.Find(c.written)->content, emu::Bytes({'M', 'Z'}));
  }
  EXPECT_NE(session.machine.files.Find("C:\\WINDOWS\\TEMP\\obuninst.tmp")->linkTarget, std::nullopt)
      << "a link stays a link";
  if (!session.scenario.faults.locked.empty()) {
    EXPECT_EQ(emu::LockFailuresLeft(session, session.scenario.faults.locked.begin()->first), 2)
        << "a copy uses no lock count";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CopyFile, testing::ValuesIn(kCopyCases), test::ByBehaviour);

TEST(MoveFileEx, DelayedDeletionIsRecordedAndDeletesNothing) {
  emu::Session session = SampleFiles();
  emu::ActiveProcess process(session, "C:\\WINDOWS\\TEMP", "C:\\WINDOWS\\TEMP\\w.tmp");
  EXPECT_TRUE(MoveFileExA("C:\\WINDOWS\\TEMP\\obuninst.tmp", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(session.record.restartDeletes,
            std::vector<std::string>{"C:\\WINDOWS\\TEMP\\obuninst.tmp"});
  ASSERT_EQ(session.record.events.size(), 1u);
  EXPECT_EQ(session.record.events[0].kind, emu::Event::Kind::RestartDelete);
  EXPECT_NE(session.machine.files.Find("C:\\WINDOWS\\TEMP\\obuninst.tmp"), nullptr);
  EXPECT_FALSE(MoveFileExA("C:\\x", nullptr, 0)) << "no new name needs the delay flag";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(FileFaults, NamedOperationFailsAndTheTraceSaysWhy) {
  emu::Session session = SampleFiles();
  session.scenario.faults.failingOperations = {"CopyFileA"};
  emu::ActiveProcess process(session, "C:\\WINDOWS\\TEMP", "C:\\WINDOWS\\TEMP\\w.tmp");
  EXPECT_FALSE(CopyFileA(kExe.c_str(), "C:\\WINDOWS\\TEMP\\new.tmp", FALSE));
  EXPECT_EQ(session.machine.files.Find("C:\\WINDOWS\\TEMP\\new.tmp"), nullptr);
  ASSERT_FALSE(session.record.trace.empty());
  EXPECT_EQ(session.record.trace.back().text,
            "1: CopyFileA(\"C:\\\\Program Files\\\\Orbelle\\\\Uninstall.exe\", "
            "\"C:\\\\WINDOWS\\\\TEMP\\\\new.tmp\", FALSE) = FALSE (ERROR_ACCESS_DENIED)");
}

}  // namespace

namespace {

TEST(SetFileAttributes, GoesThroughALinkToItsTargetAndKeepsOnlySettableBits) {
  emu::Session session = SampleFiles();
  emu::ActiveProcess process(session, "C:\\");
  EXPECT_TRUE(SetFileAttributesA("C:\\WINDOWS\\TEMP\\obuninst.tmp", FILE_ATTRIBUTE_READONLY |
                                                                        FILE_ATTRIBUTE_HIDDEN |
                                                                        FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(session.machine.files.Find("C:\\WINDOWS\\SYSTEM\\USER.EXE")->attributes,
            DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN});
  EXPECT_EQ(session.machine.files.Find("C:\\WINDOWS\\TEMP\\obuninst.tmp")->attributes, 0u);
  EXPECT_FALSE(SetFileAttributesA("C:\\nope.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
  EXPECT_FALSE(SetFileAttributesA(kLong.c_str(), FILE_ATTRIBUTE_NORMAL));
}

TEST(ProfileSections, WininitDeletionsCountOnlyOnWindows9x) {
  for (bool nineX : {false, true}) {
    emu::Session session = SampleFiles();
    session.scenario.windows = nineX ? emu::WindowsVersion::Nine : emu::WindowsVersion::Nt;
    const std::string text = "[rename]\r\nNUL=C:\\X.TMP\r\n";
    session.machine.files.CreateFile("C:\\WINDOWS\\WININIT.INI",
                                     emu::Bytes(text.begin(), text.end()));
    emu::ActiveProcess process(session, "C:\\");
    EXPECT_TRUE(WritePrivateProfileSectionA("rename", "NUL=C:\\X.TMP\0NUL=C:\\Z.TMP\0",
                                            "C:\\WINDOWS\\WININIT.INI"));
    EXPECT_TRUE(WritePrivateProfileSectionA("rename", "NUL=C:\\W.TMP\0", "C:\\Empty\\WININIT.INI"))
        << "another folder's WININIT.INI is just a file";
    const emu::FsNode* file = session.machine.files.Find("C:\\WINDOWS\\WININIT.INI");
    EXPECT_EQ(std::string(file->content.begin(), file->content.end()),
              "[rename]\r\nNUL=C:\\X.TMP\r\nNUL=C:\\Z.TMP\r\n");
    EXPECT_EQ(session.record.restartDeletes,
              nineX ? std::vector<std::string>{"C:\\Z.TMP"} : std::vector<std::string>{});
  }
}

TEST(NineX, HasNoDelayedDeletionNorDllDirectoriesAndItsSystemFolder) {
  emu::Session session = SampleFiles();
  session.scenario.windows = emu::WindowsVersion::Nine;
  emu::ActiveProcess process(session, "C:\\");
  EXPECT_FALSE(MoveFileExA("C:\\Empty", NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_CALL_NOT_IMPLEMENTED});
  EXPECT_EQ(GetProcAddress(GetModuleHandleA("KERNEL32"), "SetDefaultDllDirectories"), nullptr);
  char folder[MAX_PATH];
  EXPECT_EQ(GetSystemDirectoryA(folder, MAX_PATH), 17u);
  EXPECT_STREQ(folder, "C:\\WINDOWS\\SYSTEM");
  EXPECT_EQ(GetWindowsDirectoryA(folder, 5), 11u) << "the size needed";
  EXPECT_EQ(LoadLibraryA("C:\\WINDOWS\\system32\\shell32.dll"), nullptr) << "no system32";
  HMODULE shell = LoadLibraryA("C:\\WINDOWS\\SYSTEM\\SHELL32.DLL");
  ASSERT_NE(shell, nullptr);
  EXPECT_NE(GetProcAddress(shell, "SHChangeNotify"), nullptr);
  EXPECT_EQ(LoadLibraryA("shell32.dll"), shell) << "a bare name finds the loaded module";
  EXPECT_TRUE(FreeLibrary(shell));
  EXPECT_TRUE(FreeLibrary(shell));
  EXPECT_FALSE(FreeLibrary(shell)) << "one load, one release";
  EXPECT_EQ(session.record.restartDeletes.size(), 0u);
}

}  // namespace
