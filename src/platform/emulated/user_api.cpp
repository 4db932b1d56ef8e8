// USER32: string resources, message boxes, and the windows of the start-up message drain.
#include <cstring>

#include "handles.h"
#include "kernel_state.h"
#include "loader.h"
#include "platform_api.h"
#include "state.h"
#include "string_table.h"
#include "trace_format.h"

using emu::detail::Call;
using emu::detail::CurrentProcess;
using emu::detail::CurrentSession;
using emu::detail::FromProgram;
using emu::detail::QuoteArg;
using emu::detail::SetError;
using emu::detail::ToProgram;
using emu::detail::Trace;

namespace {

// Posted to every new window, so the product's start-up drain finds a queue to empty:
// WM_NULL, which the system posts to wake a thread's queue, and a registered message (the
// 0xC000 range) standing for the broadcasts that the shell posts to every top-level window,
// hidden ones included.
constexpr std::uint32_t kShellBroadcast = 0xC0F1;
constexpr std::uint32_t kStartupMessages[] = {WM_NULL, kShellBroadcast};

constexpr const char* kSystemClasses[] = {"BUTTON",    "COMBOBOX",  "COMBOLBOX", "EDIT",  "LISTBOX",
                                          "MDICLIENT", "SCROLLBAR", "STATIC",    "#32770"};

std::string MessageName(std::uint32_t message) {
  if (message == WM_NULL) return "WM_NULL";
  return emu::detail::Hex(message);
}

std::string WindowName(HWND window) {
  int id = emu::detail::WindowId(window);
  return id ? "window " + std::to_string(id)
            : emu::detail::Hex(reinterpret_cast<std::uintptr_t>(window));
}

// The window of this process behind a handle, or nullptr (with the error Windows gives).
emu::Window* OwnWindow(HWND handle, DWORD& error) {
  auto& windows = Kernel(CurrentSession()).windows;
  int id = emu::detail::WindowId(handle);
  if (id < 1 || static_cast<std::size_t>(id) > windows.size() || windows[id - 1].destroyed) {
    error = ERROR_INVALID_WINDOW_HANDLE;
    return nullptr;
  }
  if (windows[id - 1].process != CurrentProcess().id) {
    error = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  return &windows[id - 1];
}

struct Buttons {
  const char* style;
  int first, second;
};

Buttons ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {"MB_OKCANCEL", IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
      return {"MB_ABORTRETRYIGNORE", IDABORT, IDRETRY};
    case MB_YESNOCANCEL:
      return {"MB_YESNOCANCEL", IDYES, IDNO};
    case MB_YESNO:
      return {"MB_YESNO", IDYES, IDNO};
    case MB_RETRYCANCEL:
      return {"MB_RETRYCANCEL", IDRETRY, IDCANCEL};
    default:
      return {"MB_OK", IDOK, IDOK};
  }
}

const char* AnswerName(int answer) {
  switch (answer) {
    case IDOK:
      return "IDOK";
    case IDCANCEL:
      return "IDCANCEL";
    case IDABORT:
      return "IDABORT";
    case IDRETRY:
      return "IDRETRY";
    case IDYES:
      return "IDYES";
    default:
      return "IDNO";
  }
}

}  // namespace

// Copies at most cchBufferMax - 1 bytes of the string in the caller's code page and a
// terminator. An unknown ID gives 0 and an empty string. A capacity of 0, which LoadStringA does
// not support (it corrupts memory on Windows), is refused here.
int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  const Call<int> call(
      "LoadStringA(" + std::to_string(uID) + ", " + std::to_string(cchBufferMax) + ")", 0, "0");
  if (!lpBuffer || cchBufferMax <= 0) return call.Fail(ERROR_INVALID_PARAMETER);
  const char* found = nullptr;
  if (hInstance == NULL || hInstance == emu::detail::ProcessInstance()) {
    if (const auto& strings = CurrentProcess().resourceStrings) {
      auto it = strings->find(uID);
      if (it != strings->end()) found = it->second.c_str();
    } else {
      for (std::size_t i = 0; i < emu::kStringTableSize; ++i) {
        if (emu::kStringTable[i].id == uID) found = emu::kStringTable[i].text;
      }
    }
  }
  if (!found) {
    lpBuffer[0] = '\0';
    return call.Fail(ERROR_RESOURCE_NAME_NOT_FOUND);
  }
  const std::string text = ToProgram(found);
  std::size_t length = std::min(text.size(), static_cast<std::size_t>(cchBufferMax - 1));
  std::memcpy(lpBuffer, text.data(), length);
  lpBuffer[length] = '\0';
  return call.Return(static_cast<int>(length),
                     std::to_string(length) + " " + QuoteArg(std::string_view(lpBuffer, length)));
}

