// The base relocation table as the PE library reads it, and the post-link step that moves it
// into the code section's last file block: on small made-up images, where it must fold, where
// it must leave the file alone, and what it must refuse.
#include "reloc_fold.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "pe_image.h"
#include "pe_relocations.h"

namespace {

constexpr std::size_t kPe = 0x40, kOptional = kPe + 24, kTable = kOptional + 224;

void Put(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v, unsigned size) {
  for (unsigned i = 0; i < size; ++i) f[at + i] = static_cast<std::uint8_t>(v >> 8 * i);
}
std::uint32_t Get(const std::vector<std::uint8_t>& f, std::size_t at, unsigned size) {
  std::uint32_t v = 0;
  for (unsigned i = 0; i < size; ++i) v |= std::uint32_t{f[at + i]} << 8 * i;
  return v;
}

struct Shape {
  std::uint32_t codeSize;                   // bytes of code, 0xC3 each
  std::vector<std::uint16_t> fixupOffsets;  // HIGHLOW fixups in the code's page
  bool withRelocDirectory = true;
};

// .text at 0x1000, .rsrc at 0x2000, .reloc at 0x3000, each in one 512-byte file block.
std::vector<std::uint8_t> MakeImage(const Shape& shape) {
  std::vector<std::uint8_t> f(0x800, 0);
  Put(f, 0, 0x5A4D, 2);
  Put(f, 0x3C, kPe, 4);
  Put(f, kPe, 0x4550, 4);
  Put(f, kPe + 4, 0x14C, 2);
  Put(f, kPe + 6, 3, 2);
  Put(f, kPe + 20, 224, 2);
  Put(f, kOptional, 0x10B, 2);
  Put(f, kOptional + 8, 0x600, 4);  // initialised data
  Put(f, kOptional + 32, 0x1000, 4);
  Put(f, kOptional + 36, 0x200, 4);
  Put(f, kOptional + 56, 0x4000, 4);
  Put(f, kOptional + 92, 16, 4);
  const char* names[] = {".text", ".rsrc", ".reloc"};
  std::vector<std::uint8_t> reloc;
  if (!shape.fixupOffsets.empty()) {
    std::uint32_t size = 8 + 2 * static_cast<std::uint32_t>(shape.fixupOffsets.size());
    size = (size + 3) & ~3u;
    reloc.assign(size, 0);
    Put(reloc, 0, 0x1000, 4);
    Put(reloc, 4, size, 4);
    for (std::size_t i = 0; i < shape.fixupOffsets.size(); ++i) {
      Put(reloc, 8 + 2 * i, 0x3000 | shape.fixupOffsets[i], 2);
    }
  }
  const std::uint32_t sizes[] = {shape.codeSize, 0x10, static_cast<std::uint32_t>(reloc.size())};
  for (int i = 0; i < 3; ++i) {
    const std::size_t at = kTable + 40 * i;
    for (int c = 0; names[i][c]; ++c) f[at + c] = static_cast<std::uint8_t>(names[i][c]);
    Put(f, at + 8, sizes[i], 4);
    Put(f, at + 12, 0x1000 * (i + 1), 4);
    Put(f, at + 16, 0x200, 4);
    Put(f, at + 20, 0x200 * (i + 1), 4);
  }
  for (std::uint32_t i = 0; i < shape.codeSize; ++i) f[0x200 + i] = 0xC3;
  std::copy(reloc.begin(), reloc.end(), f.begin() + 0x600);
  if (shape.withRelocDirectory && !reloc.empty()) {
    Put(f, kOptional + 96 + 8 * 5, 0x3000, 4);
    Put(f, kOptional + 96 + 8 * 5 + 4, static_cast<std::uint32_t>(reloc.size()), 4);
  }
  Put(f, kOptional + 64, pe_fold::PeChecksum(f, kOptional + 64), 4);
  return f;
}

struct FoldCase {
  const char* what;
  Shape shape;
  bool folds;
  std::uint32_t tableRva;  // where the directory points afterwards, when folded
};

const FoldCase kFoldCases[] = {
    {"table after 4-aligned code", {0x100, {0x10, 0x20}}, true, 0x1100},
    {"table 4-aligned after odd-sized code", {0x101, {0x10}}, true, 0x1104},
    {"table ending exactly at the block's end", {0x1F4, {0x10, 0x20}}, true, 0x11F4},
    {"table one word too long for the block", {0x1F5, {0x10, 0x20}}, false, 0},
    {"no relocations at all", {0x100, {}}, false, 0},
    {"relocation section without its directory", {0x100, {0x10}, false}, false, 0},
};

void PrintTo(const FoldCase& c, std::ostream* out) {
  *out << c.what;
}

class RelocFold : public testing::TestWithParam<FoldCase> {};

TEST_P(RelocFold, FoldsExactlyWhenTheTableFitsAfterTheCode) {
  const FoldCase& c = GetParam();
  std::vector<std::uint8_t> file = MakeImage(c.shape);
  const std::vector<std::uint8_t> linked = file;
  const auto result = pe_fold::FoldRelocations(file);
  ASSERT_EQ(c.folds, result.folded) << result.reason;
  if (!c.folds) {
    EXPECT_FALSE(result.reason.empty());
    EXPECT_EQ(linked, file) << "a file left as linked must keep every byte";
    return;
  }
  const std::uint32_t tableSize = Get(linked, kOptional + 96 + 44, 4);
  EXPECT_EQ(0x600u, file.size()) << ".reloc's file block is gone";
  const pe::Image folded = pe::Image::Parse(file, "folded");
  const pe::Headers& headers = folded.headers();
  EXPECT_EQ(2u, folded.sections().size());
  EXPECT_EQ(std::vector<std::uint8_t>(40, 0),
            std::vector<std::uint8_t>(file.begin() + kTable + 80, file.begin() + kTable + 120));
  EXPECT_EQ(c.tableRva, headers.directories[pe::kRelocDir].rva);
  EXPECT_EQ(tableSize, headers.directories[pe::kRelocDir].size);
  EXPECT_EQ(c.tableRva - 0x1000 + tableSize, folded.sections()[0].virtualSize)
      << "code's virtual size";
  EXPECT_EQ(0x3000u, headers.sizeOfImage) << "SizeOfImage";
  EXPECT_EQ(0x400u, headers.sizeOfInitializedData) << "initialised data";
  // The loader finds the same fixups through the moved directory.
  EXPECT_EQ(pe::ReadRelocations(pe::Image::Parse(linked, "linked")), pe::ReadRelocations(folded));
  // The code is untouched and the table arrives byte for byte.
  EXPECT_TRUE(std::equal(linked.begin() + 0x200, linked.begin() + 0x200 + c.shape.codeSize,
                         file.begin() + 0x200));
  EXPECT_TRUE(std::equal(linked.begin() + 0x600, linked.begin() + 0x600 + tableSize,
                         file.begin() + 0x200 + (c.tableRva - 0x1000)));
  EXPECT_EQ(pe_fold::PeChecksum(file, headers.ChecksumOffset()), headers.checksum);
}

INSTANTIATE_TEST_SUITE_P(Pe, RelocFold, testing::ValuesIn(kFoldCases));

// The entries of the table in order, each block's page added, the ABSOLUTE entry that pads an
// odd count to 4 bytes left out.
TEST(Relocations, AreTheFixupsOfEveryBlockWithoutThePadding) {
  const pe::Image image = pe::Image::Parse(MakeImage({0x100, {0x10, 0x20, 0xFFC}}), "linked");
  const std::vector<pe::Relocation> expected = {{.rva = 0x1010, .type = pe::kRelHighLow},
                                                {.rva = 0x1020, .type = pe::kRelHighLow},
                                                {.rva = 0x1FFC, .type = pe::kRelHighLow}};
  EXPECT_EQ(expected, pe::ReadRelocations(image));
  EXPECT_TRUE(pe::ReadRelocations(pe::Image::Parse(MakeImage({0x100, {}}), "none")).empty());
}

struct BadBlock {
  const char* what;
  std::uint32_t blockSize;  // written over the first block's size
};

void PrintTo(const BadBlock& b, std::ostream* out) {
  *out << b.what;
}

class RelocationsOfABadBlock : public testing::TestWithParam<BadBlock> {};

TEST_P(RelocationsOfABadBlock, AreRefusedNamingTheBlock) {
  std::vector<std::uint8_t> file = MakeImage({0x100, {0x10, 0x20}});
  Put(file, 0x600 + 4, GetParam().blockSize, 4);
  const pe::Image image = pe::Image::Parse(file, "bad.exe");
  try {
    pe::ReadRelocations(image);
    ADD_FAILURE() << GetParam().what << ": read";
  } catch (const pe::PeError& e) {
    EXPECT_NE(std::string(e.what()).find("base relocation block"), std::string::npos) << e.what();
  }
}

const BadBlock kBadBlocks[] = {
    {.what = "shorter than its header", .blockSize = 4},
    {.what = "empty", .blockSize = 0},
    {.what = "longer than the table", .blockSize = 0x10},
    {.what = "wrapping around", .blockSize = 0xFFFFFFF8u},
};
INSTANTIATE_TEST_SUITE_P(Pe, RelocationsOfABadBlock, testing::ValuesIn(kBadBlocks));

TEST(RelocFold, RefusesAFixupThatWouldPatchTheTable) {
  // Code of 0x100 bytes; the table goes to 0x1100, where this fixup points.
  std::vector<std::uint8_t> file = MakeImage({0x100, {0x10, 0x104}});
  EXPECT_THROW(pe_fold::FoldRelocations(file), std::runtime_error);
}

TEST(RelocFold, RefusesCodePaddingThatIsNotZero) {
  std::vector<std::uint8_t> file = MakeImage({0x100, {0x10}});
  file[0x200 + 0x180] = 0x90;
  EXPECT_THROW(pe_fold::FoldRelocations(file), std::runtime_error);
}

TEST(RelocFold, RefusesWhatIsNoPeFile) {
  std::vector<std::uint8_t> file(0x200, 0);
  EXPECT_THROW(pe_fold::FoldRelocations(file), std::runtime_error);
}

}  // namespace
