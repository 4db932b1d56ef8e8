// Files and folders in use: running images, current folders, locks and the launcher's file
// while Windows still releases it.
#pragma once

#include <string>

#include "session.h"

namespace emu::detail {

bool IsRunningImage(const Session& session, const std::string& fullPath);
bool IsRunningCurrentFolder(const Session& session, const std::string& fullPath);

struct DeletionBlock {
  bool locked = false;     // [locked] still holds the file
  bool releasing = false;  // the ended launcher's image is not released yet
};
// One deletion attempt: counts against every lock that applies, so the first max(N, R)
// attempts fail. The counts are the kernel's; the scenario is only read.
DeletionBlock CountDeletionAttempt(Session& session, const std::string& fullPath);

// A copy onto the file would fail: locked, or the ended launcher's image still held. Uses no
// count.
bool HeldAgainstWriting(const Session& session, const std::string& fullPath);

}  // namespace emu::detail
