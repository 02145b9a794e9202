#include "platform/printing/linux_print_system.h"

#include <cups/cups.h>
#include <cups/ppd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "platform/printing/cups_document_output.h"
#include "spool/job_records.h"

namespace quillmark {
namespace {

constexpr std::string_view kPdfPrinterPrefix = "PDF:";
constexpr int kPdfDotsPerInch = 600;
constexpr int kFallbackDotsPerInch = 600;
// A destination's properties change rarely; a new look-up after this long picks up a changed default.
constexpr std::chrono::seconds kPrinterCacheTime{60};

pdf::DeviceGeometry PdfGeometry(const JobSettings& settings, int dotsPerInch) {
  pdf::DeviceGeometry geometry;
  geometry.dotsPerInch = dotsPerInch;
  pdf::SetPaperMillimetres(geometry, settings.PaperWidth, settings.PaperHeight);
  return geometry;
}

// The default paper and its margins from the queue's PPD, for queues whose media default CUPS does not
// report (or not yet, while the scheduler is busy). False when there is no PPD.
bool PaperFromPpd(const std::string& name, pdf::DeviceGeometry& geometry) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const char* file = cupsGetPPD(name.c_str());
  if (file == nullptr) return false;
  ppd_file_t* ppd = ppdOpenFile(file);
  ::unlink(file);
  if (ppd == nullptr) return false;
  ppdMarkDefaults(ppd);
  const ppd_size_t* size = ppdPageSize(ppd, nullptr);
  const bool found = size != nullptr && size->width > 0 && size->length > 0;
  if (found) {
    // Points, with the printable area's top measured from the bottom edge.
    pdf::SetPaperMillimetres(geometry, size->width * 25.4 / 72, size->length * 25.4 / 72);
    geometry.offsetX = static_cast<int>(std::lround(size->left / 72.0 * geometry.dotsPerInch));
    geometry.offsetY =
        static_cast<int>(std::lround((size->length - size->top) / 72.0 * geometry.dotsPerInch));
  }
  ppdClose(ppd);
  return found;
#pragma GCC diagnostic pop
}

// The size and margins of `media` on this destination; a name the printer does not list still gives its
// standard size (without margins).
bool FindCupsMedia(cups_dest_t* dest, cups_dinfo_t* info, const std::string& media, cups_size_t& size) {
  if (cupsGetDestMediaByName(CUPS_HTTP_DEFAULT, dest, info, media.c_str(), CUPS_MEDIA_FLAGS_DEFAULT, &size) !=
      0) {
    return true;
  }
  const char* name = media.c_str();
  const pwg_media_t* standard = pwgMediaForPWG(name);
  if (standard == nullptr) standard = pwgMediaForLegacy(name);
  if (standard == nullptr) standard = pwgMediaForPPD(name);
  if (standard == nullptr) return false;
  size = cups_size_t{};
  size.width = standard->width;
  size.length = standard->length;
  return true;
}

// What CUPS reports as a destination's defaults, on `mediaName` when that is not empty; nullopt when it
// has no destination of exactly that name.
std::optional<pdf::DeviceGeometry> QueryCupsDefaults(const std::string& name, const std::string& mediaName) {
  cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.c_str(), nullptr);
  if (dest == nullptr) return std::nullopt;
  if (name != dest->name) {
    cupsFreeDests(1, dest);
    return std::nullopt;
  }
  pdf::DeviceGeometry geometry;
  geometry.dotsPerInch = kFallbackDotsPerInch;
  bool paper = false;
  if (cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest)) {
    ipp_attribute_t* attribute = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, "printer-resolution");
    if (attribute != nullptr && ippGetValueTag(attribute) == IPP_TAG_RESOLUTION) {
      int down = 0;
      ipp_res_t units = IPP_RES_PER_INCH;
      const int across = ippGetResolution(attribute, 0, &down, &units);
      const int dotsPerInch = units == IPP_RES_PER_CM ? static_cast<int>(across * 2.54 + 0.5) : across;
      if (dotsPerInch > 0) geometry.dotsPerInch = dotsPerInch;
    }
    cups_size_t media{};
    const bool found = (!mediaName.empty() && FindCupsMedia(dest, info, mediaName, media)) ||
                       cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest, info, 0, &media) != 0;
    if (found && media.width > 0 && media.length > 0) {
      // Sizes and margins come in hundredths of a millimetre.
      paper = true;
      pdf::SetPaperMillimetres(geometry, media.width / 100.0, media.length / 100.0);
      geometry.offsetX = static_cast<int>(std::lround(media.left / 2540.0 * geometry.dotsPerInch));
      geometry.offsetY = static_cast<int>(std::lround(media.top / 2540.0 * geometry.dotsPerInch));
    }
    cupsFreeDestInfo(info);
  }
  cupsFreeDests(1, dest);
  if (!paper) PaperFromPpd(name, geometry);
  return geometry;
}

}  // namespace

