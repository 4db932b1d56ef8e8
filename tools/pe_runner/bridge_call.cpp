#include "bridge_call.h"

#include "guest_process.h"
#include "handles.h"

namespace runner {
namespace {

// A guest that names a buffer larger than this is handing the system a wild size.
constexpr std::uint64_t kLargestBuffer = 1 << 20;

}  // namespace

Cpu& BridgeCall::cpu() const {
  return process_.cpu();
}

std::uint64_t BridgeCall::Arg(int index) const {
  Cpu& cpu = process_.cpu();
  if (cpu.arch() == Arch::I386) return cpu.U32(cpu.Sp() + 4 + 4 * static_cast<unsigned>(index));
  static const int kRegisters[] = {UC_X86_REG_RCX, UC_X86_REG_RDX, UC_X86_REG_R8, UC_X86_REG_R9};
  if (index < 4) return cpu.Reg(kRegisters[index]);
  return cpu.Pointer(cpu.Sp() + 8 + 8 * static_cast<unsigned>(index));
}

std::optional<std::string> BridgeCall::String(int index) const {
  std::uint64_t address = Arg(index);
  if (address == 0) return std::nullopt;
  return process_.cpu().CString(address);
}

void* BridgeCall::HostHandle(std::uint64_t guest) const {
  if (guest != 0 && guest == process_.image().base) return emu::detail::ProcessInstance();
  if (process_.cpu().arch() == Arch::I386) {
    guest = static_cast<std::uint64_t>(
        static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(guest))));
  }
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(guest));
}

std::uint64_t BridgeCall::GuestHandle(const void* host) const {
  if (host && host == emu::detail::ProcessInstance()) return process_.image().base;
  auto value = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(host));
  if (process_.cpu().arch() == Arch::I386) {
    auto narrow = static_cast<std::int64_t>(value);
    if (narrow < INT32_MIN || narrow > static_cast<std::int64_t>(UINT32_MAX)) {
      throw GuestFault("a handle " + HexAddress(value) + " that a 32-bit process cannot hold");
    }
    value &= 0xFFFFFFFFu;
  }
  return value;
}

GuestBuffer::GuestBuffer(Cpu& cpu, std::uint64_t address, std::uint64_t size)
    : cpu_(cpu), address_(address) {
  if (address_ == 0) return;
  if (size > kLargestBuffer) {
    throw GuestFault("a buffer of " + std::to_string(size) + " bytes at " + HexAddress(address) +
                     " handed to the system");
  }
  bytes_.resize(static_cast<std::size_t>(size));
  cpu_.Read(address_, bytes_.data(), bytes_.size());
}

void GuestBuffer::WriteBack() {
  if (address_) cpu_.Write(address_, bytes_.data(), bytes_.size());
}

GuestDword::GuestDword(Cpu& cpu, std::uint64_t address) : cpu_(cpu), address_(address) {
  if (address_) value_ = cpu_.U32(address_);
}

void GuestDword::WriteBack() {
  if (address_) cpu_.WriteU32(address_, value_);
}

}  // namespace runner
