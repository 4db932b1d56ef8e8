// orbrun.exe PLAN: runs the program under test inside a Wine prefix the way a user would:
// starts it with no arguments, answers its message boxes from the plan, and once the program
// and every process it started have ended, and before this Wine session ends (the next one
// carries out the deletions pending for a restart), writes the registry keys of the plan and
// the pending deletions. Results go to the plan's out folder: events.jsonl, registry.reg and
// status.txt. Exit code 0 when the run ended by itself, 3 after a timeout, 2 on a harness
// problem. With import= in the plan, the registry file is imported first, in the same session.
#include <windows.h>

#include <cstdio>
#include <string>

#include "box_pilot.h"
#include "event_log.h"
#include "file_holders.h"
#include "job_watch.h"
#include "registry_dump.h"
#include "run_plan.h"
#include "wide_text.h"
#include "win_handle.h"

namespace {

using namespace guest;

bool WriteFileText(const std::wstring& path, const std::string& text) {
  std::FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring own(path, length);
  return own.substr(0, own.find_last_of(L'\\') + 1);
}

// The host takes a screenshot of the box while it waits: box-N.ready holds the box's frame
// on the screen, and box-N.go (written by the host) lets the run go on.
void HandshakeScreenshot(const std::wstring& out, int number, const Box& box, DWORD deadline) {
  Sleep(400);  // the box paints itself after it is shown
  const std::wstring stem = out + L"\\box-" + std::to_wstring(number);
  char frame[64];
  std::snprintf(frame, sizeof frame, "%ld %ld %ld %ld\n", box.frame.left, box.frame.top,
                box.frame.right, box.frame.bottom);
  WriteFileText(stem + L".ready", frame);
  const DWORD limit = GetTickCount() + 15000;
  while (!FileExists(stem + L".go") && GetTickCount() < limit && GetTickCount() < deadline) {
    Sleep(20);
  }
}

// reg.exe import, run in this session: what was there before (the keys of the plan) goes to
// template.reg first, so the host can tell Wine's own values from the image's.
bool ImportRegistry(const RunPlan& plan, std::wstring& error) {
  WriteFileText(plan.out + L"\\template.reg", DumpKeys(plan.keys));
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring reg = std::wstring(system) + L"\\reg.exe";
  std::wstring commandLine = L"reg.exe import \"" + plan.import + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  // A session's first processes can race Wine's own start-up; a refused start is retried.
  DWORD lastError = 0;
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (CreateProcessW(reg.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &info)) {
      lastError = 0;
      break;
    }
    lastError = GetLastError();
    Sleep(500);
  }
  if (lastError != 0) {
    error = L"cannot start " + reg + L" (error " + std::to_wstring(lastError) + L")";
    return false;
  }
  UniqueHandle thread(info.hThread);
  UniqueHandle process(info.hProcess);
  DWORD code = 1;
  if (WaitForSingleObject(info.hProcess, 30000) != WAIT_OBJECT_0) {
    TerminateProcess(info.hProcess, 1);
    error = L"reg import did not end within 30 s";
    return false;
  }
  GetExitCodeProcess(info.hProcess, &code);
  if (code != 0) {
    error = L"reg import of " + plan.import + L" failed with exit code " + std::to_wstring(code);
    return false;
  }
  return true;
}

// The temp folder the image sets through HKCU\Environment (TEMP, TMP) reaches the program only
// through this process's environment, which it inherits: Wine builds an environment from the
// registry when a session's first process starts, before the import. Explorer does the same on
// Windows when the user's environment changes (WM_SETTINGCHANGE "Environment"): it reads the
// values again and expands a REG_EXPAND_SZ one. A value that is absent leaves the variable alone.
void TakeUserTempVariables() {
  UniqueKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Environment", 0, KEY_READ, key.out()) != ERROR_SUCCESS)
    return;
  for (const wchar_t* name : {L"TEMP", L"TMP"}) {
    wchar_t value[MAX_PATH * 2];
    DWORD type = 0, size = sizeof value - sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
      continue;
    }
    value[size / sizeof(wchar_t)] = L'\0';
    wchar_t expanded[MAX_PATH * 2];
    if (type == REG_EXPAND_SZ) {
      const DWORD length = ExpandEnvironmentStringsW(value, expanded, MAX_PATH * 2);
      if (length == 0 || length > MAX_PATH * 2) continue;
    } else {
      lstrcpynW(expanded, value, MAX_PATH * 2);
    }
    SetEnvironmentVariableW(name, expanded);
  }
}

void WaitUntilGone(HWND window) {
  const DWORD limit = GetTickCount() + 5000;
  while (IsWindow(window) && GetTickCount() < limit) Sleep(10);
}

int Run(const std::wstring& planFile) {
  RunPlan plan;
  std::wstring error;
  if (!ReadRunPlan(planFile, plan, error)) {
    std::fwprintf(stderr, L"orbrun: %ls\n", error.c_str());
    return 2;
  }
  EventLog log(plan.out + L"\\events.jsonl");
  if (!log.ok()) {
    std::fwprintf(stderr, L"orbrun: cannot write to %ls\n", plan.out.c_str());
    return 2;
  }
  if (!plan.import.empty() && !ImportRegistry(plan, error)) {
    log.Note(error);
    WriteFileText(plan.out + L"\\status.txt", "error\n");
    return 2;
  }
  TakeUserTempVariables();
  wchar_t temp[MAX_PATH + 1];
  const DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
  log.Temp(std::wstring(temp, tempLength));

  // Wine starts its desktop process (explorer.exe /desktop) for the first program of a
  // session that needs a window. Make that happen now, in this process, so it is not the
  // program under test that starts it inside the job.
  GetDesktopWindow();

  FileHolders holders;
  for (const std::wstring& path : plan.holds) {
    if (!holders.Hold(OwnFolder() + L"orbhold.exe", path, error)) {
      log.Note(error);
      WriteFileText(plan.out + L"\\status.txt", "error\n");
      return 2;
    }
  }

  JobWatch job(log);
  if (!job.Start(plan.exe, error)) {
    log.Note(error);
    WriteFileText(plan.out + L"\\status.txt", "error\n");
    return 2;
  }

  const DWORD started = GetTickCount();
  const DWORD deadline = started + plan.timeoutMs;
  BoxPilot pilot(plan.answers, log);
  bool timedOut = false;
  while (job.Pump(20)) {
    if (GetTickCount() >= deadline) {
      timedOut = true;
      break;
    }
    Box box;
    if (!pilot.FindBox(job, box)) continue;
    if (plan.handshake) HandshakeScreenshot(plan.out, pilot.answered() + 1, box, deadline);
    pilot.Answer(box);
    WaitUntilGone(box.window);
  }
  log.Timing(GetTickCount() - started);
  if (timedOut) {
    log.Note(L"timeout: the program was still running after " + std::to_wstring(plan.timeoutMs) +
             L" ms; its processes were ended");
    job.TerminateAll();
    const DWORD limit = GetTickCount() + 5000;
    while (job.Pump(50) && GetTickCount() < limit) {
    }
  }

  // Now, with the program gone and this session still up.
  WriteFileText(plan.out + L"\\registry.reg", DumpKeys(plan.keys));
  for (const std::wstring& path : PendingDeletions()) log.RestartDelete(path);
  holders.ReleaseAll();
  WriteFileText(plan.out + L"\\status.txt", timedOut ? "timeout\n" : "ended\n");
  return timedOut ? 3 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: orbrun PLAN\n", stderr);
    return 2;
  }
  return Run(argv[1]);
}
