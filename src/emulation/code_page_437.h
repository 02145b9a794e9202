#pragma once
// The DOS code page 437, which the printer's OEM character set stands for.

#include <array>
#include <cstdint>

namespace quillmark {

// Unicode for each byte as a DOS screen and printer show it: 0x20-0x7E ASCII, 0x7F the house sign,
// 0x80-0xFF accented letters, box drawing and blocks, 0x01-0x1F the DOS symbol glyphs, 0x00 a space.
extern const std::array<char16_t, 256> kCodePage437;

inline char16_t Cp437ToUnicode(std::uint8_t byte) { return kCodePage437[byte]; }

}  // namespace quillmark
