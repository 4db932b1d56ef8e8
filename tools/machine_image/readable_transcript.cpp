#include "readable_transcript.h"

#include <optional>

#include "encoding.h"
#include "message_box_art.h"

namespace machine_image {
namespace {

constexpr const char* kIndent = "      ";

std::string Tag(int process) {
  return "[" + std::to_string(process) + "] ";
}

// Runs of alike events are told once: "waited 41 x 50 ms", "the same box 12 more times".
class TranscriptPrinter {
 public:
  explicit TranscriptPrinter(std::ostream& out) : out_(out) {}

  void Event(const emu::Event& event) {
    using Kind = emu::Event::Kind;
    if (event.kind == Kind::Sleep) return Sleep(event);
    if (event.kind == Kind::Message && lastBox_ && SameBox(*lastBox_, event)) return Repeat(event);
    Flush();
    switch (event.kind) {
      case Kind::Start:
        out_ << Tag(event.process) << "process starts: " << event.image << "\n"
             << kIndent << "command line: " << event.commandLine << "\n"
             << kIndent << "current folder: " << event.currentDir << "\n";
        break;
      case Kind::Message:
        out_ << Tag(event.process) << "message box (" << event.style << "), answered "
             << ButtonLabel(event.answer) << ":\n";
        for (const std::string& line :
             DrawMessageBox(event.caption, event.text, event.style, event.answer)) {
          out_ << kIndent << line << "\n";
        }
        lastBox_ = event;
        break;
      case Kind::RestartDelete:
        out_ << Tag(event.process) << "to be deleted at restart: " << event.path << "\n";
        break;
      case Kind::Exit:
        out_ << Tag(event.process) << "process ends, exit code " << event.code << "\n";
        break;
      case Kind::ShellNotify:
        out_ << Tag(event.process) << "tells the shell: " << event.what
             << (event.what == "SHCNE_ASSOCCHANGED" ? " (file associations changed)" : "") << "\n";
        break;
      case Kind::ForeignDll:
        out_ << Tag(event.process)
             << "loaded a DLL that is not the system's: " << AnsiToUtf8(event.path) << "\n";
        break;
      case Kind::Sleep:
        break;
    }
  }

  void TraceLine(const std::string& text) {
    Flush();
    out_ << "    > " << text << "\n";
  }

  void Flush() {
    if (sleeps_ > 0) {
      out_ << Tag(sleepProcess_) << "waited "
           << (sleeps_ > 1 ? std::to_string(sleeps_) + " x " : "") << sleepMs_ << " ms\n";
      sleeps_ = 0;
    }
    if (repeats_ > 0) {
      out_ << Tag(lastBox_->process) << "the same message box "
           << (repeats_ > 1 ? std::to_string(repeats_) + " more times" : "again") << ", answered "
           << ButtonLabel(repeatAnswer_) << (repeats_ > 1 ? " each time" : "") << "\n";
      repeats_ = 0;
    }
  }

 private:
  static bool SameBox(const emu::Event& a, const emu::Event& b) {
    return a.process == b.process && a.caption == b.caption && a.text == b.text &&
           a.style == b.style;
  }

  void Sleep(const emu::Event& event) {
    if (sleeps_ > 0 && (event.process != sleepProcess_ || event.ms != sleepMs_)) Flush();
    if (repeats_ > 0) Flush();
    sleepProcess_ = event.process;
    sleepMs_ = event.ms;
    ++sleeps_;
  }

  void Repeat(const emu::Event& event) {
    if (sleeps_ > 0 || (repeats_ > 0 && event.answer != repeatAnswer_)) Flush();
    repeatAnswer_ = event.answer;
    ++repeats_;
  }

  std::ostream& out_;
  int sleepProcess_ = 0;
  std::uint32_t sleepMs_ = 0;
  std::size_t sleeps_ = 0;
  std::optional<emu::Event> lastBox_;
  std::size_t repeats_ = 0;
  std::string repeatAnswer_;
};

}  // namespace

void WriteReadableTranscript(std::ostream& out, const emu::Session& session,
                             const TranscriptOptions& options) {
  TranscriptPrinter printer(out);
  std::size_t traced = 0;
  const auto traceUpTo = [&](std::size_t eventCount) {
    if (!options.trace) return;
    for (; traced < session.record.trace.size() &&
           session.record.trace[traced].afterEvents <= eventCount;
         ++traced) {
      printer.TraceLine(session.record.trace[traced].text);
    }
  };
  for (std::size_t i = 0; i < session.record.events.size(); ++i) {
    traceUpTo(i);
    printer.Event(session.record.events[i]);
  }
  traceUpTo(session.record.trace.size() + session.record.events.size());
  printer.Flush();
  if (options.stopped) {
    out << "Stopped after " << session.record.messageBoxes << " message boxes; still running:";
    for (const emu::Process& process : emu::Processes(session)) {
      if (!process.ended) out << " process " << process.id;
    }
    out << "\n";
  }
}

}  // namespace machine_image
