#include "code_page.h"

#include <array>

namespace emu {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

using HighHalf = std::array<char16_t, 128>;  // bytes 0x80..0xFF

// As MultiByteToWideChar converts them, undefined bytes included (they map to U+0081 ...).
constexpr HighHalf kWindows1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039,
    0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3,
    0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB,
    0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, 0x00D0, 0x00D1, 0x00D2, 0x00D3,
    0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB,
    0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF};

constexpr HighHalf kWindows1251 = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

// Any page other than 1251 and UTF-8 reads as 1252, the machine's default.
const HighHalf& TableOf(unsigned codePage) {
  return codePage == 1251 ? kWindows1251 : kWindows1252;
}

// The byte of a single-byte page for a character, or 0 when the page has none.
char ByteFor(const HighHalf& table, char32_t c) {
  if (c < 0x80) return static_cast<char>(c);
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i] == c) return static_cast<char>(0x80 + i);
  }
  return 0;
}

template <typename Sink>
void ForEachUtf16le(std::string_view bytes, Sink sink) {
  const auto unit = [&](std::size_t i) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  };
  const std::size_t end = bytes.size() & ~std::size_t{1};
  for (std::size_t i = 0; i < end; i += 2) {
    const char16_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 2 < end) {
      const char16_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        sink(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    sink(u >= 0xD800 && u <= 0xDFFF ? kReplacement : static_cast<char32_t>(u));
  }
}

void AppendUtf16le(std::string& out, char32_t c) {
  const auto put = [&](char16_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  if (c >= 0x10000) {
    c -= 0x10000;
    put(static_cast<char16_t>(0xD800 + (c >> 10)));
    put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    put(static_cast<char16_t>(c));
  }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                           text.front() == '\n')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::string ToMachine(unsigned codePage, std::string_view ansi) {
  if (codePage == kUtf8CodePage) {
    if (IsValidUtf8(ansi)) return std::string(ansi);
    std::string out;
    for (std::size_t pos = 0; pos < ansi.size();) {
      bool valid = true;
      AppendUtf8(out, NextCodePoint(ansi, pos, valid));
    }
    return out;
  }
  const HighHalf& table = TableOf(codePage);
  std::string out;
  out.reserve(ansi.size());
  for (const char c : ansi) {
    const auto byte = static_cast<unsigned char>(c);
    AppendUtf8(out, byte < 0x80 ? char32_t{byte} : char32_t{table[byte - 0x80]});
  }
  return out;
}

std::string FromMachine(unsigned codePage, std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const HighHalf& table = TableOf(codePage);
  for (std::size_t pos = 0; pos < text.size();) {
    bool valid = true;
    const std::size_t start = pos;
    const char32_t c = NextCodePoint(text, pos, valid);
    if (!valid) {
      out += '?';
    } else if (codePage == kUtf8CodePage) {
      out.append(text.substr(start, pos - start));
    } else {
      const char byte = ByteFor(table, c);
      out += c == 0 || byte != 0 ? byte : '?';
    }
  }
  return out;
}

std::u32string Utf32(std::string_view text) {
  std::u32string out;
  for (std::size_t pos = 0; pos < text.size();) {
    bool valid = true;
    out += NextCodePoint(text, pos, valid);
  }
  return out;
}

std::string Utf8(std::u32string_view characters) {
  std::string out;
  for (const char32_t c : characters) AppendUtf8(out, c);
  return out;
}

bool PageHolds(unsigned codePage, std::string_view text) {
  return ToMachine(codePage, FromMachine(codePage, text)) == text;
}

char32_t NextCodePoint(std::string_view s, std::size_t& pos, bool& valid) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(pos);
  valid = true;
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  }
  const auto malformed = [&] {
    valid = false;
    ++pos;
    return kReplacement;
  };
  if (length == 0 || pos + length > s.size()) return malformed();
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) return malformed();
    c = (c << 6) | (next & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return malformed();
  pos += length;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t pos = 0; pos < bytes.size();) {
    bool valid = true;
    NextCodePoint(bytes, pos, valid);
    if (!valid) return false;
  }
  return true;
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    bool valid = true;
    units += NextCodePoint(text, pos, valid) >= 0x10000 ? 2 : 1;
  }
  return units;
}

std::string Utf16leToUtf8(std::string_view bytes) {
  std::string out;
  ForEachUtf16le(bytes, [&](char32_t c) { AppendUtf8(out, c); });
  return out;
}

std::string Utf8ToUtf16le(std::string_view text) {
  std::string out;
  for (std::size_t pos = 0; pos < text.size();) {
    bool valid = true;
    AppendUtf16le(out, NextCodePoint(text, pos, valid));
  }
  return out;
}

// Pairs of Latin Extended-A and Cyrillic alternate upper (first) and lower case; in the two
// Latin runs that start on an odd code point the lower case is the even one.
char32_t UpperCodePoint(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c < 0x80) return c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
    return c & ~char32_t{1};
  }
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 0) ? c - 1 : c;
  // Greek: the plain letters, final sigma, and the accented vowels
  if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3CB)) return c - 0x20;
  if (c == 0x3C2) return 0x3A3;
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
  // Cyrillic: а..я, ѐ..џ, and the paired letters after them (ґ among them)
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF)) return c & ~char32_t{1};
  return c;
}

// Windows reads the element from the 2019 WindowsSettings namespace only; its value compares
// without regard to case ("UTF-8"; anything else, "Legacy" or a locale name, is no UTF-8).
bool DeclaresUtf8CodePage(std::string_view manifest) {
  constexpr std::string_view kOpen = "<activeCodePage";
  constexpr std::string_view kClose = "</activeCodePage>";
  constexpr std::string_view kNamespace =
      "\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\"";
  for (std::size_t at = manifest.find(kOpen); at != std::string_view::npos;
       at = manifest.find(kOpen, at + 1)) {
    const std::size_t tagEnd = manifest.find('>', at);
    if (tagEnd == std::string_view::npos) return false;
    const std::string_view tag = manifest.substr(at, tagEnd - at);
    const std::size_t close = manifest.find(kClose, tagEnd);
    if (close == std::string_view::npos) return false;
    if (tag.find(kNamespace) == std::string_view::npos) continue;
    if (EqualsNoCase(TrimBlanks(manifest.substr(tagEnd + 1, close - tagEnd - 1)), "UTF-8")) {
      return true;
    }
  }
  return false;
}

unsigned ProgramCodePage(const Scenario& scenario, std::string_view manifest) {
  if (HonoursActiveCodePage(scenario) && DeclaresUtf8CodePage(manifest)) return kUtf8CodePage;
  return scenario.codePage;
}

}  // namespace emu
