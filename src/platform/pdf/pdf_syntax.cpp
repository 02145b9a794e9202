#include "platform/pdf/pdf_syntax.h"

#include <libdeflate.h>

#include <charconv>
#include <cmath>
#include <memory>

namespace quillmark::pdf {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool Delimiter(unsigned char c) {
  return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' ||
         c == '/' || c == '%' || c == '#';
}

}  // namespace

void AppendInteger(std::string& out, std::int64_t value) {
  char buffer[24];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  out.append(buffer, end);
}

void AppendNumber(std::string& out, double value, int decimals) {
  if (!std::isfinite(value)) value = 0;
  // Readers take about five significant decimals beyond the point; more only costs bytes.
  char buffer[48];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (error != std::errc()) {
    out += '0';
    return;
  }
  char* last = end;
  if (decimals > 0) {
    while (last[-1] == '0') --last;
    if (last[-1] == '.') --last;
  }
  if (last - buffer == 2 && buffer[0] == '-' && buffer[1] == '0') {
    out += '0';
    return;
  }
  out.append(buffer, last);
}

void AppendLiteralString(std::string& out, std::string_view bytes) {
  out += '(';
  for (const char c : bytes) {
    switch (c) {
      case '(':
      case ')':
      case '\\':
        out += '\\';
        out += c;
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  out += ')';
}

void AppendName(std::string& out, std::string_view name) {
  out += '/';
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7F && !Delimiter(byte)) {
      out += c;
    } else {
      out += '#';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
}

std::string Deflate(std::string_view data) {
  // One compressor per thread: making one allocates its tables, which costs more than a page.
  struct Free {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
  };
  thread_local std::unique_ptr<libdeflate_compressor, Free> compressor(libdeflate_alloc_compressor(6));
  std::string out(libdeflate_zlib_compress_bound(compressor.get(), data.size()), '\0');
  const std::size_t size =
      libdeflate_zlib_compress(compressor.get(), data.data(), data.size(), out.data(), out.size());
  out.resize(size);
  return out;
}

}  // namespace quillmark::pdf
