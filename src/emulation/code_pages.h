#pragma once
// The DOS code pages an ESC/P 2 printer can hold as its character table, byte to Unicode.

#include <cstdint>

namespace quillmark {

// The 128 characters of bytes 0x80-0xFF of a DOS code page (437, 850, 852, 857, 858, 860, 863, 865, 866 or
// 895, the Kamenický encoding); nullptr for any other number. Bytes a code page leaves undefined are spaces.
const char16_t* CodePageUpperHalf(std::int32_t codePage);

}  // namespace quillmark
