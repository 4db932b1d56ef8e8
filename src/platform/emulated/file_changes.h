// Changes to what stands at a name, as any program makes them (MoveFileA, and the other
// programs of a scenario's races), refused as Windows refuses them while files are in use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "paths.h"
#include "session.h"

namespace emu::detail {

struct ChangeResult {
  std::uint32_t error = 0;  // 0: done
  std::string why;          // for the trace when refused

  explicit operator bool() const { return error == 0; }
};

// Takes what stands at `at` (a name that exists) out of its folder, for a rename to place.
std::unique_ptr<FsNode> TakeNode(const Location& at);
// Where every deletion ends, whoever asked for it and whatever it checked first: the entry at
// `at` goes, and a file still open lives on for its handles, as Windows keeps an open file's
// data.
void RemoveNode(Session& session, const Location& at);

// `at` is a location whose folder part was walked (links on the way followed); its last name is
// acted on itself, a link not followed. wholeTree lets a folder go with everything in it.
ChangeResult RemoveEntry(Session& session, const Location& at, bool wholeTree);
// Moves the entry to `to` (a missing name in an existing folder, or with replaceExisting an
// existing file), keeping the node itself: an open file stays open under its new name.
ChangeResult RenameEntry(Session& session, const Location& from, const Location& to,
                         bool replaceExisting);
// A new file with these bytes at the name, in the place of the file or link there: a rename
// over it, which Windows refuses when the old file cannot be deleted.
ChangeResult ReplaceEntry(Session& session, const Location& at, Bytes bytes);
// A link to `target` at the name, in the place of what stood there.
ChangeResult MakeLink(Session& session, const Location& at, const std::string& target);

}  // namespace emu::detail
