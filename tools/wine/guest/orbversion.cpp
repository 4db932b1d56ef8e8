// orbversion.exe PATH: prints what Windows' version API reads from PATH's version resource, a
// line a field, so a test can hold it to the values the program should carry. The fields are
// read as Explorer's property page reads them: the first translation of the resource, then each
// string of that language and code page.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const wchar_t* const kFields[] = {L"CompanyName",      L"FileDescription", L"FileVersion",
                                  L"OriginalFilename", L"ProductName",     L"ProductVersion"};

struct Translation {
  WORD language;
  WORD codePage;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fwprintf(stderr, L"usage: orbversion PATH\n");
    return 2;
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
  if (size == 0) {
    std::fwprintf(stderr, L"no version resource (error %lu)\n", GetLastError());
    return 1;
  }
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(argv[1], 0, size, block.data())) {
    std::fwprintf(stderr, L"version resource unreadable (error %lu)\n", GetLastError());
    return 1;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
    std::wprintf(L"fixed file version=%lu.%lu.%lu.%lu\n", HIWORD(fixed->dwFileVersionMS),
                 LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                 LOWORD(fixed->dwFileVersionLS));
  }
  Translation* translations = nullptr;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translations), &length) ||
      length < sizeof(Translation)) {
    std::fwprintf(stderr, L"no translation\n");
    return 1;
  }
  std::wprintf(L"translation=%u %u\n", translations[0].language, translations[0].codePage);
  for (const wchar_t* field : kFields) {
    wchar_t query[96];
    std::swprintf(query, 96, L"\\StringFileInfo\\%04x%04x\\%ls", translations[0].language,
                  translations[0].codePage, field);
    wchar_t* value = nullptr;
    if (VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&value), &length) && value) {
      std::wprintf(L"%ls=%ls\n", field, value);
    } else {
      std::wprintf(L"%ls=(missing)\n", field);
    }
  }
  return 0;
}
