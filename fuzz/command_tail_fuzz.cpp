// The command-tail rule on any command line: the tail lies inside the line and never starts
// with a blank, and the launcher's hand-off line always gives back the install folder exactly.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/command_tail.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckAnyLine(std::string line) {
  char* start = line.data();  // the string's terminator ends the line at its first NUL
  const std::size_t length = std::strlen(start);
  const char* tail = FindCommandTail(start);
  Require(tail >= start && tail <= start + length);
  Require(*tail == '\0' || static_cast<unsigned char>(*tail) > ' ');
  // Only the program's path and the blanks after it are skipped: a line that starts with a
  // character above the blank skips no blank before its first blank.
  if (*start != '"') {
    for (const char* p = start; p<tail&& static_cast<unsigned char>(*p)> ' '; ++p) {
      Require(*p != '\0');
    }
  }
}

// "\"copy\" folder": the copy's path has no quote (Windows forbids one in a file name) and the
// install folder starts with a character above the blank (a drive letter, in practice).
void CheckHandOff(const std::string& copy, const std::string& folder) {
  std::string cleanCopy;
  for (char c : copy) {
    if (c != '"' && c != '\0') cleanCopy += c;
  }
  std::string cleanFolder;
  for (char c : folder) {
    if (c != '\0') cleanFolder += c;
  }
  while (!cleanFolder.empty() && static_cast<unsigned char>(cleanFolder[0]) <= ' ') {
    cleanFolder.erase(0, 1);
  }
  std::string line = "\"" + cleanCopy + "\" " + cleanFolder;
  Require(std::string(FindCommandTail(line.data())) == cleanFolder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  CheckAnyLine(input);
  const std::size_t half = input.find('\n');
  if (half != std::string::npos) CheckHandOff(input.substr(0, half), input.substr(half + 1));
  return 0;
}
