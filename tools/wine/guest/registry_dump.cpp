#include "registry_dump.h"

#include <windows.h>

#include "reg_format.h"
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

std::string ValueLines(const std::wstring& name, DWORD type,
                       const std::vector<unsigned char>& data) {
  // A REG_SZ is text when its UTF-16 comes in whole characters; the format decides whether
  // the quoted form gives its bytes back.
  std::string text;
  if (type == REG_SZ && data.size() % 2 == 0) {
    text = ToUtf8({reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2});
  }
  return machine_image::RegValueLines(ToUtf8(name), type, text,
                                      {reinterpret_cast<const char*>(data.data()), data.size()});
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
      (name.empty() ? defaultLine : lines) += ValueLines(name, type, data);
    }
    return machine_image::RegSectionLine(ToUtf8(fullName)) + defaultLine + lines + "\r\n";
  }
  return {};
}

}  // namespace

std::string DumpKeys(const std::vector<std::wstring>& keys) {
  std::string text = machine_image::RegFileHead(machine_image::kRegedit5);
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
