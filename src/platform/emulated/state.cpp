#include "state.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "code_page.h"
#include "file_handles.h"
#include "races.h"
#include "trace_format.h"

namespace emu::detail {
namespace {

Session* g_session = nullptr;
int g_process = 0;

}  // namespace

Session& CurrentSession() {
  if (!g_session) throw std::logic_error("an emulated Windows call with no machine running");
  return *g_session;
}

Process& CurrentProcess() {
  Session& session = CurrentSession();
  if (g_process < 1 || static_cast<std::size_t>(g_process) > Kernel(session).processes.size()) {
    throw std::logic_error("an emulated Windows call with no process running");
  }
  return Kernel(session).processes[static_cast<std::size_t>(g_process) - 1];
}

Session* SwapCurrent(Session* session, int process, int* previousProcess) {
  Session* previous = g_session;
  *previousProcess = g_process;
  g_session = session;
  g_process = process;
  return previous;
}

CurrentScope::CurrentScope(Session& session, int process)
    : previousSession_(SwapCurrent(&session, process, &previousProcess_)) {}

CurrentScope::~CurrentScope() {
  int ignored = 0;
  SwapCurrent(previousSession_, previousProcess_, &ignored);
}

void CurrentScope::SwitchProcess(int process) {
  g_process = process;
}

unsigned CurrentCodePage() {
  if (!g_session || g_process < 1 ||
      static_cast<std::size_t>(g_process) > Kernel(*g_session).processes.size()) {
    return 1252;
  }
  return Kernel(*g_session).processes[static_cast<std::size_t>(g_process) - 1].codePage;
}

std::string FromProgram(const char* ansi) {
  return ansi ? ToMachine(CurrentCodePage(), ansi) : std::string();
}

std::string FromProgram(std::string_view ansi) {
  return ToMachine(CurrentCodePage(), ansi);
}

std::string ToProgram(std::string_view text) {
  return FromMachine(CurrentCodePage(), text);
}

std::string QuoteArg(const char* ansi) {
  return ansi ? Quote(FromProgram(ansi)) : "NULL";
}

std::string QuoteArg(std::string_view ansi) {
  return Quote(FromProgram(ansi));
}

void StartProgram(const Session& session, Process& process, std::string_view manifest) {
  process.codePage = ProgramCodePage(session.scenario, manifest);
  process.commandLineBuffer =
      std::make_shared<std::string>(FromMachine(process.codePage, process.commandLine));
}

void Trace(std::string text) {
  Session& session = CurrentSession();
  session.record.trace.push_back(
      {session.record.events.size(), std::to_string(g_process) + ": " + text, g_process});
  // A call's trace line is the last thing it does, so what follows it happens after it returns.
  AfterCall(session, text);
}

void SetError(std::uint32_t error) {
  CurrentProcess().lastError = error;
}

int AddProcess(Session& session, std::string image, std::string commandLine,
               std::string currentDir) {
  Process process;
  process.id = static_cast<int>(Kernel(session).processes.size()) + 1;
  process.image = std::move(image);
  process.commandLine = std::move(commandLine);
  process.currentDir = std::move(currentDir);
  process.commandLineBuffer = std::make_shared<std::string>(process.commandLine);
  Kernel(session).processes.push_back(std::move(process));
  return Kernel(session).processes.back().id;
}

void RecordExit(Session& session, int process, int code) {
  Process& ended = Kernel(session).processes[static_cast<std::size_t>(process) - 1];
  CloseHandlesOf(session, process);
  ended.running = false;
  ended.ended = true;
  ended.exitCode = code;
  // Windows closes what the process left open; counting it first keeps a leak visible.
  for (auto it = Kernel(session).kernelHandles.begin();
       it != Kernel(session).kernelHandles.end();) {
    if (it->second.owner == process) {
      ++ended.handlesOpenAtExit;
      it = Kernel(session).kernelHandles.erase(it);
    } else {
      ++it;
    }
  }
  Event event = NewEvent(Event::Kind::Exit, process);
  event.code = code;
  session.record.events.push_back(std::move(event));
}

}  // namespace emu::detail
