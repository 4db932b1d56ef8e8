// Every fixed-size buffer of the product, taken to its bound: the longest input that fits is
// used whole, one character more is refused before anything is written or deleted. (The
// 255-character key name buffer is taken to its bound in key_tree_test.cpp.) Run under the
// sanitizers, a write past any of these buffers fails the test.
#include <gtest/gtest.h>

#include <cstring>

#include "app/messages.h"
#include "app/startup.h"
#include "common/capacities.h"
#include "manifest/manifest.h"
#include "platform/emulated/string_table.h"
#include "registry/associations.h"
#include "shell/shell_folders.h"
#include "support/case_name.h"
#include "support/installed_machine.h"
#include "support/machine_lines.h"
#include "support/run_support.h"
#include "support/three_way.h"

namespace {

using test::Box;
using test::ConfirmText;
using test::kInternalError;
using test::kSuccess;

const std::string kShellFolders =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A folder path of exactly `length` characters below C:, optionally with a trailing backslash
// counted in.
std::string FolderOfLength(std::size_t length, bool trailingBackslash = false) {
  std::string path = "C:\\" + std::string(length - 3 - (trailingBackslash ? 1 : 0), 'p');
  return trailingBackslash ? path + "\\" : path;
}

int TraceCalls(const emu::Session& session, const std::string& operation) {
  int count = 0;
  for (const auto& line : session.record.trace)
    count += line.text.find(": " + operation + "(") != std::string::npos;
  return count;
}

// ---------------------------------------------------------------- the launcher's paths

struct LauncherBound {
  const char* behaviour;
  std::size_t folderLength;  // the install folder; the exe's path is 14 characters longer
  std::string temp;
  bool fits;
};

const LauncherBound kLauncherBounds[] = {
    {"own path: 259 characters fit", 245, "C:\\WINDOWS\\TEMP\\", true},
    {"own path: 260 characters are cut by the platform", 246, "C:\\WINDOWS\\TEMP\\", false},
    {"copy path: a temp folder of 247 with its backslash", 30, FolderOfLength(247, true), true},
    {"copy path: a temp folder of 248 with its backslash", 30, FolderOfLength(248, true), false},
    {"copy path: a temp folder of 246 without a backslash", 30, FolderOfLength(246), true},
    {"copy path: a temp folder of 247 without a backslash", 30, FolderOfLength(247), false},
    {"temp folder: 259 characters fit the buffer, not the copy", 30, FolderOfLength(259), false},
    {"temp folder: 260 characters do not fit the buffer", 30, FolderOfLength(260), false},
    {"hand-off line: the longest copy path and install folder together", 245,
     FolderOfLength(247, true), true},
};

class LauncherBounds : public testing::TestWithParam<LauncherBound> {};

TEST_P(LauncherBounds, UseTheLongestPathWholeAndRefuseOneMore) {
  const LauncherBound& c = GetParam();
  test::Install install{FolderOfLength(c.folderLength), c.temp};
  emu::Session session = test::InstalledMachine(install);
  session.scenario.exePath = install.folder + "\\Uninstall.exe";
  session.scenario.tempPath = install.temp;

  test::RunResult run = test::RunUninstall(session);

  const bool ownPathFits = session.scenario.exePath.size() < MAX_PATH;
  std::vector<std::string> boxes;
  if (ownPathFits) boxes.push_back(Box(1, "MB_YESNO", "IDYES", ConfirmText(install.folder)));
  boxes.push_back(c.fits ? Box(2, "MB_OK", "IDOK", kSuccess)
                         : Box(1, "MB_OK", "IDOK", kInternalError));
  EXPECT_EQ(test::Boxes(session), boxes);
  if (c.fits) {
    std::string copy = install.temp + (install.temp.back() == '\\' ? "" : "\\") + "obuninst.tmp";
    EXPECT_EQ(test::StartedProcesses(session),
              std::vector<std::string>{copy + "|\"" + copy + "\" " + install.folder + "|" +
                                       install.temp});
    EXPECT_EQ(run.removed, test::FullyRemoved(install));
    EXPECT_EQ(run.added, test::FullyAdded(install));
  } else {
    EXPECT_TRUE(run.removed.empty()) << test::Join(run.removed);
    EXPECT_TRUE(run.added.empty()) << test::Join(run.added);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, LauncherBounds, testing::ValuesIn(kLauncherBounds),
                         test::ByBehaviour);

// ---------------------------------------------------------------- the worker's paths

struct WorkerBound {
  const char* behaviour;
  std::string tail;
  std::string image;  // the copy the worker runs from
  bool fits;
  bool schedulesItself;
};

const std::string kCopy = "C:\\WINDOWS\\TEMP\\obuninst.tmp";

const WorkerBound kWorkerBounds[] = {
    {"working path: a tail of 245 and Uninstall.exe make 259", FolderOfLength(245), kCopy, true,
     true},
    {"working path: a tail of 246 and Uninstall.exe make 260", FolderOfLength(246), kCopy, false,
     true},
    {"working path: a tail of 246 ending in its backslash", FolderOfLength(246, true), kCopy, true,
     true},
    {"own path at the end: 259 characters are scheduled", "C:\\Program Files\\Orbelle",
     FolderOfLength(247, true) + "obuninst.tmp", true, true},
    {"own path at the end: 260 characters are cut, nothing is scheduled",
     "C:\\Program Files\\Orbelle", FolderOfLength(248, true) + "obuninst.tmp", true, false},
};

class WorkerBounds : public testing::TestWithParam<WorkerBound> {};

TEST_P(WorkerBounds, UseTheLongestPathWholeAndRefuseOneMore) {
  const WorkerBound& c = GetParam();
  std::string folder = c.tail.back() == '\\' ? c.tail.substr(0, c.tail.size() - 1) : c.tail;
  emu::Session session = test::InstalledMachine({folder});
  test::AddLines(session, {c.image});
  auto before = test::Snapshot(session);

  test::RunThreeWays(session, c.image, "\"" + c.image + "\" " + c.tail, "C:\\WINDOWS\\TEMP\\");

  EXPECT_EQ(test::Boxes(session),
            std::vector<std::string>{Box(1, "MB_OK", "IDOK", c.fits ? kSuccess : kInternalError)});
  auto change = test::Compare(before, test::Snapshot(session));
  EXPECT_EQ(change.removed.count(folder + "\\Uninstall.exe"), c.fits ? 1u : 0u);
  if (!c.fits) {
    EXPECT_TRUE(change.removed.empty()) << test::Join(change.removed);
  }
  EXPECT_EQ(session.record.restartDeletes,
            c.schedulesItself ? std::vector<std::string>{c.image} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Cases, WorkerBounds, testing::ValuesIn(kWorkerBounds), test::ByBehaviour);

// ---------------------------------------------------------------- formatted messages

// The formatted buffer holds the longest text with a path of MAX_PATH - 1 characters in place
// of "%s"; a longer path is not shown at all.
TEST(MessageBounds, APathOf259IsShownWholeAndOneOf260IsNotShown) {
  for (std::size_t length : {259u, 260u}) {
    emu::Session session = test::NewSession();
    emu::ActiveProcess process(session, "C:\\");
    const std::string path = FolderOfLength(length);
    int answer =
        ShowPathMessage(NULL, "Uninstall Orbelle", IDS_STILL_RUNNING, path.c_str(), MB_OKCANCEL);
    if (length < MAX_PATH) {
      EXPECT_EQ(answer, IDOK);
      EXPECT_EQ(test::Boxes(session),
                std::vector<std::string>{Box(process.process().id, "MB_OKCANCEL", "IDOK",
                                             test::StillRunningText(path))});
    } else {
      EXPECT_EQ(answer, 0);
      EXPECT_TRUE(session.record.events.empty());
    }
  }
}

// The texts are loaded into buffers of 128 (the caption) and 299 characters; every text the
// program loads must be there and fit whole, and the two with "%s" must fit the formatted
// buffer with the longest path.
TEST(MessageBounds, EveryStringResourceFitsItsBuffer) {
  for (unsigned id :
       {IDS_CAPTION, IDS_CONFIRM, IDS_INTERNAL_ERROR, IDS_STILL_RUNNING, IDS_SUCCESS}) {
    const emu::StringResource* resource = nullptr;
    for (std::size_t i = 0; i < emu::kStringTableSize; ++i) {
      if (emu::kStringTable[i].id == id) resource = &emu::kStringTable[i];
    }
    ASSERT_NE(resource, nullptr) << "string " << id << " is not in the table";
    const std::size_t length = std::strlen(resource->text);
    const std::size_t capacity = id == IDS_CAPTION ? CaptionCapacity : MessageCapacity;
    EXPECT_LT(length, capacity) << "string " << id;
    if (std::strstr(resource->text, "%s") != nullptr) {
      EXPECT_LT(length - 2 + (MAX_PATH - 1), static_cast<std::size_t>(FormattedMessageCapacity))
          << "string " << id;
    }
  }
}

// ---------------------------------------------------------------- shell folder paths

struct ShellBound {
  const char* behaviour;
  std::string valueBytes;  // as stored, terminator included when there is one
  const char* call;        // "read", "shortcut" or "group"
  BOOL expected;
  int fileCalls;  // GetFileAttributesA calls: 0 when the path was refused before any
};

std::string Terminated(const std::string& text) {
  return text + std::string(1, '\0');
}

const ShellBound kShellBounds[] = {
    {"read: 518 characters and the terminator (519 bytes) fit with a backslash",
     Terminated(FolderOfLength(518)), "read", TRUE, 0},
    {"read: 519 characters and the terminator (520 bytes) are refused",
     Terminated(FolderOfLength(519)), "read", FALSE, 0},
    {"read: 519 bytes without a terminator, ending in a backslash, fit", FolderOfLength(519, true),
     "read", TRUE, 0},
    {"read: 519 bytes without a terminator leave no room for the backslash", FolderOfLength(519),
     "read", FALSE, 0},
    {"shortcut: a folder of 507 and \\Orbelle.lnk make 519", Terminated(FolderOfLength(507)),
     "shortcut", TRUE, 1},
    {"shortcut: a folder of 508 and \\Orbelle.lnk make 520", Terminated(FolderOfLength(508)),
     "shortcut", FALSE, 0},
    {"group: Programs of 487 and the longest group shortcut make 519",
     Terminated(FolderOfLength(487)), "group", FALSE, 4},
    {"group: Programs of 488 and the longest group shortcut make 520",
     Terminated(FolderOfLength(488)), "group", FALSE, 0},
};

class ShellBounds : public testing::TestWithParam<ShellBound> {};

TEST_P(ShellBounds, UseTheLongestPathWholeAndRefuseOneMore) {
  const ShellBound& c = GetParam();
  emu::Session session = test::NewSession();
  const std::string call = c.call;
  const char* valueName = call == "group" ? "Programs" : "Desktop";
  session.machine.registry.CreateKey(emu::Root::CurrentUser, kShellFolders.substr(5))
      .SetValue(valueName, REG_SZ, emu::Bytes(c.valueBytes.begin(), c.valueBytes.end()));
  emu::ActiveProcess process(session, "C:\\");

  char path[ShellPathCapacity + 1];
  std::memset(path, 'x', sizeof path);
  BOOL result = call == "read"       ? ReadShellFolderPath(valueName, path)
                : call == "shortcut" ? DeleteProductShortcut(valueName)
                                     : RemoveProgramGroup();

  EXPECT_EQ(result, c.expected);
  EXPECT_EQ(TraceCalls(session, "GetFileAttributesA"), c.fileCalls);
  EXPECT_EQ(path[ShellPathCapacity], 'x');  // the byte after the buffer
  if (call == "read" && c.expected) {
    std::string stored(c.valueBytes.c_str());
    EXPECT_STREQ(path, (stored.back() == '\\' ? stored : stored + "\\").c_str());
  }
  EXPECT_EQ(emu::OpenKeyCount(session), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShellBounds, testing::ValuesIn(kShellBounds), test::ByBehaviour);

// ---------------------------------------------------------------- registry values

struct ValueBound {
  const char* behaviour;
  std::string undoClass;  // UndoClass's default value as stored
  bool restored;          // the extension names it afterwards; otherwise the extension key is gone
};

const ValueBound kValueBounds[] = {
    {"519 characters and the terminator fit the 520-byte buffer", Terminated(std::string(519, 'u')),
     true},
    {"520 characters and the terminator do not", Terminated(std::string(520, 'u')), false},
    {"519 characters stored without a terminator get one and fit", std::string(519, 'u'), true},
    {"520 characters stored without a terminator do not", std::string(520, 'u'), false},
};

class ValueBounds : public testing::TestWithParam<ValueBound> {};

TEST_P(ValueBounds, GiveBackTheLongestClassWholeAndTreatOneMoreAsUnreadable) {
  const ValueBound& c = GetParam();
  emu::Session session = test::MakeSession({"HKCR\\Orbelle|@|VRML World", "HKCR\\.wrl|@|Orbelle"});
  session.machine.registry.CreateKey(emu::Root::ClassesRoot, ".wrl\\UndoClass")
      .SetValue("", REG_SZ, emu::Bytes(c.undoClass.begin(), c.undoClass.end()));
  emu::ActiveProcess process(session, "C:\\");

  EXPECT_TRUE(RestoreAssociations());

  emu::RegKey* extension = session.machine.registry.FindKey(emu::Root::ClassesRoot, ".wrl");
  if (c.restored) {
    ASSERT_NE(extension, nullptr);
    std::string previous(c.undoClass.c_str());
    EXPECT_EQ(test::Snapshot(session).count("HKCR\\.wrl|@|" + previous), 1u);
    EXPECT_EQ(extension->Find("UndoClass"), nullptr);
  } else {
    EXPECT_EQ(extension, nullptr);
  }
  EXPECT_EQ(emu::OpenKeyCount(session), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, ValueBounds, testing::ValuesIn(kValueBounds), test::ByBehaviour);

}  // namespace
