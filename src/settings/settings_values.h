#pragma once
// Conversions of settings values: text between Latin-1 and UTF-8, and the leading number of a value.

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

std::string Latin1ToUtf8(std::string_view text);

// Each character above U+00FF and each malformed sequence (a maximal ill-formed subpart: a stray
// continuation byte, a cut-off sequence, an overlong form, a surrogate, a value above U+10FFFF) becomes
// one "?".
std::string Utf8ToLatin1(std::string_view text);

// A name for the file system, CUPS and Qt, which all take UTF-8: text that is valid UTF-8 stands as it is,
// anything else is read as Latin-1.
std::string NameAsUtf8(std::string_view text);

// Blanks (space, tab), an optional sign, decimal digits; the number ends at the first other character.
// No digits gives 0. A value outside the signed 32-bit range saturates to INT32_MIN or INT32_MAX.
std::int32_t ParseSettingsInteger(std::string_view text);

// Blanks, an optional sign, digits with an optional "." and fraction, an optional exponent ("e" or "E",
// optional sign, digits); the number ends at the first other character. No digits gives 0.0. The result
// is the float nearest to the decimal number: beyond the float range +-infinity, below it +-0. "." is
// the only decimal point whatever the process locale.
float ParseSettingsFloat(std::string_view text);

}  // namespace quillmark
