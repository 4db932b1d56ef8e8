// ADVAPI32's registry functions. HKEY_CLASSES_ROOT is a tree of its own on this machine.
#include <algorithm>
#include <cstring>

#include "kernel_state.h"
#include "loader.h"
#include "platform_api.h"
#include "setup_api.h"
#include "state.h"
#include "trace_format.h"

using emu::RegKey;
using emu::detail::Call;
using emu::detail::ErrorName;
using emu::detail::FromProgram;
using emu::detail::QuoteArg;
using emu::detail::ToProgram;

namespace {

constexpr unsigned char kMarker = 0xCC;  // what Windows leaves undefined, for sanitizer runs

struct OpenKey {
  RegKey* key = nullptr;
  std::string path;  // for the trace
  LONG error = ERROR_SUCCESS;
};

std::optional<emu::Root> PredefinedRoot(HKEY handle) {
  if (handle == HKEY_LOCAL_MACHINE) return emu::Root::LocalMachine;
  if (handle == HKEY_CURRENT_USER) return emu::Root::CurrentUser;
  if (handle == HKEY_CLASSES_ROOT) return emu::Root::ClassesRoot;
  return std::nullopt;
}

// Handles belong to the process that opened them. A handle whose key was deleted (through it
// or another handle) stays valid for closing but every other use is ERROR_KEY_DELETED (NT).
OpenKey Resolve(HKEY handle) {
  emu::detail::MakeSystemLoads("registry");  // advapi32's loads on the first call that gets here
  emu::Session& session = emu::detail::CurrentSession();
  if (auto root = PredefinedRoot(handle)) {
    return {&session.machine.registry.RootKey(*root), emu::RootName(*root)};
  }
  auto found = Kernel(session).keyHandles.find(reinterpret_cast<std::uintptr_t>(handle));
  if (found == Kernel(session).keyHandles.end() ||
      found->second.process != emu::detail::CurrentProcess().id) {
    return {nullptr, emu::detail::Hex(reinterpret_cast<std::uintptr_t>(handle)),
            ERROR_INVALID_HANDLE};
  }
  if (!found->second.key) return {nullptr, found->second.path, ERROR_KEY_DELETED};
  return {found->second.key, found->second.path};
}

// A key path below an open key: NT rejects a leading or doubled backslash
// (ERROR_BAD_PATHNAME) and ignores a trailing one.
LONG SplitSubKey(std::string_view path, std::vector<std::string_view>& names) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  while (!path.empty()) {
    auto slash = path.find('\\');
    auto name = path.substr(0, slash);
    if (name.empty()) return ERROR_BAD_PATHNAME;
    names.push_back(name);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return ERROR_SUCCESS;
}

// Walks `sub` (in the caller's code page) below `from`; create makes missing keys (RegCreateKey's
// way).
OpenKey Walk(OpenKey from, const char* sub, bool create) {
  if (from.error || !sub || !*sub) return from;
  const std::string path = FromProgram(sub);
  std::vector<std::string_view> names;
  if (LONG error = SplitSubKey(path, names)) return {nullptr, from.path, error};
  for (auto name : names) {
    RegKey* next = create ? &from.key->Create(name) : from.key->Find(name);
    if (!next) return {nullptr, from.path, ERROR_FILE_NOT_FOUND};
    from.key = next;
    from.path += "\\" + next->name;
  }
  return from;
}

std::string Name(HKEY handle) {
  if (auto root = PredefinedRoot(handle)) return emu::RootName(*root);
  auto& handles = Kernel(emu::detail::CurrentSession()).keyHandles;
  auto found = handles.find(reinterpret_cast<std::uintptr_t>(handle));
  if (found == handles.end()) return emu::detail::Hex(reinterpret_cast<std::uintptr_t>(handle));
  return "[" + found->second.path + "]";
}

// Registry functions return their error and leave the last error alone.
LONG Result(const Call<LONG>& call, LONG status, const std::string& detail = {}) {
  return call.Return(
      status, ErrorName(static_cast<std::uint32_t>(status)) + (detail.empty() ? "" : " " + detail));
}

RegKey* FindParentBelow(RegKey& key, const RegKey* child) {
  for (auto& [upper, sub] : key.subkeys) {
    if (sub.get() == child) return &key;
    if (RegKey* found = FindParentBelow(*sub, child)) return found;
  }
  return nullptr;
}

RegKey* FindParent(emu::Registry& registry, const RegKey* child) {
  for (auto root : {emu::Root::LocalMachine, emu::Root::CurrentUser, emu::Root::ClassesRoot}) {
    if (RegKey* found = FindParentBelow(registry.RootKey(root), child)) return found;
  }
  return nullptr;
}

void FillMarker(void* buffer, std::size_t size) {
  if (buffer && size > 0) std::memset(buffer, kMarker, size);
}

bool IsStringType(std::uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// What RegQueryValue(Ex)A hands out: strings converted to the caller's code page, terminators
// and all (the byte count is the converted one), anything else as stored.
emu::Bytes ProgramData(const emu::RegValue& value) {
  if (!IsStringType(value.type)) return value.data;
  const std::string converted = ToProgram(
      std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
  return emu::Bytes(converted.begin(), converted.end());
}

// RegOpenKeyA and RegCreateKeyA alike: a NULL or empty subkey gives back the very handle passed
// in, no new handle and nothing more to close (the documented behaviour of both); on failure
// *phkResult is NULL.
LONG OpenKeyHandle(const Call<LONG>& call, HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult,
                   bool create) {
  if (!phkResult) return Result(call, ERROR_INVALID_PARAMETER);
  *phkResult = NULL;
  if (call.Injected()) return Result(call, ERROR_ACCESS_DENIED);
  OpenKey from = Resolve(hKey);
  if (from.error) return Result(call, from.error);
  if (!lpSubKey || !*lpSubKey) {
    *phkResult = hKey;
    return Result(call, ERROR_SUCCESS, "(the same handle)");
  }
  OpenKey opened = Walk(from, lpSubKey, create);
  if (opened.error) return Result(call, opened.error);
  emu::Session& session = emu::detail::CurrentSession();
  std::uintptr_t value = Kernel(session).nextKeyHandle;
  Kernel(session).nextKeyHandle += 4;
  Kernel(session).keyHandles[value] = {opened.key, emu::detail::CurrentProcess().id, opened.path};
  *phkResult = reinterpret_cast<HKEY>(value);
  return Result(call, ERROR_SUCCESS, "[" + opened.path + "]");
}

}  // namespace

LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  const Call<LONG> call("RegOpenKeyA(" + Name(hKey) + ", " + QuoteArg(lpSubKey) + ")");
  return OpenKeyHandle(call, hKey, lpSubKey, phkResult, false);
}

// Opens the key, making every missing key on the way.
LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  const Call<LONG> call("RegCreateKeyA(" + Name(hKey) + ", " + QuoteArg(lpSubKey) + ")");
  return OpenKeyHandle(call, hKey, lpSubKey, phkResult, true);
}

