#include "emulation/escp2/escp2_commands.h"

#include <algorithm>

#include "emulation/escp2/escp2_graphics.h"
#include "emulation/escp2/escp2_state.h"
#include "emulation/escp2/tiff_raster.h"

namespace quillmark {

std::int32_t ReadEscp2Command(const std::uint8_t* data, std::int32_t length, std::int32_t position,
                              const Escp2State& state, Escp2Command& command) {
  // All arithmetic in 64 bits: counts from the data never overflow, and nothing is read before it is
  // known to lie inside the data.
  const std::int64_t end = length;
  std::int64_t at = position;
  if (at >= end) return 0;
  command = Escp2Command();
  command.code = data[at++];
  const Escp2Row* row = FindEscp2Row(command.code, state.ninePin);
  if (row == nullptr) return 1;  // unknown: the code alone
  const auto need = [&](std::int64_t bytes) { return at + bytes <= end; };
  const auto params = [&](std::int64_t bytes) {
    command.params = data + at;
    command.paramLength = static_cast<std::int32_t>(bytes);
    at += bytes;
  };
  const auto block = [&](std::int64_t bytes) {
    if (!need(bytes)) return false;
    command.data = data + at;
    command.dataLength = static_cast<std::int32_t>(bytes);
    at += bytes;
    return true;
  };
  switch (row->kind) {
    case Escp2ParamKind::kFixed:
      if (!need(row->count)) return 0;
      params(row->count);
      break;
    case Escp2ParamKind::kCounted: {
      if (!need(3)) return 0;
      command.sub = data[at++];
      const std::int64_t count = data[at] + 256 * data[at + 1];
      at += 2;
      if (!need(count)) return 0;
      params(count);
      break;
    }
    case Escp2ParamKind::kChannelList:
      if (!need(1)) return 0;
      ++at;
      [[fallthrough]];
    case Escp2ParamKind::kList: {
      // Values must rise; NUL, or a value not above the one before, ends the list and is consumed.
      const std::int64_t first = at;
      std::int64_t count = 0;
      while (count < row->count) {
        if (!need(1)) return 0;
        const std::uint8_t value = data[at];
        if (value == 0 || (count > 0 && value <= data[at - 1])) break;
        ++at;
        ++count;
      }
      command.params = data + first;
      command.paramLength = static_cast<std::int32_t>(count);
      if (need(1) && (data[at] == 0 || count < row->count)) ++at;
      break;
    }
    case Escp2ParamKind::kPageLength:
      if (!need(1)) return 0;
      if (data[at] != 0) {
        params(1);
      } else {
        if (!need(2)) return 0;
        params(2);
      }
      break;
    case Escp2ParamKind::kBitImage: {
      if (!need(3)) return 0;
      params(3);
      const std::int64_t columns = command.Word(1);
      if (!block(columns * BitImageBytesPerColumn(command.Param(0)))) return 0;
      break;
    }
    case Escp2ParamKind::kReassigned: {
      if (!need(2)) return 0;
      params(2);
      const std::size_t index = command.code == 'K'   ? 0
                                : command.code == 'L' ? 1
                                : command.code == 'Y' ? 2
                                                      : 3;
      if (!block(command.Word(0) * std::int64_t{BitImageBytesPerColumn(state.imageModes[index])})) return 0;
      break;
    }
    case Escp2ParamKind::kNinePin:
      if (!need(3)) return 0;
      params(3);
      if (!block(command.Word(1) * std::int64_t{2})) return 0;
      break;
    case Escp2ParamKind::kRaster: {
      if (!need(6)) return 0;
      params(6);
      const std::int64_t rowBytes = (command.Word(4) + 7) / 8;
      const std::int64_t total = rowBytes * command.Param(3);
      if (command.Param(0) == 0) {
        if (!block(total)) return 0;
      } else if (command.Param(0) == 1) {
        const std::int64_t first = at;
        for (std::int64_t decoded = 0; decoded < total;) {
          if (!need(1)) return 0;
          const std::uint8_t counter = data[at++];
          const std::int64_t literal = counter < 128 ? counter + 1 : 1;
          if (!need(literal)) return 0;
          at += literal;
          decoded += counter < 128 ? literal : 257 - counter;
        }
        command.data = data + first;
        command.dataLength = static_cast<std::int32_t>(at - first);
      } else if (command.Param(0) == 2 || command.Param(0) == 3) {
        if (!block(TiffRasterLength(data + at, end - at))) return 0;  // binary commands up to <EXIT>
      }
      break;
    }
    case Escp2ParamKind::kUserChars: {
      if (!need(3)) return 0;
      params(3);
      const std::int64_t first = at;
      const std::int64_t perColumn = UserCharBytesPerColumn(state.mode);
      for (std::int32_t character = command.Param(1); character <= command.Param(2); ++character) {
        if (!need(3)) return 0;
        const std::int64_t columns = data[at + 1];
        at += 3;
        if (!need(perColumn * columns)) return 0;
        at += perColumn * columns;
      }
      command.data = data + first;
      command.dataLength = static_cast<std::int32_t>(at - first);
      break;
    }
    case Escp2ParamKind::kNinePinChars: {
      if (!need(3)) return 0;
      params(3);
      constexpr std::int64_t kBytesPerCharacter = 12;
      const std::int64_t count = std::max(0, command.Param(2) - command.Param(1) + 1);
      if (!need(count * kBytesPerCharacter)) return 0;
      at += count * kBytesPerCharacter;
      break;
    }
  }
  return static_cast<std::int32_t>(at - position);
}

}  // namespace quillmark