// Each box takes the next scripted answer (an MB_OK box too, which can only answer IDOK); when
// the answers run out the default, first button is pressed. The box past kMaxMessageBoxes
// stops the run: a file locked for ever while every answer retries would never end.
int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  emu::Session& session = CurrentSession();
  if (session.record.messageBoxes >= emu::kMaxMessageBoxes) {
    Trace("(message box " + std::to_string(session.record.messageBoxes + 1) + ": the run stops)");
    throw emu::detail::RunStopped{};
  }
  // XP before SP2: the program's manifest asks for common controls 6, whose dialog classes
  // exist only once the program has loaded comctl32.dll by name (user32 of that XP does not
  // load it on demand), so the box's window cannot be made and nothing shows. The classes go
  // again when comctl32 is freed (its DllMain unregisters them).
  Buttons buttons = ButtonsOf(uType);
  const Call<int> call("MessageBoxA(" + std::string(hWnd ? WindowName(hWnd) : "NULL") + ", " +
                       QuoteArg(lpText) + ", " + QuoteArg(lpCaption) + ", " + buttons.style + ")");
  if (emu::BoxesNeedComctl32(session.scenario) &&
      !emu::detail::HasCommonControls6(session, CurrentProcess().id)) {
    SetError(ERROR_CANNOT_FIND_WND_CLASS);
    return call.Return(
        0, "0 (ERROR_CANNOT_FIND_WND_CLASS: common controls 6 not loaded, no box shown)");
  }
  emu::detail::MakeSystemLoads("MessageBoxA");
  ++session.record.messageBoxes;
  emu::Answer answer = emu::Answer::First;
  if (session.record.answersUsed < session.scenario.answers.size())
    answer = session.scenario.answers[session.record.answersUsed++];
  int pressed = answer == emu::Answer::First ? buttons.first : buttons.second;

  emu::Event event = emu::detail::NewEvent(emu::Event::Kind::Message, CurrentProcess().id);
  // Windows shows "Error" for a NULL caption. Both texts are read in the caller's code page.
  event.caption = lpCaption ? FromProgram(lpCaption) : "Error";
  event.text = FromProgram(lpText);
  event.style = buttons.style;
  event.answer = AnswerName(pressed);
  call.Return(pressed, event.answer);
  session.record.events.push_back(std::move(event));
  return pressed;
}

// Only the system classes exist here (the product registers none); names compare
// case-insensitively. An atom or an unknown class gives NULL.
HWND WINAPI CreateWindowExA(DWORD, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD, int, int, int,
                            int, HWND, HMENU, HINSTANCE, LPVOID) {
  bool atom = reinterpret_cast<std::uintptr_t>(lpClassName) < 0x10000;
  const Call<HWND> call("CreateWindowExA(" +
                        (atom ? "#" + std::to_string(reinterpret_cast<std::uintptr_t>(lpClassName))
                              : QuoteArg(lpClassName)) +
                        ", " + QuoteArg(lpWindowName) + ")");
  bool known = false;
  for (const char* name : kSystemClasses)
    known = known || (!atom && emu::SameName(FromProgram(lpClassName), name));
  if (!known) return call.Fail(ERROR_CANNOT_FIND_WND_CLASS);
  emu::Session& session = CurrentSession();
  emu::Window window;
  window.id = static_cast<int>(Kernel(session).windows.size()) + 1;
  window.process = CurrentProcess().id;
  window.className = FromProgram(lpClassName);
  window.queue.assign(std::begin(kStartupMessages), std::end(kStartupMessages));
  Kernel(session).windows.push_back(std::move(window));
  HWND handle = emu::detail::WindowHandle(Kernel(session).windows.back().id);
  return call.Return(handle, WindowName(handle));
}

// Messages come in the order posted. hWnd NULL takes any window of the process, (HWND)-1 only
// thread messages (there are none here); both filter bounds 0 take every message.
BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
  const Call<BOOL> call("PeekMessageA(" + std::string(hWnd ? WindowName(hWnd) : "NULL") + ", " +
                        std::to_string(wMsgFilterMin) + ", " + std::to_string(wMsgFilterMax) +
                        ", " + (wRemoveMsg & PM_REMOVE ? "PM_REMOVE" : "PM_NOREMOVE") + ")");
  auto matches = [&](std::uint32_t message) {
    return (wMsgFilterMin == 0 && wMsgFilterMax == 0) ||
           (message >= wMsgFilterMin && message <= wMsgFilterMax);
  };
  emu::Session& session = CurrentSession();
  std::vector<emu::Window*> candidates;
  if (hWnd == NULL) {
    for (auto& window : Kernel(session).windows) {
      if (window.process == CurrentProcess().id && !window.destroyed) candidates.push_back(&window);
    }
  } else if (hWnd != reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1))) {
    DWORD error = 0;
    emu::Window* window = OwnWindow(hWnd, error);
    if (!window) return call.Fail(error);
    candidates.push_back(window);
  }
  for (emu::Window* window : candidates) {
    for (auto it = window->queue.begin(); it != window->queue.end(); ++it) {
      if (!lpMsg || !matches(*it)) continue;
      *lpMsg = MSG{};
      lpMsg->hwnd = emu::detail::WindowHandle(window->id);
      lpMsg->message = *it;
      lpMsg->time = static_cast<DWORD>(Kernel(session).clockMs);
      if (wRemoveMsg & PM_REMOVE) window->queue.erase(it);
      return call.Return(TRUE, "TRUE " + MessageName(lpMsg->message));
    }
  }
  return call.Return(FALSE, "FALSE");
}

// The system classes' window procedures ignore these messages; the dispatch is recorded.
LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
  if (!lpMsg) {
    Trace("DispatchMessageA(NULL) = 0");
    return 0;
  }
  DWORD error = 0;
  std::string call =
      "DispatchMessageA(" + WindowName(lpMsg->hwnd) + ", " + MessageName(lpMsg->message) + ") = 0";
  if (emu::Window* window = OwnWindow(lpMsg->hwnd, error)) {
    window->dispatched.push_back(lpMsg->message);
  } else {
    SetError(error);
    call += " (" + emu::detail::ErrorName(error) + ")";
  }
  Trace(call);
  return 0;
}

// A window of another process cannot be destroyed (ERROR_ACCESS_DENIED); its queue goes with it.
BOOL WINAPI DestroyWindow(HWND hWnd) {
  const Call<BOOL> call("DestroyWindow(" + WindowName(hWnd) + ")");
  DWORD error = 0;
  emu::Window* window = OwnWindow(hWnd, error);
  if (!window) return call.Fail(error);
  window->destroyed = true;
  window->queue.clear();
  return call.Return(TRUE, "TRUE");
}
