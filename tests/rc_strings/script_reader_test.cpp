// What rc_strings reads out of a resource script, and what it refuses.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "string_script.h"
#include "table_source.h"
#include "temp_dir.h"

namespace {

using Table = std::map<unsigned, std::string>;

const char kIdsHeader[] =
    "// IDs\n"
    "#pragma once\n"
    "#ifndef IDS_H\n"
    "#define IDS_H\n"
    "#define IDS_ONE 16  /* the first */\n"
    "#define IDS_TWO (17)\n"
    "#define IDS_TEXT \"not a number\"\n"
    "#endif\n";

Table Read(const TempDir& dir, const std::string& script) {
  dir.Write("ids.h", kIdsHeader);
  const auto path = dir.Write("strings.rc", script);
  Table table;
  for (const auto& entry : rcstrings::ReadStringScript(path, {}).entries)
    table[entry.id] = entry.text;
  return table;
}

struct ReadCase {
  const char* name;
  const char* script;
  Table expected;
};

class ReadsScript : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadsScript, AsTheResourceCompilerWould) {
  TempDir dir;
  EXPECT_EQ(GetParam().expected, Read(dir, GetParam().script));
}

const ReadCase kReadCases[] = {
    {"DoubledQuoteIsOneQuote",
     "STRINGTABLE\nBEGIN\n 1 \"The \"\"x\"\" y\"\nEND\n",
     {{1, "The \"x\" y"}}},
    {"AdjacentLiteralsJoin", "STRINGTABLE\nBEGIN\n 1 \"a\"\n   \"b\" \"c\"\nEND\n", {{1, "abc"}}},
    {"QuoteAtLiteralEdges",
     "STRINGTABLE\nBEGIN\n 1 \"\"\"a\"\"\" \"\"\"\"\nEND\n",
     {{1, "\"a\"\""}}},
    {"Escapes", "STRINGTABLE\nBEGIN\n 1 \"a\\nb\\tc\\\\d\\re\"\nEND\n", {{1, "a\nb\tc\\d\re"}}},
    {"BackslashBeforeClosingQuote", "STRINGTABLE\nBEGIN\n 1 \"a\\\\\"\nEND\n", {{1, "a\\"}}},
    {"IdsFromHeaderCommaOptional",
     "#include \"ids.h\"\nSTRINGTABLE\nBEGIN\n IDS_ONE, \"one\"\n IDS_TWO \"two\"\n 0x12, "
     "\"hex\"\nEND\n",
     {{16, "one"}, {17, "two"}, {18, "hex"}}},
    {"LanguageAndOptionsBeforeBraces",
     "LANGUAGE 0x09, 0x01\nSTRINGTABLE DISCARDABLE LANGUAGE 9, 1\n{\n 1 \"x\"\n}\n",
     {{1, "x"}}},
    {"CommentsAnywhere",
     "// \"not a literal\n/* STRINGTABLE\n */ STRINGTABLE /* x */ BEGIN // y\n 1 \"a // b /* c "
     "*/\"\nEND\n",
     {{1, "a // b /* c */"}}},
    {"SeveralTablesSortedById",
     "STRINGTABLE\nBEGIN\n 9 \"b\"\nEND\nSTRINGTABLE\nBEGIN\n 3 \"a\"\nEND\n",
     {{3, "a"}, {9, "b"}}},
    {"CrLfLineEnds", "STRINGTABLE\r\nBEGIN\r\n 1 \"a\"\r\n   \"b\"\r\nEND\r\n", {{1, "ab"}}},
};

