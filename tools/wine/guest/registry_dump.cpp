#include "registry_dump.h"

#include <windows.h>

#include <cstdio>

#include "wide_text.h"
#include "win_handle.h"

namespace guest {
namespace {

struct RootName {
  const wchar_t* name;
  HKEY key;
  const wchar_t* prefix;  // where the key really lives
};

const RootName kRoots[] = {
    {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE, L""},
    {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER, L""},
    {L"HKEY_CLASSES_ROOT", HKEY_LOCAL_MACHINE, L"Software\\Classes"},
};

std::string Hex(const unsigned char* data, std::size_t size) {
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", data[i]);
    if (i > 0) out += ',';
    out += byte;
  }
  return out;
}

std::string Quoted(std::wstring_view text) {
  std::string out = "\"";
  for (const char c : ToUtf8(text)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// A plain string only when the quoted form gives back the same bytes: one terminator at the
// end and no line breaks or NULs inside. Anything else keeps its bytes as hex(1).
bool PlainString(const std::vector<unsigned char>& data) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const auto* chars = reinterpret_cast<const wchar_t*>(data.data());
  const std::size_t count = data.size() / 2;
  if (chars[count - 1] != L'\0') return false;
  for (std::size_t i = 0; i + 1 < count; ++i) {
    if (chars[i] == L'\0' || chars[i] == L'\r' || chars[i] == L'\n') return false;
  }
  return true;
}

std::string ValueLine(const std::wstring& name, DWORD type,
                      const std::vector<unsigned char>& data) {
  std::string line = name.empty() ? "@" : Quoted(name);
  line += '=';
  if (type == REG_SZ && PlainString(data)) {
    const auto* chars = reinterpret_cast<const wchar_t*>(data.data());
    return line + Quoted(std::wstring_view(chars, data.size() / 2 - 1));
  }
  if (type == REG_DWORD && data.size() == 4) {
    char dword[16];
    std::snprintf(dword, sizeof dword, "dword:%08lx",
                  static_cast<unsigned long>(data[0] | data[1] << 8 | data[2] << 16 |
                                             static_cast<DWORD>(data[3]) << 24));
    return line + dword;
  }
  char prefix[16];
  std::snprintf(prefix, sizeof prefix,
                type == REG_BINARY ? "hex:" : "hex(%lx):", static_cast<unsigned long>(type));
  return line + prefix + Hex(data.data(), data.size());
}

std::string DumpKey(const std::wstring& fullName) {
  const std::size_t slash = fullName.find(L'\\');
  const std::wstring rootName = fullName.substr(0, slash);
  const std::wstring path = slash == std::wstring::npos ? L"" : fullName.substr(slash + 1);
  for (const RootName& root : kRoots) {
    if (_wcsicmp(root.name, rootName.c_str()) != 0) continue;
    std::wstring real = root.prefix;
    if (!real.empty() && !path.empty()) real += L'\\';
    real += path;
    UniqueKey key;
    if (RegOpenKeyExW(root.key, real.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return {};
    // Built piece by piece: GCC 12 warns falsely (-Wrestrict) on "[" + string + "]".
    std::string section = "[";
    section += ToUtf8(fullName);
    section += "]\r\n";
    std::string defaultLine, lines;
    for (DWORD index = 0;; ++index) {
      wchar_t valueName[16384];
      DWORD nameLength = 16384, type = 0, size = 0;
      LONG status =
          RegEnumValueW(key.get(), index, valueName, &nameLength, nullptr, &type, nullptr, &size);
      if (status != ERROR_SUCCESS) break;
      std::vector<unsigned char> data(size);
      nameLength = 16384;
      status = RegEnumValueW(key.get(), index, valueName, &nameLength, nullptr, &type, data.data(),
                             &size);
      if (status != ERROR_SUCCESS) break;
      data.resize(size);
      const std::wstring name(valueName, nameLength);
      // The default value first, as the simulator writes it.
      (name.empty() ? defaultLine : lines) += ValueLine(name, type, data) + "\r\n";
    }
    return section + defaultLine + lines + "\r\n";
  }
  return {};
}

}  // namespace

std::string DumpKeys(const std::vector<std::wstring>& keys) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
  for (const std::wstring& key : keys) text += DumpKey(key);
  return text;
}

std::vector<std::wstring> PendingDeletions() {
  std::vector<std::wstring> paths;
  UniqueKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                    KEY_READ, key.out()) != ERROR_SUCCESS) {
    return paths;
  }
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS) {
    return paths;
  }
  std::wstring data(size / sizeof(wchar_t) + 2, L'\0');
  if (RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, &type,
                       reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
    return paths;
  }
  // Pairs of NT paths ("\??\C:\x"): the file, then its new name, empty for a deletion.
  std::vector<std::wstring> items;
  std::size_t start = 0;
  const std::size_t end = size / sizeof(wchar_t);
  while (start < end) {
    const std::size_t stop = data.find(L'\0', start);
    if (stop == std::wstring::npos || stop >= end) break;
    items.push_back(data.substr(start, stop - start));
    start = stop + 1;
  }
  for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
    if (!items[i + 1].empty()) continue;
    std::wstring path = items[i];
    if (path.starts_with(L"\\??\\")) path.erase(0, 4);
    if (!path.empty()) paths.push_back(path);
  }
  return paths;
}

}  // namespace guest
