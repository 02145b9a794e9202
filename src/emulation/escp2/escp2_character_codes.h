#pragma once
// Which character a code reaches on the ESC/P 2 printer beyond the tables themselves: the MSB control of
// ESC =, ESC > and ESC #, and the downloaded characters that ESC t 2 copies to the upper half of the table.
// Print worker thread only.

#include <cstdint>

namespace quillmark {

struct Escp2State;

enum class MsbControl : std::uint8_t {
  kOff,    // ESC #: bytes as sent
  kClear,  // ESC =: bit 7 of every byte outside a command is 0
  kSet,    // ESC >: bit 7 of every printable 7-bit character is 1
};

// `byte`, read outside a command, as the MSB control leaves it. Command codes, parameters, image and
// character data never pass through here. Inline: it runs for every byte of text.
inline std::uint8_t ApplyMsbControl(MsbControl control, std::uint8_t byte) {
  if (control == MsbControl::kOff) return byte;
  if (control == MsbControl::kClear) return static_cast<std::uint8_t>(byte & 0x7F);
  // Control codes stay control codes, so that lines still end and ESC # can still be sent.
  return byte >= 0x20 && byte < 0x7F ? static_cast<std::uint8_t>(byte | 0x80) : byte;
}

// ESC t n: selects table n (0-3 or "0"-"3"); table 2, unless ESC ( t has assigned it, takes a copy of the
// downloaded characters 0-127 as codes 128-255.
void SelectCharacterTable(Escp2State& state, std::int32_t n);

// True when `byte` prints from that copy: table 2 is in use and the copy holds characters.
bool InUpperUserCharacters(const Escp2State& state, std::uint8_t byte);

}  // namespace quillmark