INSTANTIATE_TEST_SUITE_P(Rc, ReadsScript, testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct ErrorCase {
  const char* name;
  const char* script;
  const char* message;  // the error must contain this, file and line included
};

class RefusesScript : public testing::TestWithParam<ErrorCase> {};

TEST_P(RefusesScript, NamingFileAndLine) {
  TempDir dir;
  try {
    const Table table = Read(dir, GetParam().script);
    ADD_FAILURE() << "read without error, " << table.size() << " strings";
  } catch (const rcstrings::ScriptError& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
        << error.what();
  }
}

const ErrorCase kErrorCases[] = {
    {"BackslashQuote", "STRINGTABLE\nBEGIN\n 1 \"a\\\"b\"\nEND\n",
     "strings.rc:3: escape \\\" is not accepted"},
    {"BellEscape", "STRINGTABLE\nBEGIN\n 1 \"\\a\"\nEND\n",
     "strings.rc:3: escape \\a is not accepted"},
    {"HexEscape", "STRINGTABLE\nBEGIN\n 1 \"\\x41\"\nEND\n",
     "strings.rc:3: escape \\x is not supported"},
    {"OctalEscape", "STRINGTABLE\nBEGIN\n 1 \"\\101\"\nEND\n",
     "strings.rc:3: escape \\1 is not supported"},
    {"NonAscii", "STRINGTABLE\nBEGIN\n 1 \"caf\xC3\xA9\"\nEND\n",
     "strings.rc:3: string literal holds a byte"},
    {"Unterminated", "STRINGTABLE\nBEGIN\n 1 \"abc\nEND\n",
     "strings.rc:3: string literal is not closed"},
    {"WidePrefix", "STRINGTABLE\nBEGIN\n 1 L\"abc\"\nEND\n",
     "strings.rc:3: prefixed string literal"},
    {"UnknownName", "STRINGTABLE\nBEGIN\n IDS_NONE \"a\"\nEND\n",
     "strings.rc:3: string ID IDS_NONE is not #define'd"},
    {"NameNotANumber", "#include \"ids.h\"\nSTRINGTABLE\nBEGIN\n IDS_TEXT \"a\"\nEND\n",
     "strings.rc:4: string ID IDS_TEXT is not a number"},
    {"IdTooLarge", "STRINGTABLE\nBEGIN\n 65536 \"a\"\nEND\n",
     "strings.rc:3: string ID 65536 is not a number"},
    {"Duplicate", "STRINGTABLE\nBEGIN\n 5 \"a\"\n 0x5 \"b\"\nEND\n",
     "strings.rc:4: string ID 5 already defined at line 3"},
    {"MissingText", "STRINGTABLE\nBEGIN\n 5\nEND\n", "strings.rc:3: string ID 5 has no text"},
    {"NeverClosed", "STRINGTABLE\nBEGIN\n 5 \"a\"\n", "strings.rc:1: STRINGTABLE is never closed"},
    {"OtherResource", "1 ICON \"x.ico\"\n",
     "strings.rc:1: unexpected 1: only LANGUAGE and STRINGTABLE"},
    {"UnclosedComment", "/* a\n\nSTRINGTABLE\n", "strings.rc:1: comment is never closed"},
    {"Conditional", "#ifdef X\n#endif\n",
     "strings.rc:1: preprocessor directive #ifdef is not supported"},
    {"MissingInclude", "\n#include \"nowhere.h\"\n",
     "strings.rc:2: included file nowhere.h not found"},
};

INSTANTIATE_TEST_SUITE_P(Rc, RefusesScript, testing::ValuesIn(kErrorCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RefusesHeader, HoldingCode) {
  TempDir dir;
  dir.Write("code.h", "#define A 1\nint f();\n");
  const auto script = dir.Write("strings.rc", "#include \"code.h\"\n");
  EXPECT_THROW(
      {
        try {
          rcstrings::ReadStringScript(script, {});
        } catch (const rcstrings::ScriptError& error) {
          EXPECT_NE(std::string(error.what()).find("code.h:2: header holds more than"),
                    std::string::npos)
              << error.what();
          throw;
        }
      },
      rcstrings::ScriptError);
}

TEST(FindsIncludes, NextToTheScriptThenInIncludeDirs) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "inc" / "sub");
  dir.Write("inc/sub/ids.h", "#define IDS_A 7\n");
  const auto script =
      dir.Write("strings.rc", "#include \"sub/ids.h\"\nSTRINGTABLE\nBEGIN\n IDS_A \"a\"\nEND\n");
  const auto read = rcstrings::ReadStringScript(script, {dir.path() / "inc"});
  ASSERT_EQ(1u, read.entries.size());
  EXPECT_EQ(7u, read.entries[0].id);
  // Both files are dependencies of the generated table.
  EXPECT_EQ(2u, read.filesRead.size());
}

struct LiteralCase {
  const char* name;
  std::string bytes;
  std::string literal;
};

class WritesCppLiteral : public testing::TestWithParam<LiteralCase> {};

TEST_P(WritesCppLiteral, ThatHoldsExactlyTheBytes) {
  EXPECT_EQ(GetParam().literal, rcstrings::CppLiteral(GetParam().bytes));
}

const LiteralCase kLiteralCases[] = {
    {"QuoteAndBackslash", "a\"b\\c", R"("a\"b\\c")"},
    // An octal escape followed by a digit must not swallow it.
    {"ControlByteBeforeDigit", std::string("\x01") + "7", R"("\0017")"},
    {"HighByte", "\xE9", R"("\351")"},
    {"LineFeedsSplitTheLiteral", "a\nb\n", "\"a\\n\"\n        \"b\\n\""},
};

INSTANTIATE_TEST_SUITE_P(Rc, WritesCppLiteral, testing::ValuesIn(kLiteralCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
