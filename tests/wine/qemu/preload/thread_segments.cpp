// Segment registers of guest threads under qemu-i386. Linux keeps the GDT's TLS entries per
// thread; qemu 7.2 keeps one descriptor table for all guest threads, so a selector loaded
// anew takes the base the last thread wrote. Wine reloads both %fs (its TEB) and %gs (glibc's
// thread pointer) on every switch from Windows code, so threads end up on each other's TEB
// and thread data. The LDT, shared by the threads of a process on Linux too, is modelled
// right by qemu:
// - Wine's set_thread_area for %fs is refused (ENOSYS); Wine then gives every thread an LDT
//   entry of its own for the TEB, from entry 512 up when libc's %gs is in the LDT;
// - glibc's %gs moves to an LDT entry of each thread's own below 512, set from the thread
//   pointer (tcbhead_t.tcb, at %gs:0) before Wine records the selector.
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>

namespace {

constexpr long kSysModifyLdt = 123;
constexpr long kSysSetThreadArea = 243;
constexpr unsigned kFirstEntry = 1;
constexpr unsigned kEntryLimit = 512;  // Wine's TEB entries start here

// struct user_desc of <asm/ldt.h>, as modify_ldt takes it.
struct UserDesc {
  unsigned entryNumber;
  unsigned baseAddress;
  unsigned limit;
  unsigned seg32bit : 1;
  unsigned contents : 2;
  unsigned readExecOnly : 1;
  unsigned limitInPages : 1;
  unsigned segNotPresent : 1;
  unsigned useable : 1;
};

using SyscallFunction = long (*)(long, ...);
using StartRoutine = void* (*)(void*);
using PthreadCreateFunction = int (*)(pthread_t*, const pthread_attr_t*, StartRoutine, void*);

unsigned entryUsed[kEntryLimit / 32];
unsigned nextEntry = kFirstEntry;
pthread_key_t entryKey;
bool haveEntryKey;

SyscallFunction RealSyscall() {
  static SyscallFunction real = reinterpret_cast<SyscallFunction>(dlsym(RTLD_NEXT, "syscall"));
  return real;
}

// An unused entry, taken round-robin so that one a thread has just given back is the last
// to be handed out again. 0 when all are taken.
unsigned TakeEntry() {
  for (unsigned tries = 0; tries < kEntryLimit - kFirstEntry; ++tries) {
    unsigned entry = __atomic_fetch_add(&nextEntry, 1, __ATOMIC_RELAXED) % kEntryLimit;
    if (entry < kFirstEntry) continue;
    const unsigned bit = 1u << (entry % 32);
    if ((__atomic_fetch_or(&entryUsed[entry / 32], bit, __ATOMIC_ACQ_REL) & bit) == 0) {
      return entry;
    }
  }
  return 0;
}

void GiveBackEntry(void* value) {
  const unsigned entry = static_cast<unsigned>(reinterpret_cast<uintptr_t>(value));
  __atomic_fetch_and(&entryUsed[entry / 32], ~(1u << (entry % 32)), __ATOMIC_ACQ_REL);
}

// Moves this thread's %gs to an LDT entry of its own with the same base. Left as it is when
// no entry is free or the LDT cannot be written.
void MoveThreadPointerToLdt() {
  const SyscallFunction real = RealSyscall();
  if (real == nullptr) return;
  unsigned base;
  __asm__ volatile("movl %%gs:0, %0" : "=r"(base));
  const unsigned entry = TakeEntry();
  if (entry == 0) return;
  UserDesc desc = {};
  desc.entryNumber = entry;
  desc.baseAddress = base;
  desc.limit = 0xfffff;
  desc.seg32bit = 1;
  desc.limitInPages = 1;
  desc.useable = 1;
  if (real(kSysModifyLdt, 0x11, &desc, sizeof desc) != 0) {
    GiveBackEntry(reinterpret_cast<void*>(static_cast<uintptr_t>(entry)));
    return;
  }
  const unsigned short selector = static_cast<unsigned short>((entry << 3) | 7);
  __asm__ volatile("movw %0, %%gs" ::"r"(selector));
  if (haveEntryKey) {
    pthread_setspecific(entryKey, reinterpret_cast<void*>(static_cast<uintptr_t>(entry)));
  }
}

struct ThreadStart {
  StartRoutine routine;
  void* argument;
};

void* StartOnOwnSegment(void* parameter) {
  const ThreadStart start = *static_cast<ThreadStart*>(parameter);
  free(parameter);
  MoveThreadPointerToLdt();
  return start.routine(start.argument);
}

__attribute__((constructor)) void MoveMainThreadPointer() {
  // The key's destructor gives a thread's entry back as it ends.
  haveEntryKey = pthread_key_create(&entryKey, GiveBackEntry) == 0;
  MoveThreadPointerToLdt();
}

}  // namespace

extern "C" long syscall(long number, ...) noexcept {
  va_list list;
  va_start(list, number);
  long arguments[6];
  for (long& argument : arguments) argument = va_arg(list, long);
  va_end(list);
  if (number == kSysSetThreadArea) {
    errno = ENOSYS;
    return -1;
  }
  const SyscallFunction real = RealSyscall();
  if (real == nullptr) {
    errno = ENOSYS;
    return -1;
  }
  return real(number, arguments[0], arguments[1], arguments[2], arguments[3], arguments[4],
              arguments[5]);
}

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              StartRoutine routine, void* argument) noexcept {
  static PthreadCreateFunction real =
      reinterpret_cast<PthreadCreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
  if (real == nullptr) return EAGAIN;
  auto* const start = static_cast<ThreadStart*>(malloc(sizeof(ThreadStart)));
  if (start == nullptr) return real(thread, attributes, routine, argument);
  start->routine = routine;
  start->argument = argument;
  const int result = real(thread, attributes, StartOnOwnSegment, start);
  if (result != 0) free(start);
  return result;
}
