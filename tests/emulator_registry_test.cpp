// What only the emulated registry has: keys an image denies, handles of other processes, open-key
// counts, the marker left in buffers after a failure, and a registry built in code. What Windows
// does with keys and values the conformance cases hold (tests/conformance/).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/emulated/session.h"
#include "platform_api.h"
#include "support/case_name.h"
#include "support/new_session.h"

namespace {

constexpr unsigned char kMarker = 0xCC;

// HKLM\Software\Halcyra\Orbelle\Settings, HKCU\Software, HKCR\.wrl (default "Orbelle").
emu::Session SampleRegistry() {
  emu::Session session = test::NewSession();
  session.machine.registry.CreateKey(emu::Root::LocalMachine,
                                     "Software\\Halcyra\\Orbelle\\Settings");
  session.machine.registry.CreateKey(emu::Root::LocalMachine, "Software\\Classes\\OnlyInHklm");
  session.machine.registry.CreateKey(emu::Root::CurrentUser, "Software");
  session.machine.registry.CreateKey(emu::Root::ClassesRoot, ".wrl").SetString("", "Orbelle");
  return session;
}

bool AllMarker(const char* buffer, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (static_cast<unsigned char>(buffer[i]) != kMarker) return false;
  }
  return true;
}

struct OpenCase {
  const char* behaviour;
  HKEY root;
  const char* sub;
  LONG status;
  bool sameHandle;  // the handle passed in comes back, nothing new to close
};

const OpenCase kOpenCases[] = {
    {"an existing path opens", HKEY_LOCAL_MACHINE, "Software\\Halcyra\\Orbelle", ERROR_SUCCESS,
     false},
    {"names compare case-insensitively", HKEY_LOCAL_MACHINE, "SOFTWARE\\halcyra", ERROR_SUCCESS,
     false},
    {"a trailing backslash is ignored", HKEY_LOCAL_MACHINE, "Software\\Halcyra\\", ERROR_SUCCESS,
     false},
    {"a missing key is not found", HKEY_LOCAL_MACHINE, "Software\\Nobody", ERROR_FILE_NOT_FOUND,
     false},
    {"a leading backslash is a bad path", HKEY_LOCAL_MACHINE, "\\Software", ERROR_BAD_PATHNAME,
     false},
    {"a doubled backslash is a bad path", HKEY_LOCAL_MACHINE, "Software\\\\Halcyra",
     ERROR_BAD_PATHNAME, false},
    {"a NULL subkey gives the same handle", HKEY_CURRENT_USER, nullptr, ERROR_SUCCESS, true},
    {"an empty subkey gives the same handle", HKEY_CURRENT_USER, "", ERROR_SUCCESS, true},
    {"HKCR is not a view of HKLM Classes", HKEY_CLASSES_ROOT, "OnlyInHklm", ERROR_FILE_NOT_FOUND,
     false},
};

class RegOpen : public testing::TestWithParam<OpenCase> {};

TEST_P(RegOpen, Key) {
  const OpenCase& c = GetParam();
  emu::Session session = SampleRegistry();
  emu::ActiveProcess process(session);
  HKEY key = reinterpret_cast<HKEY>(std::uintptr_t{0xBAD});
  EXPECT_EQ(RegOpenKeyA(c.root, c.sub, &key), c.status);
  if (c.status != ERROR_SUCCESS) {
    EXPECT_EQ(key, nullptr) << "a failed open leaves NULL";
  }
  if (c.status == ERROR_SUCCESS) {
    EXPECT_EQ(key == c.root, c.sameHandle);
  }
  EXPECT_EQ(emu::OpenKeyCount(session), c.status == ERROR_SUCCESS && !c.sameHandle ? 1 : 0);
  EXPECT_EQ(RegCloseKey(key), c.status == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
  EXPECT_EQ(emu::OpenKeyCount(session), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, RegOpen, testing::ValuesIn(kOpenCases), test::ByBehaviour);

TEST(RegEnum, ListsSubkeysInOrderOfUpperCasedNames) {
  emu::Session session = test::NewSession();
  for (const char* name : {"b", "_x", "A2", "a"}) {
    session.machine.registry.CreateKey(emu::Root::CurrentUser, std::string("K\\") + name);
  }
  emu::ActiveProcess process(session);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "K", &key), ERROR_SUCCESS);
  std::vector<std::string> names;
  char name[16];
  for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    names.push_back(name);
  }
  // '_' (0x5F) sorts after the upper-case letters, though before the lower-case ones.
  EXPECT_EQ(names, (std::vector<std::string>{"a", "A2", "b", "_x"}));
  EXPECT_EQ(RegEnumKeyA(key, 4, name, sizeof name), ERROR_NO_MORE_ITEMS);
  EXPECT_TRUE(AllMarker(name, sizeof name)) << "nothing usable is left after a failure";
  EXPECT_EQ(RegEnumKeyA(key, 1, name, 2), ERROR_MORE_DATA) << "\"A2\" needs 3 with its NUL";
  EXPECT_TRUE(AllMarker(name, 2));
  EXPECT_EQ(RegEnumKeyA(key, 1, name, 3), ERROR_SUCCESS);
  EXPECT_STREQ(name, "A2");
  RegCloseKey(key);
}

