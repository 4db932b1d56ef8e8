#include "lexer.h"

#include <cctype>

namespace rcstrings {
namespace {

bool IsWordStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The end of the literal that starts at `open` (one past its closing quote), or npos when the
// line ends first. A doubled quote stays inside; a backslash protects the character after it.
std::size_t LiteralEnd(const std::string& text, std::size_t open) {
  std::size_t i = open + 1;
  while (i < text.size()) {
    if (text[i] == '\\') {
      i += 2;
    } else if (text[i] == '"') {
      if (i + 1 < text.size() && text[i + 1] == '"') {
        i += 2;
      } else {
        return i + 1;
      }
    } else {
      ++i;
    }
  }
  return std::string::npos;
}

}  // namespace

std::vector<SourceLine> ReadLines(const std::string& content, const std::string& fileName) {
  std::vector<SourceLine> lines;
  std::string current;
  int number = 1;
  int commentStart = 0;
  bool inBlockComment = false;
  std::size_t i = 0;
  auto endLine = [&] {
    if (!current.empty() && current.back() == '\r') current.pop_back();
    lines.push_back({number, current});
    current.clear();
    ++number;
  };
  while (i < content.size()) {
    const char c = content[i];
    if (inBlockComment) {
      if (c == '*' && i + 1 < content.size() && content[i + 1] == '/') {
        inBlockComment = false;
        current += ' ';
        i += 2;
      } else {
        if (c == '\n') endLine();
        ++i;
      }
    } else if (c == '\n') {
      endLine();
      ++i;
    } else if (c == '"') {
      const std::size_t lineEnd = content.find('\n', i);
      const std::string rest =
          content.substr(i, lineEnd == std::string::npos ? content.npos : lineEnd - i);
      const std::size_t end = LiteralEnd(rest, 0);
      const std::size_t length = end == std::string::npos ? rest.size() : end;
      current += rest.substr(0, length);  // an unterminated literal is reported by Tokenize
      i += length;
    } else if (c == '/' && i + 1 < content.size() && content[i + 1] == '/') {
      while (i < content.size() && content[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < content.size() && content[i + 1] == '*') {
      inBlockComment = true;
      commentStart = number;
      i += 2;
    } else {
      current += c;
      ++i;
    }
  }
  if (inBlockComment) throw ScriptError({fileName, commentStart}, "comment is never closed");
  if (!current.empty()) endLine();
  return lines;
}

std::vector<Token> Tokenize(const SourceLine& line, const std::string& fileName) {
  std::vector<Token> tokens;
  const std::string& text = line.text;
  const Location where{fileName, line.number};
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '"') {
      const std::size_t end = LiteralEnd(text, i);
      if (end == std::string::npos)
        throw ScriptError(where, "string literal is not closed on its line");
      tokens.push_back({TokenKind::String, text.substr(i, end - i), where});
      i = end;
    } else if (IsWordStart(c)) {
      std::size_t end = i;
      while (end < text.size() && IsWordChar(text[end])) ++end;
      // L"..." would be a wide literal: not a word followed by a string.
      if (end < text.size() && text[end] == '"') {
        throw ScriptError(where, "prefixed string literal " + text.substr(i, end - i) +
                                     "\"...\" is not supported");
      }
      tokens.push_back({TokenKind::Word, text.substr(i, end - i), where});
      i = end;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      std::size_t end = i;
      while (end < text.size() && IsWordChar(text[end])) ++end;
      tokens.push_back({TokenKind::Number, text.substr(i, end - i), where});
      i = end;
    } else {
      tokens.push_back({TokenKind::Punct, std::string(1, c), where});
      ++i;
    }
  }
  return tokens;
}

}  // namespace rcstrings
