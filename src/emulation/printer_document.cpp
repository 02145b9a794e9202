#include "emulation/printer_document.h"

#include <string>

#include "emulation/dot_math.h"
#include "emulation/emulator.h"
#include "emulation/select_font.h"
#include "emulation/units.h"

namespace quillmark {
namespace {

// The lengths of the print mode are single-precision values; every computation with them is made in
// double on the exactly widened values, so the constants are floats too.
constexpr auto kMillimetresPerInchF = static_cast<float>(kMillimetresPerInch);
constexpr float kDefaultLineSpacing = 1.0f / 6;  // inches
constexpr float kFooterLineSpacing = 1.0f / 3;   // inches
constexpr std::int32_t kDefaultPitch = 10;
constexpr float kDefaultPointSize = 10.5f;
constexpr std::int32_t kFooterPitch = 20;
constexpr float kFooterPointSize = 7.0f;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::string_view kDocumentName = "DOS Job";

// Borders are measured from the paper's edge, the origin from the printable area's corner. A border
// inside the unprintable margin starts at the corner.
std::int32_t Origin(float borderMillimetres, std::int32_t dotsPerInch, std::int32_t physicalOffset) {
  const double dots = static_cast<double>(borderMillimetres) / static_cast<double>(kMillimetresPerInchF) *
                          static_cast<double>(dotsPerInch) -
                      static_cast<double>(physicalOffset);
  const std::int32_t origin = RoundToDots(dots);
  return origin < 0 ? 0 : origin;
}

}  // namespace

void OpenPrinterDevice(Printout& job, PrintSystem& printers, const ErrorLog& log) {
  job.DeviceContext = printers.OpenDevice(job.Settings);
  if (!job.DeviceContext) {
    const std::string message =
        "Drucker '" + std::string(job.Settings.Printer.View()) + "' konnte nicht initialisiert werden.";
    log.Error(message);
    job.DpiX = 0;
    job.DpiY = 0;
    return;
  }
  job.DpiX = job.DeviceContext->DotsPerInchX();
  job.DpiY = job.DeviceContext->DotsPerInchY();
}

void StartDocument(Printout& job, PrintSystem& printers) {
  PrintDevice* device = job.DeviceContext.get();
  const std::int32_t offsetX = device ? device->PhysicalOffsetX() : 0;
  const std::int32_t offsetY = device ? device->PhysicalOffsetY() : 0;
  job.OriginX = Origin(job.Settings.BorderLeft, job.DpiX, offsetX);
  job.OriginY = Origin(job.Settings.BorderTop, job.DpiY, offsetY);

  job.X = LineStartX(job);
  job.Y = PageTopY(job);

  if (device) {
    device->StartDocument(kDocumentName);
    device->StartPage();
    // Set once: every later page keeps them.
    device->SetTextColor(kBlack);
    device->SetTransparentBackground();
  }

  // The print mode never carries over from an earlier job; the flags are still 0 from the queue.
  job.LineSpacing = kDefaultLineSpacing;
  job.Pitch = kDefaultPitch;
  job.PointSize = kDefaultPointSize;
  SelectFont(job, printers);
}

std::int32_t LineStartX(const PrinterState& job) { return job.OriginX; }

std::int32_t PageTopY(const PrinterState& job) { return job.OriginY; }

std::int32_t NextLineY(const PrinterState& job) {
  // The sum is rounded, not the advance, so a half-dot advance alternates between the two neighbours.
  return RoundToDots(static_cast<double>(job.Y) +
                     static_cast<double>(job.LineSpacing) * static_cast<double>(job.DpiY));
}

void EndDocument(Printout& job, PrintSystem& printers) {
  job.Bold = 1;
  job.PointSize = kFooterPointSize;
  job.Pitch = kFooterPitch;
  job.LineSpacing = kFooterLineSpacing;
  job.Condensed = 0;
  job.DoubleHeight = 0;
  job.DoubleWidth = 0;
  job.DoubleWidthLine = 0;
  job.DoubleStrike = 0;
  job.Proportional = 0;
  SelectFont(job, printers);

  // The footer goes one footer line below the last line, wherever that is on the page; X and Y stay.
  TextRect rect;
  rect.left = LineStartX(job);
  rect.top = NextLineY(job);
  if (PrintDevice* device = job.DeviceContext.get()) {
    device->MeasureText(kFooterText, rect);
    device->DrawText(kFooterText, rect);
    device->EndPage();
    device->EndDocument();
  }
}

void ReleaseDevice(Printout& job, PrintSystem& printers) {
  // The device goes first: the font is selected into it until then.
  job.DeviceContext.reset();
  if (job.Font != 0) printers.DeleteFont(job.Font);
  job.Font = 0;
}

bool PrintDocument(Printout& job, PrintSystem& printers, const ErrorLog& log,
                   const std::function<bool()>& mayDeliver) {
  OpenPrinterDevice(job, printers, log);
  StartDocument(job, printers);
  MakeEmulator(ChooseEmulation(job.Settings.Mode, job.Data, job.DataLength))->Print(job, printers, log);
  if (mayDeliver && !mayDeliver()) {
    if (job.DeviceContext != nullptr) job.DeviceContext->AbandonDocument();
    return false;
  }
  EndDocument(job, printers);
  return job.DeviceContext != nullptr && job.DeviceContext->Delivered();
}

}  // namespace quillmark
