// Text encodings at the edge of the machine: what the "A" API sees (Windows-1252) against what
// the host files hold (UTF-8, UTF-16LE).
#include <gtest/gtest.h>

#include <string>

#include "encoding.h"

namespace mi = machine_image;

TEST(ImageEncoding, EveryAnsiByteSurvivesUtf8AndUtf16RoundTrips) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
  EXPECT_EQ(mi::Utf8ToAnsi(mi::AnsiToUtf8(all)), all);
  EXPECT_EQ(mi::Utf16leToAnsi(mi::AnsiToUtf16le(all)), all);
  EXPECT_TRUE(mi::IsValidUtf8(mi::AnsiToUtf8(all)));
}

TEST(ImageEncoding, ConvertsAsWindowsCodePage1252) {
  struct Row {
    std::string ansi, utf8;
  } rows[] = {
      {"Zo\xEB", "Zo\xC3\xAB"},                    // Latin-1 range
      {"\x80", "\xE2\x82\xAC"},                    // euro sign, 1252's own
      {"\x9F", "\xC5\xB8"},                        // Y diaeresis
      {"\x81", "\xC2\x81"},                        // undefined in 1252: kept as U+0081
      {"C:\\Program Files", "C:\\Program Files"},  // ASCII unchanged
  };
  for (const Row& row : rows) {
    EXPECT_EQ(mi::AnsiToUtf8(row.ansi), row.utf8) << row.utf8;
    EXPECT_EQ(mi::Utf8ToAnsi(row.utf8), row.ansi) << row.utf8;
  }
}

TEST(ImageEncoding, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(mi::Utf8ToAnsi("\xE6\x97\xA5\xE6\x9C\xAC.txt"), "??.txt");       // CJK
  EXPECT_EQ(mi::Utf8ToAnsi("\xF0\x9F\x98\x80"), "?");                        // outside the BMP
  EXPECT_EQ(mi::Utf8ToAnsi("a\xC3"), "a?");                                  // cut sequence
  EXPECT_EQ(mi::Utf16leToAnsi(std::string("\x3D\xD8\x00\xDE", 4)), "?");     // surrogate pair
  EXPECT_EQ(mi::Utf16leToUtf8(std::string("\x3D\xD8", 2)), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(ImageEncoding, DetectsTheEncodingOfATextFile) {
  struct Row {
    const char* what;
    std::string bytes;
    bool readable;
    mi::TextEncoding encoding;
    std::string utf8;
  } rows[] = {
      {"UTF-16LE with BOM", std::string("\xFF\xFEZ\0\xEB\0", 6), true, mi::TextEncoding::Utf16le,
       "Z\xC3\xAB"},
      {"UTF-8 with BOM", "\xEF\xBB\xBFZ\xC3\xAB", true, mi::TextEncoding::Utf8Bom, "Z\xC3\xAB"},
      {"UTF-8", "Z\xC3\xAB", true, mi::TextEncoding::Utf8, "Z\xC3\xAB"},
      {"plain ASCII", "REGEDIT4", true, mi::TextEncoding::Utf8, "REGEDIT4"},
      {"Windows-1252", "Z\xEB", true, mi::TextEncoding::Ansi, "Z\xC3\xAB"},
      {"UTF-16 without BOM", std::string("R\0E\0", 4), false, mi::TextEncoding::Utf8, ""},
  };
  for (const Row& row : rows) {
    mi::DecodedText decoded;
    ASSERT_EQ(mi::DecodeTextFile(row.bytes, decoded), row.readable) << row.what;
    if (!row.readable) continue;
    EXPECT_EQ(decoded.encoding, row.encoding) << row.what;
    EXPECT_EQ(decoded.utf8, row.utf8) << row.what;
  }
}
