// The simulator's copy of an image gets Wine's temp folder; everything else stays as written.
#include "sim_image.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* name;
  const char* scenario;
  const char* expected;
};

class WithTempTest : public testing::TestWithParam<Case> {};

TEST_P(WithTempTest, SetsTempInRunSection) {
  EXPECT_EQ(wine_harness::WithTemp(GetParam().scenario, "C:\\users\\root\\Temp\\"),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WithTempTest,
    testing::Values(
        Case{"no_file", "", "[run]\r\ntemp=C:\\users\\root\\Temp\\\r\n"},
        Case{"replaces_with_comment",
             "[run]\nexe=C:\\A\\Uninstall.exe\ntemp=C:\\WINDOWS\\TEMP\\  ; the "
             "default\nanswers=no\n",
             "[run]\r\nexe=C:\\A\\Uninstall.exe\r\ntemp=C:\\users\\root\\Temp\\\r\nanswers=no\r\n"},
        Case{"adds_to_run", "; comment\n[run]\nanswers=yes\n[locked]\nC:\\x=always\n",
             "; comment\r\n[run]\r\ntemp=C:\\users\\root\\Temp\\\r\nanswers=yes\r\n[locked]\r\n"
             "C:\\x=always\r\n"},
        Case{"temp_in_other_section_untouched", "[locked]\ntemp=3\n",
             "[run]\r\ntemp=C:\\users\\root\\Temp\\\r\n[locked]\r\ntemp=3\r\n"},
        Case{"section_name_case", "[RUN]\nTemp = C:\\T\\\n",
             "[RUN]\r\ntemp=C:\\users\\root\\Temp\\\r\n"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