struct DeleteCase {
  const char* behaviour;
  const char* sub;
  bool deny;
  LONG status;
  const char* gone;  // the key that no longer exists afterwards, if any
};

const DeleteCase kDeleteCases[] = {
    {"a key without subkeys is deleted", "Software\\Halcyra\\Orbelle\\Settings", false,
     ERROR_SUCCESS, "Software\\Halcyra\\Orbelle\\Settings"},
    {"a key with subkeys is refused as on NT", "Software\\Halcyra", false, ERROR_ACCESS_DENIED,
     nullptr},
    {"a missing key is not found", "Software\\Nobody", false, ERROR_FILE_NOT_FOUND, nullptr},
    {"a denied key is refused", "Software\\Halcyra\\Orbelle\\Settings", true, ERROR_ACCESS_DENIED,
     nullptr},
    {"a NULL subkey is invalid", nullptr, false, ERROR_INVALID_PARAMETER, nullptr},
    {"an empty subkey on a root is refused", "", false, ERROR_ACCESS_DENIED, nullptr},
};

class RegDelete : public testing::TestWithParam<DeleteCase> {};

TEST_P(RegDelete, Key) {
  const DeleteCase& c = GetParam();
  emu::Session session = SampleRegistry();
  session.machine.registry.FindKey(emu::Root::LocalMachine, "Software\\Halcyra\\Orbelle\\Settings")
      ->denied = c.deny;
  emu::ActiveProcess process(session);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, c.sub), c.status);
  EXPECT_NE(session.machine.registry.FindKey(emu::Root::LocalMachine, "Software\\Halcyra"),
            nullptr);
  if (c.gone) {
    EXPECT_EQ(session.machine.registry.FindKey(emu::Root::LocalMachine, c.gone), nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RegDelete, testing::ValuesIn(kDeleteCases), test::ByBehaviour);

TEST(RegDelete, EmptySubkeyDeletesTheOpenedKeyItself) {
  emu::Session session = SampleRegistry();
  emu::ActiveProcess process(session);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Halcyra\\Orbelle\\Settings", &key),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(key, ""), ERROR_SUCCESS);
  EXPECT_EQ(session.machine.registry.FindKey(emu::Root::LocalMachine,
                                             "Software\\Halcyra\\Orbelle\\Settings"),
            nullptr);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST(RegDelete, HandleOnADeletedKeyReportsKeyDeleted) {
  emu::Session session = SampleRegistry();
  emu::ActiveProcess process(session);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyA(HKEY_CLASSES_ROOT, ".wrl", &key), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ".WRL"), ERROR_SUCCESS);
  char name[8];
  DWORD size = 0;
  EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_KEY_DELETED);
  EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS) << "the handle itself still closes";
  EXPECT_EQ(emu::OpenKeyCount(session), 0);
}

TEST(RegClose, RootsUnknownHandlesAndOtherProcesses) {
  emu::Session session = SampleRegistry();
  HKEY foreign = nullptr;
  {
    emu::ActiveProcess first(session);
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software", &foreign), ERROR_SUCCESS);
  }
  emu::ActiveProcess second(session);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS) << "closing a root is a no-op";
  EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(std::uintptr_t{0x4242})), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(foreign), ERROR_INVALID_HANDLE) << "handles belong to their process";
  EXPECT_EQ(emu::OpenKeyCount(session), 1) << "the first process's leak stays counted";
}

TEST(RegFaults, NamedOperationFailsEveryCallAndTheSweepFailsOneCall) {
  emu::Session session = SampleRegistry();
  session.scenario.faults.failingOperations = {"RegOpenKeyA"};
  emu::ActiveProcess process(session);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software", &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software", &key), ERROR_ACCESS_DENIED);

  session.scenario.faults.failingOperations.clear();
  // The two calls above were counted too; the sweep counts on from them.
  const long counted = emu::CheckedCallCount(session);
  session.scenario.faults.failCallNumber = counted + 2;
  EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software", &key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS) << "RegCloseKey is not counted";
  EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software", &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software", &key), ERROR_SUCCESS);
  EXPECT_EQ(emu::CheckedCallCount(session) - counted, 3);
  RegCloseKey(key);
}

}  // namespace
