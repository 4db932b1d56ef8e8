// One emulated x86 CPU with its memory (Unicorn 2), owned for the life of one guest process.
// Guest memory that cannot be read or written ends the process: GuestFault.
#pragma once

#include <unicorn/unicorn.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace runner {

enum class Arch { I386, X64 };

// What ends a guest process with a fault report: a bad access, an ABI breach, an unbridged
// import. Thrown only on the host side of a hook, never through Unicorn's own frames.
class GuestFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string HexAddress(std::uint64_t value);

class Cpu {
 public:
  explicit Cpu(Arch arch);
  ~Cpu();
  Cpu(const Cpu&) = delete;
  Cpu& operator=(const Cpu&) = delete;

  uc_engine* engine() const { return engine_; }
  Arch arch() const { return arch_; }
  unsigned pointerSize() const { return arch_ == Arch::X64 ? 8u : 4u; }

  void Map(std::uint64_t address, std::uint64_t size, std::uint32_t protection);
  // Writes whatever the guest's protection says: the loader's and the bridge's own writes.
  void Write(std::uint64_t address, const void* data, std::size_t size);
  void Read(std::uint64_t address, void* data, std::size_t size) const;
  bool TryRead(std::uint64_t address, void* data, std::size_t size) const;

  std::uint32_t U32(std::uint64_t address) const;
  std::uint64_t Pointer(std::uint64_t address) const;  // 4 or 8 bytes, zero-extended
  void WriteU32(std::uint64_t address, std::uint32_t value);
  void WritePointer(std::uint64_t address, std::uint64_t value);
  void Fill(std::uint64_t address, std::uint8_t byte, std::size_t size);
  // A NUL-terminated string of at most `limit` bytes before the NUL.
  std::string CString(std::uint64_t address, std::size_t limit = 64 * 1024) const;
  std::u16string WideString(std::uint64_t address, std::size_t limit = 32 * 1024) const;

  std::uint64_t Reg(int reg) const;
  void SetReg(int reg, std::uint64_t value);
  std::uint64_t Sp() const { return Reg(arch_ == Arch::X64 ? UC_X86_REG_RSP : UC_X86_REG_ESP); }
  std::uint64_t Pc() const { return Reg(arch_ == Arch::X64 ? UC_X86_REG_RIP : UC_X86_REG_EIP); }
  void SetSp(std::uint64_t value) {
    SetReg(arch_ == Arch::X64 ? UC_X86_REG_RSP : UC_X86_REG_ESP, value);
  }
  void SetResult(std::uint64_t value) {
    SetReg(arch_ == Arch::X64 ? UC_X86_REG_RAX : UC_X86_REG_EAX, value);
  }

 private:
  Arch arch_;
  uc_engine* engine_ = nullptr;
};

}  // namespace runner
