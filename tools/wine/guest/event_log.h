// The run as it happened, one JSON object a line, in the field order of the simulator's
// transcript so the host side reads both the same way.
#pragma once

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace guest {

struct BoxButton {
  int id = 0;
  std::wstring text;
};

class EventLog {
 public:
  explicit EventLog(const std::wstring& file);
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;
  ~EventLog();

  bool ok() const { return file_ != nullptr; }
  void Start(int process, const std::wstring& image, const std::wstring& commandLine,
             const std::wstring& currentDir);
  void Message(int process, const std::wstring& caption, const std::wstring& text,
               const std::vector<BoxButton>& buttons, int answer);
  void Exit(int process, unsigned long code);
  void RestartDelete(const std::wstring& path);
  void Temp(const std::wstring& path);
  // From the program's start to the end of its last process, boxes answered on the way.
  void Timing(unsigned long runMs);
  void Note(const std::wstring& text);  // a harness problem: the host side fails the case

 private:
  void Line(const nlohmann::ordered_json& line);
  std::FILE* file_ = nullptr;
};

// "IDOK", "IDCANCEL", ... for a button or dialog result.
const char* AnswerName(int id);
// "MB_OK", "MB_OKCANCEL", "MB_YESNO", ... from the buttons a box shows.
std::string StyleName(const std::vector<BoxButton>& buttons);

}  // namespace guest
