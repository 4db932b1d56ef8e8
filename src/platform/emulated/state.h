// Emulator internals shared by the API files: which session and process the API acts on, the
// trace, the injected faults, and the exceptions that end a process or the whole run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "session.h"
#include "trace_format.h"

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

// The "A" boundary. CurrentCodePage is the current process's code page, or the machine's
// default 1252 when no process runs (the pure string functions need none). FromProgram reads
// what a program passed in its code page ("" for NULL); ToProgram gives it the machine's text in
// its code page ('?' for what the page cannot hold). QuoteArg quotes program bytes for the
// trace, decoded the same way, so every trace line is Unicode.
unsigned CurrentCodePage();
std::string FromProgram(const char* ansi);
std::string FromProgram(std::string_view ansi);
std::string ToProgram(std::string_view text);
std::string QuoteArg(const char* ansi);
std::string QuoteArg(std::string_view ansi);

// Fixes a process's code page as it starts, from the application manifest of the file it runs
// (scenario permitting), and fills GetCommandLineA's buffer in that page.
void StartProgram(const Session& session, Process& process, std::string_view manifest);

// Appends one trace line for the current process, prefixed "<process id>: ".
void Trace(std::string text);

void SetError(std::uint32_t error);  // the current process's last error

// True when the operation must fail now: it is named in faults.failingOperations, or (for an
// operation whose failure the caller checks) this is the sweep's chosen call. Counts the call.
bool InjectedFailure(std::string_view operation);

// One call of a Windows function returning T, as every API file makes it: the trace line it
// ends with ("DeleteFileA(\"C:\\x\") = FALSE (ERROR_ACCESS_DENIED)"), the fault a scenario
// injects into it, and the last error of a failure. Failing returns `failure`, traced as
// `failureText` ("FALSE" for a BOOL, "NULL" for a pointer, "0" otherwise unless given).
template <class T>
class Call {
 public:
  explicit Call(std::string text, T failure = T{}, std::string failureText = {})
      : text_(std::move(text)), failure_(failure), failureText_(std::move(failureText)) {
    if (failureText_.empty()) {
      failureText_ = std::is_pointer_v<T> ? "NULL" : std::is_same_v<T, int> ? "FALSE" : "0";
    }
  }

  // Whether the scenario fails this call now (the operation is the text's name).
  bool Injected() const { return InjectedFailure(text_.substr(0, text_.find('('))); }
  T Fail(std::uint32_t error) const {
    SetError(error);
    Trace(text_ + " = " + failureText_ + " (" + ErrorName(error) + ")");
    return failure_;
  }
  T Return(T result, const std::string& shown) const {
    Trace(text_ + " = " + shown);
    return result;
  }

 private:
  std::string text_;
  T failure_;
  std::string failureText_;
};

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
