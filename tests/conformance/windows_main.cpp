// The cases as a Windows console program: run it, wait for the children it started, then run
// it again with "verify".
#include "conformance.h"

int main() {
  return RunConformance(conformance::CommandTail(GetCommandLineA()));
}
