// The program under test and every process it starts, followed through a job object: a
// child joins its parent's job, so the worker that the launcher starts is seen too.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "event_log.h"
#include "win_handle.h"

namespace guest {

class JobWatch {
 public:
  explicit JobWatch(EventLog& log) : log_(log) {}

  // Starts the program suspended inside the job with the command line of a user's double
  // click (the path in double quotes) and its own folder as the current folder, then lets
  // it run. Returns false with error filled when it cannot.
  bool Start(const std::wstring& exe, std::wstring& error);

  // Handles what the job reported, waiting at most waitMs. Returns false once no process of
  // the job is left.
  bool Pump(DWORD waitMs);

  // Ends every process still in the job (after a timeout).
  void TerminateAll();

  // The number the transcript gives the process with this id (1 for the program started),
  // 0 for a process outside the job.
  int NumberOf(DWORD processId) const;

 private:
  struct Tracked {
    int number = 0;
    UniqueHandle process;
    bool announced = false;
    bool ended = false;
  };
  void Track(DWORD processId);
  // Logs the process's start once Wine can tell its image and command line: a process is
  // reported to the job before its image is loaded. final: log with what there is.
  void Announce(Tracked& tracked, bool final);
  void Ended(DWORD processId);

  EventLog& log_;
  UniqueHandle job_, port_;
  std::map<DWORD, Tracked> processes_;
  int nextNumber_ = 1;
  int running_ = 0;
  // Added to another process's addresses before reading them (see read_shift.h).
  std::intptr_t readShift_ = 0;
};

}  // namespace guest