// Subkeys come in ascending order of their upper-cased names. The name is in the caller's code
// page; one that does not fit with its terminator (in bytes) is ERROR_MORE_DATA; after any
// failure the buffer holds nothing usable.
LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  const Call<LONG> call("RegEnumKeyA(" + Name(hKey) + ", " + std::to_string(dwIndex) + ", " +
                        std::to_string(cchName) + ")");
  auto fail = [&](LONG status) {
    FillMarker(lpName, cchName);
    return Result(call, status);
  };
  if (call.Injected()) return fail(ERROR_ACCESS_DENIED);
  OpenKey key = Resolve(hKey);
  if (key.error) return fail(key.error);
  if (!lpName) return fail(ERROR_INVALID_PARAMETER);
  if (dwIndex >= key.key->subkeys.size()) return fail(ERROR_NO_MORE_ITEMS);
  const std::string name = ToProgram(std::next(key.key->subkeys.begin(), dwIndex)->second->name);
  if (name.size() + 1 > cchName) return fail(ERROR_MORE_DATA);
  std::memcpy(lpName, name.c_str(), name.size() + 1);
  return Result(call, ERROR_SUCCESS, QuoteArg(name));
}

// NT deletes only a key without subkeys (ERROR_ACCESS_DENIED otherwise). Handles still open on
// the deleted key turn into ERROR_KEY_DELETED. An empty subkey names the key of hKey itself.
LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  const Call<LONG> call("RegDeleteKeyA(" + Name(hKey) + ", " + QuoteArg(lpSubKey) + ")");
  if (call.Injected()) return Result(call, ERROR_ACCESS_DENIED);
  if (!lpSubKey) return Result(call, ERROR_INVALID_PARAMETER);
  OpenKey from = Resolve(hKey);
  if (from.error) return Result(call, from.error);
  const std::string subKey = FromProgram(lpSubKey);
  std::vector<std::string_view> names;
  if (LONG error = SplitSubKey(subKey, names)) return Result(call, error);
  if (names.empty()) {
    // The key of hKey itself; a root cannot go.
    if (PredefinedRoot(hKey)) return Result(call, ERROR_ACCESS_DENIED);
    RegKey* parent = FindParent(emu::detail::CurrentSession().machine.registry, from.key);
    if (!parent) return Result(call, ERROR_FILE_NOT_FOUND);
    names.push_back(from.key->name);
    from.key = parent;
  }
  std::string_view last = names.back();
  names.pop_back();
  for (auto name : names) {
    from.key = from.key->Find(name);
    if (!from.key) return Result(call, ERROR_FILE_NOT_FOUND);
  }
  RegKey* doomed = from.key->Find(last);
  if (!doomed) return Result(call, ERROR_FILE_NOT_FOUND);
  if (doomed->denied || !doomed->subkeys.empty()) return Result(call, ERROR_ACCESS_DENIED);
  for (auto& [value, handle] : Kernel(emu::detail::CurrentSession()).keyHandles) {
    if (handle.key == doomed) handle.key = nullptr;
  }
  from.key->Remove(last);
  return Result(call, ERROR_SUCCESS);
}

