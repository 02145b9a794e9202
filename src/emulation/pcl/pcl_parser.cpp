#include "emulation/pcl/pcl_parser.h"

#include <algorithm>
#include <cmath>

namespace quillmark {
namespace {

constexpr double kLargestValue = 2147483647.0;

bool IsGroup(std::uint8_t c) { return c >= '`' && c <= '~'; }
bool IsLower(std::uint8_t c) { return c >= '`' && c <= '~'; }
bool IsUpper(std::uint8_t c) { return c >= '@' && c <= '^'; }

}  // namespace

std::int32_t PclCommand::Int() const {
  const double whole = std::trunc(std::clamp(value, -kLargestValue, kLargestValue));
  return static_cast<std::int32_t>(whole);
}

bool IsPclDataCommand(std::uint8_t parameterized, std::uint8_t group, std::uint8_t terminator) {
  // Every counted block of the language ends in W (fonts, characters, raster rows, patterns, palettes,
  // symbol sets, alphanumeric IDs, configurations), plus raster planes and transparent print data.
  if (terminator == 'W') return parameterized != 0;
  if (parameterized == '*' && group == 'b' && terminator == 'V') return true;
  return parameterized == '&' && group == 'p' && terminator == 'X';
}

std::int32_t ReadPclSequence(const std::uint8_t* data, std::int32_t length, std::int32_t position,
                             PclCommandSink& sink) {
  const std::int64_t end = length;
  std::int64_t at = position;
  if (at >= end) return 0;
  std::uint8_t first = data[at];
  if (first >= '0' && first <= '~') {
    PclCommand command;
    command.terminator = first;
    sink.Command(command);
    return 1;
  }
  if (first < '!' || first > '/') return 0;
  ++at;
  std::uint8_t group = 0;
  if (at < end && IsGroup(data[at])) group = data[at++];
  while (at < end) {
    PclCommand command;
    command.parameterized = first;
    command.group = group;
    // The value: an optional sign, digits, an optional point and more digits.
    double sign = 1;
    if (data[at] == '+' || data[at] == '-') {
      command.relative = true;
      sign = data[at] == '-' ? -1 : 1;
      ++at;
    }
    double value = 0;
    while (at < end && data[at] >= '0' && data[at] <= '9') {
      command.hasValue = true;
      if (value < kLargestValue) value = value * 10 + (data[at] - '0');
      ++at;
    }
    if (at < end && data[at] == '.') {
      ++at;
      double scale = 0.1;
      while (at < end && data[at] >= '0' && data[at] <= '9') {
        command.hasValue = true;
        value += (data[at] - '0') * scale;
        scale /= 10;
        ++at;
      }
    }
    command.value = sign * value;
    if (at >= end) break;
    const std::uint8_t parameter = data[at];
    if (!IsLower(parameter) && !IsUpper(parameter)) {
      // Not a parameter character. Some programs chain a second sequence without its ESC after a lowercase
      // parameter (ESC * p 300 x * p 600 Y): a parameterized character starts it. Otherwise the sequence
      // ends here; a control code or the next ESC still acts, any other byte is dropped with it.
      if (parameter >= '!' && parameter <= '/' && !command.hasValue && !command.relative && at + 1 < end &&
          IsGroup(data[at + 1])) {
        first = parameter;
        group = data[at + 1];
        at += 2;
        continue;
      }
      if (parameter >= ' ') ++at;
      break;
    }
    ++at;
    command.terminator = IsLower(parameter) ? static_cast<std::uint8_t>(parameter - 32) : parameter;
    if (IsPclDataCommand(first, group, command.terminator) && command.value > 0) {
      const std::int64_t count = std::min<std::int64_t>(static_cast<std::int64_t>(command.value), end - at);
      command.data = data + at;
      command.dataLength = static_cast<std::int32_t>(count);
      at += count;
    }
    sink.Command(command);
    if (IsUpper(parameter)) break;
  }
  return static_cast<std::int32_t>(at - position);
}

}  // namespace quillmark
