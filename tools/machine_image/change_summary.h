// The short before/after account at the end of the readable transcript: what the run removed,
// what it changed or gave back, what it added, and what stayed.
#pragma once

#include <string>
#include <vector>

#include "machine_snapshot.h"

namespace machine_image {

// Lines of UTF-8 text. restartDeletes are the paths the run asked to delete at restart.
std::vector<std::string> SummariseChanges(const Snapshot& before, const Snapshot& after,
                                          const std::vector<std::string>& restartDeletes);

}  // namespace machine_image
