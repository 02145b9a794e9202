#pragma once
// The small pieces of PDF syntax the writer needs: numbers without locale or exponent, literal strings,
// names, and Flate-compressed stream data.

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark::pdf {

// A number with at most `decimals` places, trailing zeros dropped ("12", "0.12", "-3.5").
void AppendNumber(std::string& out, double value, int decimals = 3);
void AppendInteger(std::string& out, std::int64_t value);

// `bytes` as a literal string: parentheses and backslashes escaped, line ends escaped so that a reader's
// end-of-line conversion cannot change them; every other byte as it is.
void AppendLiteralString(std::string& out, std::string_view bytes);

// `name` after a slash; bytes outside the printable regular characters as #XX. An empty name stays empty.
void AppendName(std::string& out, std::string_view name);

// zlib-wrapped deflate data of `data` at level 6, as /FlateDecode reads it.
std::string Deflate(std::string_view data);

}  // namespace quillmark::pdf
