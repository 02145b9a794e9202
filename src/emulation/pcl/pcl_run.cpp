#include "emulation/pcl/pcl_run.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "emulation/dot_math.h"
#include "emulation/pcl/pcl_interpreter.h"
#include "emulation/pcl/pcl_page_sizes.h"
#include "emulation/pcl/pcl_symbol_sets.h"

namespace quillmark {
namespace {

constexpr std::int32_t kMaxDotsPerInch = 9600;

bool Begins(const std::uint8_t* data, std::int32_t length, std::string_view text) {
  return static_cast<std::size_t>(length) >= text.size() && std::memcmp(data, text.data(), text.size()) == 0;
}

// The symbol set that prints the DOS code page the job names most alike.
std::int32_t SymbolSetFor(std::int32_t codePage) {
  switch (codePage) {
    case 850:
    case 858:
      return kPc850;
    case 865:
      return kPc8DanishNorwegian;
    default:
      return kPc8;
  }
}

}  // namespace

bool LooksLikePcl(const std::uint8_t* data, std::int32_t length) {
  if (Begins(data, length,
             "\x1b"
             "E") ||
      Begins(data, length, "\x1b%-12345X") || Begins(data, length, "@PJL")) {
    return true;
  }
  // Drivers that send no reset start with a page or raster command: ESC & or ESC * and a group letter. No
  // ESC/P command has a letter there (ESC & is followed by NUL, ESC * by a density below 'A').
  return length >= 3 && data[0] == 0x1B && (data[1] == '&' || data[1] == '*') && data[2] >= 'a' &&
         data[2] <= 'z';
}

void RunPcl(Printout& job, PrintSystem& printers, const ErrorLog* log) {
  PrintDevice* device = job.DeviceContext.get();
  PclTarget target;
  const bool usable = device != nullptr && job.DpiX > 0 && job.DpiX <= kMaxDotsPerInch && job.DpiY > 0 &&
                      job.DpiY <= kMaxDotsPerInch;
  if (usable) {
    target.device = device;
    target.dpiX = job.DpiX;
    target.dpiY = job.DpiY;
    target.offsetX = device->PhysicalOffsetX();
    target.offsetY = device->PhysicalOffsetY();
  }
  // The paper in the tray: the printer's media where it knows it, else the job's paper.
  double width = job.Settings.PaperWidth > 0 ? job.Settings.PaperWidth : 210.0;
  double length = job.Settings.PaperHeight > 0 ? job.Settings.PaperHeight : 297.0;
  if (usable && device->PaperWidthDots() > 0 && device->PaperHeightDots() > 0) {
    width = device->PaperWidthDots() * 25.4 / job.DpiX;
    length = device->PaperHeightDots() * 25.4 / job.DpiY;
    target.paperWidth = device->PaperWidthDots();
    target.paperHeight = device->PaperHeightDots();
  } else if (usable) {
    target.paperWidth = RoundToDots(width / 25.4 * job.DpiX);
    target.paperHeight = RoundToDots(length / 25.4 * job.DpiY);
  }
  // A sheet lying across (landscape paper) holds the same size turned: a landscape page prints on it upright.
  target.pageSize = NearestPclPageSize(std::min(width, length), std::max(width, length)).code;
  target.symbolSet = SymbolSetFor(job.Settings.CodePage);

  PclInterpreter printer(target, printers);
  printer.Run(job.Data, job.DataLength, [&job](std::int32_t position) { job.Passed(position); });
  printer.Finish();
  if (printer.SkippedHpgl2() && log != nullptr) {
    log->LogError("", "HP-GL/2-Grafik im PCL-Druckauftrag wird nicht gedruckt.", "", 0, 0);
  }
  if (printer.DroppedCopies() && log != nullptr) {
    log->LogError("", "Der PCL-Druckauftrag verlangt mehr als 10000 Kopien; weitere Seiten einmal gedruckt.",
                  "", 0, 0);
  }
  if (printer.DroppedMacros() && log != nullptr) {
    log->LogError("", "Die PCL-Makros passen nicht in den Speicher; was nicht mehr passte, fehlt.", "", 0, 0);
  }
  if (printer.DroppedMarks() && log != nullptr) {
    log->LogError("", "Eine PCL-Seite war zu voll; was nicht mehr passte, fehlt.", "", 0, 0);
  }
  // The footer goes a third of an inch below job.Y: it clears the last sheet's lowest mark.
  if (usable && printer.Sheets() > 0) {
    const std::int32_t below = printer.LastSheetLowest() + RoundToDots(job.DpiY / 60.0);
    job.Y = std::max(job.OriginY, below - RoundToDots(job.DpiY / 3.0));
  }
  // The document's own font goes back to the device before the printer's fonts are released.
  if (device != nullptr && job.Font != 0) device->SelectFont(job.Font);
}

}  // namespace quillmark
