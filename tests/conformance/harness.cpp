// The counting and reporting behind ok() and the tolerances, shared by both builds.
#include <stdarg.h>
#include <stdio.h>

#include "conformance.h"

namespace conformance {
namespace {

const char* g_tolerance = nullptr;  // the reason of the tolerance in force, if any

}  // namespace

Tally& Counts() {
  static Tally tally;
  return tally;
}

void Check(bool passed, int line, const char* format, ...) {
  Tally& tally = Counts();
  ++tally.checks;
  if (passed) {
    ++tally.passed;
    return;
  }
  if (g_tolerance) {
    ++tally.tolerated;
    printf("cases.cpp:%d: Test tolerated (%s): ", line, g_tolerance);
  } else {
    ++tally.failed;
    printf("cases.cpp:%d: Test failed: ", line);
  }
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
  printf("\n");
  fflush(stdout);
}

Tolerance::Tolerance(bool applies, const char* reason) : previous_(g_tolerance) {
  if (applies) g_tolerance = reason;
}

Tolerance::~Tolerance() {
  g_tolerance = previous_;
}

const char* CommandTail(const char* line) {
  if (*line == '"') {
    ++line;
    while (*line && *line != '"') ++line;
    if (*line) ++line;
  } else {
    while (*line && *line != ' ' && *line != '\t') ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

bool OnWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
}

}  // namespace conformance
