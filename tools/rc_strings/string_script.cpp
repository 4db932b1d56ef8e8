#include "string_script.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "lexer.h"
#include "string_literal.h"

namespace rcstrings {
namespace {

namespace fs = std::filesystem;

// Memory options a STRINGTABLE may carry; the resource compiler accepts and 32-bit Windows
// ignores them.
const std::set<std::string> kMemoryOptions = {"DISCARDABLE", "MOVEABLE", "FIXED",     "PURE",
                                              "IMPURE",      "PRELOAD",  "LOADONCALL"};

bool ParseInteger(std::string text, unsigned long& value) {
  while (!text.empty() &&
         (text.back() == 'L' || text.back() == 'l' || text.back() == 'U' || text.back() == 'u')) {
    text.pop_back();
  }
  int base = 10;
  std::size_t start = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    start = 2;
  }
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  const auto result = std::from_chars(first, last, value, base);
  return first != last && result.ec == std::errc() && result.ptr == last;
}

class Reader {
 public:
  explicit Reader(std::vector<fs::path> includeDirs) : includeDirs_(std::move(includeDirs)) {}

  StringScript Read(const fs::path& script) {
    ReadFile(script, /*isScript=*/true);
    std::sort(result_.entries.begin(), result_.entries.end(),
              [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; });
    return std::move(result_);
  }

 private:
  void ReadFile(const fs::path& path, bool isScript) {
    // A header included twice adds nothing (its guard would skip it); this also ends a cycle.
    if (!seen_.insert(fs::weakly_canonical(path)).second) return;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream content;
    content << in.rdbuf();
    result_.filesRead.push_back(path);
    const std::string name = path.string();

    std::vector<Token> tokens;
    int openConditionals = 0;
    for (const SourceLine& line : ReadLines(content.str(), name)) {
      const std::size_t first = line.text.find_first_not_of(" \t");
      if (first != std::string::npos && line.text[first] == '#') {
        Directive(line, first, path, openConditionals);
        continue;
      }
      for (Token& token : Tokenize(line, name)) {
        if (!isScript) {
          throw ScriptError(token.where,
                            "header holds more than preprocessor lines: " + token.text);
        }
        tokens.push_back(std::move(token));
      }
    }
    if (openConditionals != 0) throw ScriptError({name, 0}, "#ifndef without #endif");
    Statements(tokens, name);
  }

  void Directive(const SourceLine& line, std::size_t hash, const fs::path& path, int& open) {
    const Location where{path.string(), line.number};
    std::istringstream words(line.text.substr(hash + 1));
    std::string keyword;
    words >> keyword;
    if (keyword == "include") {
      std::string target;
      std::getline(words >> std::ws, target);
      while (!target.empty() && std::isspace(static_cast<unsigned char>(target.back()))) {
        target.pop_back();
      }
      if (target.size() < 2 || target.front() != '"' || target.back() != '"') {
        throw ScriptError(where, "only #include \"file\" is supported");
      }
      ReadFile(Resolve(target.substr(1, target.size() - 2), path, where), /*isScript=*/false);
    } else if (keyword == "define") {
      std::string name, value, extra;
      words >> name >> value >> extra;
      if (name.empty()) throw ScriptError(where, "#define without a name");
      // "(16)" is as good as "16"; a define with no value (an include guard) is kept empty.
      if (value.size() > 2 && value.front() == '(' && value.back() == ')') {
        value = value.substr(1, value.size() - 2);
      }
      if (!extra.empty()) value += " " + extra;  // not a number; refused only if used as an ID
      defines_[name] = value;
    } else if (keyword == "ifndef") {
      // Accepted as an include guard only: the guarded text is always read.
      std::string name;
      words >> name;
      if (defines_.count(name) != 0) {
        throw ScriptError(where,
                          "#ifndef " + name + " would skip text: conditionals are not supported");
      }
      ++open;
    } else if (keyword == "endif") {
      if (open == 0) throw ScriptError(where, "#endif without #ifndef");
      --open;
    } else if (keyword == "pragma") {
      // "#pragma once" and code-page pragmas change nothing for ASCII text read once.
    } else {
      throw ScriptError(where, "preprocessor directive #" + keyword + " is not supported");
    }
  }

  fs::path Resolve(const std::string& name, const fs::path& from, const Location& where) const {
    std::vector<fs::path> candidates{from.parent_path() / name};
    for (const fs::path& dir : includeDirs_) candidates.push_back(dir / name);
    for (const fs::path& candidate : candidates) {
      if (fs::is_regular_file(candidate)) return candidate;
    }
    throw ScriptError(where, "included file " + name + " not found");
  }

