#include "guest_process.h"

#include <cstdio>
#include <span>

#include "i386_check.h"
#include "symbol_names.h"

namespace runner {
namespace {

// Where things lie in a guest: the stack below 3 MiB as NT puts the first thread's, the
// process parameters (the command line) in a page of their own, and the bridge's stubs high
// in the 2 GiB user space, where system DLLs sit on Windows.
constexpr std::uint64_t kStackTop = 0x00300000;
constexpr std::uint64_t kParameters = 0x00020000;
constexpr std::uint64_t kParameterSize = 0x1000;
constexpr std::uint64_t kStubBase = 0x7E000000;
constexpr std::uint64_t kStubSize = 8;  // bytes a stub
constexpr std::uint8_t kBridgeInterrupt = 0x2E;
constexpr std::uint64_t kStubPages = 0x1000;
constexpr std::uint64_t kRelocatedBase32 = 0x10000000;
constexpr std::uint64_t kRelocatedBase64 = 0x00007FF7A0000000;
constexpr std::size_t kLastCalls = 8;
constexpr std::size_t kDeadStackFill = 512;
// What the volatile registers hold after a bridged call: code that relies on them shows.
constexpr std::uint64_t kTrashed = 0xBAADF00DBAADF00DULL;
// What the callee-saved registers hold at the entry, so a change is seen when it returns.
constexpr std::uint64_t kSavedMarker = 0x5A5A5A5A5A5A5A00ULL;
constexpr std::uint64_t kTimeoutMicroseconds = 0;

const int kSaved32[] = {UC_X86_REG_EBX, UC_X86_REG_ESI, UC_X86_REG_EDI, UC_X86_REG_EBP};
const int kSaved64[] = {UC_X86_REG_RBX, UC_X86_REG_RBP, UC_X86_REG_RDI, UC_X86_REG_RSI,
                        UC_X86_REG_R12, UC_X86_REG_R13, UC_X86_REG_R14, UC_X86_REG_R15};
const int kVolatile32[] = {UC_X86_REG_ECX, UC_X86_REG_EDX};
const int kVolatile64[] = {UC_X86_REG_RCX, UC_X86_REG_RDX, UC_X86_REG_R8,
                           UC_X86_REG_R9,  UC_X86_REG_R10, UC_X86_REG_R11};
const int kVolatileXmm[] = {UC_X86_REG_XMM0, UC_X86_REG_XMM1, UC_X86_REG_XMM2,
                            UC_X86_REG_XMM3, UC_X86_REG_XMM4, UC_X86_REG_XMM5};

void BlockHook(uc_engine*, std::uint64_t address, std::uint32_t size, void* process) {
  static_cast<GuestProcess*>(process)->OnBlock(address, size);
}

bool UnmappedHook(uc_engine*, uc_mem_type type, std::uint64_t address, int size, std::int64_t,
                  void* process) {
  return static_cast<GuestProcess*>(process)->OnUnmapped(type, address, size);
}

bool ProtectionHook(uc_engine*, uc_mem_type type, std::uint64_t address, int size, std::int64_t,
                    void* process) {
  static_cast<GuestProcess*>(process)->OnProtection(type, address, size);
  return false;
}

void InterruptHook(uc_engine*, std::uint32_t number, void* process) {
  static_cast<GuestProcess*>(process)->OnInterrupt(number);
}

const char* AccessName(int type) {
  switch (type) {
    case UC_MEM_READ_UNMAPPED:
    case UC_MEM_READ_PROT:
      return "read";
    case UC_MEM_WRITE_UNMAPPED:
    case UC_MEM_WRITE_PROT:
      return "write";
    default:
      return "execution";
  }
}

}  // namespace

GuestProcess::GuestProcess(const std::vector<std::uint8_t>& exe, const GuestOptions& options)
    : options_(options), cpu_(PeArch(exe)) {
  bool x64 = cpu_.arch() == Arch::X64;
  cpu_.Map(kStubBase, kStubPages, UC_PROT_READ | UC_PROT_EXEC);
  cpu_.Fill(kStubBase, 0xCC, kStubPages);
  stubs_.push_back({nullptr, nullptr});  // stub 0: where the entry returns to
  cpu_.Write(kStubBase, "\xC3", 1);

  auto bind = [this](const std::string& dll, const std::string& name) {
    const BridgeRow* row = FindBridgeRow(dll, name);
    if (!row) throw GuestFault("unbridged import " + dll + "!" + name);
    return BindStub(row, nullptr);
  };
  image_ =
      LoadPe(cpu_, exe, options.relocate ? (x64 ? kRelocatedBase64 : kRelocatedBase32) : 0, bind);
  stack_ = std::make_unique<GuestStack>(cpu_, kStackTop, image_.stackReserve, image_.stackCommit);
  cpu_.Map(kParameters, kParameterSize, UC_PROT_READ | UC_PROT_WRITE);

  uc_hook hook;
  uc_engine* uc = cpu_.engine();
  if (cpu_.arch() == Arch::I386) {
    checked_.assign(static_cast<std::size_t>(image_.sizeOfImage), false);
    for (const CodeRange& range : image_.code) {
      // A block hook, not one on every instruction: each block is walked instruction by
      // instruction once, the first time the CPU enters it, and costs one call after that.
      uc_hook_add(uc, &hook, UC_HOOK_BLOCK, reinterpret_cast<void*>(&BlockHook), this, range.begin,
                  range.end - 1);
      hooks_.push_back(hook);
    }
  }
  uc_hook_add(uc, &hook, UC_HOOK_MEM_UNMAPPED, reinterpret_cast<void*>(&UnmappedHook), this, 1, 0);
  hooks_.push_back(hook);
  uc_hook_add(uc, &hook, UC_HOOK_MEM_PROT, reinterpret_cast<void*>(&ProtectionHook), this, 1, 0);
  hooks_.push_back(hook);
  uc_hook_add(uc, &hook, UC_HOOK_INTR, reinterpret_cast<void*>(&InterruptHook), this, 1, 0);
  hooks_.push_back(hook);
}

GuestProcess::~GuestProcess() {
  for (uc_hook hook : hooks_) uc_hook_del(cpu_.engine(), hook);
}

std::uint64_t GuestProcess::BindStub(const BridgeRow* row, FARPROC hostFunction) {
  std::uint64_t at = kStubBase + kStubSize * stubs_.size();
  if (at + kStubSize > kStubBase + kStubPages) throw GuestFault("out of bridge stubs");
  // The stub traps into the bridge (int 2Eh, NT's old system call gate: an interrupt hook costs
  // nothing per instruction, where a code hook would) and returns as the import would: stdcall
  // pops its arguments, cdecl and x64 do not.
  std::uint8_t code[5] = {0xCD, kBridgeInterrupt, 0xC3, 0, 0};
  std::size_t size = 3;
  if (cpu_.arch() == Arch::I386 && !row->cdecl && row->arguments > 0) {
    code[2] = 0xC2;
    code[3] = static_cast<std::uint8_t>(row->arguments * 4);
    size = 5;
  }
  cpu_.Write(at, code, size);
  stubs_.push_back({row, hostFunction});
  return at;
}

std::uint64_t GuestProcess::DynamicStub(const BridgeRow& row, FARPROC hostFunction) {
  for (std::size_t i = 1; i < stubs_.size(); ++i) {
    if (stubs_[i].row == &row && stubs_[i].hostFunction == hostFunction)
      return kStubBase + kStubSize * i;
  }
  return BindStub(&row, hostFunction);
}

std::uint64_t GuestProcess::CommandLine(const std::string& text) {
  if (commandLine_ == 0) {
    if (text.size() + 1 > kParameterSize) throw GuestFault("a command line beyond one page");
    cpu_.Write(kParameters, text.c_str(), text.size() + 1);
    commandLine_ = kParameters;
  }
  return commandLine_;
}

std::string GuestProcess::RunEntry() {
  bool x64 = cpu_.arch() == Arch::X64;
  unsigned word = cpu_.pointerSize();
  // The loader calls the entry like a function with no arguments; on x86_64 the caller's
  // frame is 16-byte aligned with its 32-byte shadow space above the return address.
  std::uint64_t sp = kStackTop - 64;
  if (x64) cpu_.Fill(sp, kStackMarker, 32);
  sp -= word;
  cpu_.WritePointer(sp, kStubBase);
  cpu_.SetSp(sp);
  std::uint64_t index = 0;
  for (int reg : x64 ? std::span<const int>(kSaved64) : std::span<const int>(kSaved32))
    cpu_.SetReg(reg, kSavedMarker | ++index);

  uc_err error = uc_emu_start(cpu_.engine(), image_.entry, kStubBase, kTimeoutMicroseconds, 0);
  if (pending_) std::rethrow_exception(pending_);
  if (!fault_.empty()) return Report(fault_);
  if (error == UC_ERR_INSN_INVALID) faultStatus_ = 0xC000001D;
  if (error != UC_ERR_OK) return Report(std::string(uc_strerror(error)));
  if (cpu_.Pc() != kStubBase) return Report("the CPU stopped (time limit) outside the bridge");

  // Back from the entry: the return address popped, the callee-saved registers as they were.
  if (cpu_.Sp() != sp + word) {
    return Report("ABI breach: the entry returned with the stack pointer at " +
                  HexAddress(cpu_.Sp()) + ", not " + HexAddress(sp + word));
  }
  index = 0;
  for (int reg : x64 ? std::span<const int>(kSaved64) : std::span<const int>(kSaved32)) {
    std::uint64_t expected = (kSavedMarker | ++index) & (x64 ? ~0ULL : 0xFFFFFFFFULL);
    if (cpu_.Reg(reg) != expected)
      return Report("ABI breach: the entry returned with a callee-saved register changed");
  }
  return "";
}

void GuestProcess::CheckCall(const BridgeRow& row) {
  std::uint64_t sp = cpu_.Sp();
  // Windows requires a 4-byte aligned stack on i386; on x86_64 rsp is 16-byte aligned at the
  // call, so 8 off it once the return address is pushed.
  bool aligned = cpu_.arch() == Arch::X64 ? sp % 16 == 8 : sp % 4 == 0;
  if (!aligned) {
    throw GuestFault(std::string("ABI breach: ") + row.name + " called with the stack pointer at " +
                     HexAddress(sp));
  }
  std::uint64_t back = cpu_.Pointer(sp);
  if (!image_.InCode(back)) {
    throw GuestFault(std::string(row.name) + " would return to " + HexAddress(back) +
                     ", outside the exe's code");
  }
}

void GuestProcess::FinishCall(std::uint64_t result) {
  bool x64 = cpu_.arch() == Arch::X64;
  cpu_.SetResult(x64 ? result : result & 0xFFFFFFFFu);
  for (int reg : x64 ? std::span<const int>(kVolatile64) : std::span<const int>(kVolatile32))
    cpu_.SetReg(reg, kTrashed);
  std::uint64_t sp = cpu_.Sp();
  if (x64) {
    std::uint64_t xmm[2] = {kTrashed, kTrashed};
    for (int reg : kVolatileXmm) uc_reg_write(cpu_.engine(), reg, xmm);
    // The shadow space belongs to the callee, which may leave anything there.
    cpu_.Fill(sp + 8, kStackMarker, 32);
  }
  // The stack below is where the system's own frames ran: garbage to the caller afterwards.
  std::uint64_t from = sp > stack_->committedBottom() + kDeadStackFill ? sp - kDeadStackFill
                                                                       : stack_->committedBottom();
  if (sp > from) cpu_.Fill(from, kStackMarker, static_cast<std::size_t>(sp - from));
}

void GuestProcess::OnStub(std::uint64_t address) {
  std::uint64_t index = (address - kStubBase) / kStubSize;
  if ((address - kStubBase) % kStubSize != 0 || index == 0 || index >= stubs_.size()) {
    Stop("execution in the bridge's stub page at " + HexAddress(address) +
         ", on no stub's first byte");
    return;
  }
  const Stub& stub = stubs_[index];
  try {
    CheckCall(*stub.row);
    lastCalls_.push_back(std::string(stub.row->name) + " from " + Where(cpu_.Pointer(cpu_.Sp())));
    if (lastCalls_.size() > kLastCalls) lastCalls_.pop_front();
    BridgeCall call(*this, stub.hostFunction);
    FinishCall(stub.row->handler(call));
  } catch (const GuestFault& fault) {
    Stop(fault.what());
  } catch (...) {
    // ExitProcess, a stopped run or a host error: rethrown once the CPU has stopped.
    pending_ = std::current_exception();
    uc_emu_stop(cpu_.engine());
  }
}

void GuestProcess::OnBlock(std::uint64_t address, std::uint32_t size) {
  std::size_t at = static_cast<std::size_t>(address - image_.base);
  if (at >= checked_.size() || checked_[at]) return;
  std::vector<std::uint8_t> bytes(size);
  if (!cpu_.TryRead(address, bytes.data(), bytes.size())) return;
  std::size_t offset = 0;
  while (offset < bytes.size()) {
    const x86::I386Verdict instruction =
        x86::CheckI386Instruction(std::span(bytes).subspan(offset));
    // Bytes that hold no instruction end a block (the CPU ends one at an undefined opcode):
    // what comes before them still runs, and the CPU faults with an illegal instruction only
    // when it gets there.
    if (instruction.length == 0) break;
    if (!instruction.whyNot.empty()) {
      faultStatus_ = 0xC000001D;  // STATUS_ILLEGAL_INSTRUCTION
      Stop("illegal instruction on an 80386: " + instruction.whyNot + " at " +
           Where(address + offset));
      return;
    }
    offset += instruction.length;
  }
  checked_[at] = true;
}

bool GuestProcess::OnUnmapped(int type, std::uint64_t address, int size) {
  std::string fault;
  if (type != UC_MEM_FETCH_UNMAPPED && stack_->Grow(address, fault)) return true;
  if (fault.empty()) {
    fault = std::string(AccessName(type)) + " of " + std::to_string(size) + " bytes at " +
            HexAddress(address) + ", which is not mapped";
  }
  fault_ = "access violation: " + fault;
  return false;
}

void GuestProcess::OnProtection(int type, std::uint64_t address, int size) {
  fault_ = std::string("access violation: ") + AccessName(type) + " of " + std::to_string(size) +
           " bytes at " + HexAddress(address) + (type == UC_MEM_FETCH_PROT ? ", no code" : "") +
           " (" + Where(address) + ")";
}

void GuestProcess::OnInterrupt(std::uint32_t number) {
  std::uint64_t pc = cpu_.Pc();  // after the int instruction
  if (number == kBridgeInterrupt && pc >= kStubBase + 2 && pc < kStubBase + kStubPages) {
    OnStub(pc - 2);
    return;
  }
  if (number == 3) faultStatus_ = 0x80000003;  // STATUS_BREAKPOINT
  Stop(number == 3 ? "breakpoint (int 3)" : "interrupt " + std::to_string(number));
}

void GuestProcess::Stop(std::string fault) {
  fault_ = std::move(fault);
  uc_emu_stop(cpu_.engine());
}

std::string GuestProcess::Where(std::uint64_t address) const {
  std::string where = HexAddress(address);
  if (address >= image_.base && address < image_.base + image_.sizeOfImage) {
    std::uint64_t preferred = address - image_.base + image_.preferredBase;
    std::string name = options_.symbols ? options_.symbols->Name(preferred) : "";
    if (!name.empty()) where += " " + name;
    if (image_.base != image_.preferredBase) where += " (" + HexAddress(preferred) + " in the map)";
  } else if (address >= kStubBase && address < kStubBase + kStubPages) {
    std::uint64_t index = (address - kStubBase) / kStubSize;
    if (index > 0 && index < stubs_.size())
      where += std::string(" the bridge's ") + stubs_[index].row->name;
  }
  return where;
}

std::string GuestProcess::Report(const std::string& what) {
  std::uint64_t pc = cpu_.Pc();
  std::string report = what + "\n  at " + Where(pc) + ", instruction bytes:";
  std::uint8_t bytes[15];
  std::size_t have = 0;
  while (have < sizeof bytes && cpu_.TryRead(pc + have, bytes + have, 1)) ++have;
  for (std::size_t i = 0; i < have; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02x", bytes[i]);
    report += hex;
  }
  if (have == 0) report += " (none: not mapped)";
  report += "\n  stack pointer " + HexAddress(cpu_.Sp()) + "; last calls into the bridge:";
  if (lastCalls_.empty()) report += " none";
  for (const std::string& call : lastCalls_) report += "\n    " + call;
  return report;
}

}  // namespace runner
