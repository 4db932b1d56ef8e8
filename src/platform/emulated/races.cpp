#include "races.h"

#include "file_changes.h"
#include "file_handles.h"
#include "file_use.h"
#include "kernel_state.h"
#include "paths.h"
#include "platform_api.h"
#include "state.h"
#include "trace_format.h"

namespace emu {

const char* ActionName(Race::Action action) {
  switch (action) {
    case Race::Action::Replace:
      return "replace";
    case Race::Action::Delete:
      return "delete";
    case Race::Action::Link:
      return "link";
    case Race::Action::Rename:
      return "rename";
    case Race::Action::Hold:
      return "hold";
  }
  return "?";
}

std::string HoldLength(const Race& race) {
  return race.holdAlways ? "always" : std::to_string(race.holdCalls);
}

namespace detail {
namespace {

// The other program names paths in full; a path that does not parse reaches nothing.
Location LocateFull(Session& session, const std::string& path) {
  auto parts = ParseAbsolute(path);
  if (!parts) {
    Location missing;
    missing.error = ERROR_PATH_NOT_FOUND;
    return missing;
  }
  return LocateParts(session.machine.files, *parts);
}

// A virus scanner opens the file for reading and shares nothing, as scanners do that must see
// a file whole: Windows refuses the open while anyone has the file open (a running image and
// a [locked] file included), and while the scanner holds it every later open for data, deletion,
// rename or copy from or onto it fails with ERROR_SHARING_VIOLATION. An open for attributes
// only still succeeds, so GetFileAttributesA is not affected.
ChangeResult Hold(Session& session, const Race& race) {
  Location at = FollowLink(session.machine.files, LocateFull(session, race.path));
  if (at.error || !at.node) return {ERROR_FILE_NOT_FOUND, "no file there"};
  if (at.root || at.node->directory) return {ERROR_ACCESS_DENIED, "a folder stands there"};
  const std::string path = at.RealPath();
  if (IsRunningImage(session, path)) {
    return {ERROR_SHARING_VIOLATION, "the image of a running process"};
  }
  if (HeldAgainstWriting(session, path)) {
    return {ERROR_SHARING_VIOLATION, "in use by another program"};
  }
  if (const auto* holder = SharingConflict(session, at.node, kReadAccess, 0)) {
    return {ERROR_SHARING_VIOLATION, DescribeConflict(*holder, kReadAccess)};
  }
  KernelState& kernel = Kernel(session);
  KernelState::FileHandle open;
  open.process = 0;
  open.file = at.node;
  open.path = path;
  open.access = kReadAccess;
  open.share = 0;
  const std::uintptr_t value = kernel.nextScannerHandle;
  kernel.nextScannerHandle += 4;
  kernel.fileHandles.emplace(value, std::move(open));
  kernel.holds.push_back({value, race.holdCalls, race.holdAlways});
  return {};
}

// The holds count the product's calls down; the scanner closes the file once the last of its
// calls has returned.
void CountHolds(Session& session) {
  KernelState& kernel = Kernel(session);
  for (auto hold = kernel.holds.begin(); hold != kernel.holds.end();) {
    if (hold->always || --hold->callsLeft > 0) {
      ++hold;
      continue;
    }
    auto open = kernel.fileHandles.find(hold->handle);
    const std::string path = open == kernel.fileHandles.end() ? "" : open->second.path;
    if (open != kernel.fileHandles.end()) kernel.fileHandles.erase(open);
    hold = kernel.holds.erase(hold);
    Trace("(the virus scanner closes " + Quote(path) + ")");
  }
}

ChangeResult Act(Session& session, const Race& race) {
  if (race.action == Race::Action::Hold) return Hold(session, race);
  Location at = LocateFull(session, race.path);
  switch (race.action) {
    case Race::Action::Hold:
      break;
    case Race::Action::Replace: {
      Location source = FollowLink(session.machine.files, LocateFull(session, race.argument));
      if (source.error || !source.node || source.node->directory) {
        return {ERROR_FILE_NOT_FOUND, "no file " + race.argument + " to take the bytes of"};
      }
      return ReplaceEntry(session, at, source.node->content);
    }
    case Race::Action::Delete:
      return RemoveEntry(session, at, true);
    case Race::Action::Link:
      return MakeLink(session, at, race.argument);
    case Race::Action::Rename:
      return RenameEntry(session, at, LocateFull(session, race.argument), false);
  }
  return {ERROR_NOT_SUPPORTED, "unknown action"};
}

std::string Describe(const Race& race) {
  std::string text = "race after " + race.operation + "#" + std::to_string(race.call) + ": " +
                     ActionName(race.action) + " " + Quote(race.path);
  switch (race.action) {
    case Race::Action::Replace:
      return text + " with the bytes of " + Quote(race.argument);
    case Race::Action::Link:
      return text + " to " + Quote(race.argument);
    case Race::Action::Rename:
      return text + " to " + Quote(race.argument);
    case Race::Action::Hold:
      return text + " for " +
             (race.holdAlways ? "the rest of the run" : std::to_string(race.holdCalls) + " calls");
    case Race::Action::Delete:
      break;
  }
  return text;
}

}  // namespace

void AfterCall(Session& session, std::string_view traceText) {
  if (traceText.empty() || traceText.front() == '(') return;
  const std::size_t paren = traceText.find('(');
  if (paren == std::string_view::npos) return;
  const std::string operation(traceText.substr(0, paren));
  const long call = ++Kernel(session).operationCalls[operation];
  if (!Kernel(session).holds.empty()) CountHolds(session);
  for (std::size_t i = 0; i < session.scenario.races.size(); ++i) {
    const Race& race = session.scenario.races[i];
    if (race.operation != operation || race.call != call) continue;
    ChangeResult result = Act(session, race);
    session.record.raceOutcomes.push_back({i, bool(result), result.why});
    Trace("(" + Describe(race) +
          (result ? std::string() : " skipped: " + ErrorName(result.error) + ", " + result.why) +
          ")");
  }
}

}  // namespace detail
}  // namespace emu
