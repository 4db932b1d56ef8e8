// The fixed tables drive every loop. What goes wrong with them without any test of a run
// noticing at once: a lost terminator (the loop walks into the next table; the sanitizer build
// reports the overrun), an extension slot left NULL when the count outgrows the initialisers,
// an empty or doubled name (a folder or a second delete that then fails), a separator inside a
// name (the join with its folder then reaches another folder).
#include "manifest/manifest.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "support/case_name.h"

namespace {

// Far more than any table holds: a table that has not ended by then has lost its terminator.
constexpr int kLongestTable = 32;

struct TableCase {
  const char* behaviour;
  const char* const* table;
  int count;  // -1: walked to its NULL entry
};

std::vector<const char*> Entries(const TableCase& c) {
  std::vector<const char*> entries;
  if (c.count >= 0) return std::vector<const char*>(c.table, c.table + c.count);
  for (int i = 0; i < kLongestTable && c.table[i] != NULL; ++i) entries.push_back(c.table[i]);
  return entries;
}

std::string Upper(const char* name) {
  std::string upper(name);
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return upper;
}

class ManifestTable : public testing::TestWithParam<TableCase> {};

TEST_P(ManifestTable, EndsAndHoldsDistinctPlainNames) {
  const TableCase& c = GetParam();
  const std::vector<const char*> entries = Entries(c);
  if (c.count < 0) {
    ASSERT_LT(static_cast<int>(entries.size()), kLongestTable) << "no NULL entry ends the table";
  }
  ASSERT_FALSE(entries.empty());
  std::set<std::string> seen;
  for (const char* entry : entries) {
    ASSERT_NE(entry, nullptr) << "a slot below the count is empty";
    EXPECT_GT(std::strlen(entry), 0u);
    EXPECT_EQ(std::strpbrk(entry, "\\/:"), nullptr) << entry << " is not a single name";
    // Windows compares these names without regard to case: two spellings are one entry.
    EXPECT_TRUE(seen.insert(Upper(entry)).second) << entry << " is listed twice";
  }
}

INSTANTIATE_TEST_SUITE_P(Tables, ManifestTable,
                         testing::Values(TableCase{"program files", ProgramFileNames, -1},
                                         TableCase{"group shortcuts", GroupShortcutNames, -1},
                                         TableCase{"shortcut folders", ProductShortcutFolders, -1},
                                         TableCase{"extensions", AssociatedExtensions,
                                                   AssociatedExtensionCount}),
                         test::ByBehaviour);

// The association code opens HKCR\<extension> and compares the class to ProductName: an entry
// without its dot would name a class key, not an extension.
TEST(Manifest, ExtensionsAreExtensions) {
  for (int i = 0; i < AssociatedExtensionCount; ++i) {
    ASSERT_NE(AssociatedExtensions[i], nullptr);
    EXPECT_EQ(AssociatedExtensions[i][0], '.') << AssociatedExtensions[i];
  }
}

// The shell code appends the group's shortcut names to this path as it stands.
TEST(Manifest, GroupFolderPathEndsInItsSeparator) {
  const std::size_t length = std::strlen(GroupFolderPath);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(GroupFolderPath[length - 1], '\\');
}

}  // namespace
