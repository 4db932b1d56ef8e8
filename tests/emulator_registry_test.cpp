// The emulated registry against NT's behaviour, one behaviour a case.
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

struct QueryCase {
  const char* behaviour;
  std::uint32_t type;  // of the default value of HKCR\.x; 0: never set
  std::string stored;  // its bytes
  const char* sub;
  LONG capacity;  // -1: NULL buffer
  LONG status;
  LONG size;         // *lpcbData afterwards
  const char* text;  // the buffer afterwards; nullptr: every byte is the marker
};

const QueryCase kQueryCases[] = {
    {"a string default reads with its terminator", REG_SZ, std::string("abc", 4), nullptr, 16,
     ERROR_SUCCESS, 4, "abc"},
    {"a default never set reads as empty", 0, "", nullptr, 16, ERROR_SUCCESS, 1, ""},
    {"a string stored without terminator gets one", REG_SZ, "abc", nullptr, 16, ERROR_SUCCESS, 4,
     "abc"},
    {"a NULL buffer gives the size", REG_SZ, std::string("abc", 4), nullptr, -1, ERROR_SUCCESS, 4,
     ""},
    {"too small a buffer is more data", REG_SZ, std::string("abc", 4), nullptr, 3, ERROR_MORE_DATA,
     4, nullptr},
    {"a default that is no REG_SZ is invalid data", REG_EXPAND_SZ, std::string("%x%", 4), nullptr,
     16, ERROR_INVALID_DATA, 16, ""},
    {"a named subkey's default is read", 0, "", "UndoClass", 16, ERROR_SUCCESS, 6, "VRML."},
    {"a missing subkey is not found", 0, "", "Nope", 16, ERROR_FILE_NOT_FOUND, 16, ""},
};

class RegQueryDefault : public testing::TestWithParam<QueryCase> {};

TEST_P(RegQueryDefault, Value) {
  const QueryCase& c = GetParam();
  emu::Session session = test::NewSession();
  emu::RegKey& key = session.machine.registry.CreateKey(emu::Root::ClassesRoot, ".x");
  if (c.type) key.SetValue("", c.type, emu::Bytes(c.stored.begin(), c.stored.end()));
  key.Create("UndoClass").SetString("", "VRML.");
  emu::ActiveProcess process(session);
  HKEY open = nullptr;
  ASSERT_EQ(RegOpenKeyA(HKEY_CLASSES_ROOT, ".x", &open), ERROR_SUCCESS);
  char buffer[16] = "";
  LONG size = c.capacity < 0 ? 0 : c.capacity;
  EXPECT_EQ(RegQueryValueA(open, c.sub, c.capacity < 0 ? nullptr : buffer, &size), c.status);
  EXPECT_EQ(size, c.size);
  if (c.text) {
    EXPECT_STREQ(buffer, c.text);
  }
  if (!c.text) {
    EXPECT_TRUE(AllMarker(buffer, static_cast<std::size_t>(c.capacity)));
  }
  RegCloseKey(open);
}

INSTANTIATE_TEST_SUITE_P(Cases, RegQueryDefault, testing::ValuesIn(kQueryCases), test::ByBehaviour);

TEST(RegSetDefault, TakesTheSizeFromTheStringAndCreatesTheSubkey) {
  emu::Session session = test::NewSession();
  emu::ActiveProcess process(session);
  EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".wrl", REG_SZ, "VRML.World", 1), ERROR_SUCCESS);
  const emu::RegValue* value =
      session.machine.registry.FindKey(emu::Root::ClassesRoot, ".wrl")->FindValue("");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->data, emu::Bytes(std::begin("VRML.World"), std::end("VRML.World")));
  EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".wrl", REG_DWORD, "x", 2), ERROR_INVALID_PARAMETER);
}

struct QueryExCase {
  const char* behaviour;
  const char* name;
  DWORD capacity;  // 0: NULL buffer
  LONG status;
  DWORD size;
  std::string bytes;  // the buffer's first `size` bytes afterwards; "" with a marker check
};

const QueryExCase kQueryExCases[] = {
    {"a NULL buffer gives the exact size", "Desktop", 0, ERROR_SUCCESS, 11, ""},
    {"the bytes come as stored with their terminator", "Desktop", 32, ERROR_SUCCESS, 11,
     std::string("C:\\Desktop", 11)},
    {"no terminator is added to unterminated data", "Raw", 32, ERROR_SUCCESS, 3, "abc"},
    {"too small a buffer is more data", "Desktop", 4, ERROR_MORE_DATA, 11, ""},
    {"a missing value is not found", "Programs", 32, ERROR_FILE_NOT_FOUND, 32, ""},
    {"a NULL name reads the default value", nullptr, 32, ERROR_SUCCESS, 2, std::string("d", 2)},
};

class RegQueryNamed : public testing::TestWithParam<QueryExCase> {};

TEST_P(RegQueryNamed, Value) {
  const QueryExCase& c = GetParam();
  emu::Session session = test::NewSession();
  emu::RegKey& key = session.machine.registry.CreateKey(emu::Root::CurrentUser, "Shell Folders");
  key.SetString("Desktop", "C:\\Desktop");
  key.SetValue("Raw", REG_BINARY, emu::Bytes{'a', 'b', 'c'});
  key.SetString("", "d");
  emu::ActiveProcess process(session);
  HKEY open = nullptr;
  ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Shell Folders", &open), ERROR_SUCCESS);
  char buffer[32];
  DWORD size = c.capacity;
  EXPECT_EQ(RegQueryValueExA(open, c.name, nullptr, nullptr,
                             c.capacity ? reinterpret_cast<BYTE*>(buffer) : nullptr, &size),
            c.status);
  EXPECT_EQ(size, c.size);
  if (!c.bytes.empty()) {
    EXPECT_EQ(std::string(buffer, size), c.bytes);
  }
  if (c.status == ERROR_MORE_DATA) {
    EXPECT_TRUE(AllMarker(buffer, c.capacity));
  }
  RegCloseKey(open);
}

INSTANTIATE_TEST_SUITE_P(Cases, RegQueryNamed, testing::ValuesIn(kQueryExCases), test::ByBehaviour);

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
