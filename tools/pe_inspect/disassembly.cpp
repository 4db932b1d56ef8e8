#include "disassembly.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

namespace pe {

namespace {

// A file of its own for each call (the tests run in parallel), removed when done.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::span<const std::uint8_t> bytes) {
    std::string pattern = (std::filesystem::temp_directory_path() / "pe-code-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) throw std::runtime_error("cannot create a file in " + pattern);
    close(fd);
    path_ = pattern;
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error(path_ + ": cannot be written");
  }
  ~TemporaryFile() { std::filesystem::remove(path_); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct PipeCloser {
  void operator()(FILE* pipe) const { pclose(pipe); }
};

// The words objdump writes before a mnemonic for its prefix bytes.
bool IsPrefix(const std::string& word) {
  static const std::set<std::string> kPrefixes = {
      "rep",    "repz",   "repnz",  "repe",    "repne",    "lock",     "data16",
      "data32", "addr16", "addr32", "cs",      "ds",       "es",       "fs",
      "gs",     "ss",     "bnd",    "notrack", "xacquire", "xrelease", "rex"};
  return kPrefixes.count(word) || word.rfind("rex.", 0) == 0;
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "  401000:\t0f 44 c2   \tcmove  eax,edx"; the bytes all on one line (--insn-width), so a
// line without the third field is not an instruction (headers, "..." for skipped zeros).
bool ParseLine(const std::string& line, Instruction& out) {
  const auto colon = line.find(":\t");
  if (colon == std::string::npos) return false;
  const auto tab = line.find('\t', colon + 2);
  if (tab == std::string::npos) return false;
  try {
    std::size_t used = 0;
    const std::string address = Trim(line.substr(0, colon));
    out.address = std::stoull(address, &used, 16);
    if (used != address.size()) return false;
  } catch (const std::exception&) {
    return false;
  }
  out.bytes = Trim(line.substr(colon + 2, tab - colon - 2));
  std::string text = Trim(line.substr(tab + 1));
  // A note objdump adds ("# 0x401d90") is not part of the instruction.
  if (const auto hash = text.find(" #"); hash != std::string::npos) text = text.substr(0, hash);
  std::istringstream words(text);
  std::string word;
  out.prefixes.clear();
  out.mnemonic.clear();
  while (words >> word) {
    if (!IsPrefix(word)) {
      out.mnemonic = word;
      break;
    }
    out.prefixes.push_back(word);
  }
  std::getline(words >> std::ws, out.operands);
  out.operands = Trim(out.operands);
  if (out.mnemonic.empty() && !out.prefixes.empty()) {
    // A prefix on its own (before bytes objdump could not join to it) stands as the mnemonic.
    out.mnemonic = out.prefixes.back();
    out.prefixes.pop_back();
  }
  return !out.mnemonic.empty();
}

}  // namespace

std::vector<Instruction> Disassemble(const std::string& objdumpPath,
                                     std::span<const std::uint8_t> code, std::uint64_t address,
                                     CodeArch arch) {
  if (code.empty()) return {};
  const TemporaryFile file(code);
  std::ostringstream command;
  // -z: show runs of zero bytes too, instead of "..." (they are instructions to the CPU).
  command << "'" << objdumpPath << "' -D -z -b binary --insn-width=16 -M intel"
          << (arch == CodeArch::kI386 ? " -m i386" : " -m i386:x86-64") << " --adjust-vma=0x"
          << std::hex << address << " '" << file.path() << "' 2>&1";
  std::unique_ptr<FILE, PipeCloser> pipe(popen(command.str().c_str(), "r"));
  if (!pipe) throw std::runtime_error("cannot run " + objdumpPath);
  std::string output;
  char chunk[4096];
  for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) output.append(chunk, n);
  const int status = pclose(pipe.release());
  if (status != 0) throw std::runtime_error(objdumpPath + " failed: " + output);

  std::vector<Instruction> instructions;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    Instruction instruction;
    if (ParseLine(line, instruction)) instructions.push_back(instruction);
  }
  if (instructions.empty() || instructions.front().address != address) {
    throw std::runtime_error("objdump's output does not start at the code's address:\n" + output);
  }
  return instructions;
}

}  // namespace pe
