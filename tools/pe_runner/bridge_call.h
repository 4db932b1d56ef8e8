// What a bridged import sees of its call: the guest's arguments under the calling convention
// of the exe's architecture, and guest memory translated to and from host values. Buffers are
// copied in before the emulated function runs and back after, whole, so a function that leaves
// a buffer alone leaves the guest's bytes alone too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cpu.h"
#include "platform_api.h"

namespace runner {

class GuestProcess;

class BridgeCall {
 public:
  BridgeCall(GuestProcess& process, FARPROC hostFunction)
      : process_(process), hostFunction_(hostFunction) {}

  GuestProcess& process() const { return process_; }
  Cpu& cpu() const;
  // What GetProcAddress handed out for this stub (nullptr for a statically bound import).
  FARPROC hostFunction() const { return hostFunction_; }

  // i386: the 32-bit stack slot, zero-extended; x86_64: rcx, rdx, r8, r9, then the stack
  // above the 32-byte shadow space.
  std::uint64_t Arg(int index) const;
  std::uint32_t U32(int index) const { return static_cast<std::uint32_t>(Arg(index)); }
  std::optional<std::string> String(int index) const;  // nullopt for NULL

  // Handles: a 32-bit exe's are sign-extended, as WOW64 widens them (HKEY_CLASSES_ROOT is
  // (HKEY)(LONG)0x80000000); the own module is the image base to the guest and
  // ProcessInstance() to the emulator.
  void* Handle(int index) const { return HostHandle(Arg(index)); }
  void* HostHandle(std::uint64_t guest) const;
  std::uint64_t GuestHandle(const void* host) const;

 private:
  GuestProcess& process_;
  FARPROC hostFunction_;
};

inline const char* Text(const std::optional<std::string>& text) {
  return text ? text->c_str() : nullptr;
}

// A guest buffer of `size` bytes, copied to the host and back.
class GuestBuffer {
 public:
  GuestBuffer(Cpu& cpu, std::uint64_t address, std::uint64_t size);
  char* chars() { return address_ ? reinterpret_cast<char*>(bytes_.data()) : nullptr; }
  BYTE* bytes() { return address_ ? bytes_.data() : nullptr; }
  void WriteBack();

 private:
  Cpu& cpu_;
  std::uint64_t address_;
  std::vector<BYTE> bytes_;
};

// A DWORD or LONG the call reads and writes through a pointer (NULL stays NULL).
class GuestDword {
 public:
  GuestDword(Cpu& cpu, std::uint64_t address);
  DWORD* get() { return address_ ? &value_ : nullptr; }
  LONG* signedValue() { return address_ ? reinterpret_cast<LONG*>(&value_) : nullptr; }
  DWORD value() const { return value_; }
  void WriteBack();

 private:
  Cpu& cpu_;
  std::uint64_t address_;
  DWORD value_ = 0;
};

}  // namespace runner