  unsigned ResolveId(const Token& token) const {
    std::string text = token.text;
    if (token.kind == TokenKind::Word) {
      const auto found = defines_.find(text);
      if (found == defines_.end())
        throw ScriptError(token.where, "string ID " + text + " is not #define'd");
      text = found->second;
    } else if (token.kind != TokenKind::Number) {
      throw ScriptError(token.where, "expected a string ID, found " + token.text);
    }
    unsigned long value = 0;
    if (!ParseInteger(text, value) || value > 0xFFFF) {
      throw ScriptError(token.where,
                        "string ID " + token.text + " is not a number from 0 to 65535");
    }
    return static_cast<unsigned>(value);
  }

  void Statements(const std::vector<Token>& tokens, const std::string& file) {
    std::size_t i = 0;
    auto at = [&](std::size_t k) -> const Token* {
      return k < tokens.size() ? &tokens[k] : nullptr;
    };
    auto expectNumber = [&](std::size_t k) {
      if (at(k) == nullptr || at(k)->kind != TokenKind::Number) {
        const Location where = at(k) != nullptr ? at(k)->where : tokens.back().where;
        throw ScriptError(where, "LANGUAGE needs two numbers");
      }
    };
    // LANGUAGE primary, sub: position i is the keyword; returns the index after it.
    auto language = [&](std::size_t k) {
      expectNumber(k + 1);
      if (at(k + 2) == nullptr || at(k + 2)->text != ",")
        throw ScriptError(tokens[k].where, "LANGUAGE needs two numbers");
      expectNumber(k + 3);
      return k + 4;
    };
    while (i < tokens.size()) {
      const Token& token = tokens[i];
      if (token.kind == TokenKind::Word && token.text == "LANGUAGE") {
        i = language(i);
      } else if (token.kind == TokenKind::Word && token.text == "STRINGTABLE") {
        ++i;
        while (at(i) != nullptr && at(i)->kind == TokenKind::Word && at(i)->text != "BEGIN") {
          if (at(i)->text == "LANGUAGE") {
            i = language(i);
          } else if (kMemoryOptions.count(at(i)->text) != 0) {
            ++i;
          } else {
            throw ScriptError(at(i)->where, "unexpected " + at(i)->text + " after STRINGTABLE");
          }
        }
        if (at(i) == nullptr || (at(i)->text != "BEGIN" && at(i)->text != "{")) {
          throw ScriptError(token.where, "STRINGTABLE without BEGIN");
        }
        i = Table(tokens, i + 1, token.where);
      } else {
        throw ScriptError(token.where, "unexpected " + token.text +
                                           ": only LANGUAGE and STRINGTABLE are read from " + file);
      }
    }
  }

  // Entries up to END; returns the index after it.
  std::size_t Table(const std::vector<Token>& tokens, std::size_t i, const Location& start) {
    while (true) {
      if (i >= tokens.size()) throw ScriptError(start, "STRINGTABLE is never closed with END");
      const Token& idToken = tokens[i];
      if (idToken.text == "END" || idToken.text == "}") return i + 1;
      const unsigned id = ResolveId(idToken);
      ++i;
      if (i < tokens.size() && tokens[i].text == ",") ++i;
      if (i >= tokens.size() || tokens[i].kind != TokenKind::String) {
        throw ScriptError(idToken.where, "string ID " + idToken.text + " has no text");
      }
      std::string text;
      while (i < tokens.size() && tokens[i].kind == TokenKind::String) {
        text += DecodeLiteral(tokens[i].text, tokens[i].where);  // adjacent literals are joined
        ++i;
      }
      const auto previous = std::find_if(result_.entries.begin(), result_.entries.end(),
                                         [id](const StringEntry& e) { return e.id == id; });
      if (previous != result_.entries.end()) {
        throw ScriptError(idToken.where, "string ID " + std::to_string(id) +
                                             " already defined at line " +
                                             std::to_string(previous->where.line));
      }
      result_.entries.push_back({id, text, idToken.where});
    }
  }

  std::vector<fs::path> includeDirs_;
  std::map<std::string, std::string> defines_;
  std::set<fs::path> seen_;
  StringScript result_;
};

}  // namespace

StringScript ReadStringScript(const fs::path& script, const std::vector<fs::path>& includeDirs) {
  return Reader(includeDirs).Read(script);
}

}  // namespace rcstrings
