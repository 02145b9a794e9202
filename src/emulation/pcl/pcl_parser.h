#pragma once
// The PCL 5 escape-sequence syntax. After ESC comes either one character from '0' to '~' (a two-character
// command such as ESC E) or a parameterized sequence: a character from '!' to '/', an optional group
// character from '`' to '~', then one or more signed, possibly fractional values each followed by a
// parameter character; a lowercase one continues the sequence with the same two leading characters, an
// uppercase one ends it (ESC ( s 0p 12h 10v 0s 0b 3T). Commands that carry data take as many bytes as their
// value says, right after their parameter character, bounded by what is left of the data.

#include <cstdint>

namespace quillmark {

struct PclCommand {
  std::uint8_t parameterized = 0;  // '!' to '/'; 0 for a two-character command
  std::uint8_t group = 0;          // '`' to '~'; 0 when the sequence has none
  std::uint8_t terminator = 0;     // the parameter character in upper case, or the two-character command
  double value = 0;                // 0 when no digits were given
  bool hasValue = false;
  bool relative = false;  // the value carried an explicit + or - sign
  const std::uint8_t* data = nullptr;
  std::int32_t dataLength = 0;

  // The value cut to a whole number within +-2^31.
  std::int32_t Int() const;
};

// Receives the commands of one escape sequence, in order.
class PclCommandSink {
 public:
  virtual void Command(const PclCommand& command) = 0;

 protected:
  ~PclCommandSink() = default;
};

// True for the commands whose value counts data bytes that follow them.
bool IsPclDataCommand(std::uint8_t parameterized, std::uint8_t group, std::uint8_t terminator);

// Reads the escape sequence whose first character after ESC is data[position] and hands each command to
// `sink`. Returns the bytes taken after the ESC; 0 when the byte after ESC begins no command (the ESC is
// then ignored alone). A sequence cut off by the end of the data takes the rest with it.
std::int32_t ReadPclSequence(const std::uint8_t* data, std::int32_t length, std::int32_t position,
                             PclCommandSink& sink);

}  // namespace quillmark
