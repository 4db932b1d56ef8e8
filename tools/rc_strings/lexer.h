// Splits resource-script text into lines without comments, and lines into tokens.
#pragma once

#include <string>
#include <vector>

#include "script_error.h"

namespace rcstrings {

struct SourceLine {
  int number;        // 1-based line in the file
  std::string text;  // comments removed (a block comment leaves a blank)
};

// Removes // and /* */ comments, leaving string literals alone, and keeps line numbers.
std::vector<SourceLine> ReadLines(const std::string& content, const std::string& fileName);

enum class TokenKind { Word, Number, String, Punct };

struct Token {
  TokenKind kind;
  std::string text;  // as written; a String keeps its quotes and escapes for DecodeLiteral
  Location where;
};

// Words are identifiers, numbers start with a digit, strings are quoted (resource-script rule:
// "" inside is part of the literal), punctuation is a single character.
std::vector<Token> Tokenize(const SourceLine& line, const std::string& fileName);

}  // namespace rcstrings
