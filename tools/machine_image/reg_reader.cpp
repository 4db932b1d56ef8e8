#include "reg_reader.h"

#include <cctype>
#include <cstdint>
#include <vector>

#include "encoding.h"
#include "image_error.h"
#include "text_lines.h"

namespace machine_image {
namespace {

// A line as the parser sees it: a continued line is joined with the lines after it, and
// errors name the line where it began.
struct LogicalLine {
  int number = 0;
  std::string text;  // UTF-8, trimmed at both ends
};

std::vector<LogicalLine> JoinContinuedLines(const std::vector<std::string>& lines) {
  std::vector<LogicalLine> out;
  bool continuing = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string text = Trim(lines[i]);
    if (continuing) {
      out.back().text += text;
    } else {
      out.push_back({static_cast<int>(i + 1), text});
    }
    LogicalLine& line = out.back();
    // Comments do not continue: a comment that happens to end in a backslash must not
    // swallow the next line.
    continuing = !line.text.empty() && line.text.back() == '\\' && line.text.front() != ';';
    if (continuing) line.text.pop_back();
  }
  return out;
}

class RegParser {
 public:
  RegParser(const std::string& fileName, emu::Machine& machine)
      : fileName_(fileName), machine_(machine) {}

  void Parse(const std::vector<LogicalLine>& lines) {
    bool headerAllowed = true;
    for (const LogicalLine& line : lines) {
      line_ = line.number;
      const std::string& text = line.text;
      if (text.empty() || text.front() == ';') continue;
      if (text == kRegedit4 || text == kRegedit5) {
        if (!headerAllowed) Fail("the header \"" + text + "\" belongs on the first line");
        unicode_ = text == kRegedit5;
        machine_.registryHeader = text;
      } else if (text.front() == '[') {
        ParseSection(text);
      } else {
        ParseValue(text);
      }
      headerAllowed = false;
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& message) const {
    throw ImageError(fileName_, line_, message);
  }

  void ParseSection(const std::string& text) {
    if (text.back() != ']') Fail("a key section must end with ']'");
    std::string_view inside(text);
    inside = inside.substr(1, inside.size() - 2);
    const bool remove = !inside.empty() && inside.front() == '-';
    if (remove) inside.remove_prefix(1);
    const std::string path(inside);
    const std::size_t slash = path.find('\\');
    const std::string rootName = path.substr(0, slash);
    const std::optional<emu::Root> root = emu::ParseRootName(rootName);
    if (!root) Fail("unknown registry root \"" + rootName + "\"");
    std::string below = slash == std::string::npos ? "" : path.substr(slash + 1);
    if (!below.empty() && below.back() == '\\') below.pop_back();  // "[HKLM\Software\]"
    if (below.find("\\\\") != std::string::npos || (!below.empty() && below.front() == '\\')) {
      Fail("empty key name in \"" + std::string(inside) + "\"");
    }
    if (remove) {
      RemoveKey(*root, below);
      current_ = nullptr;
      return;
    }
    current_ = &machine_.registry.CreateKey(*root, below);
  }

  // "[-KEY]" deletes the key with its tree, as regedit's import does; a missing key is fine.
  void RemoveKey(emu::Root root, const std::string& path) {
    if (path.empty()) Fail("a registry root cannot be deleted");
    const std::size_t slash = path.rfind('\\');
    const std::string parentPath = slash == std::string::npos ? "" : path.substr(0, slash);
    const std::string child = slash == std::string::npos ? path : path.substr(slash + 1);
    if (emu::RegKey* parent = machine_.registry.FindKey(root, parentPath)) parent->Remove(child);
  }

  void ParseValue(const std::string& text) {
    if (current_ == nullptr) Fail("a value outside any key section");
    std::size_t pos = 0;
    std::string name;
    if (text[0] == '@') {
      pos = 1;
    } else if (text[0] == '"') {
      name = QuotedString(text, pos);
    } else {
      Fail("expected a value name in double quotes, or @ for the default value");
    }
    SkipBlanks(text, pos);
    if (pos >= text.size() || text[pos] != '=') Fail("expected '=' after the value name");
    ++pos;
    SkipBlanks(text, pos);
    const std::string_view data = std::string_view(text).substr(pos);
    if (data == "-") {
      RemoveValue(name);
    } else if (!data.empty() && data.front() == '"') {
      std::string value = QuotedString(text, pos);
      ExpectEnd(text, pos);
      value += '\0';
      current_->SetValue(name, 1, emu::Bytes(value.begin(), value.end()));
    } else if (StartsWithNoCase(data, "dword:")) {
      current_->SetValue(name, 4, Dword(data.substr(6)));
    } else if (StartsWithNoCase(data, "hex")) {
      ParseHexValue(name, data.substr(3));
    } else {
      Fail("unreadable value data \"" + std::string(data) + "\"");
    }
  }

  void RemoveValue(const std::string& name) {
    auto& values = current_->values;
    std::erase_if(values, [&](const emu::RegValue& v) { return emu::SameName(v.name, name); });
  }

  // "hex:..." is REG_BINARY; "hex(N):..." is type N, N in hexadecimal as regedit writes it.
  void ParseHexValue(const std::string& name, std::string_view rest) {
    std::uint32_t type = 3;
    if (!rest.empty() && rest.front() == '(') {
      const std::size_t close = rest.find(')');
      if (close == std::string_view::npos) Fail("expected ')' after hex(");
      type = static_cast<std::uint32_t>(HexNumber(rest.substr(1, close - 1), 8, "value type"));
      rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != ':') Fail("expected ':' after hex");
    emu::Bytes bytes = HexBytes(rest.substr(1));
    // String types: the machine keeps them as Unicode. Version 5.00 files carry them as
    // UTF-16LE (regedit exports them so), REGEDIT4 files as Windows-1252 bytes.
    const bool stringType = type == 1 || type == 2 || type == 7;
    if (stringType) {
      if (unicode_ && bytes.size() % 2 != 0) {
        Fail("UTF-16 string data must have an even number of bytes");
      }
      const std::string raw(bytes.begin(), bytes.end());
      const std::string text = unicode_ ? Utf16leToUtf8(raw) : AnsiToUtf8(raw);
      bytes.assign(text.begin(), text.end());
    }
    current_->SetValue(name, type, std::move(bytes));
  }

  emu::Bytes Dword(std::string_view digits) {
    const std::uint32_t value = static_cast<std::uint32_t>(HexNumber(Trim(digits), 8, "dword"));
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  }

  emu::Bytes HexBytes(std::string_view list) {
    emu::Bytes bytes;
    std::size_t start = 0;
    while (start <= list.size()) {
      std::size_t comma = list.find(',', start);
      if (comma == std::string_view::npos) comma = list.size();
      const std::string item = Trim(list.substr(start, comma - start));
      const bool last = comma == list.size();
      if (item.empty()) {
        // "hex:" holds no bytes and "01,02," may end in a comma; nothing else may be empty.
        if (!last) Fail("empty byte in hex data");
      } else {
        bytes.push_back(static_cast<std::uint8_t>(HexNumber(item, 2, "byte")));
      }
      start = comma + 1;
    }
    return bytes;
  }

  unsigned long HexNumber(std::string_view digits, std::size_t maxDigits, const char* what) {
    if (digits.empty() || digits.size() > maxDigits) {
      Fail(std::string("bad ") + what + " \"" + std::string(digits) + "\"");
    }
    unsigned long value = 0;
    for (const char c : digits) {
      if (!std::isxdigit(static_cast<unsigned char>(c))) {
        Fail(std::string("bad ") + what + " \"" + std::string(digits) + "\"");
      }
      const int digit = std::isdigit(static_cast<unsigned char>(c))
                            ? c - '0'
                            : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
      value = value * 16 + static_cast<unsigned long>(digit);
    }
    return value;
  }

  // Reads "..." at pos (which holds the opening quote); inside, \\ is a backslash and \" a
  // double quote. Any other backslash is refused: a path written with single backslashes
  // is the usual slip, and reading it silently would change the path.
  std::string QuotedString(const std::string& text, std::size_t& pos) {
    std::string out;
    for (++pos; pos < text.size(); ++pos) {
      const char c = text[pos];
      if (c == '"') {
        ++pos;
        return out;
      }
      if (c == '\\') {
        if (pos + 1 >= text.size() || (text[pos + 1] != '\\' && text[pos + 1] != '"')) {
          Fail("a backslash inside quotes must be written \\\\ (or \\\" for a quote)");
        }
        ++pos;
      }
      out += text[pos];
    }
    Fail("missing closing double quote");
  }

  void ExpectEnd(const std::string& text, std::size_t pos) {
    SkipBlanks(text, pos);
    if (pos != text.size()) Fail("unexpected text after the value: \"" + text.substr(pos) + "\"");
  }

  static void SkipBlanks(const std::string& text, std::size_t& pos) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  }

  const std::string& fileName_;
  emu::Machine& machine_;
  emu::RegKey* current_ = nullptr;
  bool unicode_ = false;
  int line_ = 0;
};

}  // namespace

void ReadRegFile(std::string_view fileBytes, const std::string& fileName, emu::Machine& machine) {
  DecodedText decoded;
  if (!DecodeTextFile(fileBytes, decoded)) {
    throw ImageError(fileName, 1, "unreadable encoding (UTF-16 needs a byte order mark)");
  }
  machine.registryHeader = kRegedit4;
  RegParser(fileName, machine).Parse(JoinContinuedLines(SplitLines(decoded.utf8)));
}

}  // namespace machine_image
