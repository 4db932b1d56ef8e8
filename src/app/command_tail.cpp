#include "app/command_tail.h"

LPSTR FindCommandTail(LPSTR commandLine) {
  unsigned char* p = (unsigned char*)commandLine;
  if (*p == '"') {
    // A quoted program path may hold blanks; an unclosed quote runs to the end of the line.
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p > ' ') ++p;
  }
  while (*p != '\0' && *p <= ' ') ++p;
  return (LPSTR)p;
}
