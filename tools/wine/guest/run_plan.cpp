#include "run_plan.h"

#include <windows.h>

#include "wide_text.h"
#include "win_handle.h"

namespace guest {
namespace {

std::vector<std::wstring> SplitList(const std::wstring& text) {
  std::vector<std::wstring> items;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t comma = text.find(L',', start);
    if (comma == std::wstring::npos) comma = text.size();
    std::wstring item = text.substr(start, comma - start);
    while (!item.empty() && item.back() == L' ') item.pop_back();
    while (!item.empty() && item.front() == L' ') item.erase(0, 1);
    if (!item.empty()) items.push_back(item);
    start = comma + 1;
  }
  return items;
}

bool ReadWholeFile(const std::wstring& file, std::string& bytes) {
  UniqueHandle handle(
      CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!handle) return false;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(handle.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  return true;
}

}  // namespace

bool ReadRunPlan(const std::wstring& file, RunPlan& plan, std::wstring& error) {
  std::string bytes;
  if (!ReadWholeFile(file, bytes)) {
    error = L"cannot read the plan " + file;
    return false;
  }
  const std::wstring text = FromUtf8(bytes);
  std::size_t start = 0;
  int lineNumber = 0;
  while (start < text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.empty()) continue;
    const std::size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) {
      error = file + L" line " + std::to_wstring(lineNumber) + L": expected KEY=VALUE";
      return false;
    }
    const std::wstring key = line.substr(0, equals);
    const std::wstring value = line.substr(equals + 1);
    if (key == L"exe") {
      plan.exe = value;
    } else if (key == L"answers") {
      plan.answers = SplitList(value);
    } else if (key == L"hold") {
      plan.holds.push_back(value);
    } else if (key == L"key") {
      plan.keys.push_back(value);
    } else if (key == L"out") {
      plan.out = value;
    } else if (key == L"import") {
      plan.import = value;
    } else if (key == L"handshake") {
      plan.handshake = value == L"1";
    } else if (key == L"timeout_ms") {
      plan.timeoutMs = static_cast<unsigned>(std::wcstoul(value.c_str(), nullptr, 10));
    } else {
      error = file + L" line " + std::to_wstring(lineNumber) + L": unknown key " + key;
      return false;
    }
  }
  if (plan.exe.empty() || plan.out.empty()) {
    error = file + L": exe= and out= are required";
    return false;
  }
  return true;
}

}  // namespace guest
