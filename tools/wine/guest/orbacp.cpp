// orbacp.exe: prints the code pages a process gets under this Wine and what its "A" calls make
// of the temp folder and of the TEMP variable, next to the "W" calls' answer in UTF-8, so a test
// can tell whether the manifest's active code page is in force. Built twice: orbacp.exe carries
// the product's own manifest (res/uninstall.manifest), orbacp_plain.exe none. Windows 10 1903
// and later give a process whose manifest declares activeCodePage UTF-8 the code page 65001 from
// GetACP, and every "A" call converts through it; without the declaration the system's ANSI code
// page (1252 on a Western-European system) applies and a character it lacks comes back as '?'.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Hex(const char* bytes, DWORD length) {
  std::string out;
  char pair[4];
  for (DWORD i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(bytes[i]));
    out += pair;
  }
  return out;
}

std::string Utf8(const wchar_t* text, DWORD length) {
  char buffer[4 * MAX_PATH];
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), buffer,
                                       sizeof buffer, nullptr, nullptr);
  return Hex(buffer, size > 0 ? static_cast<DWORD>(size) : 0);
}

}  // namespace

int wmain() {
  std::printf("acp=%u\n", GetACP());
  std::printf("oemcp=%u\n", GetOEMCP());
  char narrow[4 * MAX_PATH];
  wchar_t wide[MAX_PATH];
  const DWORD tempA = GetTempPathA(sizeof narrow, narrow);
  const DWORD tempW = GetTempPathW(MAX_PATH, wide);
  std::printf("temp_a=%s\ntemp_w=%s\n", Hex(narrow, tempA < sizeof narrow ? tempA : 0).c_str(),
              Utf8(wide, tempW < MAX_PATH ? tempW : 0).c_str());
  const DWORD envA = GetEnvironmentVariableA("TEMP", narrow, sizeof narrow);
  const DWORD envW = GetEnvironmentVariableW(L"TEMP", wide, MAX_PATH);
  std::printf("env_a=%s\nenv_w=%s\n", Hex(narrow, envA < sizeof narrow ? envA : 0).c_str(),
              Utf8(wide, envW < MAX_PATH ? envW : 0).c_str());
  return 0;
}
