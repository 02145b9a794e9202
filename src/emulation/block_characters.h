#pragma once
// Box-drawing and block characters (U+2500-U+259F) as filled rectangles spanning the whole character cell,
// so that lines and blocks of neighbouring cells join without gaps at any pitch and line spacing.

#include <cstdint>
#include <vector>

#include "platform/print_device.h"

namespace quillmark {

inline bool IsBlockCharacter(char32_t c) { return c >= 0x2500 && c <= 0x259F; }

// Appends the rectangles of `c` in `cell` (a light line is `lineWidth` dots thick). False, appending
// nothing, for a character drawn as a glyph (the diagonals).
bool BlockRectangles(char32_t c, const TextRect& cell, std::int32_t lineWidth, std::vector<TextRect>& out);

}  // namespace quillmark
