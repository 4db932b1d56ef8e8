#include "orb_image.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orbicon {
namespace {

// Indices into the standard 16-colour palette (see ico_writer.cpp).
constexpr int kGrey = 8;
constexpr int kNavy = 1;
constexpr int kTeal = 3;
constexpr int kBlue = 9;
constexpr int kCyan = 11;
constexpr int kYellow = 14;
constexpr int kWhite = 15;

constexpr double kCentre = 15.5;
constexpr double kGlobeRadius = 11.5;
constexpr double kRingTilt = -0.35;  // radians; the ring rises to the right

// The light comes from the upper left, slightly in front of the picture.
double Lighting(double nx, double ny, double nz) {
  const double lx = -0.55, ly = -0.6, lz = 0.58;
  const double norm = std::sqrt(lx * lx + ly * ly + lz * lz);
  return (nx * lx + ny * ly + nz * lz) / norm;
}

int GlobeColour(double nx, double ny, double nz) {
  // Meridians every 45 degrees and three parallels, drawn darker than the sea around them.
  const double longitude = std::atan2(nx, nz);
  const double step = std::numbers::pi / 4;
  const double toMeridian = std::abs(std::remainder(longitude, step)) * std::sqrt(1 - ny * ny);
  const bool onGrid =
      toMeridian < 0.07 || std::abs(ny) < 0.05 || std::abs(std::abs(ny) - 0.6) < 0.05;
  const double light = Lighting(nx, ny, nz);
  if (light > 0.95) return kWhite;
  if (onGrid) return light > 0.2 ? kBlue : kNavy;
  if (light > 0.6) return kCyan;
  if (light > 0.15) return kTeal;
  return kBlue;
}

// Distance of (x, y) from the ring's ellipse, in units of the ring's half height, and whether
// that part of the ring passes in front of the globe (its lower half, seen from slightly above).
struct RingPoint {
  double distance;
  bool inFront;
};

RingPoint Ring(double x, double y) {
  const double c = std::cos(kRingTilt), s = std::sin(kRingTilt);
  const double u = c * x + s * y;   // along the ring
  const double v = -s * x + c * y;  // across the ring
  const double a = 14.2, b = 4.2;
  const double r = std::sqrt((u / a) * (u / a) + (v / b) * (v / b));
  return {std::abs(r - 1.0) * b, v > 0};
}

}  // namespace

Picture DrawOrb() {
  Picture picture{};
  for (int row = 0; row < kSize; ++row) {
    for (int col = 0; col < kSize; ++col) {
      const double x = col - kCentre, y = row - kCentre;
      const double d = std::sqrt(x * x + y * y) / kGlobeRadius;
      int colour = kTransparent;
      if (d <= 1.0) {
        const double nx = x / kGlobeRadius, ny = y / kGlobeRadius;
        const double nz = std::sqrt(std::max(0.0, 1 - nx * nx - ny * ny));
        colour = d > 0.93 ? kNavy : GlobeColour(nx, ny, nz);
      }
      const RingPoint ring = Ring(x, y);
      const bool ringVisible = ring.inFront || d > 1.0;
      if (ringVisible && ring.distance < 0.8) {
        colour = kYellow;
      } else if (ringVisible && ring.distance < 1.4 && colour == kTransparent) {
        colour = kGrey;  // an edge that keeps the ring readable on a light desktop
      }
      picture[row][col] = colour;
    }
  }
  return picture;
}

}  // namespace orbicon
