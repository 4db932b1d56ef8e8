#include "event_log.h"

#include <windows.h>

#include <set>

#include "wide_text.h"

namespace guest {

EventLog::EventLog(const std::wstring& file) {
  file_ = _wfopen(file.c_str(), L"wb");
}

EventLog::~EventLog() {
  if (file_ != nullptr) std::fclose(file_);
}

void EventLog::Line(const nlohmann::ordered_json& line) {
  if (file_ == nullptr) return;
  std::fputs(line.dump().c_str(), file_);
  std::fputc('\n', file_);
  // The host reads the log after a timeout too; what was written must be on disk.
  std::fflush(file_);
}

void EventLog::Start(int process, const std::wstring& image, const std::wstring& commandLine,
                     const std::wstring& currentDir) {
  Line({{"event", "start"},
        {"process", process},
        {"image", ToUtf8(image)},
        {"command_line", ToUtf8(commandLine)},
        {"current_dir", ToUtf8(currentDir)}});
}

void EventLog::Message(int process, const std::wstring& caption, const std::wstring& text,
                       const std::vector<BoxButton>& buttons, int answer) {
  nlohmann::ordered_json texts = nlohmann::ordered_json::array();
  for (const BoxButton& button : buttons) texts.push_back(ToUtf8(button.text));
  Line({{"event", "message"},
        {"process", process},
        {"caption", ToUtf8(caption)},
        {"text", ToUtf8(text)},
        {"style", StyleName(buttons)},
        {"answer", AnswerName(answer)},
        {"buttons", texts}});
}

void EventLog::Exit(int process, unsigned long code) {
  Line({{"event", "exit"}, {"process", process}, {"code", code}});
}

void EventLog::RestartDelete(const std::wstring& path) {
  Line({{"event", "restart_delete"}, {"path", ToUtf8(path)}});
}

void EventLog::Temp(const std::wstring& path) {
  Line({{"event", "temp"}, {"path", ToUtf8(path)}});
}

void EventLog::Timing(unsigned long runMs) {
  Line({{"event", "timing"}, {"run_ms", runMs}});
}

void EventLog::Note(const std::wstring& text) {
  Line({{"event", "harness_error"}, {"text", ToUtf8(text)}});
}

const char* AnswerName(int id) {
  switch (id) {
    case IDOK:
      return "IDOK";
    case IDCANCEL:
      return "IDCANCEL";
    case IDABORT:
      return "IDABORT";
    case IDRETRY:
      return "IDRETRY";
    case IDIGNORE:
      return "IDIGNORE";
    case IDYES:
      return "IDYES";
    case IDNO:
      return "IDNO";
    default:
      return "ID_UNKNOWN";
  }
}

std::string StyleName(const std::vector<BoxButton>& buttons) {
  std::set<int> ids;
  for (const BoxButton& button : buttons) ids.insert(button.id);
  if (ids == std::set<int>{IDOK}) return "MB_OK";
  if (ids == std::set<int>{IDOK, IDCANCEL}) return "MB_OKCANCEL";
  if (ids == std::set<int>{IDYES, IDNO}) return "MB_YESNO";
  if (ids == std::set<int>{IDYES, IDNO, IDCANCEL}) return "MB_YESNOCANCEL";
  if (ids == std::set<int>{IDRETRY, IDCANCEL}) return "MB_RETRYCANCEL";
  if (ids == std::set<int>{IDABORT, IDRETRY, IDIGNORE}) return "MB_ABORTRETRYIGNORE";
  return "MB_UNKNOWN";
}

}  // namespace guest
