// A whole uninstall, launcher and worker, on a fuzzed machine image, judged by the same
// invariants as the fault sweep: nothing outside the footprint touched, every process ends
// with 0 and one truthful closing message, no key left open, nothing written past a buffer.
//
// The input is an image in three parts separated by a line "%%": registry.reg, scenario.ini,
// and the image's files and folders, one path a line below the image ("drive_c/WINDOWS/" is
// a folder, "drive_c/Program Files/Orbelle/Uninstall.exe" a file).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image_error.h"
#include "machine_image.h"
#include "safety/image_facts.h"
#include "safety/safety_runs.h"

namespace {

constexpr const char kSeparator[] = "\n%%\n";

std::vector<std::string> Parts(const std::string& input) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (parts.size() < 2) {
    std::size_t at = input.find(kSeparator, start);
    if (at == std::string::npos) break;
    parts.push_back(input.substr(start, at - start));
    start = at + sizeof kSeparator - 1;
  }
  parts.push_back(input.substr(start));
  return parts;
}

machine_image::ImageSource Image(const std::string& input) {
  const std::vector<std::string> parts = Parts(input);
  machine_image::ImageSource source;
  source.name = "fuzz";
  if (!parts[0].empty()) source.entries.push_back({machine_image::kRegistryFile, false, parts[0]});
  if (parts.size() > 1 && !parts[1].empty()) {
    source.entries.push_back({machine_image::kScenarioFile, false, parts[1]});
  }
  if (parts.size() > 2) {
    std::size_t start = 0;
    const std::string& list = parts[2];
    while (start < list.size()) {
      std::size_t end = list.find('\n', start);
      if (end == std::string::npos) end = list.size();
      std::string path = list.substr(start, end - start);
      start = end + 1;
      if (path.rfind("drive_", 0) != 0) continue;
      const bool folder = path.back() == '/';
      if (folder) path.pop_back();
      // Parents first, as a folder on disk lists them.
      for (std::size_t slash = path.find('/'); slash != std::string::npos;
           slash = path.find('/', slash + 1)) {
        source.entries.push_back({path.substr(0, slash), true, ""});
      }
      source.entries.push_back({path, folder, folder ? "" : "bytes of " + path});
    }
  }
  std::sort(source.entries.begin(), source.entries.end(),
            [](const auto& a, const auto& b) { return a.path < b.path; });
  source.entries.erase(std::unique(source.entries.begin(), source.entries.end(),
                                   [](const auto& a, const auto& b) { return a.path == b.path; }),
                       source.entries.end());
  return source;
}

bool Load(const machine_image::ImageSource& source, emu::Session& session) {
  std::vector<std::string> warnings;
  try {
    machine_image::LoadMachine(source, session, warnings);
  } catch (const machine_image::ImageError&) {
    return false;
  }
  return true;
}

// A file in use for ever while every answer retries is the one way a run may not end.
bool StoppedInAnEndlessPrompt(const emu::Session& session) {
  for (auto event = session.record.events.rbegin(); event != session.record.events.rend();
       ++event) {
    if (event->kind == emu::Event::Kind::Message) {
      return event->style == "MB_OKCANCEL" && event->answer == "IDOK";
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const machine_image::ImageSource source =
      Image(std::string(reinterpret_cast<const char*>(data), size));
  emu::Session twin, session;
  if (!Load(source, twin) || !Load(source, session)) return 0;
  // Another program's changes are its own, outside what the oracle can judge (the race sweep
  // judges them knowing what each race changed): the product's run alone is fuzzed here.
  twin.scenario.races.clear();
  session.scenario.races.clear();
  const safety::ImageFacts facts = safety::StudyImage(twin);
  safety::RunVerdict verdict = safety::RunAndJudge(session, facts);
  if (StoppedInAnEndlessPrompt(session) &&
      std::any_of(emu::Processes(session).begin(), emu::Processes(session).end(),
                  [](const emu::Process& process) { return !process.ended; })) {
    // Stopped in the prompt loop: the run has no end to judge, only what it touched so far.
    std::erase_if(verdict.violations, [](const std::string& violation) {
      return violation.rfind("outside the footprint", 0) != 0 &&
             violation.find("left open") == std::string::npos;
    });
  }
  if (verdict.violations.empty()) return 0;
  // The run as a process monitor shows it, to see how it came to the violation.
  for (const auto& line : session.record.trace) std::fprintf(stderr, "  %s\n", line.text.c_str());
  for (const auto& violation : verdict.violations) std::fprintf(stderr, "%s\n", violation.c_str());
  __builtin_trap();
  return 0;
}
