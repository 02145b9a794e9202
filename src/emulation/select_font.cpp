#include "emulation/select_font.h"

#include <cstdint>

#include "emulation/dot_math.h"

namespace quillmark {
namespace {

constexpr std::int32_t kPointsPerInch = 72;
constexpr double kCondensedDivisorAt10Cpi = 17.14;  // 10 cpi condensed prints 17.14 characters per inch
constexpr std::int32_t kCondensedPitchAt12Cpi = 20;

constexpr std::int32_t kWeightNormal = 400;
constexpr std::int32_t kWeightDoubleStrike = 500;
constexpr std::int32_t kWeightBold = 700;

constexpr std::uint8_t kFixedPitch = 1;
constexpr std::uint8_t kVariablePitch = 2;
constexpr std::uint8_t kModernFamily = 0x30;

// Whole dots per point, rounded before the point size is applied, an exact half away from zero: the
// printer font sizes follow from this whole number, not from the exact ratio.
std::int64_t DotsPerPoint(std::int32_t dpiY) {
  const std::int64_t dpi = dpiY;
  const std::int64_t magnitude = (dpi < 0 ? -dpi : dpi) + kPointsPerInch / 2;
  const std::int64_t rounded = magnitude / kPointsPerInch;
  return dpi < 0 ? -rounded : rounded;
}

// A pitch of 0 (no document started yet) must not divide by zero; it makes no width at all.
std::int64_t DotsPerCharacter(std::int32_t dpiX, std::int64_t pitch) {
  return pitch == 0 ? 0 : static_cast<std::int64_t>(dpiX) / pitch;
}

}  // namespace

FontRequest MakeFontRequest(const Printout& job) {
  const std::int64_t dotsPerPoint = DotsPerPoint(job.DpiY);
  std::int64_t height = RoundToDots(static_cast<double>(job.PointSize) * static_cast<double>(-dotsPerPoint));
  std::int64_t width = DotsPerCharacter(job.DpiX, job.Pitch);

  if (job.Condensed != 0) {
    if (job.Pitch == 10) {
      width = RoundToDots(static_cast<double>(job.DpiX) / kCondensedDivisorAt10Cpi);
    } else if (job.Pitch == 12) {
      width = DotsPerCharacter(job.DpiX, kCondensedPitchAt12Cpi);
    }
    // Only a proportional argument of exactly 1 halves the condensed width.
    if (job.Proportional == 1) width /= 2;
  }

  std::int32_t weight = kWeightNormal;
  if (job.DoubleStrike != 0) weight = kWeightDoubleStrike;
  if (job.Bold != 0) weight = kWeightBold;

  if (job.DoubleWidth != 0) width *= 2;
  if (job.DoubleWidthLine != 0) width *= 2;
  if (job.DoubleHeight != 0) height *= 2;

  FontRequest request;
  request.height = SaturateToInt32(height);
  request.width = SaturateToInt32(width);
  request.weight = weight;
  request.charSet = static_cast<std::uint8_t>(job.Settings.CharSet);
  request.pitchAndFamily =
      static_cast<std::uint8_t>((job.Proportional == 0 ? kFixedPitch : kVariablePitch) | kModernFamily);
  return request;
}

void SelectFont(Printout& job, PrintSystem& printers) {
  const FontHandle font = printers.CreateFont(MakeFontRequest(job));
  // A font that cannot be made leaves the device drawing with the font it has, so that font must stay
  // alive and remain the job's font.
  if (font == 0) return;
  if (job.DeviceContext) job.DeviceContext->SelectFont(font);
  if (job.Font != 0) printers.DeleteFont(job.Font);
  job.Font = font;
}

}  // namespace quillmark
