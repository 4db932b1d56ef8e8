// The in-memory Windows PC that the emulated API acts on: its registry and drives. How a run
// on it goes is a Scenario (run_scenario.h), what a run leaves is a RunRecord (run_record.h), and
// session.h bundles them for a run.
// Host code only. Text (names, paths, string values) is Unicode, kept as UTF-8: each "A" call
// converts at its boundary with the calling process's code page (code_page.h).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emu {

using Bytes = std::vector<std::uint8_t>;

// Windows compares file and key names through its upper-case table (UpperCodePoint in
// code_page.h: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic).
std::string UpperName(std::string_view name);
bool SameName(std::string_view a, std::string_view b);

// ---------------------------------------------------------------- registry
struct RegValue {
  std::string name;        // "" is the key's default value
  std::uint32_t type = 1;  // REG_SZ
  // REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ: UTF-8 with the terminators as stored, converted
  // to the caller's code page by RegQueryValueExA; any other type: the bytes as they are.
  Bytes data;
};

struct RegKey {
  std::string name;              // case kept
  std::vector<RegValue> values;  // in the order they were set
  // Keyed by UpperName(name): iteration order is RegEnumKeyA order (upper-cased UTF-8 bytes,
  // unsigned, which is the order of the upper-cased code points).
  std::map<std::string, std::unique_ptr<RegKey>> subkeys;
  bool denied = false;  // RegDeleteKeyA on this key fails with ERROR_ACCESS_DENIED

  // Deep copies, so a whole machine can be copied before a run and run more than one way.
  RegKey() = default;
  RegKey(const RegKey& other);
  RegKey& operator=(const RegKey& other);
  RegKey(RegKey&&) noexcept = default;
  RegKey& operator=(RegKey&&) noexcept = default;

  RegKey* Find(std::string_view childName);
  const RegKey* Find(std::string_view childName) const;
  RegKey& Create(std::string_view childName);  // returns the existing child when present
  bool Remove(std::string_view childName);
  const RegValue* FindValue(std::string_view valueName) const;
  void SetValue(std::string_view valueName, std::uint32_t type, Bytes data);
  void SetString(std::string_view valueName, std::string_view text);  // REG_SZ with NUL
};

enum class Root { LocalMachine, CurrentUser, ClassesRoot };  // the order of an outcome dump
const char* RootName(Root root);
const char* ShortRootName(Root root);  // "HKLM", "HKCU", "HKCR": the names people read
                                       // "HKEY_LOCAL_MACHINE", ...
std::optional<Root> ParseRootName(std::string_view name);  // full names and HKLM/HKCU/HKCR

struct Registry {
  RegKey localMachine, currentUser, classesRoot;

  RegKey& RootKey(Root root);
  const RegKey& RootKey(Root root) const;
  // Paths are backslash-separated below a root; "" is the root itself.
  RegKey* FindKey(Root root, std::string_view path);
  const RegKey* FindKey(Root root, std::string_view path) const;
  RegKey& CreateKey(Root root, std::string_view path);
};

// ---------------------------------------------------------------- files
struct FsNode {
  std::string name;  // case kept
  bool directory = false;
  Bytes content;
  std::optional<std::string> linkTarget;  // a link (reparse point): the node is the link itself
  // FILE_ATTRIBUTE_READONLY, _HIDDEN and _SYSTEM as set; GetFileAttributesA adds the rest
  // (ARCHIVE, DIRECTORY, REPARSE_POINT) from what the node is.
  std::uint32_t attributes = 0;
  std::map<std::string, std::unique_ptr<FsNode>> children;  // keyed by UpperName(name)

  FsNode() = default;
  FsNode(const FsNode& other);  // a deep copy, as RegKey's
  FsNode& operator=(const FsNode& other);
  FsNode(FsNode&&) noexcept = default;
  FsNode& operator=(FsNode&&) noexcept = default;
};

struct FileSystem {
  std::map<char, FsNode> drives;  // 'C' -> root folder of C:

  // Absolute paths only ("C:\A\b.txt"); both separators, repeated separators and "." / ".."
  // are accepted. Returns nullptr when any part is missing.
  FsNode* Find(std::string_view absolutePath);
  const FsNode* Find(std::string_view absolutePath) const;
  FsNode& CreateFolder(std::string_view absolutePath);  // with every folder above it
  FsNode& CreateFile(std::string_view absolutePath, Bytes content = {});
};

// The full form of a drive-absolute path as Windows would spell it: "C:\A\b" (a drive root is
// "C:\"), separators unified, "." and ".." resolved, trailing dots and blanks of each name
// dropped; "" when the path is not drive-absolute. Lock keys compare as UpperName of this.
std::string CanonicalPath(std::string_view absolutePath);

struct Machine {
  Registry registry;
  FileSystem files;
  // The header line of the .reg file the registry came from, which an outcome is written
  // with again; "" for a registry built in code.
  std::string registryHeader;
};

}  // namespace emu
