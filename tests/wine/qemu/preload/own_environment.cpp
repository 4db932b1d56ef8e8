// The library is meant for the i386 Wine processes qemu runs, which get it through
// QEMU_SET_ENV (qemu adds LD_PRELOAD to the guest's environment only). Taken out of the
// environment again, it does not reach the native x86_64 programs Wine starts (wineserver,
// the 64-bit loader), whose ld.so would complain about a 32-bit object; an i386 program
// started from here gets it from QEMU_SET_ENV again.
#include <stdlib.h>

namespace {

__attribute__((constructor)) void KeepPreloadToThisProcess() {
  unsetenv("LD_PRELOAD");
}

}  // namespace
