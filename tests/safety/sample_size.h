// How many images the safety tests run: fewer under the sanitizers, which slow every run
// down several times; SAFETY_IMAGES in the environment overrides both (for a long soak).
#pragma once

#include <cstdlib>
#include <string>

namespace safety {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

inline long SampleSize(long normal, long sanitized) {
  if (const char* text = std::getenv("SAFETY_IMAGES")) return std::stol(text);
  return kSanitized ? sanitized : normal;
}

}  // namespace safety
