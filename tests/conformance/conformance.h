// The conformance cases' harness, in the manner of Wine's test suites: each check is one
// ok(condition, "expected ..., got ...") with the values in the message, a case is a function,
// and a difference of one Windows from another (or of Wine from Windows) that the product
// copes with is marked where it is checked, with its reason, and counted apart.
//
// The same cases are built twice: for the host against the emulated machine, and with MinGW as
// a Windows console program that runs under Wine. Both builds see only the "A" API.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include "platform/emulated/platform_api.h"
#include "platform/emulated/setup_api.h"
#endif

namespace conformance {

struct Tally {
  unsigned cases = 0, checks = 0, passed = 0, failed = 0, tolerated = 0;
};

// What one run of the program found, to be printed and added to the next phase's.
Tally& Counts();

// Records one check; the message is printed when it fails (or fails where tolerated).
void Check(bool passed, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// While a Tolerance lives, a failing check counts as tolerated with its reason and a passing
// one passes as usual: the two behaviours are both Windows' (or Wine's documented one), and the
// product copies with each. `applies` limits it to where the difference is known to show.
class Tolerance {
 public:
  Tolerance(bool applies, const char* reason);
  ~Tolerance();
  Tolerance(const Tolerance&) = delete;
  Tolerance& operator=(const Tolerance&) = delete;
  bool Once() { return first_ ? !(first_ = false) : false; }

 private:
  const char* previous_;
  bool first_ = true;
};

// The command line after the program's name, quoted or not.
const char* CommandTail(const char* commandLine);

// True under Wine (ntdll exports wine_get_version there, and nowhere else).
bool OnWine();

}  // namespace conformance

#define ok(condition, ...) ::conformance::Check((condition) != 0, __LINE__, __VA_ARGS__)
#define tolerated_if(applies, reason) \
  for (::conformance::Tolerance tolerance_((applies), (reason)); tolerance_.Once();)
#define todo_wine_because(reason) tolerated_if(::conformance::OnWine(), (reason))

// The program's three runs: the cases, the children they start (each writes what it saw of
// itself into the registry), and the checks of what those children wrote, made once they have
// all ended. Returns the process's exit code: 0 when nothing failed.
int RunConformance(const char* commandTail);
