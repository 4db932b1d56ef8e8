// transcript.jsonl: the run's events for programs, one JSON object a line, in the order they
// happened, fields in a fixed order, text decoded from Windows-1252.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "session.h"

namespace machine_image {

std::string TranscriptJsonl(const std::vector<emu::Event>& events);
// One event of it, without the line end.
std::string EventLine(const emu::Event& event);
// A JSON string literal (quotes included) for ANSI text.
std::string JsonString(std::string_view ansi);

}  // namespace machine_image
