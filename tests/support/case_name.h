#pragma once

#include <cctype>
#include <string>

namespace test {

// A test's behaviour sentence as a GoogleTest parameter name.
inline std::string CaseName(const std::string& behaviour) {
  std::string name;
  for (char c : behaviour) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

// Names each case of a parameterised suite after its behaviour sentence.
inline constexpr auto ByBehaviour = [](const auto& info) { return CaseName(info.param.behaviour); };

}  // namespace test
