// The messages and the icon inside Uninstall.exe: the string table byte for byte against the
// texts written out below and against the emulator's table (both take res/messages.h by
// different roads: windres through res/strings.rc for the exe, the C++ compiler for the
// emulator), and the one icon.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "built_exes.h"
#include "pe_resources.h"
#include "pe_version.h"
#include "string_table.h"

namespace {

constexpr std::uint16_t kUsEnglish = 1033;

// The texts as the program must show them, written out here independently of res/messages.h.
const std::map<unsigned, std::string> kExpectedTexts = {
    {16, "Uninstall Orbelle"},
    {17,
     "The \"Uninstall Orbelle\" procedure will:\n"
     "\n"
     "* Remove Orbelle Program Files from the %s folder.\n"
     "* Remove the Orbelle program group.\n"
     "* Remove Orbelle icons from the Desktop and Start Menu.\n"
     "* Remove Orbelle registry.\n"
     "* Restore original associations to VRML files.\n"
     "\n"
     "Do you want to continue?"},
    {18, "Internal error, unable to continue uninstall process."},
    {19,
     "%s is still running and must be closed before uninstalling.  Press OK to continue waiting or "
     "Cancel to stop waiting.  If you Cancel you will not be able to uninstall."},
    {20, "Uninstall successfully completed."},
};

class ExeResources : public testing::TestWithParam<BuiltExe> {
 protected:
  void SetUp() override {
    const auto image = LoadBuiltExe(GetParam());
    ASSERT_TRUE(image.has_value());
    resources_ = pe::ReadResources(*image);
  }
  std::vector<pe::Resource> resources_;
};

TEST(EmulatorStringTable, HoldsExactlyTheExpectedTexts) {
  std::map<unsigned, std::string> emulated;
  for (std::size_t i = 0; i < emu::kStringTableSize; ++i) {
    EXPECT_TRUE(emulated.emplace(emu::kStringTable[i].id, emu::kStringTable[i].text).second)
        << "ID " << emu::kStringTable[i].id << " twice";
  }
  EXPECT_EQ(kExpectedTexts, emulated);
}

TEST_P(ExeResources, CarryTheMessagesInUsEnglishByteForByte) {
  std::map<unsigned, std::string> inExe;
  for (const pe::StringResource& s : pe::ReadStringTable(resources_)) {
    EXPECT_EQ(kUsEnglish, s.language) << "string " << s.id;
    bool lossless = true;
    inExe[s.id] = pe::ToWindows1252(s.text, lossless);
    EXPECT_TRUE(lossless) << "string " << s.id << " has a character LoadStringA cannot return";
  }
  EXPECT_EQ(kExpectedTexts, inExe);

  std::map<unsigned, std::string> emulated;
  for (std::size_t i = 0; i < emu::kStringTableSize; ++i)
    emulated[emu::kStringTable[i].id] = emu::kStringTable[i].text;
  EXPECT_EQ(emulated, inExe) << "the emulator's table and the exe's differ";
}

std::vector<std::uint8_t> CommittedIconImage() {
  std::ifstream in(std::string(PE_TEST_SOURCE_DIR) + "/res/orbelle.ico", std::ios::binary);
  const std::vector<std::uint8_t> ico{std::istreambuf_iterator<char>(in), {}};
  // ICONDIR (6 bytes) and one ICONDIRENTRY (16 bytes): size at +8, offset at +12.
  if (ico.size() < 22) return {};
  auto le32 = [&](std::size_t at) {
    return ico[at] | ico[at + 1] << 8 | ico[at + 2] << 16 |
           static_cast<std::uint32_t>(ico[at + 3]) << 24;
  };
  const std::size_t size = le32(6 + 8), offset = le32(6 + 12);
  if (offset > ico.size() || size > ico.size() - offset) return {};
  return {ico.begin() + static_cast<std::ptrdiff_t>(offset),
          ico.begin() + static_cast<std::ptrdiff_t>(offset + size)};
}

TEST_P(ExeResources, CarryOneIconGroupWithOneSixteenColourImage) {
  std::vector<const pe::Resource*> groups, icons;
  for (const auto& r : resources_) {
    ASSERT_FALSE(r.type.isName) << "named resource type " << r.type.Describe();
    if (r.type.id == pe::kRtGroupIcon) groups.push_back(&r);
    if (r.type.id == pe::kRtIcon) icons.push_back(&r);
    EXPECT_TRUE(r.type.id == pe::kRtGroupIcon || r.type.id == pe::kRtIcon ||
                r.type.id == pe::kRtString || r.type.id == pe::kRtVersion ||
                r.type.id == pe::kRtManifest)
        << "unexpected resource type " << r.type.id;
  }
  ASSERT_EQ(1u, groups.size());
  EXPECT_FALSE(groups[0]->name.isName);
  EXPECT_EQ(1u, groups[0]->name.id);
  EXPECT_EQ(kUsEnglish, groups[0]->language);

  const auto images = pe::ReadIconGroup(*groups[0]);
  ASSERT_EQ(1u, images.size());
  EXPECT_EQ(32, images[0].width);
  EXPECT_EQ(32, images[0].height);
  EXPECT_EQ(16, images[0].colourCount);
  EXPECT_EQ(1, images[0].planes);
  EXPECT_EQ(4, images[0].bitCount);

  ASSERT_EQ(1u, icons.size());
  EXPECT_EQ(images[0].iconId, icons[0]->name.id);
  EXPECT_EQ(images[0].bytes, icons[0]->data.size());
  EXPECT_EQ(CommittedIconImage(), icons[0]->data) << "the image is not res/orbelle.ico's";
}

INSTANTIATE_TEST_SUITE_P(Pe, ExeResources, testing::ValuesIn(kBuiltExes), PresetName);

}  // namespace
