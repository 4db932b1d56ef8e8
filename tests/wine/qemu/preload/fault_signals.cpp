// The trap number of a fault under qemu-i386. The kernel stores the x86 exception vector in
// the signal context's trapno, and Wine's handlers decide on it alone: 14 is a page fault
// (guard pages, stack growth, write watches, then an access violation), 13 a protection fault,
// 6 an invalid opcode. qemu 7.2 stores -1 there, so Wine takes every page fault for an
// illegal instruction (c000001d). Wine's fault handlers are installed through this sigaction;
// each is called through a trampoline that first puts back the vector Linux would have
// stored, as it follows from the signal and si_code (linux arch/x86/kernel/traps.c).
#include <dlfcn.h>
#include <signal.h>
#include <sys/ucontext.h>

namespace {

using Handler = void (*)(int, siginfo_t*, void*);
using SigactionFunction = int (*)(int, const struct sigaction*, struct sigaction*);

constexpr int kUnknownTrap = -1;
Handler wineHandlers[NSIG];

int TrapNumber(int signal, int code) {
  switch (signal) {
    case SIGSEGV:  // page faults carry SEGV_MAPERR/SEGV_ACCERR; #GP comes as SI_KERNEL
      return code == SEGV_MAPERR || code == SEGV_ACCERR ? 14 : 13;
    case SIGBUS:  // alignment check, or a segment not present
      return code == BUS_ADRALN ? 17 : 11;
    case SIGILL:
      return 6;
    case SIGFPE:  // divide error, else an x87 error
      return code == FPE_INTDIV ? 0 : 16;
    case SIGTRAP:  // single step, else int3
      return code == TRAP_TRACE ? 1 : 3;
    default:
      return kUnknownTrap;
  }
}

bool IsFault(int signal) {
  return signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE ||
         signal == SIGTRAP;
}

// Runs on the interrupted thread's signal stack, possibly in Windows code whose %gs is not
// libc's: it touches no thread-local data (no errno, no stack protector) and calls nothing.
void RestoreTrapNumber(int signal, siginfo_t* info, void* context) {
  auto* const ucontext = static_cast<ucontext_t*>(context);
  greg_t& trap = ucontext->uc_mcontext.gregs[REG_TRAPNO];
  if (trap == kUnknownTrap) trap = TrapNumber(signal, info->si_code);
  wineHandlers[signal](signal, info, context);
}

SigactionFunction RealSigaction() {
  static SigactionFunction real =
      reinterpret_cast<SigactionFunction>(dlsym(RTLD_NEXT, "sigaction"));
  return real;
}

}  // namespace

extern "C" int sigaction(int signal, const struct sigaction* action,
                         struct sigaction* previous) noexcept {
  const SigactionFunction real = RealSigaction();
  if (real == nullptr || signal <= 0 || signal >= NSIG || !IsFault(signal)) {
    return real == nullptr ? -1 : real(signal, action, previous);
  }
  const Handler before = wineHandlers[signal];
  int result;
  if (action != nullptr && (action->sa_flags & SA_SIGINFO) != 0 &&
      action->sa_sigaction != nullptr) {
    struct sigaction wrapped = *action;
    wineHandlers[signal] = action->sa_sigaction;
    wrapped.sa_sigaction = RestoreTrapNumber;
    result = real(signal, &wrapped, previous);
    if (result != 0) wineHandlers[signal] = before;
  } else {
    result = real(signal, action, previous);
  }
  // Whoever asks sees the handler they installed, not the trampoline.
  if (result == 0 && previous != nullptr && (previous->sa_flags & SA_SIGINFO) != 0 &&
      previous->sa_sigaction == RestoreTrapNumber) {
    previous->sa_sigaction = before;
  }
  return result;
}
