#include "cpu.h"

#include <sys/prctl.h>

#include <cstdio>
#include <vector>

namespace runner {

std::string HexAddress(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, value > 0xFFFFFFFFu ? "0x%016llx" : "0x%08llx",
                static_cast<unsigned long long>(value));
  return text;
}

Cpu::Cpu(Arch arch) : arch_(arch) {
  // Each engine maps a large buffer for its translated code and touches only its start; with
  // transparent huge pages the kernel zeroes 2 MiB at the first touch, a good part of a short
  // run's time. Small pages for this process's anonymous memory from the first engine on.
  static const bool smallPages = prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0) == 0;
  (void)smallPages;
  uc_err error = uc_open(UC_ARCH_X86, arch == Arch::X64 ? UC_MODE_64 : UC_MODE_32, &engine_);
  if (error != UC_ERR_OK) {
    throw std::runtime_error(std::string("Unicorn cannot start: ") + uc_strerror(error));
  }
  // A Windows 4.0 program must run on the oldest CPU Windows 95 takes, a 386; the oldest model
  // Unicorn offers is the 486, which still rejects what came later (cmov, cpuid's newer
  // leaves, MMX and SSE) as an invalid opcode. The x86_64 exe gets the generic 64-bit CPU.
  if (arch == Arch::I386) uc_ctl_set_cpu_model(engine_, UC_CPU_X86_486);
}

Cpu::~Cpu() {
  if (engine_) uc_close(engine_);
}

void Cpu::Map(std::uint64_t address, std::uint64_t size, std::uint32_t protection) {
  uc_err error = uc_mem_map(engine_, address, size, protection);
  if (error != UC_ERR_OK) {
    throw GuestFault("cannot map " + std::to_string(size) + " bytes at " + HexAddress(address) +
                     ": " + uc_strerror(error));
  }
}

void Cpu::Write(std::uint64_t address, const void* data, std::size_t size) {
  if (size == 0) return;
  if (uc_mem_write(engine_, address, data, size) != UC_ERR_OK) {
    throw GuestFault("write of " + std::to_string(size) + " bytes at " + HexAddress(address) +
                     " outside the process's memory");
  }
}

bool Cpu::TryRead(std::uint64_t address, void* data, std::size_t size) const {
  return size == 0 || uc_mem_read(engine_, address, data, size) == UC_ERR_OK;
}

void Cpu::Read(std::uint64_t address, void* data, std::size_t size) const {
  if (!TryRead(address, data, size)) {
    throw GuestFault("read of " + std::to_string(size) + " bytes at " + HexAddress(address) +
                     " outside the process's memory");
  }
}

std::uint32_t Cpu::U32(std::uint64_t address) const {
  std::uint8_t b[4];
  Read(address, b, 4);
  return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::uint64_t Cpu::Pointer(std::uint64_t address) const {
  if (arch_ == Arch::I386) return U32(address);
  return U32(address) | static_cast<std::uint64_t>(U32(address + 4)) << 32;
}

void Cpu::WriteU32(std::uint64_t address, std::uint32_t value) {
  std::uint8_t b[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                       static_cast<std::uint8_t>(value >> 16),
                       static_cast<std::uint8_t>(value >> 24)};
  Write(address, b, 4);
}

void Cpu::WritePointer(std::uint64_t address, std::uint64_t value) {
  WriteU32(address, static_cast<std::uint32_t>(value));
  if (arch_ == Arch::X64) WriteU32(address + 4, static_cast<std::uint32_t>(value >> 32));
}

void Cpu::Fill(std::uint64_t address, std::uint8_t byte, std::size_t size) {
  std::vector<std::uint8_t> bytes(size, byte);
  Write(address, bytes.data(), bytes.size());
}

// Read a page-bounded chunk at a time: a string may end just before unmapped memory.
std::string Cpu::CString(std::uint64_t address, std::size_t limit) const {
  std::string text;
  while (text.size() <= limit) {
    std::uint64_t at = address + text.size();
    std::size_t chunk = static_cast<std::size_t>(0x1000 - (at & 0xFFF));
    if (chunk > 256) chunk = 256;
    char bytes[256];
    Read(at, bytes, chunk);
    for (std::size_t i = 0; i < chunk; ++i) {
      if (bytes[i] == '\0') return text;
      text += bytes[i];
    }
  }
  throw GuestFault("the string at " + HexAddress(address) + " has no terminator within " +
                   std::to_string(limit) + " bytes");
}

std::u16string Cpu::WideString(std::uint64_t address, std::size_t limit) const {
  std::u16string text;
  for (std::uint64_t at = address; text.size() <= limit; at += 2) {
    std::uint8_t b[2];
    Read(at, b, 2);
    char16_t unit = static_cast<char16_t>(b[0] | b[1] << 8);
    if (unit == 0) return text;
    text += unit;
  }
  throw GuestFault("the wide string at " + HexAddress(address) + " has no terminator");
}

std::uint64_t Cpu::Reg(int reg) const {
  std::uint64_t value = 0;
  uc_reg_read(engine_, reg, &value);
  return arch_ == Arch::I386 ? value & 0xFFFFFFFFu : value;
}

void Cpu::SetReg(int reg, std::uint64_t value) {
  uc_reg_write(engine_, reg, &value);
}

}  // namespace runner
