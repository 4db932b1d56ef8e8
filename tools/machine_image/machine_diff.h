// Whether two machines are the same, and where they are not. The tests, the safety verdicts,
// the readable transcript's summary, the Wine harness and the runs of the exes all ask this
// one question; each says which differences it cannot see or does not care about.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "machine_snapshot.h"

namespace machine_image {

// What separates two items of the same identity (the same path, compared as Windows does).
// A value's type and data, a key's denial, and whether an entry is a file, a folder or a link
// (and to where) always count.
struct DiffOptions {
  bool spelling = true;            // the letter case of the path and name
  bool contents = true;            // a file's bytes
  std::uint32_t attributes = ~0u;  // the file attributes that count; a link's never do
};

enum class ItemKind { Key, Value, File };

struct Difference {
  ItemKind kind;
  std::string_view id;                   // the item's key in its Snapshot map
  const SnapshotItem* before = nullptr;  // nullptr: only after
  const SnapshotItem* after = nullptr;   // nullptr: only before
};

bool SameItem(ItemKind kind, const SnapshotItem& a, const SnapshotItem& b,
              const DiffOptions& options = {});

// Files, then keys, then values; of each kind the items gone or changed, then those added,
// in the order of their ids.
std::vector<Difference> DiffMachines(const Snapshot& before, const Snapshot& after,
                                     const DiffOptions& options = {});

}  // namespace machine_image
