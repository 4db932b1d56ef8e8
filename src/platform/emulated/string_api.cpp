// KERNEL32's and USER32's string functions: pure, so they need no running process and leave
// no trace line (they would drown the calls that change the machine).
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>

#include "code_page.h"
#include "platform_api.h"
#include "state.h"

namespace {

constexpr std::size_t kWsprintfLimit = 1024;  // wsprintfA writes at most 1024 bytes

}  // namespace

// Windows guards these with an exception handler, so a NULL pointer gives NULL, not a crash.
LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return NULL;
  return std::strcpy(lpString1, lpString2);
}

LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return NULL;
  return std::strcat(lpString1, lpString2);
}

int WINAPI lstrlenA(LPCSTR lpString) {
  return lpString ? static_cast<int>(std::strlen(lpString)) : 0;
}

// Windows compares with the user locale's word sort; callers here rely only on equality, so
// this compares unsigned bytes (equal strings give 0 either way). NULL sorts before any text.
int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return lpString1 ? 1 : (lpString2 ? -1 : 0);
  int order = std::strcmp(lpString1, lpString2);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// Windows reads both strings in the caller's code page and compares them with the user's
// locale and its case folding. Modelled: equality with the letters folded (ASCII, and beyond it
// through the upcase table, so "Пётр" and "ПЁТР" are equal), and the order of the folded
// characters, ASCII folded to lower case as before; the locale's word sort, which puts "é" next
// to "e", is not modelled.
int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return lpString1 ? 1 : (lpString2 ? -1 : 0);
  const unsigned codePage = emu::detail::CurrentCodePage();
  const std::string a = emu::ToMachine(codePage, lpString1);
  const std::string b = emu::ToMachine(codePage, lpString2);
  auto fold = [](char32_t c) -> char32_t {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
    return emu::UpperCodePoint(c);
  };
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    bool valid = true;
    const char32_t x = fold(emu::NextCodePoint(a, i, valid));
    const char32_t y = fold(emu::NextCodePoint(b, j, valid));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  return j < b.size() ? -1 : 0;
}

namespace {

struct FieldFormat {
  bool left = false, zero = false, alternate = false;
  int width = 0;
  int precision = -1;
  bool wide = false;
};

void Pad(std::string& out, const std::string& body, const FieldFormat& field, bool numeric) {
  std::size_t width = field.width > 0 ? static_cast<std::size_t>(field.width) : 0;
  if (body.size() >= width) {
    out += body;
  } else if (field.left) {
    out += body + std::string(width - body.size(), ' ');
  } else {
    char fill = field.zero && numeric ? '0' : ' ';
    std::string padding(width - body.size(), fill);
    // Zero padding goes after the sign.
    if (fill == '0' && !body.empty() && body[0] == '-') {
      out += "-" + padding + body.substr(1);
    } else {
      out += padding + body;
    }
  }
}

std::string Digits(std::uint32_t value, unsigned base, bool upper, int precision) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), digits[value % base]);
    value /= base;
  } while (value);
  if (precision >= 0 && text.size() < static_cast<std::size_t>(precision)) {
    text.insert(0, static_cast<std::size_t>(precision) - text.size(), '0');
  }
  return text;
}

// A UTF-16 string from a wide argument, converted to the caller's code page as wsprintfA does.
std::string Narrow(const std::uint16_t* text) {
  std::string bytes;
  for (; text && *text; ++text) {
    bytes += static_cast<char>(*text & 0xFF);
    bytes += static_cast<char>(*text >> 8);
  }
  return emu::FromMachine(emu::detail::CurrentCodePage(), emu::Utf16leToUtf8(bytes));
}

}  // namespace

// The USER32 subset of printf: flags - 0 #, a width, a precision, the l/h modifiers and
// c C d i s S u x X. The long of the l modifier is 32 bits, as on Windows. An unknown type
// letter is copied as it stands. Output stops at 1023 characters and a terminator.
int WINAPI wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
  if (!lpOut || !lpFmt) return 0;
  std::va_list args;
  va_start(args, lpFmt);
  std::string out;
  for (const char* p = lpFmt; *p && out.size() < kWsprintfLimit; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    FieldFormat field;
    ++p;
    for (;; ++p) {
      if (*p == '-')
        field.left = true;
      else if (*p == '0')
        field.zero = true;
      else if (*p == '#')
        field.alternate = true;
      else
        break;
    }
    while (*p >= '0' && *p <= '9') field.width = field.width * 10 + (*p++ - '0');
    if (*p == '.') {
      field.precision = 0;
      while (*++p >= '0' && *p <= '9') field.precision = field.precision * 10 + (*p - '0');
    }
    if (*p == 'l' || *p == 'w') {
      field.wide = true;
      ++p;
    } else if (*p == 'h') {
      ++p;
    }
    switch (*p) {
      case '\0':
        --p;  // a lone '%' at the end prints nothing
        break;
      case 'c':
      case 'C': {
        int c = va_arg(args, int);
        Pad(out,
            std::string(1, static_cast<char>(*p == 'C' || field.wide ? (c < 0x80 ? c : '?') : c)),
            field, false);
        break;
      }
      case 's':
      case 'S': {
        std::string text;
        if (*p == 'S' || field.wide) {
          text = Narrow(va_arg(args, const std::uint16_t*));
        } else {
          const char* s = va_arg(args, const char*);
          text = s ? s : "(null)";
        }
        if (field.precision >= 0 && text.size() > static_cast<std::size_t>(field.precision)) {
          text.resize(static_cast<std::size_t>(field.precision));
        }
        Pad(out, text, field, false);
        break;
      }
      case 'd':
      case 'i': {
        std::int32_t value = va_arg(args, std::int32_t);
        std::uint32_t magnitude =
            value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
        Pad(out, (value < 0 ? "-" : "") + Digits(magnitude, 10, false, field.precision), field,
            true);
        break;
      }
      case 'u':
        Pad(out, Digits(va_arg(args, std::uint32_t), 10, false, field.precision), field, true);
        break;
      case 'x':
      case 'X': {
        bool upper = *p == 'X';
        std::uint32_t value = va_arg(args, std::uint32_t);
        std::string body = Digits(value, 16, upper, field.precision);
        if (field.alternate && value) body = (upper ? "0X" : "0x") + body;
        Pad(out, body, field, true);
        break;
      }
      default:
        out += *p;
        break;
    }
  }
  va_end(args);
  if (out.size() > kWsprintfLimit - 1) out.resize(kWsprintfLimit - 1);
  std::memcpy(lpOut, out.c_str(), out.size() + 1);
  return static_cast<int>(out.size());
}