// Closing a root is a harmless no-op; an unknown handle is ERROR_INVALID_HANDLE. An injected
// failure leaves the handle open, so the leak shows in OpenKeyCount.
LONG WINAPI RegCloseKey(HKEY hKey) {
  const Call<LONG> call("RegCloseKey(" + Name(hKey) + ")");
  if (call.Injected()) return Result(call, ERROR_INVALID_HANDLE);
  if (PredefinedRoot(hKey)) return Result(call, ERROR_SUCCESS);
  emu::Session& session = emu::detail::CurrentSession();
  auto found = Kernel(session).keyHandles.find(reinterpret_cast<std::uintptr_t>(hKey));
  if (found == Kernel(session).keyHandles.end() ||
      found->second.process != emu::detail::CurrentProcess().id) {
    return Result(call, ERROR_INVALID_HANDLE);
  }
  Kernel(session).keyHandles.erase(found);
  return Result(call, ERROR_SUCCESS);
}

// The default value of the key or of its subkey. A default never set reads as "" (size 1), as
// the 16-bit API always did; a default that is not REG_SZ is ERROR_INVALID_DATA. A string
// stored without a terminator gets one. Too small a buffer: ERROR_MORE_DATA, the size needed
// in *lpcbData, and the buffer's contents undefined.
LONG WINAPI RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, PLONG lpcbData) {
  const Call<LONG> call("RegQueryValueA(" + Name(hKey) + ", " + QuoteArg(lpSubKey) + ", " +
                        (lpcbData ? std::to_string(*lpcbData) : "NULL") + ")");
  if (call.Injected()) return Result(call, ERROR_ACCESS_DENIED);
  if (lpData && !lpcbData) return Result(call, ERROR_INVALID_PARAMETER);
  OpenKey key = Walk(Resolve(hKey), lpSubKey, false);
  if (key.error) return Result(call, key.error);
  emu::Bytes data{0};
  if (const emu::RegValue* value = key.key->FindValue("")) {
    if (value->type != REG_SZ) return Result(call, ERROR_INVALID_DATA);
    data = ProgramData(*value);
    if (data.empty() || data.back() != 0) data.push_back(0);
  }
  auto needed = static_cast<LONG>(data.size());
  if (!lpcbData) return Result(call, ERROR_SUCCESS);
  LONG capacity = std::max<LONG>(*lpcbData, 0);
  *lpcbData = needed;
  if (!lpData) return Result(call, ERROR_SUCCESS, "size " + std::to_string(needed));
  if (capacity < needed) {
    FillMarker(lpData, static_cast<std::size_t>(capacity));
    return Result(call, ERROR_MORE_DATA, "size " + std::to_string(needed));
  }
  std::memcpy(lpData, data.data(), data.size());
  return Result(call, ERROR_SUCCESS, QuoteArg(lpData));
}

