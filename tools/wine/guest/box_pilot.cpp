#include "box_pilot.h"

#include <algorithm>

namespace guest {
namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[64];
  const int length = GetClassNameW(window, name, 64);
  return std::wstring(name, length > 0 ? length : 0);
}

// WM_GETTEXT is marshalled across processes; a hung box must not hang the pilot.
std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
    return {};
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 2000, &got)) {
    return {};
  }
  text.resize(got);
  return text;
}

struct ChildScan {
  std::wstring text;
  struct Found {
    BoxButton button;
    LONG left;
  };
  std::vector<Found> buttons;
};

BOOL CALLBACK ScanChild(HWND child, LPARAM param) {
  auto& scan = *reinterpret_cast<ChildScan*>(param);
  if (!IsWindowVisible(child))
    return TRUE;  // a box keeps the buttons its style does not use, hidden
  const std::wstring kind = ClassOf(child);
  if (_wcsicmp(kind.c_str(), L"Button") == 0) {
    RECT rect;
    GetWindowRect(child, &rect);
    scan.buttons.push_back({{GetDlgCtrlID(child), TextOf(child)}, rect.left});
  } else if (_wcsicmp(kind.c_str(), L"Static") == 0) {
    // The icon is a static control too, without text; the message is the static with text.
    const std::wstring text = TextOf(child);
    if (text.size() > scan.text.size()) scan.text = text;
  }
  return TRUE;
}

struct TopScan {
  const JobWatch* job;
  const std::vector<HWND>* handled;
  HWND found = nullptr;
  int process = 0;
};

BOOL CALLBACK ScanTop(HWND window, LPARAM param) {
  auto& scan = *reinterpret_cast<TopScan*>(param);
  if (!IsWindowVisible(window) || ClassOf(window) != L"#32770") return TRUE;
  if (std::find(scan.handled->begin(), scan.handled->end(), window) != scan.handled->end()) {
    return TRUE;
  }
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  const int number = scan.job->NumberOf(processId);
  if (number == 0) return TRUE;
  scan.found = window;
  scan.process = number;
  return FALSE;
}

}  // namespace

bool BoxPilot::FindBox(const JobWatch& job, Box& box) {
  TopScan top{&job, &handled_};
  EnumWindows(ScanTop, reinterpret_cast<LPARAM>(&top));
  if (top.found == nullptr) return false;

  ChildScan children;
  EnumChildWindows(top.found, ScanChild, reinterpret_cast<LPARAM>(&children));
  // A box is shown before its buttons exist: wait for a complete one.
  if (children.buttons.empty()) return false;
  std::sort(children.buttons.begin(), children.buttons.end(),
            [](const auto& a, const auto& b) { return a.left < b.left; });

  box = {};
  box.window = top.found;
  box.process = top.process;
  box.caption = TextOf(top.found);
  box.text = children.text;
  for (const auto& found : children.buttons) box.buttons.push_back(found.button);
  GetWindowRect(top.found, &box.frame);
  return true;
}

void BoxPilot::Answer(const Box& box) {
  std::size_t choice = 0;
  if (nextAnswer_ < answers_.size()) {
    const std::wstring& answer = answers_[nextAnswer_++];
    if (_wcsicmp(answer.c_str(), L"no") == 0 || _wcsicmp(answer.c_str(), L"cancel") == 0 ||
        _wcsicmp(answer.c_str(), L"second") == 0) {
      choice = 1;
    }
  }
  if (choice >= box.buttons.size()) choice = 0;
  const BoxButton& button = box.buttons[choice];
  handled_.push_back(box.window);
  log_.Message(box.process, box.caption, box.text, box.buttons, button.id);
  // What a click does: the button tells its dialog, which ends with the button's id.
  HWND control = GetDlgItem(box.window, button.id);
  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(button.id, BN_CLICKED),
               reinterpret_cast<LPARAM>(control));
}

}  // namespace guest
