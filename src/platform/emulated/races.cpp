#include "races.h"

#include "file_changes.h"
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
  }
  return "?";
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

ChangeResult Act(Session& session, const Race& race) {
  Location at = LocateFull(session, race.path);
  switch (race.action) {
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
