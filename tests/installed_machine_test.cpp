// The installed machine every whole-run test starts from: moved to another folder, it must
// still be the example image's install, with nothing left naming the example's folder, or a
// run's comparison with FullyRemoved would judge a machine no user has.
#include "support/installed_machine.h"

#include <gtest/gtest.h>

#include "support/case_name.h"
#include "support/machine_lines.h"

namespace {

struct RelocationCase {
  const char* behaviour;
  test::Install install;
};

const RelocationCase kCases[] = {
    {"the example's own folder", {}},
    {"a long folder elsewhere", {.folder = "C:\\" + std::string(200, 'p')}},
    {"a drive root", {.folder = "C:"}},
    {"a sibling whose name begins with the example's", {"C:\\Program Files\\Orbelle 2", "C:\\T"}},
};

class Relocation : public testing::TestWithParam<RelocationCase> {};

TEST_P(Relocation, KeepsTheWholeInstallAndItsNeighbours) {
  const test::Install& install = GetParam().install;
  const emu::Session session = test::InstalledMachine(install);
  const std::set<std::string> lines = test::Snapshot(session);

  for (const auto& line : test::FullyRemoved(install)) {
    EXPECT_TRUE(lines.count(line)) << "what a full uninstall removes is there: " << line;
  }
  if (install.folder != test::Install{}.folder) {
    // The example spells its folder one way throughout: the exact spelling finds what was missed.
    const std::string example = "C:\\Program Files\\Orbelle";
    for (const auto& line : lines) {
      const std::size_t at = line.find(example);
      const bool names = at != std::string::npos &&
                         (at + example.size() == line.size() || line[at + example.size()] == '\\');
      EXPECT_FALSE(names) << "still names the example's folder: " << line;
    }
  }
  EXPECT_TRUE(lines.count("C:\\Program Files\\Tamsin\\Glimmerdeck\\Glimmerdeck.exe"));
  EXPECT_TRUE(
      lines.count("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App "
                  "Paths\\Glimmerdeck.exe|Path|C:\\Program Files\\Tamsin\\Glimmerdeck"));
  EXPECT_EQ(session.scenario.exePath, install.folder + "\\Uninstall.exe");
  EXPECT_EQ(session.scenario.tempPath, install.temp);
  const emu::FsNode* temp = session.machine.files.Find(install.temp);
  ASSERT_NE(temp, nullptr);
  EXPECT_TRUE(temp->directory);
}

INSTANTIATE_TEST_SUITE_P(Cases, Relocation, testing::ValuesIn(kCases), test::ByBehaviour);

}  // namespace