LinuxPrintSystem::LinuxPrintSystem() : fonts_(std::make_shared<pdf::FontTable>()) {}

LinuxPrintSystem::~LinuxPrintSystem() = default;

std::unique_ptr<PrintDevice> LinuxPrintSystem::OpenDevice(const JobSettings& settings) {
  const std::string_view name = settings.Printer.View();
  if (name.starts_with(kPdfPrinterPrefix)) {
    const std::string folder(name.substr(kPdfPrinterPrefix.size()));
    return std::make_unique<pdf::PdfPrintDevice>(PdfGeometry(settings, kPdfDotsPerInch),
                                                 pdf::PdfFileOutput::InFolder(folder), fonts_);
  }
  const std::string media(settings.Media.View());
  const auto geometry = LookUpCupsPrinter(std::string(name), media);
  if (!geometry) return nullptr;
  auto output = std::make_unique<CupsDocumentOutput>(std::string(name), media,
                                                     [this](int job) { lastCupsJob_.store(job); });
  return std::make_unique<pdf::PdfPrintDevice>(*geometry, std::move(output), fonts_);
}

void LinuxPrintSystem::RemoveLeftovers(const JobSettings& settings) {
  const std::string_view name = settings.Printer.View();
  if (name.starts_with(kPdfPrinterPrefix)) {
    pdf::TemporaryPdf::RemoveAbandoned(std::string(name.substr(kPdfPrinterPrefix.size())));
  }
}

bool LinuxPrintSystem::PrinterExists(const JobSettings& settings) {
  const std::string_view name = settings.Printer.View();
  if (name.starts_with(kPdfPrinterPrefix)) {
    std::string folder(name.substr(kPdfPrinterPrefix.size()));
    if (folder.empty()) folder = ".";
    std::error_code failure;
    std::filesystem::create_directories(folder, failure);
    return std::filesystem::is_directory(folder, failure) && ::access(folder.c_str(), W_OK | X_OK) == 0;
  }
  const auto queues = CupsQueueNames();
  return std::find(queues.begin(), queues.end(), name) != queues.end();
}

std::unique_ptr<PrintDevice> LinuxPrintSystem::OpenPdfFile(const std::string& path,
                                                           const JobSettings& settings, int dotsPerInch) {
  return std::make_unique<pdf::PdfPrintDevice>(
      PdfGeometry(settings, dotsPerInch > 0 ? dotsPerInch : kPdfDotsPerInch),
      pdf::PdfFileOutput::ToFile(path), fonts_);
}

std::vector<std::string> LinuxPrintSystem::CupsQueueNames() {
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    if (dests[i].instance == nullptr) names.emplace_back(dests[i].name);
  }
  cupsFreeDests(count, dests);
  return names;
}

std::optional<pdf::DeviceGeometry> LinuxPrintSystem::LookUpCupsPrinter(const std::string& name,
                                                                       const std::string& media) {
  std::lock_guard lock(printersMutex_);
  const auto now = std::chrono::steady_clock::now();
  const std::string key = name + '\0' + media;
  if (const auto cached = printers_.find(key); cached != printers_.end()) {
    if (now - cached->second.lookedUp < kPrinterCacheTime) return cached->second.geometry;
    printers_.erase(cached);
  }
  if (name.empty()) return std::nullopt;
  const auto geometry = QueryCupsDefaults(name, media);
  if (geometry) printers_[key] = CupsPrinter{*geometry, now};
  return geometry;
}

FontHandle LinuxPrintSystem::CreateFont(const FontRequest& request) { return fonts_->Create(request); }

void LinuxPrintSystem::DeleteFont(FontHandle font) { fonts_->Delete(font); }

}  // namespace quillmark
