// The 80386 check: what the oldest CPU of a Windows 4.0 program has, and what came later.
#include "cpu_floor.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct FloorCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  const char* newer;  // "" when a 386 runs it; else the start of what the check says
};

class CpuFloor : public testing::TestWithParam<FloorCase> {};

TEST_P(CpuFloor, NamesWhatThe386Lacks) {
  const FloorCase& c = GetParam();
  std::string newer = runner::Post386Instruction(c.bytes.data(), c.bytes.size());
  if (*c.newer == '\0') {
    EXPECT_EQ(newer, "") << c.name;
  } else {
    EXPECT_EQ(newer.rfind(c.newer, 0), 0u) << c.name << ": " << newer;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CpuFloor,
    testing::Values(FloorCase{"mov eax, ecx", {0x89, 0xC8}, ""},
                    FloorCase{"movzx eax, byte [ecx]", {0x0F, 0xB6, 0x01}, ""},
                    FloorCase{"movsx with an operand-size prefix", {0x66, 0x0F, 0xBE, 0xC1}, ""},
                    FloorCase{"setne al", {0x0F, 0x95, 0xC0}, ""},
                    FloorCase{"jne rel32", {0x0F, 0x85, 0x10, 0x00, 0x00, 0x00}, ""},
                    FloorCase{"imul eax, ecx", {0x0F, 0xAF, 0xC1}, ""},
                    FloorCase{"shld / bsf", {0x0F, 0xBC, 0xC1}, ""},
                    FloorCase{"push fs", {0x0F, 0xA0}, ""},
                    FloorCase{"lgdt (0f 01 /2)", {0x0F, 0x01, 0x10}, ""},
                    FloorCase{"an x87 fld", {0xD9, 0x01}, ""},
                    FloorCase{"rep movsb", {0xF3, 0xA4}, ""},
                    FloorCase{"cmove eax, ecx", {0x0F, 0x44, 0xC1}, "cmov (Pentium Pro)"},
                    FloorCase{"cmovl behind a prefix", {0x66, 0x0F, 0x4C, 0xC1}, "cmov"},
                    FloorCase{"bswap eax", {0x0F, 0xC8}, "bswap (486)"},
                    FloorCase{"lock cmpxchg", {0xF0, 0x0F, 0xB1, 0x0A}, "cmpxchg (486)"},
                    FloorCase{"xadd", {0x0F, 0xC1, 0x0A}, "xadd (486)"},
                    FloorCase{"invlpg (0f 01 /7)", {0x0F, 0x01, 0x38}, "invlpg (486)"},
                    FloorCase{"cpuid", {0x0F, 0xA2}, "cpuid (Pentium)"},
                    FloorCase{"rdtsc", {0x0F, 0x31}, "rdtsc (Pentium)"},
                    FloorCase{"cmpxchg8b", {0x0F, 0xC7, 0x0E}, "cmpxchg8b (Pentium)"},
                    FloorCase{"long nop", {0x0F, 0x1F, 0x44, 0x00, 0x00}, "long nop"},
                    FloorCase{"endbr32", {0xF3, 0x0F, 0x1E, 0xFB}, "endbr32"},
                    FloorCase{"MMX movd", {0x0F, 0x6E, 0xC0}, "an MMX, SSE"},
                    FloorCase{"SSE movaps", {0x0F, 0x28, 0xC1}, "an MMX, SSE"},
                    FloorCase{"SSE2 movdqa", {0x66, 0x0F, 0x6F, 0xC1}, "an MMX, SSE"},
                    FloorCase{"fcmovb", {0xDA, 0xC1}, "fcmov (Pentium Pro)"},
                    FloorCase{"fcomi", {0xDB, 0xF1}, "fcomi (Pentium Pro)"}),
    [](const testing::TestParamInfo<FloorCase>& info) {
      std::string name;
      for (const char* p = info.param.name; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

}  // namespace
