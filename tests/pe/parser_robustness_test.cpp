// pe-inspect reads files it did not make: a damaged or hostile file must come back as a
// PeError naming the problem, never as a read outside the file (the sanitizer build watches).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "built_exes.h"
#include "pe_imports.h"
#include "pe_resources.h"
#include "pe_version.h"

namespace {

// Everything the tests and the report read from a file.
void ReadAll(std::vector<std::uint8_t> bytes) {
  const pe::Image image = pe::Image::Parse(std::move(bytes), "damaged.exe");
  pe::ReadImports(image);
  const auto resources = pe::ReadResources(image);
  pe::ReadStringTable(resources);
  for (const auto& r : resources) {
    if (!r.type.isName && r.type.id == pe::kRtGroupIcon) pe::ReadIconGroup(r);
    if (!r.type.isName && r.type.id == pe::kRtVersion) pe::ReadVersionInfo(r);
  }
}

// Parses or throws PeError; anything else (another exception, a crash) fails.
void ExpectParsedOrRefused(std::vector<std::uint8_t> bytes, const std::string& damage) {
  try {
    ReadAll(std::move(bytes));
  } catch (const pe::PeError&) {
  } catch (const std::exception& e) {
    ADD_FAILURE() << damage << ": " << e.what();
  }
}

std::vector<std::uint8_t> ShippedBytes() {
  auto image = LoadBuiltExe(kBuiltExes[0]);
  if (!image.has_value()) return {};
  const auto span = image->bytes().Span(0, image->fileSize(), "whole file");
  return {span.begin(), span.end()};
}

TEST(ParserOnDamagedFiles, RefusesEveryTruncation) {
  const auto bytes = ShippedBytes();
  ASSERT_FALSE(bytes.empty());
  for (std::size_t length = 0; length < bytes.size(); length += length < 1024 ? 4 : 61) {
    ExpectParsedOrRefused({bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)},
                          "cut at " + std::to_string(length));
  }
}

// Every header and section-table field, and the import and resource tables, with hostile
// values: offsets and counts that point outside the file or wrap around.
TEST(ParserOnDamagedFiles, RefusesHostileFieldValues) {
  const auto bytes = ShippedBytes();
  ASSERT_FALSE(bytes.empty());
  const pe::Image image = pe::Image::Parse(bytes, "shipped");
  std::vector<std::size_t> offsets;
  for (std::size_t at = 0; at + 4 <= image.headers().sizeOfHeaders; at += 2) offsets.push_back(at);
  for (const auto dir : {pe::kImportDir, pe::kResourceDir}) {
    const auto rva = image.headers().directories[dir].rva;
    const auto start = image.Offset(rva, 4, "directory");
    for (std::size_t at = start; at < start + 512 && at + 4 <= bytes.size(); at += 2)
      offsets.push_back(at);
  }
  for (const std::uint32_t value : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0x00001000u, 0u}) {
    for (const std::size_t at : offsets) {
      auto damaged = bytes;
      std::memcpy(&damaged[at], &value, 4);
      ExpectParsedOrRefused(std::move(damaged),
                            "value " + std::to_string(value) + " at " + std::to_string(at));
    }
  }
}

// The version tree's own lengths, with every 16-bit field of the shipped resource replaced in
// turn: a block, key or value that claims more than its parent holds must be refused.
TEST(ParserOnDamagedFiles, RefusesHostileVersionBlocks) {
  const auto bytes = ShippedBytes();
  ASSERT_FALSE(bytes.empty());
  const pe::Image image = pe::Image::Parse(bytes, "shipped");
  pe::Resource version;
  for (auto& r : pe::ReadResources(image)) {
    if (!r.type.isName && r.type.id == pe::kRtVersion) version = r;
  }
  ASSERT_FALSE(version.data.empty()) << "no version resource";
  for (const std::uint16_t value : {0xFFFFu, 0x8000u, 0x0001u, 0x0006u, 0u}) {
    for (std::size_t at = 0; at + 2 <= version.data.size(); at += 2) {
      pe::Resource damaged = version;
      std::memcpy(&damaged.data[at], &value, 2);
      try {
        pe::ReadVersionInfo(damaged);
      } catch (const pe::PeError&) {
      } catch (const std::exception& e) {
        ADD_FAILURE() << "value " << value << " at " << at << ": " << e.what();
      }
    }
  }
}

struct SmallFile {
  const char* name;
  std::vector<std::uint8_t> bytes;
  const char* message;
};

class ParserOnSmallFiles : public testing::TestWithParam<SmallFile> {};

TEST_P(ParserOnSmallFiles, NamesTheProblem) {
  try {
    pe::Image::Parse(GetParam().bytes, "small.exe");
    ADD_FAILURE() << "parsed";
  } catch (const pe::PeError& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
  }
}

std::vector<std::uint8_t> MzPointingTo(std::uint32_t peOffset, std::size_t size) {
  std::vector<std::uint8_t> bytes(size, 0);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  std::memcpy(&bytes[0x3C], &peOffset, 4);
  return bytes;
}

const SmallFile kSmallFiles[] = {
    {"Empty", {}, "DOS header at offset 0"},
    {"NotMz", std::vector<std::uint8_t>(64, 'x'), "no MZ signature"},
    {"PeHeaderBeyondEnd", MzPointingTo(0xFFFFFFF0u, 64), "PE signature at offset 4294967280"},
    {"NoPeSignature", MzPointingTo(0x40, 128), "no PE signature"},
};

INSTANTIATE_TEST_SUITE_P(Pe, ParserOnSmallFiles, testing::ValuesIn(kSmallFiles),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
