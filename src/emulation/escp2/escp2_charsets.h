#pragma once
// The character tables of the ESC/P 2 printer: the national sets of ESC R and the table codes of
// ESC ( t, as data.

#include <cstdint>

namespace quillmark {

// The character at 7-bit position `byte` under national set `set` (ESC R n); bytes outside the twelve
// positions a set replaces, and unknown sets, keep their ASCII character.
char32_t NationalCharacter(std::uint8_t set, std::uint8_t byte);
bool IsNationalSet(std::uint8_t set);

// The table ESC ( t names by d2 d3: 0 for the italic table, a code page number, or -1 when this printer
// has no such table.
std::int32_t TableForCode(std::uint8_t d2, std::uint8_t d3);

}  // namespace quillmark
