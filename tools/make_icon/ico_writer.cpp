#include "ico_writer.h"

#include <array>

namespace orbicon {
namespace {

// The standard VGA palette, as RGBQUAD (blue, green, red, reserved).
constexpr std::array<std::array<std::uint8_t, 4>, 16> kPalette = {{
    {0x00, 0x00, 0x00, 0},
    {0x80, 0x00, 0x00, 0},
    {0x00, 0x80, 0x00, 0},
    {0x80, 0x80, 0x00, 0},
    {0x00, 0x00, 0x80, 0},
    {0x80, 0x00, 0x80, 0},
    {0x00, 0x80, 0x80, 0},
    {0xC0, 0xC0, 0xC0, 0},
    {0x80, 0x80, 0x80, 0},
    {0xFF, 0x00, 0x00, 0},
    {0x00, 0xFF, 0x00, 0},
    {0xFF, 0xFF, 0x00, 0},
    {0x00, 0x00, 0xFF, 0},
    {0xFF, 0x00, 0xFF, 0},
    {0x00, 0xFF, 0xFF, 0},
    {0xFF, 0xFF, 0xFF, 0},
}};

void Put16(std::vector<std::uint8_t>& out, unsigned value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

constexpr std::uint32_t kHeaderSize = 40;
constexpr std::uint32_t kColourBytes = kSize * kSize / 2;  // 4 bits a pixel, rows already 4-aligned
constexpr std::uint32_t kMaskBytes = kSize * kSize / 8;    // 1 bit a pixel, rows already 4-aligned
constexpr std::uint32_t kImageBytes = kHeaderSize + 16 * 4 + kColourBytes + kMaskBytes;

}  // namespace

std::vector<std::uint8_t> EncodeIco(const Picture& picture) {
  std::vector<std::uint8_t> out;
  // ICONDIR: reserved, type 1 (icon), one image.
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  // ICONDIRENTRY: width, height, colours, reserved, planes, bits per pixel, size, offset.
  out.push_back(kSize);
  out.push_back(kSize);
  out.push_back(16);
  out.push_back(0);
  Put16(out, 1);
  Put16(out, 4);
  Put32(out, kImageBytes);
  Put32(out, 6 + 16);

  // BITMAPINFOHEADER; the height counts the colour bitmap and the mask together.
  Put32(out, kHeaderSize);
  Put32(out, kSize);
  Put32(out, 2 * kSize);
  Put16(out, 1);
  Put16(out, 4);
  Put32(out, 0);  // BI_RGB
  Put32(out, kColourBytes + kMaskBytes);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 16);
  Put32(out, 0);
  for (const auto& colour : kPalette) out.insert(out.end(), colour.begin(), colour.end());

  // Both bitmaps are stored bottom row first. Transparent pixels are black in the colour
  // bitmap and set in the mask, so the desktop shows through unchanged.
  for (int row = kSize - 1; row >= 0; --row) {
    for (int col = 0; col < kSize; col += 2) {
      const int left = picture[row][col] == kTransparent ? 0 : picture[row][col];
      const int right = picture[row][col + 1] == kTransparent ? 0 : picture[row][col + 1];
      out.push_back(static_cast<std::uint8_t>(left << 4 | right));
    }
  }
  for (int row = kSize - 1; row >= 0; --row) {
    for (int col = 0; col < kSize; col += 8) {
      std::uint8_t bits = 0;
      for (int bit = 0; bit < 8; ++bit) {
        if (picture[row][col + bit] == kTransparent) bits |= static_cast<std::uint8_t>(0x80 >> bit);
      }
      out.push_back(bits);
    }
  }
  return out;
}

}  // namespace orbicon
