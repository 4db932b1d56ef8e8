#include "message_box_art.h"

#include <algorithm>

#include "code_page.h"
#include "text_lines.h"

namespace machine_image {
namespace {

// Windows wraps a message box's text to a width tied to the screen; a fixed width in
// characters keeps the drawing stable and close enough.
constexpr std::size_t kWrapWidth = 60;

std::vector<std::u32string> WrapLine(const std::u32string& line) {
  std::vector<std::u32string> out;
  std::u32string rest = line;
  while (rest.size() > kWrapWidth) {
    std::size_t cut = rest.rfind(U' ', kWrapWidth);
    if (cut == std::u32string::npos || cut == 0) cut = kWrapWidth;  // one long word: break it
    out.push_back(rest.substr(0, cut));
    rest = rest.substr(cut);
    if (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
  }
  out.push_back(rest);
  return out;
}

std::vector<std::string> Buttons(const std::string& style) {
  if (style == "MB_YESNO") return {"IDYES", "IDNO"};
  if (style == "MB_OKCANCEL") return {"IDOK", "IDCANCEL"};
  return {"IDOK"};
}

std::string Center(const std::string& text, std::size_t width) {
  const std::size_t left = (width - std::min(width, text.size())) / 2;
  return std::string(left, ' ') + text + std::string(width - left - text.size(), ' ');
}

}  // namespace

std::string ButtonLabel(const std::string& answer) {
  if (answer == "IDYES") return "Yes";
  if (answer == "IDNO") return "No";
  if (answer == "IDOK") return "OK";
  if (answer == "IDCANCEL") return "Cancel";
  return answer;
}

std::vector<std::string> DrawMessageBox(const std::string& caption, const std::string& text,
                                        const std::string& style, const std::string& answer) {
  std::vector<std::u32string> body;
  for (const std::string& line : SplitLines(text)) {
    for (std::u32string& part : WrapLine(emu::Utf32(line))) body.push_back(std::move(part));
  }
  if (!text.empty() && (text.back() == '\n' || text.back() == '\r')) body.emplace_back();
  std::string buttons;
  for (const std::string& id : Buttons(style)) {
    if (!buttons.empty()) buttons += "  ";
    const std::string label = ButtonLabel(id);
    buttons += id == answer ? "[>" + label + "<]" : "[ " + label + " ]";
  }
  std::size_t width = std::max(buttons.size(), emu::Utf32(caption).size() + 2);
  for (const std::u32string& line : body) width = std::max(width, line.size());

  std::vector<std::string> out;
  const std::u32string title = U"-- " + emu::Utf32(caption) + U" ";
  out.push_back("+" + emu::Utf8(title) + std::string(width + 2 - title.size(), '-') + "+");
  for (const std::u32string& line : body) {
    out.push_back("| " + emu::Utf8(line) + std::string(width - line.size(), ' ') + " |");
  }
  out.push_back("| " + std::string(width, ' ') + " |");
  out.push_back("| " + Center(buttons, width) + " |");
  out.push_back("+" + std::string(width + 2, '-') + "+");
  return out;
}

}  // namespace machine_image
