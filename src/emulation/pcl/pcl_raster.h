#pragma once
// Decoding of PCL raster rows: the compression methods 0 (none), 1 (run-length), 2 (TIFF PackBits),
// 3 (delta row) and 9 (compressed replacement delta row). Rows are decoded into the seed row, which the
// delta methods change in place; nothing is written past `width` bytes.

#include <cstdint>
#include <vector>

namespace quillmark {

// Decodes one row of `method` from data into `seed`, which is `width` bytes long afterwards. Methods 0,
// 1 and 2 replace the row (the rest of it cleared); 3 and 9 change the seed row where the data says.
// Unknown methods leave a clear row.
void DecodePclRasterRow(std::int32_t method, const std::uint8_t* data, std::int32_t length,
                        std::int32_t width, std::vector<std::uint8_t>& seed);

// The pattern dots of a shaded (`percent`, fill type 2) or cross-hatched (`pattern` 1-6, fill type 3)
// area at 300 dpi, for the dot at (x, y) of the page.
bool PclPatternDot(std::int32_t fill, std::int32_t pattern, std::int64_t x, std::int64_t y);

}  // namespace quillmark
