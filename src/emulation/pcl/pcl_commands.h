#pragma once
// The PCL 5 command table: one row per command the printer acts on, by its parameterized character, group
// character and terminator as the reference manual lists them. Commands without a row are read by the
// parser and ignored.

#include <cstddef>
#include <cstdint>

#include "emulation/pcl/pcl_parser.h"

namespace quillmark {

class PclInterpreter;

// All macros of a take together.
inline constexpr std::size_t kMaxPclMacroBytes = 4u << 20;

struct PclRow {
  std::uint8_t parameterized;  // 0 for a two-character command
  std::uint8_t group;          // 0 for none
  std::uint8_t terminator;     // 0: any terminator (the symbol-set designators ESC ( # letter)
  void (*handler)(PclInterpreter&, const PclCommand&);
};

// The row of a command; nullptr for commands the printer ignores.
const PclRow* FindPclRow(const PclCommand& command);

void ExecutePclCommand(PclInterpreter& printer, const PclCommand& command);

}  // namespace quillmark
