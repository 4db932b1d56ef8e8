// rc_strings must read a script exactly as the resource compiler of the Windows build does:
// the same script goes through both, and the strings must agree byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "string_script.h"
#include "temp_dir.h"

namespace {

using Table = std::map<unsigned, std::string>;

std::uint32_t Le32(const std::vector<std::uint8_t>& d, std::size_t at) {
  return d.at(at) | d.at(at + 1) << 8 | d.at(at + 2) << 16 |
         static_cast<std::uint32_t>(d.at(at + 3)) << 24;
}
std::uint16_t Le16(const std::vector<std::uint8_t>& d, std::size_t at) {
  return static_cast<std::uint16_t>(d.at(at) | d.at(at + 1) << 8);
}

// Reads an ordinal type or name field of a .res header; names given as strings read as -1.
long OrdinalField(const std::vector<std::uint8_t>& d, std::size_t& at) {
  if (Le16(d, at) == 0xFFFF) {
    const long value = Le16(d, at + 2);
    at += 4;
    return value;
  }
  while (Le16(d, at) != 0) at += 2;
  at += 2;
  return -1;
}

// The string resources (type 6) of a compiled .res file. Each block N holds IDs 16(N-1) to
// 16N-1 as UTF-16 counted strings; the texts are ASCII, so each code unit is one byte.
Table StringsOfResFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> d{std::istreambuf_iterator<char>(in), {}};
  Table table;
  std::size_t at = 0;
  while (at + 8 <= d.size()) {
    const std::uint32_t dataSize = Le32(d, at);
    const std::uint32_t headerSize = Le32(d, at + 4);
    std::size_t field = at + 8;
    const long type = OrdinalField(d, field);
    const long block = OrdinalField(d, field);
    const std::size_t data = at + headerSize;
    if (type == 6) {
      std::size_t p = data;
      for (unsigned i = 0; i < 16; ++i) {
        const std::uint16_t length = Le16(d, p);
        p += 2;
        std::string text;
        for (std::uint16_t k = 0; k < length; ++k, p += 2) {
          const std::uint16_t unit = Le16(d, p);
          EXPECT_LT(unit, 0x80) << "non-ASCII character in string " << (block - 1) * 16 + i;
          text += static_cast<char>(unit);
        }
        if (length != 0) table[static_cast<unsigned>((block - 1) * 16 + i)] = text;
      }
    }
    at = (data + dataSize + 3) & ~std::size_t{3};
  }
  return table;
}

Table CompiledByWindres(const std::filesystem::path& script,
                        const std::filesystem::path& includeDir, const TempDir& dir) {
  const std::string windres = RC_STRINGS_WINDRES;
  if (windres.empty() || windres.find("NOTFOUND") != std::string::npos) {
    ADD_FAILURE() << "windres was not found when the build was configured";
    return {};
  }
  const auto res = dir.path() / "out.res";
  const std::string command = "'" + windres + "' -I '" + includeDir.string() + "' -O res '" +
                              script.string() + "' '" + res.string() + "'";
  EXPECT_EQ(0, std::system(command.c_str())) << command;
  return StringsOfResFile(res);
}

Table ReadByRcStrings(const std::filesystem::path& script,
                      const std::filesystem::path& includeDir) {
  Table table;
  for (const auto& entry : rcstrings::ReadStringScript(script, {includeDir}).entries)
    table[entry.id] = entry.text;
  return table;
}

TEST(AgreesWithWindres, OnTheProgramsStringTable) {
  TempDir dir;
  const Table compiled = CompiledByWindres(RC_STRINGS_SCRIPT, RC_STRINGS_INCLUDE_DIR, dir);
  EXPECT_EQ(5u, compiled.size());
  EXPECT_EQ(compiled, ReadByRcStrings(RC_STRINGS_SCRIPT, RC_STRINGS_INCLUDE_DIR));
}

// Every form rc_strings accepts, in one script, including IDs that land in different blocks.
TEST(AgreesWithWindres, OnEveryAcceptedForm) {
  TempDir dir;
  dir.Write("ids.h", "#pragma once\n#define IDS_A 16 // a\n#define IDS_B (40)\n");
  const auto script = dir.Write("forms.rc",
                                "#include \"ids.h\"\n"
                                "LANGUAGE 0x09, 0x01\n"
                                "STRINGTABLE DISCARDABLE\n"
                                "BEGIN\n"
                                "  IDS_A, \"quote \"\"inside\"\" and \"\"\"\"\"\n"
                                "  IDS_B \"line\\nfeed\" \" tab\\t cr\\r back\\\\slash\"\n"
                                "  0x11, \"hex id\" /* comment */ \" joined\"\n"
                                "  1 \"\"\"\"\n"
                                "  65535, \"last\"\n"
                                "END\n"
                                "STRINGTABLE { 2 \"braces\" }\n");
  const Table compiled = CompiledByWindres(script, dir.path(), dir);
  EXPECT_EQ(6u, compiled.size());
  EXPECT_EQ(compiled, ReadByRcStrings(script, dir.path()));
}

}  // namespace
