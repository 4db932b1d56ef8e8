#include "kernel_state.h"

#include <algorithm>

namespace emu {
namespace detail {

KernelBox::KernelBox() : state_(std::make_unique<KernelState>()) {}
KernelBox::~KernelBox() = default;
KernelBox::KernelBox(const KernelBox& other)
    : state_(std::make_unique<KernelState>(*other.state_)) {}
KernelBox& KernelBox::operator=(const KernelBox& other) {
  if (this != &other) state_ = std::make_unique<KernelState>(*other.state_);
  return *this;
}
// A moved-from box gets a fresh state, so every session always has one.
KernelBox::KernelBox(KernelBox&& other) noexcept : state_(std::move(other.state_)) {
  other.state_ = std::make_unique<KernelState>();
}
KernelBox& KernelBox::operator=(KernelBox&& other) noexcept {
  std::swap(state_, other.state_);
  return *this;
}

}  // namespace detail

const std::vector<Process>& Processes(const Session& session) {
  return Kernel(session).processes;
}

const std::vector<Window>& Windows(const Session& session) {
  return Kernel(session).windows;
}

// Every handle RegOpenKeyA handed out and RegCloseKey has not taken back, an ended process's
// included: the emulator keeps a leaked key open for the rest of the run.
int OpenKeyCount(const Session& session) {
  return static_cast<int>(Kernel(session).keyHandles.size());
}

std::size_t OpenKernelHandleCount(const Session& session) {
  return Kernel(session).kernelHandles.size();
}

// The product's own: another program's handle (a scanner's hold) is not the product's to close.
std::size_t OpenFileCount(const Session& session) {
  return static_cast<std::size_t>(std::ranges::count_if(
      Kernel(session).fileHandles, [](const auto& entry) { return entry.second.process != 0; }));
}

std::uint64_t ClockMs(const Session& session) {
  return Kernel(session).clockMs;
}

long CheckedCallCount(const Session& session) {
  return Kernel(session).checkedCalls;
}

}  // namespace emu
