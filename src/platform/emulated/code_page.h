// The one place where the machine's text (Unicode, kept as UTF-8) meets what a program of the
// "A" API sees: bytes in the process's ANSI code page. Windows-1252 (Western Europe),
// Windows-1251 (Cyrillic) and UTF-8 (65001, which Windows 10 1903 and later give a program
// whose manifest declares it) are modelled.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "run_scenario.h"

namespace emu {

inline constexpr unsigned kUtf8CodePage = 65001;

// MultiByteToWideChar: the bytes a program passed, in its code page, to the machine's text.
// The bytes a single-byte page leaves undefined (1252's 0x81, 0x8D, 0x8F, 0x90, 0x9D; 1251's
// 0x98) become U+0081 ... as Windows makes them, so every byte survives a round trip. Under
// UTF-8 a malformed sequence becomes U+FFFD.
std::string ToMachine(unsigned codePage, std::string_view ansi);
// WideCharToMultiByte without best fit: each character the page cannot hold becomes '?'.
std::string FromMachine(unsigned codePage, std::string_view text);
// True when every character of the text survives FromMachine.
bool PageHolds(unsigned codePage, std::string_view text);

// UTF-8 as the machine keeps it. NextCodePoint decodes the sequence at pos and moves past it; a
// malformed, overlong or surrogate sequence gives U+FFFD, clears `valid` and moves one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& pos, bool& valid);
void AppendUtf8(std::string& out, char32_t codePoint);
// The text as its characters, malformed sequences as U+FFFD: for counting what a reader sees.
std::u32string Utf32(std::string_view text);
std::string Utf8(std::u32string_view characters);
bool IsValidUtf8(std::string_view bytes);
// The length Windows counts (MAX_PATH and the like): UTF-16 code units.
std::size_t Utf16Length(std::string_view text);
// UTF-16LE bytes (no byte order mark) to and from UTF-8. A lone surrogate decodes as U+FFFD;
// an odd trailing byte is ignored.
std::string Utf16leToUtf8(std::string_view bytes);
std::string Utf8ToUtf16le(std::string_view text);

// Windows' upper-case table (RtlUpcaseUnicodeChar) for ASCII, Latin-1, Latin Extended-A, Greek
// and Cyrillic; other characters are their own upper case.
char32_t UpperCodePoint(char32_t c);

// The application manifest declares <activeCodePage>UTF-8</activeCodePage> in the 2019
// WindowsSettings namespace.
bool DeclaresUtf8CodePage(std::string_view manifest);
// The code page a process runs with, fixed at its start: UTF-8 where Windows honours the
// manifest's declaration, otherwise the system's ANSI code page.
unsigned ProgramCodePage(const Scenario& scenario, std::string_view manifest);

// The host build's application manifest, res/uninstall.manifest compiled in.
std::string_view ProductManifest();

}  // namespace emu
