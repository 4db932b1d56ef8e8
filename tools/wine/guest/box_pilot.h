// Finds the message boxes of the program under test, reads what they say and presses the
// button the scenario's answers ask for, as a user at the screen would.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "event_log.h"
#include "job_watch.h"

namespace guest {

struct Box {
  HWND window = nullptr;
  int process = 0;  // the transcript's number of the process that shows it
  std::wstring caption, text;
  std::vector<BoxButton> buttons;  // visible buttons, left to right
  RECT frame = {};
};

class BoxPilot {
 public:
  BoxPilot(const std::vector<std::wstring>& answers, EventLog& log)
      : answers_(answers), log_(log) {}

  // The next box on screen that belongs to a process of the job and was not answered yet.
  bool FindBox(const JobWatch& job, Box& box);

  // Picks the button for the next answer, presses it and logs the box. Answers: yes and ok
  // press the first button, no and cancel the second; a one-button box takes its button but
  // still uses an answer; with the answers used up the first button (the default) is pressed.
  void Answer(const Box& box);

  int answered() const { return static_cast<int>(handled_.size()); }

 private:
  std::vector<std::wstring> answers_;
  std::size_t nextAnswer_ = 0;
  std::vector<HWND> handled_;
  EventLog& log_;
};

}  // namespace guest
