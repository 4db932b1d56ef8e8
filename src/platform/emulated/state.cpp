#include "state.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "file_handles.h"
#include "races.h"

namespace emu::detail {
namespace {

Machine* g_machine = nullptr;
int g_process = 0;

}  // namespace

Machine& CurrentMachine() {
  if (!g_machine) throw std::logic_error("an emulated Windows call with no machine running");
  return *g_machine;
}

Process& CurrentProcess() {
  Machine& machine = CurrentMachine();
  if (g_process < 1 || static_cast<std::size_t>(g_process) > machine.processes.size()) {
    throw std::logic_error("an emulated Windows call with no process running");
  }
  return machine.processes[static_cast<std::size_t>(g_process) - 1];
}

Machine* SwapCurrent(Machine* machine, int process, int* previousProcess) {
  Machine* previous = g_machine;
  *previousProcess = g_process;
  g_machine = machine;
  g_process = process;
  return previous;
}

CurrentScope::CurrentScope(Machine& machine, int process)
    : previousMachine_(SwapCurrent(&machine, process, &previousProcess_)) {}

CurrentScope::~CurrentScope() {
  int ignored = 0;
  SwapCurrent(previousMachine_, previousProcess_, &ignored);
}

void CurrentScope::SwitchProcess(int process) {
  g_process = process;
}

void Trace(std::string text) {
  Machine& machine = CurrentMachine();
  machine.trace.push_back(
      {machine.events.size(), std::to_string(g_process) + ": " + text, g_process});
  // A call's trace line is the last thing it does, so what follows it happens after it returns.
  AfterCall(machine, text);
}

void SetError(std::uint32_t error) {
  CurrentProcess().lastError = error;
}

int AddProcess(Machine& machine, std::string image, std::string commandLine,
               std::string currentDir) {
  Process process;
  process.id = static_cast<int>(machine.processes.size()) + 1;
  process.image = std::move(image);
  process.commandLine = std::move(commandLine);
  process.currentDir = std::move(currentDir);
  process.commandLineBuffer = std::make_shared<std::string>(process.commandLine);
  machine.processes.push_back(std::move(process));
  return machine.processes.back().id;
}

void RecordExit(Machine& machine, int process, int code) {
  Process& ended = machine.processes[static_cast<std::size_t>(process) - 1];
  CloseHandlesOf(machine, process);
  ended.running = false;
  ended.ended = true;
  ended.exitCode = code;
  // Windows closes what the process left open; counting it first keeps a leak visible.
  for (auto it = machine.kernelHandles.begin(); it != machine.kernelHandles.end();) {
    if (it->second.owner == process) {
      ++ended.handlesOpenAtExit;
      it = machine.kernelHandles.erase(it);
    } else {
      ++it;
    }
  }
  Event event = NewEvent(Event::Kind::Exit, process);
  event.code = code;
  machine.events.push_back(std::move(event));
}

}  // namespace emu::detail
