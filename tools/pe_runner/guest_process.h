// One process of the emulated machine running an exe's machine code: its CPU and memory, the
// loaded image, the stack, the stubs its imports are bound to, and the checks made at every
// crossing between guest code and the bridge.
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cpu.h"
#include "guest_stack.h"
#include "import_table.h"
#include "pe_loader.h"

namespace runner {

struct MapSymbolTable;  // symbol_names.h

struct GuestOptions {
  bool relocate = true;  // load at another base than the preferred one, as ASLR does
  const MapSymbolTable* symbols = nullptr;  // the link map's names, for fault reports
};

class GuestProcess {
 public:
  GuestProcess(const std::vector<std::uint8_t>& exe, const GuestOptions& options);
  ~GuestProcess();
  GuestProcess(const GuestProcess&) = delete;
  GuestProcess& operator=(const GuestProcess&) = delete;

  // Runs the entry to its end. Returns "" when the entry returned as the ABI demands, or the
  // fault report. An exception of the emulator (ExitProcess, a stopped run) is rethrown here,
  // after the CPU has stopped.
  std::string RunEntry();

  // The status a faulted process ends with: STATUS_ILLEGAL_INSTRUCTION for an opcode the CPU
  // does not have, STATUS_ACCESS_VIOLATION for everything else, as Windows would end it.
  std::uint32_t faultStatus() const { return faultStatus_; }

  Cpu& cpu() { return cpu_; }
  const LoadedImage& image() const { return image_; }
  // A guest address that lands in the bridge for a function GetProcAddress handed out.
  std::uint64_t DynamicStub(const BridgeRow& row, FARPROC hostFunction);
  // The process's command line in guest memory, written once (Windows keeps one buffer).
  std::uint64_t CommandLine(const std::string& text);

  // Hooks (called by Unicorn's callbacks; they never throw).
  void OnStub(std::uint64_t address);
  void OnBlock(std::uint64_t address, std::uint32_t size);
  bool OnUnmapped(int type, std::uint64_t address, int size);
  void OnProtection(int type, std::uint64_t address, int size);
  void OnInterrupt(std::uint32_t number);

 private:
  struct Stub {
    const BridgeRow* row;
    FARPROC hostFunction;
  };
  std::uint64_t BindStub(const BridgeRow* row, FARPROC hostFunction);
  void CheckCall(const BridgeRow& row);
  void FinishCall(std::uint64_t result);
  void Stop(std::string fault);
  std::string Report(const std::string& what);
  std::string Where(std::uint64_t address) const;

  GuestOptions options_;
  Cpu cpu_;
  LoadedImage image_;
  std::unique_ptr<GuestStack> stack_;
  std::vector<Stub> stubs_;
  std::uint64_t commandLine_ = 0;
  std::deque<std::string> lastCalls_;
  std::string fault_;  // set by a hook that stopped the CPU
  std::exception_ptr pending_;
  std::uint32_t faultStatus_ = 0xC0000005;
  std::vector<uc_hook> hooks_;
  std::vector<bool> checked_;  // a bit a byte of the exe's image: a block starting there checked
};

}  // namespace runner
