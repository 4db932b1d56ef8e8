// Another program acting between two calls of the product: the scenario's races, tried right
// after the call they follow returns.
#pragma once

#include <string_view>

#include "session.h"

namespace emu::detail {

// Counts a traced call ("CopyFileA(...) = TRUE") and carries out the races that follow it.
// Notes in parentheses are not calls.
void AfterCall(Session& session, std::string_view traceText);

}  // namespace emu::detail
