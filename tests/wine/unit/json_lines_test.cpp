// The transcripts' JSON lines: escapes as both writers produce them, and errors that say where.
#include "json_lines.h"

#include <gtest/gtest.h>

namespace {

using wine_harness::ReadJsonLines;

TEST(JsonLines, ReadsStringsNumbersAndArrays) {
  const auto lines =
      ReadJsonLines("t.jsonl",
                    "{\"event\":\"message\",\"process\":2,\"text\":\"a\\nb \\\"q\\\" C:\\\\x "
                    "Zo\\u00eb \\ud83d\\ude00\","
                    "\"buttons\":[\"&Yes\",\"&No\"]}\r\n\n{\"event\":\"exit\",\"code\":-1}\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].at("process").text, "2");
  EXPECT_EQ(lines[0].at("text").text, "a\nb \"q\" C:\\x Zo\xc3\xab \xf0\x9f\x98\x80");
  EXPECT_EQ(lines[0].at("buttons").items, (std::vector<std::string>{"&Yes", "&No"}));
  EXPECT_EQ(lines[1].at("code").text, "-1");
}

TEST(JsonLines, BadLineNamesFileAndLine) {
  for (const char* bad : {"{\"a\":}", "{\"a\":\"b\"", "{\"a\":\"b\"} x", "[1]", "{\"a\":true}",
                          "{\"a\":[1]}", "{\"a\":1.5}"}) {
    try {
      ReadJsonLines("t.jsonl", std::string("{}\n") + bad + "\n");
      ADD_FAILURE() << "accepted " << bad;
    } catch (const wine_harness::JsonError& error) {
      EXPECT_NE(std::string(error.what()).find("t.jsonl:2:"), std::string::npos) << error.what();
    }
  }
}

}  // namespace
