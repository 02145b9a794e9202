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

// A page holds hundreds of numbers, and formatting a double costs more than the text it positions. Where
// `value` scaled by 10^decimals is far from halfway between two integers, rounding the scaled double gives
// the digits of the exactly rounded value, so they are made from integers; else false.
bool AppendNumberQuickly(std::string& out, double value, int decimals) {
  static constexpr double kScale[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
  static constexpr std::uint64_t kUnits[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  // Below 1e9 the product is off by less than 2e-7, well inside the margin kept from halfway.
  if (decimals < 0 || decimals > 6 || !(std::abs(value) * kScale[decimals] < 1e9)) return false;
  const double scaled = std::abs(value) * kScale[decimals];
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  if (std::abs(fraction - 0.5) < 1e-6) return false;
  const auto units = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
  if (units == 0) {
    out += '0';
    return true;
  }
  if (value < 0) out += '-';
  const std::uint64_t unit = kUnits[decimals];
  AppendInteger(out, static_cast<std::int64_t>(units / unit));
  std::uint64_t rest = units % unit;
  if (rest == 0) return true;
  char digits[8];
  int count = decimals;
  for (int i = decimals - 1; i >= 0; --i, rest /= 10) digits[i] = static_cast<char>('0' + rest % 10);
  while (digits[count - 1] == '0') --count;
  out += '.';
  out.append(digits, static_cast<std::size_t>(count));
  return true;
}

}  // namespace

void AppendInteger(std::string& out, std::int64_t value) {
  char buffer[24];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  out.append(buffer, end);
}

void AppendNumber(std::string& out, double value, int decimals) {
  if (!std::isfinite(value)) value = 0;
  if (AppendNumberQuickly(out, value, decimals)) return;
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
  // Written through a pointer: a std::string append per byte is a library call, and text is most of a page.
  const std::size_t start = out.size();
  out.resize(start + 2 * bytes.size() + 2);
  char* p = out.data() + start;
  *p++ = '(';
  for (const char c : bytes) {
    switch (c) {
      case '(':
      case ')':
      case '\\':
        *p++ = '\\';
        *p++ = c;
        break;
      case '\r':
        *p++ = '\\';
        *p++ = 'r';
        break;
      case '\n':
        *p++ = '\\';
        *p++ = 'n';
        break;
      default:
        *p++ = c;
    }
  }
  *p++ = ')';
  out.resize(static_cast<std::size_t>(p - out.data()));
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
