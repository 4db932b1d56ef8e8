// transcript.jsonl: the run's events for programs, one JSON object a line, in the order they
// happened, fields in a fixed order, text as Unicode (decoded with the code page of the
// process that made the call).
#pragma once

#include <string>
#include <vector>

#include "session.h"

namespace machine_image {

std::string TranscriptJsonl(const std::vector<emu::Event>& events);
// One event of it, without the line end.
std::string EventLine(const emu::Event& event);

}  // namespace machine_image
