// Bounded little-endian reads from a file's bytes: every read is checked against the end, and
// a read that does not fit fails with the offset and what was being read.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace pe {

// A PE file that cannot be what it claims: truncated, or pointing outside itself.
class PeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ByteView {
 public:
  ByteView(std::span<const std::uint8_t> bytes, std::string name)
      : bytes_(bytes), name_(std::move(name)) {}

  std::size_t size() const { return bytes_.size(); }
  const std::string& name() const { return name_; }

  std::uint8_t U8(std::size_t at, const char* what) const { return Span(at, 1, what)[0]; }
  std::uint16_t U16(std::size_t at, const char* what) const {
    const auto b = Span(at, 2, what);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
  }
  std::uint32_t U32(std::size_t at, const char* what) const {
    const auto b = Span(at, 4, what);
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
  }
  std::uint64_t U64(std::size_t at, const char* what) const {
    return U32(at, what) | static_cast<std::uint64_t>(U32(at + 4, what)) << 32;
  }

  std::span<const std::uint8_t> Span(std::size_t at, std::size_t count, const char* what) const {
    if (at > bytes_.size() || count > bytes_.size() - at) {
      throw PeError(name_ + ": " + what + " at offset " + std::to_string(at) + " (" +
                    std::to_string(count) + " bytes) lies beyond the end of the file (" +
                    std::to_string(bytes_.size()) + " bytes)");
    }
    return bytes_.subspan(at, count);
  }

  // A NUL-terminated 8-bit string starting at `at`, at most `limit` bytes before the NUL.
  std::string CString(std::size_t at, std::size_t limit, const char* what) const {
    std::string text;
    for (std::size_t i = 0;; ++i) {
      if (i > limit)
        throw PeError(name_ + ": " + what + " at offset " + std::to_string(at) +
                      " is not terminated");
      const std::uint8_t c = U8(at + i, what);
      if (c == 0) return text;
      text += static_cast<char>(c);
    }
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::string name_;
};

}  // namespace pe
