// The processor the shipped exe needs: every instruction linked into it (our functions, our
// memset and memcpy, whatever libgcc supplies) must run on the 80386, the oldest processor
// Windows 95 runs on. The code is found through the link map (the exe is stripped) and
// decoded (tools/x86/i386_check.h) input section by input section, together with the padding the
// linker put between them. The program's own code is one section (it is compiled without a section
// per function, see cmake/windows_exe.cmake); libraries may bring more.
#include <cxxabi.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "built_exes.h"
#include "i386_check.h"
#include "map_file.h"

namespace {

// "FindLastBackslash(char const*)" for ".text$_Z17FindLastBackslashPKc", to read the report.
std::string FunctionName(const pe::MapInputSection& section) {
  const auto dollar = section.name.find('$');
  if (dollar == std::string::npos) return section.name + " of " + section.object;
  const std::string symbol = section.name.substr(dollar + 1);
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> plain(
      abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status), &std::free);
  return status == 0 && plain ? plain.get() : symbol;
}

struct CodeRange {
  std::string name;
  std::uint64_t address, size;
};

// The functions, and the gaps between them: the linker fills a gap with bytes of its own
// choosing, which a jump table or a fall-through could reach.
std::vector<CodeRange> CodeRanges(const std::vector<pe::MapInputSection>& sections) {
  std::vector<CodeRange> ranges;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const auto& s = sections[i];
    if (i > 0) {
      const auto& previous = sections[i - 1];
      const std::uint64_t end = previous.address + previous.size;
      if (s.address > end)
        ranges.push_back({"padding after " + FunctionName(previous), end, s.address - end});
    }
    ranges.push_back({FunctionName(s), s.address, s.size});
  }
  return ranges;
}

class ExeCpu : public testing::Test {
 protected:
  const BuiltExe& exe_ = kBuiltExes[0];  // the i686 build: the product
};

TEST_F(ExeCpu, RunsOnTheI386) {
  const auto image = LoadBuiltExe(exe_);
  ASSERT_TRUE(image.has_value());
  const auto sections =
      pe::ReadMapInputSections(BuildDir(exe_) / "Uninstall.map", ".text", ".text");
  const auto ranges = CodeRanges(sections);
  // Not a vacuous pass: the start-up function itself is among what was disassembled.
  const auto startup =
      pe::FindSymbol(pe::ReadMapSymbols(BuildDir(exe_) / "Uninstall.map"), exe_.entrySymbol);
  ASSERT_TRUE(startup.has_value());
  bool startupSeen = false;
  std::size_t instructions = 0;
  std::ostringstream offences;
  for (const CodeRange& range : ranges) {
    const std::uint64_t base = image->headers().imageBase;
    ASSERT_GE(range.address, base) << range.name;
    const auto rva = static_cast<std::uint32_t>(range.address - base);
    const auto code = image->bytes().Span(image->Offset(rva, range.size, range.name.c_str()),
                                          range.size, range.name.c_str());
    startupSeen |= *startup >= range.address && *startup < range.address + range.size;
    // A walk from the range's start: a range that ends mid-instruction shows as an instruction
    // cut short, and undecodable bytes are stepped over one at a time.
    for (std::size_t at = 0; at < code.size();) {
      const x86::I386Verdict verdict = x86::CheckI386Instruction(code.subspan(at));
      ++instructions;
      if (!verdict.whyNot.empty()) {
        offences << "  " << range.name << " at 0x" << std::hex << range.address + at << " [";
        for (std::size_t i = at; i < at + std::max<std::size_t>(verdict.length, 1); ++i)
          offences << (i > at ? " " : "") << std::setw(2) << std::setfill('0') << +code[i];
        offences << std::dec << "]: " << verdict.whyNot << "\n";
      }
      at += verdict.length ? verdict.length : 1;
    }
  }
  EXPECT_TRUE(startupSeen) << "the start-up function lies in none of the map's code ranges";
  EXPECT_GT(instructions, 500u) << "too little code found to be the whole program";
  EXPECT_TRUE(offences.str().empty())
      << "instructions the 80386 does not have, in " << ranges.size() << " ranges:\n"
      << offences.str();
}

// The map's layout as ld writes it: a long section name puts its address on the next line,
// discarded sections are listed before the layout, and other output sections do not count.
TEST(MapInputSections, AreTheCodeOfTheNamedOutputSectionInAddressOrder) {
  const auto path =
      std::filesystem::temp_directory_path() / ("pe-map-test-" + std::to_string(getpid()) + ".map");
  {
    std::ofstream map(path);
    map << "Discarded input sections\n\n"
           " .text$Unused   0x00000000       0x10 a.o\n\n"
           "Linker script and memory map\n\n"
           "                0x00400000                __image_base__ = 0x400000\n"
           ".text           0x00401000     0x1200\n"
           " *(.text)\n"
           " .text          0x00401040        0x8 libkernel32.a(s01.o)\n"
           "                0x00401040                _Sleep@4\n"
           " .text$Short    0x00401000       0x20 a.o\n"
           "                0x00401000                _Short\n"
           " .text$_Z17FindLastBackslashPKc\n"
           "                0x00401020       0x1c b.o\n"
           "                0x00401020                __Z17FindLastBackslashPKc\n"
           " .text$Empty    0x0040103c        0x0 b.o\n"
           " *fill*         0x0040103c        0x4 \n"
           " .rdata         0x00401048        0x8 a.o\n"
           ".data           0x00402000        0x0\n"
           " .text$Elsewhere 0x00402000       0x10 c.o\n";
  }
  const auto sections = pe::ReadMapInputSections(path, ".text", ".text");
  std::filesystem::remove(path);
  ASSERT_EQ(3u, sections.size());
  EXPECT_EQ(".text$Short", sections[0].name);
  EXPECT_EQ(0x401000u, sections[0].address);
  EXPECT_EQ(0x20u, sections[0].size);
  EXPECT_EQ("a.o", sections[0].object);
  EXPECT_EQ(".text$_Z17FindLastBackslashPKc", sections[1].name);
  EXPECT_EQ(0x401020u, sections[1].address);
  EXPECT_EQ(0x1cu, sections[1].size);
  EXPECT_EQ(".text", sections[2].name);
  EXPECT_EQ("libkernel32.a(s01.o)", sections[2].object);
}

}  // namespace
