// Text encodings at the edge of the machine. The machine keeps text as Unicode (UTF-8), as the
// host does (file names, .reg files, transcripts); regedit's Unicode files are UTF-16LE, and
// REGEDIT4 files and ANSI text files are Windows-1252. The conversions themselves are the
// emulator's (code_page.h), so the image and the "A" calls agree on every byte.
#pragma once

#include <string>
#include <string_view>

namespace machine_image {

// Windows-1252 to UTF-8. The five bytes 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// become U+0081... as MultiByteToWideChar makes them, so every byte survives a round trip.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-8 to Windows-1252. A character 1252 lacks becomes '?' (WideCharToMultiByte with
// WC_NO_BEST_FIT_CHARS); so does a malformed UTF-8 sequence.
std::string Utf8ToAnsi(std::string_view utf8);

// UTF-16LE bytes (no byte order mark) to and from UTF-8 and Windows-1252. A lone surrogate
// decodes as U+FFFD. An odd trailing byte is ignored: callers that care check the size.
std::string Utf16leToUtf8(std::string_view bytes);
std::string Utf8ToUtf16le(std::string_view utf8);
std::string Utf16leToAnsi(std::string_view bytes);
std::string AnsiToUtf16le(std::string_view ansi);

bool IsValidUtf8(std::string_view bytes);

enum class TextEncoding { Utf8, Utf8Bom, Ansi, Utf16le };

struct DecodedText {
  std::string utf8;
  TextEncoding encoding = TextEncoding::Utf8;
};

// A text file as the tools accept it: UTF-16LE with a byte order mark, UTF-8 with or without
// one, otherwise Windows-1252 (anything that is not valid UTF-8). Returns false for bytes that
// look like UTF-16 without a byte order mark (a NUL byte), which no other encoding explains.
bool DecodeTextFile(std::string_view bytes, DecodedText& out);

}  // namespace machine_image
