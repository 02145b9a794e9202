#include "emulation/basic/interpreter.h"

#include <string_view>

#include "emulation/dot_math.h"
#include "emulation/printer_document.h"
#include "emulation/select_font.h"

namespace quillmark {
namespace {

enum Control : std::uint8_t {
  kLineFeed = 10,
  kFormFeed = 12,
  kCarriageReturn = 13,
  kShiftOut = 14,        // double width for the rest of the line
  kShiftIn = 15,         // condensed
  kDeviceControl2 = 18,  // condensed off
  kDeviceControl4 = 20,  // double width for the line off
  kEscape = 27,
  kFirstPrintable = 32,
};

bool HasByte(const Printout& job, std::int32_t readPosition) {
  return readPosition >= 0 && readPosition < job.DataLength;
}

void DrawCharacter(Printout& job, std::uint8_t byte) {
  PrintDevice* device = job.DeviceContext.get();
  // Without a device nothing is measured, so nothing moves.
  if (device == nullptr) return;
  const char character = static_cast<char>(byte);
  const std::string_view text(&character, 1);
  TextRect rect;
  rect.left = job.X;
  rect.top = job.Y;
  device->MeasureText(text, rect);
  device->DrawText(text, rect);
  // No wrap and no page break: a long line runs off the paper, but the position never overflows.
  job.X = SaturateToInt32(std::int64_t{job.X} + std::int64_t{rect.right} - std::int64_t{rect.left});
}

void FormFeed(Printout& job, std::int32_t readPosition, PrintSystem& printers) {
  // A form feed with fewer than two bytes after it would only start an empty last page.
  if (job.DataLength - readPosition <= 1) return;
  if (PrintDevice* device = job.DeviceContext.get()) {
    device->EndPage();
    device->StartPage();
  }
  job.X = job.OriginX;
  job.Y = job.OriginY;
  job.Condensed = 0;
  job.DoubleWidthLine = 0;
  SelectFont(job, printers);
}

float Spacing(std::uint8_t n, double unitsPerInch) { return static_cast<float>(n / unitsPerInch); }

// The argument rule of ESC W and ESC w: 1 or "1" on, 0 or "0" off, anything else leaves the flag.
void ApplySwitch(std::uint8_t argument, std::uint8_t& flag) {
  if (argument == 1 || argument == '1') flag = 1;
  if (argument == 0 || argument == '0') flag = 0;
}

}  // namespace

std::uint8_t ReadDataByte(const std::uint8_t* data, std::int32_t& readPosition) {
  return data[readPosition++];
}

void InterpretByte(Printout& job, std::int32_t& readPosition, PrintSystem& printers) {
  if (!HasByte(job, readPosition)) {
    // Outside the contract; ending the data is the one answer that cannot loop or read out of bounds.
    readPosition = job.DataLength;
    return;
  }
  const std::uint8_t byte = ReadDataByte(job.Data, readPosition);
  switch (byte) {
    case kLineFeed:
      job.Y = NextLineY(job);
      if (job.DoubleWidthLine != 0) {
        job.DoubleWidthLine = 0;
        SelectFont(job, printers);
      }
      break;
    case kFormFeed:
      FormFeed(job, readPosition, printers);
      break;
    case kCarriageReturn:
      job.X = LineStartX(job);
      break;
    case kShiftOut:
      job.DoubleWidthLine = 1;
      SelectFont(job, printers);
      break;
    case kShiftIn:
      job.Condensed = 1;
      SelectFont(job, printers);
      break;
    case kDeviceControl2:
      job.Condensed = 0;
      SelectFont(job, printers);
      break;
    case kDeviceControl4:
      job.DoubleWidthLine = 0;
      SelectFont(job, printers);
      break;
    case kEscape:
      ExecuteEscape(job, readPosition, printers);
      break;
    default:
      // Every other control code is ignored; everything from 32 up, 127 included, is a character.
      if (byte >= kFirstPrintable) DrawCharacter(job, byte);
      break;
  }
}

void ExecuteEscape(Printout& job, std::int32_t& readPosition, PrintSystem& printers) {
  // An ESC without its command byte, or a command cut off before its argument byte, is an incomplete
  // sequence at the end of the data: it changes nothing and selects no font.
  if (!HasByte(job, readPosition)) return;
  const std::uint8_t* data = job.Data;
  const std::uint8_t command = ReadDataByte(data, readPosition);
  switch (command) {
    case kShiftOut:
      job.DoubleWidthLine = 1;
      break;
    case kShiftIn:
      job.Condensed = 1;
      break;
    case 'E':
      job.Bold = 1;
      break;
    case 'F':
      job.Bold = 0;
      break;
    case 'G':
      job.DoubleStrike = 1;
      break;
    case 'H':
      job.DoubleStrike = 0;
      break;
    case '0':
      job.LineSpacing = 0.125f;
      break;
    case '2':
      job.LineSpacing = 1.0f / 6;
      break;
    case '3':
    case '+':
    case 'A': {
      if (!HasByte(job, readPosition)) return;
      const double unitsPerInch = command == '3' ? 180.0 : (command == '+' ? 360.0 : 60.0);
      job.LineSpacing = Spacing(ReadDataByte(data, readPosition), unitsPerInch);
      break;
    }
    case 'P':
      job.Pitch = 10;
      job.PointSize = 10.5f;
      break;
    case 'M':
      job.Pitch = 12;
      job.PointSize = 10.5f;
      break;
    case 'g':
      job.Pitch = 15;
      job.PointSize = 10.5f;
      break;
    case 'p': {
      if (!HasByte(job, readPosition)) return;
      // DOS programs send the switch as 0/1 or as the digits "0"/"1", as for ESC W; other values are kept
      // as sent, since font selection tells 0, 1 and the rest apart.
      const std::uint8_t n = ReadDataByte(data, readPosition);
      job.Proportional = n == '0' ? 0 : (n == '1' ? 1 : n);
      break;
    }
    case 'W':
      if (!HasByte(job, readPosition)) return;
      SetDoubleWidth(job, readPosition);
      break;
    case 'w':
      if (!HasByte(job, readPosition)) return;
      SetDoubleHeight(job, readPosition);
      break;
    default:
      // ESC * (bit image) and unknown commands take only the command byte; what the sender meant as
      // their parameters is read afterwards as ordinary data.
      break;
  }
  SelectFont(job, printers);
}

void SetDoubleWidth(Printout& job, std::int32_t& readPosition) {
  if (!HasByte(job, readPosition)) return;
  ApplySwitch(ReadDataByte(job.Data, readPosition), job.DoubleWidth);
}

void SetDoubleHeight(Printout& job, std::int32_t& readPosition) {
  if (!HasByte(job, readPosition)) return;
  ApplySwitch(ReadDataByte(job.Data, readPosition), job.DoubleHeight);
}

}  // namespace quillmark