// Sets the default value of the key or of its subkey (created when missing). Only REG_SZ is
// accepted, and Windows takes the size from the string itself: cbData is ignored. The text is
// read in the caller's code page and stored as it reads: a '?' stays a '?'.
LONG WINAPI RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType, LPCSTR lpData, DWORD cbData) {
  const Call<LONG> call("RegSetValueA(" + Name(hKey) + ", " + QuoteArg(lpSubKey) + ", " +
                        std::to_string(dwType) + ", " + QuoteArg(lpData) + ", " +
                        std::to_string(cbData) + ")");
  if (call.Injected()) return Result(call, ERROR_ACCESS_DENIED);
  if (dwType != REG_SZ || !lpData) return Result(call, ERROR_INVALID_PARAMETER);
  OpenKey key = Walk(Resolve(hKey), lpSubKey, true);
  if (key.error) return Result(call, key.error);
  key.key->SetString("", FromProgram(lpData));
  return Result(call, ERROR_SUCCESS);
}

// A named value (NULL or "" is the default value). Without a data buffer only the size is
// reported, exactly: for a string, the size of the text in the caller's code page. The bytes
// come back as stored, strings converted: no terminator is added.
LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
  const Call<LONG> call("RegQueryValueExA(" + Name(hKey) + ", " + QuoteArg(lpValueName) + ", " +
                        (lpcbData ? std::to_string(*lpcbData) : "NULL") + ")");
  if (call.Injected()) return Result(call, ERROR_ACCESS_DENIED);
  if (lpReserved || (lpData && !lpcbData)) return Result(call, ERROR_INVALID_PARAMETER);
  OpenKey key = Resolve(hKey);
  if (key.error) return Result(call, key.error);
  const emu::RegValue* value = key.key->FindValue(FromProgram(lpValueName));
  if (!value) return Result(call, ERROR_FILE_NOT_FOUND);
  if (lpType) *lpType = value->type;
  if (!lpcbData) return Result(call, ERROR_SUCCESS);
  DWORD capacity = *lpcbData;
  const emu::Bytes data = ProgramData(*value);
  auto needed = static_cast<DWORD>(data.size());
  *lpcbData = needed;
  if (!lpData) return Result(call, ERROR_SUCCESS, "size " + std::to_string(needed));
  if (capacity < needed) {
    FillMarker(lpData, capacity);
    return Result(call, ERROR_MORE_DATA, "size " + std::to_string(needed));
  }
  std::memcpy(lpData, data.data(), needed);
  return Result(call, ERROR_SUCCESS, "size " + std::to_string(needed));
}

// Stores the bytes as given: for the string types in the caller's code page, converted to the
// machine's text (cbData counts the terminator, as the documentation asks of the caller; data
// without one is stored without one). Windows does not check the size against the type.
LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) {
  const Call<LONG> call("RegSetValueExA(" + Name(hKey) + ", " + QuoteArg(lpValueName) + ", " +
                        std::to_string(dwType) + ", " + std::to_string(cbData) + ")");
  OpenKey key = Resolve(hKey);
  if (key.error) return Result(call, key.error);
  if (!lpData && cbData > 0) return Result(call, ERROR_NOACCESS);
  emu::Bytes data(lpData, lpData + cbData);
  if (IsStringType(dwType)) {
    const std::string text =
        FromProgram(std::string_view(reinterpret_cast<const char*>(lpData), cbData));
    data.assign(text.begin(), text.end());
  }
  key.key->SetValue(FromProgram(lpValueName), dwType, std::move(data));
  return Result(call, ERROR_SUCCESS);
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  const Call<LONG> call("RegDeleteValueA(" + Name(hKey) + ", " + QuoteArg(lpValueName) + ")");
  OpenKey key = Resolve(hKey);
  if (key.error) return Result(call, key.error);
  const std::string name = FromProgram(lpValueName);
  auto& values = key.key->values;
  const auto found = std::ranges::find_if(
      values, [&](const emu::RegValue& v) { return emu::SameName(v.name, name); });
  if (found == values.end()) return Result(call, ERROR_FILE_NOT_FOUND);
  values.erase(found);
  return Result(call, ERROR_SUCCESS);
}
