#include "settings/settings_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace quillmark {
namespace {

TEST(SettingsValues, IntegerTakesLeadingDecimalNumber) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  // clang-format off
  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      {"300", 300},         {"-1", -1},         {"+7", 7},           {" \t42abc", 42},
      {"0x10", 0},          {"", 0},            {"abc", 0},          {"- 5", 0},
      {"1 2", 1},           {"\v5", 0},         {"007", 7},          {"2147483647", kMax},
      {"2147483648", kMax}, {"-2147483648", kMin}, {"-2147483649", kMin}, {"99999999999999999999999", kMax},
      {"+-1", 0},           {"12.9", 12},
  };
  // clang-format on
  for (const auto& [text, expected] : cases) EXPECT_EQ(ParseSettingsInteger(text), expected) << text;
}

TEST(SettingsValues, FloatTakesLeadingDecimalNumber) {
  const float inf = std::numeric_limits<float>::infinity();
  // clang-format off
  const std::vector<std::pair<std::string, float>> cases = {
      {"1e1", 10.0f},        {"9,75", 9.0f},      {"210mm", 210.0f},     {"", 0.0f},
      {".", 0.0f},           {"-", 0.0f},         {".5", 0.5f},          {"5.", 5.0f},
      {"-2.5e-1", -0.25f},   {"1e", 1.0f},        {"1e+", 1.0f},         {"1E2", 100.0f},
      {" \t+3", 3.0f},       {"10.7", 10.7f},     {"9.75", 9.75f},       {"e5", 0.0f},
      {"1e39", inf},         {"-1e39", -inf},     {"1e-50", 0.0f},       {"0e999999999999", 0.0f},
      {"1" + std::string(400, '0'), inf},         {"0." + std::string(60, '0') + "1e62", 10.0f},
      {"0.000001e-45", 0.0f}, {"3.4028235e38", std::numeric_limits<float>::max()},
      {"1e99999999999999999999", inf},            {"1e-99999999999999999999", 0.0f},
  };
  // clang-format on
  for (const auto& [text, expected] : cases) EXPECT_EQ(ParseSettingsFloat(text), expected) << text;
  EXPECT_TRUE(std::signbit(ParseSettingsFloat("-0")));
}

TEST(SettingsValues, Utf8ToLatin1ReplacesEachBadSequenceOnce) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain", "plain"},
      {"\xC3\xBC", "\xFC"},              // ü
      {"\xC2\xA0\xC3\xBF", "\xA0\xFF"},  // the last two Latin-1 characters
      {"\xC4\x80", "?"},                 // U+0100
      {"\xE2\x82\xAC", "?"},             // €
      {"\xF0\x9F\x98\x80!", "?!"},       // beyond the BMP
      {"A\x80"
       "B",
       "A?B"},        // stray continuation byte
      {"\xC3", "?"},  // cut off at the end
      {"\xE2\x82"
       "A",
       "?A"},                        // cut off before an ASCII byte
      {"\xE2\xC3\xBC", "?\xFC"},     // cut off by a new lead byte
      {"\xC0\x80", "??"},            // overlong
      {"\xE0\x80\x80", "???"},       // overlong three-byte form
      {"\xED\xA0\x80", "???"},       // surrogate
      {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
      {"\xF5\xFF\xFE", "???"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& [utf8, latin1] : cases) EXPECT_EQ(Utf8ToLatin1(utf8), latin1) << utf8;
}

TEST(SettingsValues, Latin1RoundTripsThroughUtf8) {
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  EXPECT_EQ(Latin1ToUtf8("Job_1"), "Job_1");
  EXPECT_EQ(Latin1ToUtf8("\xFC"), "\xC3\xBC");
  EXPECT_EQ(Utf8ToLatin1(Latin1ToUtf8(all)), all);
}

}  // namespace
}  // namespace quillmark
