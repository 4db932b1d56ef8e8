// Emulator internals shared by the API files: which session and process the API acts on, the
// trace, the injected faults, and the exceptions that end a process or the whole run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "session.h"

namespace emu::detail {

// The current session and the process making the call. Calling an emulated function with no
// machine current is a host bug (a test without Run or ActiveProcess): std::logic_error.
Session& CurrentSession();
Process& CurrentProcess();  // invalidated when a process is added: do not keep it across that

// Makes a session and process current for its lifetime and restores the previous ones.
class CurrentScope {
 public:
  CurrentScope(Session& session, int process);
  ~CurrentScope();
  CurrentScope(const CurrentScope&) = delete;
  CurrentScope& operator=(const CurrentScope&) = delete;
  void SwitchProcess(int process);

 private:
  Session* previousSession_;
  int previousProcess_;
};

Session* SwapCurrent(Session* session, int process, int* previousProcess);

// Appends one trace line for the current process, prefixed "<process id>: ".
void Trace(std::string text);

void SetError(std::uint32_t error);  // the current process's last error

// True when the operation must fail now: it is named in faults.failingOperations, or (for an
// operation whose failure the caller checks) this is the sweep's chosen call. Counts the call.
bool InjectedFailure(std::string_view operation);

// Thrown by ExitProcess; Run ends the process there.
struct ProcessExit {
  int code;
};
// Thrown by the message box past kMaxMessageBoxes; Run returns RunStatus::Stopped.
struct RunStopped {};

// Adds a process (not yet running) and returns its id; the caller fills in where its image is.
int AddProcess(Session& session, std::string image, std::string commandLine,
               std::string currentDir);
void RecordExit(Session& session, int process, int code);

inline Event NewEvent(Event::Kind kind, int process) {
  Event event;
  event.kind = kind;
  event.process = process;
  return event;
}

}  // namespace emu::detail
