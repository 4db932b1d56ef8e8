// Another program acting between two calls: each race action, carried out when the path can be
// changed then, skipped (and said so in the trace) when an open file or a running process holds
// it, and always right after the call it follows.
#include <gtest/gtest.h>

#include <string>

#include "platform/emulated/session.h"
#include "platform_api.h"
#include "support/case_name.h"
#include "support/new_session.h"

namespace {

using Action = emu::Race::Action;

const std::string kTemp = "C:\\WINDOWS\\TEMP";
const std::string kCopy = kTemp + "\\obuninst.tmp";
const std::string kEvil = "C:\\Evil\\evil.exe";

// What stands at a path: "missing", "file:<bytes>", "link:<target>" or "folder".
std::string At(const emu::Session& session, const std::string& path) {
  const emu::FsNode* node = session.machine.files.Find(path);
  if (!node) return "missing";
  if (node->linkTarget) return "link:" + *node->linkTarget;
  if (node->directory) return "folder";
  return "file:" + std::string(node->content.begin(), node->content.end());
}

struct RaceCase {
  const char* behaviour;
  emu::Race race;
  bool held = false;  // the copy is open for reading, sharing reads only, when the race comes
  bool applied;
  std::vector<std::pair<std::string, std::string>> expected;  // path, At()
  std::string skippedBecause = {};                            // in the trace line
};

emu::Race After(long call, Action action, std::string path, std::string argument = {}) {
  return {"GetFileAttributesA", call, action, std::move(path), std::move(argument)};
}

const RaceCase kRaceCases[] = {
    {.behaviour = "replace puts the other file's bytes at the name",
     .race = After(1, Action::Replace, kCopy, kEvil),
     .applied = true,
     .expected = {{kCopy, "file:evil"}}},
    {.behaviour = "replace is skipped while the file is held without FILE_SHARE_DELETE",
     .race = After(1, Action::Replace, kCopy, kEvil),
     .held = true,
     .applied = false,
     .expected = {{kCopy, "file:copy"}},
     .skippedBecause = "ERROR_SHARING_VIOLATION, held open by process 1 without FILE_SHARE_DELETE"},
    {.behaviour = "replace of a missing name creates the file",
     .race = After(1, Action::Replace, kTemp + "\\new.tmp", kEvil),
     .held = true,
     .applied = true,
     .expected = {{kTemp + "\\new.tmp", "file:evil"}}},
    {.behaviour = "delete removes the file",
     .race = After(1, Action::Delete, kCopy),
     .applied = true,
     .expected = {{kCopy, "missing"}}},
    {.behaviour = "delete is skipped while the file is held",
     .race = After(1, Action::Delete, kCopy),
     .held = true,
     .applied = false,
     .expected = {{kCopy, "file:copy"}},
     .skippedBecause = "ERROR_SHARING_VIOLATION"},
    {.behaviour = "link puts a link in the file's place",
     .race = After(1, Action::Link, kCopy, kEvil),
     .applied = true,
     .expected = {{kCopy, "link:" + kEvil}}},
    {.behaviour = "link is skipped while the file is held",
     .race = After(1, Action::Link, kCopy, kEvil),
     .held = true,
     .applied = false,
     .expected = {{kCopy, "file:copy"}},
     .skippedBecause = "ERROR_SHARING_VIOLATION"},
    {.behaviour = "rename moves the file away",
     .race = After(1, Action::Rename, kCopy, kTemp + "\\away.tmp"),
     .applied = true,
     .expected = {{kCopy, "missing"}, {kTemp + "\\away.tmp", "file:copy"}}},
    {.behaviour = "rename is skipped while the file is held",
     .race = After(1, Action::Rename, kCopy, kTemp + "\\away.tmp"),
     .held = true,
     .applied = false,
     .expected = {{kCopy, "file:copy"}, {kTemp + "\\away.tmp", "missing"}},
     .skippedBecause = "ERROR_SHARING_VIOLATION"},
    {.behaviour = "the temp folder is renamed away with the file in it",
     .race = After(1, Action::Rename, kTemp, "C:\\WINDOWS\\OLDTEMP"),
     .applied = true,
     .expected = {{kCopy, "missing"}, {"C:\\WINDOWS\\OLDTEMP\\obuninst.tmp", "file:copy"}}},
    {.behaviour = "the temp folder is not renamed while a file in it is held",
     .race = After(1, Action::Rename, kTemp, "C:\\WINDOWS\\OLDTEMP"),
     .held = true,
     .applied = false,
     .expected = {{kCopy, "file:copy"}},
     .skippedBecause = "ERROR_ACCESS_DENIED, a file in its tree is held open"},
    {.behaviour = "the temp folder becomes a link elsewhere",
     .race = After(1, Action::Link, kTemp, "C:\\Evil"),
     .applied = true,
     .expected = {{kTemp, "link:C:\\Evil"}}},
    {.behaviour = "the temp folder does not become a link while a file in it is held",
     .race = After(1, Action::Link, kTemp, "C:\\Evil"),
     .held = true,
     .applied = false,
     .expected = {{kCopy, "file:copy"}},
     .skippedBecause = "ERROR_ACCESS_DENIED"},
    {.behaviour = "the temp folder is not deleted while a file in it is held",
     .race = After(1, Action::Delete, kTemp),
     .held = true,
     .applied = false,
     .expected = {{kCopy, "file:copy"}},
     .skippedBecause = "ERROR_ACCESS_DENIED"},
    {.behaviour = "a race follows the call of its number only",
     .race = After(2, Action::Delete, kCopy),
     .applied = true,
     .expected = {{kCopy, "missing"}}},
    {.behaviour = "a race after a call that never comes does nothing",
     .race = After(3, Action::Delete, kCopy),
     .applied = false,
     .expected = {{kCopy, "file:copy"}}},
};

class Race : public testing::TestWithParam<RaceCase> {};

TEST_P(Race, ActsRightAfterTheCall) {
  const RaceCase& c = GetParam();
  emu::Session session = test::NewSession();
  session.machine.files.CreateFile(kCopy, {'c', 'o', 'p', 'y'});
  session.machine.files.CreateFile(kEvil, {'e', 'v', 'i', 'l'});
  session.scenario.races = {c.race};
  emu::ActiveProcess process(session, "C:\\", "C:\\Launcher.exe");
  HANDLE held = INVALID_HANDLE_VALUE;
  if (c.held) {
    held = CreateFileA(kCopy.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
  }
  const DWORD first = GetFileAttributesA(kCopy.c_str());
  EXPECT_NE(first, INVALID_FILE_ATTRIBUTES) << "the race comes after the call, not before";
  GetFileAttributesA(kCopy.c_str());
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);

  const bool came = c.race.call <= 2;
  ASSERT_EQ(session.record.raceOutcomes.size(), came ? 1u : 0u);
  if (came) {
    EXPECT_EQ(session.record.raceOutcomes[0].applied, c.applied);
    std::string raceLine;
    for (const auto& line : session.record.trace) {
      if (line.text.find("(race after GetFileAttributesA#") != std::string::npos) {
        raceLine = line.text;
      }
    }
    EXPECT_NE(raceLine.find(c.applied ? ")" : " skipped: " + c.skippedBecause), std::string::npos)
        << raceLine;
  }
  for (const auto& [path, what] : c.expected) EXPECT_EQ(At(session, path), what) << path;
  EXPECT_EQ(At(session, kEvil), "file:evil") << "the source of a replacement stays";
}

INSTANTIATE_TEST_SUITE_P(Cases, Race, testing::ValuesIn(kRaceCases), test::ByBehaviour);

TEST(Race, TheImageOfAStartedProcessIsNotReplacedButMayBeRenamed) {
  emu::Session session = test::NewSession();
  session.machine.files.CreateFile(kCopy, {'c'});
  session.machine.files.CreateFile(kEvil, {'e'});
  session.scenario.races = {{"CreateProcessA", 1, Action::Replace, kCopy, kEvil},
                            {"CreateProcessA", 1, Action::Rename, kCopy, kTemp + "\\away.tmp"}};
  emu::ActiveProcess process(session, "C:\\", "C:\\Launcher.exe");
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started;
  std::string line = "\"" + kCopy + "\" C:\\x";
  ASSERT_TRUE(CreateProcessA(kCopy.c_str(), line.data(), NULL, NULL, FALSE, 0, NULL, "C:\\",
                             &startup, &started));
  ASSERT_EQ(session.record.raceOutcomes.size(), 2u);
  EXPECT_FALSE(session.record.raceOutcomes[0].applied);
  EXPECT_TRUE(session.record.raceOutcomes[1].applied);
  EXPECT_EQ(At(session, kTemp + "\\away.tmp"), "file:c");
  EXPECT_EQ(emu::Processes(session).back().imageFile, kTemp + "\\away.tmp");
}

}  // namespace
