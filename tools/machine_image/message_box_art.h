// A message box drawn in text, as the user would have seen it: caption, wrapped text lines,
// the buttons of its style with the one pressed marked.
#pragma once

#include <string>
#include <vector>

namespace machine_image {

// caption and text are Unicode (UTF-8); style and answer are the Windows names
// ("MB_YESNO", "IDYES"). Returns UTF-8 lines without an indent.
std::vector<std::string> DrawMessageBox(const std::string& caption, const std::string& text,
                                        const std::string& style, const std::string& answer);

// "IDYES" -> "Yes", as the button reads.
std::string ButtonLabel(const std::string& answer);

}  // namespace machine_image
