#include "emulation/escp2/escp2_character_codes.h"

#include "emulation/escp2/escp2_interpreter.h"
#include "emulation/escp2/escp2_state.h"

namespace quillmark {
namespace {

constexpr std::uint8_t kHighBit = 0x80;
constexpr std::uint8_t kUpperControlsEnd = 160;

}  // namespace

void SelectCharacterTable(Escp2State& state, std::int32_t n) {
  if (n >= '0') n -= '0';
  if (n < 0 || n > 3) return;
  state.table = static_cast<std::uint8_t>(n);
  if (n != 2 || state.tableTwoAssigned) return;
  // A copy: characters defined later stay in the lower half until the next ESC t 2. The revision spares
  // a take of repeated ESC t 2 from copying the same set again and again.
  if (state.upperChars.revision != state.userChars.revision) {
    state.upperChars = state.userChars;
    state.upperChars.selected = true;
  }
}

bool InUpperUserCharacters(const Escp2State& state, std::uint8_t byte) {
  return byte >= kHighBit && state.table == 2 && !state.tableTwoAssigned &&
         (state.upperChars.defined.any() || state.upperChars.copied.any());
}

void Escp2Interpreter::PrintCharacters(const std::uint8_t* data, std::int32_t length) {
  const bool italicTable = state_.slots[state_.table & 3] == 0;
  for (std::int32_t i = 0; i < length; ++i) {
    // The italic table has no characters at 128-159: those codes print nothing.
    if (italicTable && data[i] >= kHighBit && data[i] < kUpperControlsEnd) continue;
    PrintByte(data[i]);
  }
}

}  // namespace quillmark
