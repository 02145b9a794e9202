#include "platform/pdf/pdf_syntax.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quillmark::pdf {
namespace {

// A literal string read back as ISO 32000-1, 7.3.4.2 tells a reader to: escapes, octal codes, a
// backslash before a line end continues the line, a bare CR or CR LF reads as LF, parentheses nest.
// nullopt when the string does not end where the text does.
std::optional<std::string> ReadLiteral(const std::string& text) {
  if (text.empty() || text[0] != '(') return std::nullopt;
  std::string out;
  int depth = 1;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      const char e = text[++i];
      const std::string plain = "nrtbf()\\";
      const std::string meaning = "\n\r\t\b\f()\\";
      if (plain.find(e) != std::string::npos) {
        out += meaning[plain.find(e)];
      } else if (e >= '0' && e <= '7') {
        int value = e - '0';
        for (int n = 0; n < 2 && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7'; ++n)
          value = value * 8 + (text[++i] - '0');
        out += static_cast<char>(value & 0xFF);
      } else if (e == '\r') {
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else if (e != '\n') {
        out += e;  // an unknown escape: the backslash is dropped
      }
    } else if (c == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '(' || c == ')') {
      depth += c == '(' ? 1 : -1;
      if (depth == 0) return i + 1 == text.size() ? std::optional(out) : std::nullopt;
      out += c;
    } else {
      out += c;
    }
  }
  return std::nullopt;
}

TEST(PdfSyntax, EveryByteSurvivesALiteralString) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    all += one;
    std::string written;
    AppendLiteralString(written, one);
    EXPECT_EQ(ReadLiteral(written), one) << "byte " << byte << " written as " << written;
  }
  for (const std::string& bytes : {all, std::string(")("), std::string("((("), std::string("\\\r\n\r")}) {
    std::string written;
    AppendLiteralString(written, bytes);
    EXPECT_EQ(ReadLiteral(written), bytes) << written;
  }
}

}  // namespace
}  // namespace quillmark::pdf
