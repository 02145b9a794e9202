#include "settings/settings_values.h"

#include <charconv>
#include <cstddef>
#include <limits>
#include <system_error>

namespace quillmark {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsContinuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

std::size_t SkipDigits(std::string_view text, std::size_t at) {
  while (at < text.size() && IsDigit(text[at])) ++at;
  return at;
}

// The allowed range of the byte after a lead byte; later bytes are plain continuation bytes.
bool SecondByteFits(unsigned char lead, unsigned char second) {
  switch (lead) {
    case 0xE0:
      return second >= 0xA0 && second <= 0xBF;
    case 0xED:
      return second >= 0x80 && second <= 0x9F;
    case 0xF0:
      return second >= 0x90 && second <= 0xBF;
    case 0xF4:
      return second >= 0x80 && second <= 0x8F;
    default:
      return IsContinuation(second);
  }
}

// Decimal exponent of the first significant digit of a mantissa such as "0012.5" or ".0003": where the
// number lies when the float conversion reports it out of range.
long long LeadingExponent(std::string_view mantissa) {
  const std::size_t point = mantissa.find('.');
  const std::size_t integerDigits = point == std::string_view::npos ? mantissa.size() : point;
  const std::size_t first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return 0;
  if (first < integerDigits) return static_cast<long long>(integerDigits - first) - 1;
  return -static_cast<long long>(first - integerDigits);
}

// An exponent's digits, saturating far beyond any float's range.
long long ExponentValue(std::string_view digits) {
  long long value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > 1000000000LL) return 1000000000LL;
  }
  return value;
}

}  // namespace

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return out;
}

std::string NameAsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    // Shortest forms only: the second byte's range rules out overlong forms, surrogates and values
    // above U+10FFFF.
    std::size_t length = 1;
    unsigned char low = 0x80, high = 0xBF;
    if (lead < 0x80) {
      ++at;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      low = lead == 0xE0 ? 0xA0 : 0x80;
      high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
      return Latin1ToUtf8(text);
    }
    if (at + length > text.size()) return Latin1ToUtf8(text);
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return Latin1ToUtf8(text);
    }
    at += length;
  }
  return std::string(text);
}

std::string Utf8ToLatin1(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      ++at;
      continue;
    }
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07u;
    } else {
      out.push_back('?');  // a stray continuation byte or a byte that never starts a sequence
      ++at;
      continue;
    }
    // Take continuation bytes as long as they fit; a sequence that breaks off is one "?" for the bytes so
    // far, and the byte that broke it starts afresh.
    std::size_t taken = 1;
    while (taken < length && at + taken < text.size()) {
      const auto next = static_cast<unsigned char>(text[at + taken]);
      if (taken == 1 ? !SecondByteFits(lead, next) : !IsContinuation(next)) break;
      code = (code << 6) | (next & 0x3Fu);
      ++taken;
    }
    out.push_back(taken == length && code <= 0xFF ? static_cast<char>(code) : '?');
    at += taken;
  }
  return out;
}

std::int32_t ParseSettingsInteger(std::string_view text) {
  std::size_t at = SkipBlanks(text, 0);
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  // Accumulate towards the sign so INT32_MIN is reachable, and stop at the range's edge.
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  std::int64_t value = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    const int digit = text[at] - '0';
    value = negative ? value * 10 - digit : value * 10 + digit;
    if (value > kMax) return static_cast<std::int32_t>(kMax);
    if (value < kMin) return static_cast<std::int32_t>(kMin);
  }
  return static_cast<std::int32_t>(value);
}

float ParseSettingsFloat(std::string_view text) {
  std::size_t at = SkipBlanks(text, 0);
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  const std::size_t start = at;
  at = SkipDigits(text, at);
  std::size_t digits = at - start;
  if (at < text.size() && text[at] == '.') {
    const std::size_t fraction = at + 1;
    at = SkipDigits(text, fraction);
    digits += at - fraction;
  }
  if (digits == 0) return 0.0f;
  const std::string_view mantissa = text.substr(start, at - start);
  long long exponent = 0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    std::size_t sign = at + 1;
    const bool negativeExponent = sign < text.size() && text[sign] == '-';
    if (sign < text.size() && (text[sign] == '+' || text[sign] == '-')) ++sign;
    const std::size_t end = SkipDigits(text, sign);
    if (end > sign) {
      exponent = ExponentValue(text.substr(sign, end - sign));
      if (negativeExponent) exponent = -exponent;
      at = end;
    }
  }
  const std::string_view number = text.substr(start, at - start);
  float value = 0.0f;
  const auto result =
      std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    value = LeadingExponent(mantissa) + exponent >= 0 ? std::numeric_limits<float>::infinity() : 0.0f;
  } else if (result.ec != std::errc()) {
    value = 0.0f;
  }
  return negative ? -value : value;
}

}  // namespace quillmark
