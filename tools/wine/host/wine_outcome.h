// The machine after a run under Wine, in the same terms as the simulator's outcome: the
// image's keys and files as Wine left them, the run's message boxes, process starts and
// exits, and the deletions pending for a restart.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "json_lines.h"
#include "session.h"

namespace wine_harness {

namespace fs = std::filesystem;

struct WineRun {
  fs::path image;      // the machine image that was laid on the prefix
  fs::path prefix;     // the prefix after the run (its session has ended)
  fs::path template_;  // the prefix as copied, before the image was laid
  fs::path results;    // orbrun's out folder: events.jsonl, registry.reg, template.reg
};

struct WineOutcome {
  emu::Session session;
  std::string tempPath;                    // what GetTempPath reported under Wine (Unicode)
  std::vector<std::string> harnessErrors;  // orbrun's own problems, a timeout included
  // Files and folders of Wine's own (in the template, not named by the image) that are gone
  // after the run: the program has no business there, so each one is a difference.
  std::vector<std::string> vanished;
  // User Shell Folders values that the laying set for Wine's sake (MirrorShellFolders): not
  // the image's, so neither side's value of these names is compared.
  std::vector<std::string> laidValues;
};

// Removes the laid values from a machine (the simulator's) so both sides leave them out.
void DropLaidValues(const std::vector<std::string>& laidValues, emu::Session& session);

// What of Wine's prefix is compared. Keys and files of the image, and of the emulator's
// outcome when given, are always in; so is everything the run added. Wine's own keys, values
// and files (those of the template prefix) that the image does not name are left out, and so
// are the User Shell Folders values written only so Wine keeps the image's Shell Folders.
// Throws on unreadable results.
void BuildWineOutcome(const WineRun& run, const emu::Session* simulated, WineOutcome& outcome);

// Transcript events read from JSON lines (the simulator's or orbrun's); text stays Unicode, as
// the machine keeps it. Lines of other kinds are skipped.
std::vector<emu::Event> EventsFromJson(const std::vector<JsonObject>& lines);

// Wine's shell32 answers an association notice by starting winemenubuilder, which the test
// prefixes disable: such a start (no image, STATUS_DLL_NOT_FOUND) becomes a shell_notify event of
// the process that was running, and the later processes close up their numbers.
void RecogniseShellNotices(std::vector<emu::Event>& events);

std::string ReadFileBytes(const fs::path& file);

}  // namespace wine_harness
