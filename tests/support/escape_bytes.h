#pragma once
// Printer data written as the manuals write it: Esc('C', 70) for ESC C 70, Esc('$', W(600)) for a
// 16-bit little-endian parameter, EscParen('U', 10) for ESC ( U with its byte count filled in, and text
// as it is: Esc('E') + "Bold". Every integer is one byte (taken modulo 256).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark::testing {

// A 16-bit parameter, low byte first; negative values in two's complement (ESC \, ESC ( v).
struct W {
  std::int32_t value;
};

inline void AppendBytes(std::string& out, int byte) { out += static_cast<char>(byte & 0xFF); }
inline void AppendBytes(std::string& out, char byte) { out += byte; }
inline void AppendBytes(std::string& out, std::string_view text) { out += text; }
inline void AppendBytes(std::string& out, W word) {
  AppendBytes(out, word.value);
  AppendBytes(out, word.value >> 8);
}

template <typename... Parts>
std::string Bytes(const Parts&... parts) {
  std::string out;
  (AppendBytes(out, parts), ...);
  return out;
}

template <typename... Parts>
std::string Esc(const Parts&... parts) {
  return Bytes('\x1b', parts...);
}

// ESC ( c nL nH parameters: the count is that of the parameters.
template <typename... Parts>
std::string EscParen(char command, const Parts&... parts) {
  const std::string parameters = Bytes(parts...);
  return Esc('(', command, W{static_cast<std::int32_t>(parameters.size())}, parameters);
}

// `count` copies of `byte`: image data.
inline std::string Fill(std::size_t count, int byte) { return std::string(count, static_cast<char>(byte & 0xFF)); }

}  // namespace quillmark::testing
