// orbacp.exe: prints the code pages this process got and what GetTempPathA makes of a temp
// folder with a Cyrillic name, so a test can tell whether a manifest's active code page is in
// force under Wine. Built twice: orbacp.exe carries the product's own manifest
// (res/uninstall.manifest), orbacp_plain.exe none.
//
// Windows 10 1903 and later give a process whose manifest declares activeCodePage UTF-8 the
// code page 65001 from GetACP and GetOEMCP, and every "A" call converts through it; without the
// declaration the system's ANSI code page applies (1252 on a Western-European system) and each
// character it lacks comes back as '?'. GetTempPathA reports TMP first, then TEMP, as Windows
// does; TMP is set here so the answer depends on nothing in the prefix.
#include <windows.h>

#include <cstdio>

namespace {

constexpr const wchar_t* kCyrillicTemp = L"C:\\users\\Иван\\Временные";

void PrintHex(const char* label, const char* bytes, DWORD length) {
  std::printf("%s=", label);
  for (DWORD i = 0; i < length; ++i) std::printf("%02x", static_cast<unsigned char>(bytes[i]));
  std::printf("\n");
}

}  // namespace

int wmain() {
  if (!SetEnvironmentVariableW(L"TMP", kCyrillicTemp)) return 1;
  std::printf("acp=%u\noemcp=%u\n", GetACP(), GetOEMCP());
  char narrow[4 * MAX_PATH];
  const DWORD length = GetTempPathA(sizeof narrow, narrow);
  if (length == 0 || length >= sizeof narrow) return 1;
  PrintHex("temp_a", narrow, length);
  return 0;
}
