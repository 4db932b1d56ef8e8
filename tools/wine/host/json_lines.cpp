#include "json_lines.h"

#include <cstdint>

namespace wine_harness {
namespace {

class LineParser {
 public:
  LineParser(const std::string& line, const std::string& where) : line_(line), where_(where) {}

  JsonObject Object() {
    JsonObject object;
    Expect('{');
    if (Peek() == '}') {
      ++pos_;
      return object;
    }
    for (;;) {
      const std::string name = String();
      Expect(':');
      object[name] = Value();
      if (Peek() == ',') {
        ++pos_;
        continue;
      }
      Expect('}');
      break;
    }
    if (Peek() != '\0') Fail("text after the object");
    return object;
  }

 private:
  char Peek() {
    while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t')) ++pos_;
    return pos_ < line_.size() ? line_[pos_] : '\0';
  }

  void Expect(char c) {
    if (Peek() != c) Fail(std::string("expected '") + c + "'");
    ++pos_;
  }

  [[noreturn]] void Fail(const std::string& message) {
    throw JsonError(where_ + ": " + message + " at column " + std::to_string(pos_ + 1));
  }

  JsonValue Value() {
    JsonValue value;
    const char c = Peek();
    if (c == '"') {
      value.text = String();
    } else if (c == '[') {
      ++pos_;
      if (Peek() == ']') {
        ++pos_;
        return value;
      }
      for (;;) {
        value.items.push_back(String());
        if (Peek() == ',') {
          ++pos_;
          continue;
        }
        Expect(']');
        break;
      }
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      const std::size_t start = pos_++;
      while (pos_ < line_.size() && line_[pos_] >= '0' && line_[pos_] <= '9') ++pos_;
      value.text = line_.substr(start, pos_ - start);
    } else {
      Fail("expected a string, a number or an array");
    }
    return value;
  }

  static void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | code >> 6);
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | code >> 12);
      out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | code >> 18);
      out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  std::uint32_t Hex4() {
    if (pos_ + 4 > line_.size()) Fail("short \\u escape");
    const std::uint32_t code =
        static_cast<std::uint32_t>(std::stoul(line_.substr(pos_, 4), nullptr, 16));
    pos_ += 4;
    return code;
  }

  std::string String() {
    Expect('"');
    std::string out;
    while (pos_ < line_.size() && line_[pos_] != '"') {
      char c = line_[pos_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= line_.size()) Fail("unfinished escape");
      c = line_[pos_++];
      switch (c) {
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          std::uint32_t code = Hex4();
          if (code >= 0xD800 && code < 0xDC00 && line_.compare(pos_, 2, "\\u") == 0) {
            pos_ += 2;
            const std::uint32_t low = Hex4();
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(out, code);
          break;
        }
        default:
          out += c;  // \" \\ \/
      }
    }
    Expect('"');
    return out;
  }

  const std::string& line_;
  std::string where_;
  std::size_t pos_ = 0;
};

}  // namespace

std::vector<JsonObject> ReadJsonLines(const std::string& fileName, const std::string& text) {
  std::vector<JsonObject> objects;
  std::size_t start = 0;
  int number = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    objects.push_back(LineParser(line, fileName + ":" + std::to_string(number)).Object());
  }
  return objects;
}

}  // namespace wine_harness
