// The command tail as start-up code derives it, and the separator rule.
#include "app/command_tail.h"

#include <gtest/gtest.h>

#include <string>

#include "common/text_buffer.h"

namespace {

struct TailCase {
  const char* commandLine;
  const char* tail;
};

const TailCase kTailCases[] = {
    {"\"C:\\Program Files\\Orbelle\\Uninstall.exe\"", ""},
    {"\"C:\\Program Files\\Orbelle\\Uninstall.exe\"   ", ""},  // blanks only: the launcher runs
    {"\"C:\\Program Files\\Orbelle\\Uninstall.exe\"\t\r\n", ""},
    {"C:\\Orbelle\\Uninstall.exe", ""},
    {"C:\\Orbelle\\Uninstall.exe   C:\\Orbelle", "C:\\Orbelle"},  // unquoted path, blanks dropped
    {"\"C:\\WINDOWS\\TEMP\\obuninst.tmp\" C:\\Program Files\\Orbelle",
     "C:\\Program Files\\Orbelle"},  // the hand-off line: blanks inside the tail stay
    {"\"C:\\My Temp\\obuninst.tmp\" C:", "C:"},
    {"\"C:\\WINDOWS\\TEMP\\obuninst.tmp\" \"D:\\Typed by hand\" ", "\"D:\\Typed by hand\" "},
    {"\"C:\\a b\\x.exe\"tail", "tail"},       // no blank after the closing quote
    {"\"C:\\unclosed quote x.exe tail", ""},  // an open quote runs to the end
    {"", ""},
    {"x.exe \x01\x1f"
     "tail",
     "tail"},                     // every code from 1 to 32 is a blank
    {"x\xa0y.exe tail", "tail"},  // codes above 127 are part of the path, read as unsigned
    {"x.exe \xa0tail", "\xa0tail"},
};

TEST(CommandTail, FollowsTheStartupRule) {
  for (const auto& c : kTailCases) {
    std::string line = c.commandLine;
    EXPECT_STREQ(FindCommandTail(line.data()), c.tail) << "command line: " << c.commandLine;
  }
}

struct BackslashCase {
  const char* path;
  int capacity;
  BOOL fits;
  const char* result;
};

const BackslashCase kBackslashCases[] = {
    {"C:\\Orbelle", 260, TRUE, "C:\\Orbelle\\"},
    {"C:\\Orbelle\\", 260, TRUE, "C:\\Orbelle\\"},
    {"C:", 260, TRUE, "C:\\"},
    {"", 260, TRUE, ""},  // an empty path stays empty
    {"abc", 5, TRUE, "abc\\"},
    {"abcd", 5, FALSE, "abcd"},  // no room for the terminator: unchanged
};

TEST(AppendBackslash, AddsOneSeparatorWhereItFits) {
  for (const auto& c : kBackslashCases) {
    char buffer[300];
    lstrcpyA(buffer, c.path);
    EXPECT_EQ(AppendBackslash(buffer, c.capacity), c.fits) << c.path;
    EXPECT_STREQ(buffer, c.result) << c.path;
  }
}

TEST(BoundedCopies, RefuseWhatWouldNotFitAndLeaveTheBufferAlone) {
  char buffer[8] = "abc";
  EXPECT_TRUE(AppendIfFits(buffer, 8, "defg"));  // 7 characters and the terminator
  EXPECT_STREQ(buffer, "abcdefg");
  EXPECT_FALSE(AppendIfFits(buffer, 8, "h"));
  EXPECT_STREQ(buffer, "abcdefg");
  EXPECT_FALSE(CopyIfFits(buffer, 8, "12345678"));
  EXPECT_STREQ(buffer, "abcdefg");
  EXPECT_TRUE(CopyIfFits(buffer, 8, "1234567"));
  EXPECT_STREQ(buffer, "1234567");
}

struct NameAtCase {
  const char* name;
  int position;
  bool fits;
  const char* result;
};

// The folder C:\ab\ (6 characters) in an 11-byte buffer that holds a longer name from before.
const NameAtCase kNameAtCases[] = {
    {"xyzw", 6, true, "C:\\ab\\xyzw"},    // 10 characters and the terminator
    {"xyzwv", 6, false, "C:\\ab\\long"},  // one more: refused, the earlier name stays
    {"", 6, true, "C:\\ab\\"},
    {"q", 9, true, "C:\\ab\\lonq"},
    {"q", 10, false, "C:\\ab\\long"},  // only the terminator's byte is left there
    {"", 10, true, "C:\\ab\\long"},
    {"q", 11, false, "C:\\ab\\long"},  // past the buffer: nothing written
    {"q", -1, false, "C:\\ab\\long"},
};

TEST(WriteNameAt, ReplacesTheNameAfterTheFolderOnlyWhereItFits) {
  for (const auto& c : kNameAtCases) {
    char buffer[12] = "C:\\ab\\long";
    buffer[11] = '!';  // the byte after the 11 the call may use
    EXPECT_EQ(WriteNameAt(buffer, 11, c.position, c.name), c.fits)
        << c.name << " at " << c.position;
    EXPECT_STREQ(buffer, c.result) << c.name << " at " << c.position;
    EXPECT_EQ(buffer[11], '!');
  }
}

}  // namespace
