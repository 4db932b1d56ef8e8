// transcript.jsonl: the run's events for programs, one JSON object a line, in the order they
// happened, fields in a fixed order, text as Unicode (decoded with the code page of the
// process that made the call).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "session.h"

namespace machine_image {

std::string TranscriptJsonl(const std::vector<emu::Event>& events);
// One event of it, without the line end.
std::string EventLine(const emu::Event& event);
// A JSON string literal (quotes included) for the machine's text (UTF-8).
std::string JsonString(std::string_view text);

}  // namespace machine_image
