#include "platform/qt/qt_print_system.h"

#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QString>

#include <cups/cups.h>

#include <cmath>

#include "platform/qt/cups_document_output.h"
#include "platform/qt/pdf_document_output.h"
#include "platform/qt/qt_print_device.h"
#include "spool/job_records.h"

namespace quillmark {
namespace {

constexpr std::string_view kPdfPrinterPrefix = "PDF:";
constexpr int kPdfDotsPerInch = 600;
constexpr int kFallbackDotsPerInch = 600;
// A destination's properties change rarely; a new look-up after this long picks up a changed default.
constexpr std::chrono::seconds kPrinterCacheTime{60};

// PDF pages cannot be larger than 200 inches a side.
constexpr float kLargestPaperMillimetres = 5080.0f;

bool UsablePaperLength(float millimetres) {
  return std::isfinite(millimetres) && millimetres > 0 && millimetres <= kLargestPaperMillimetres;
}

QPageLayout PaperLayout(const JobSettings& settings) {
  const QPageSize size = UsablePaperLength(settings.PaperWidth) && UsablePaperLength(settings.PaperHeight)
                             ? QPageSize(QSizeF(settings.PaperWidth, settings.PaperHeight), QPageSize::Millimeter,
                                         QString(), QPageSize::ExactMatch)
                             : QPageSize(QPageSize::A4);
  return QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
}

// What CUPS reports as a destination's defaults. Qt's print support offers no default resolution for
// driverless queues and starts every printer on A4, so ask CUPS itself.
struct CupsDefaults {
  int dotsPerInch = 0;  // 0: none reported
  std::optional<QPageSize> paper;
  double leftMillimetres = 0;
  double topMillimetres = 0;
};

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

CupsDefaults QueryCupsDefaults(const std::string& name, const std::string& mediaName) {
  CupsDefaults defaults;
  cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.c_str(), nullptr);
  if (dest == nullptr) return defaults;
  if (cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest)) {
    ipp_attribute_t* attribute = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, "printer-resolution");
    if (attribute != nullptr && ippGetValueTag(attribute) == IPP_TAG_RESOLUTION) {
      int down = 0;
      ipp_res_t units = IPP_RES_PER_INCH;
      const int across = ippGetResolution(attribute, 0, &down, &units);
      defaults.dotsPerInch = units == IPP_RES_PER_CM ? static_cast<int>(across * 2.54 + 0.5) : across;
    }
    cups_size_t media{};
    const bool found = mediaName.empty()
                           ? cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest, info, 0, &media) != 0
                           : FindCupsMedia(dest, info, mediaName, media) ||
                                 cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest, info, 0, &media) != 0;
    if (found && media.width > 0 && media.length > 0) {
      // Sizes and margins come in hundredths of a millimetre.
      defaults.paper = QPageSize(QSizeF(media.width / 100.0, media.length / 100.0), QPageSize::Millimeter,
                                 QString(), QPageSize::FuzzyMatch);
      defaults.leftMillimetres = media.left / 100.0;
      defaults.topMillimetres = media.top / 100.0;
    }
    cupsFreeDestInfo(info);
  }
  cupsFreeDests(1, dest);
  return defaults;
}

}  // namespace

QtPrintSystem::QtPrintSystem() : fonts_(std::make_shared<QtFontTable>()) {}

QtPrintSystem::~QtPrintSystem() = default;

std::unique_ptr<PrintDevice> QtPrintSystem::OpenDevice(const JobSettings& settings) {
  const std::string_view name = settings.Printer.View();
  if (name.starts_with(kPdfPrinterPrefix)) {
    const std::string_view folder = name.substr(kPdfPrinterPrefix.size());
    DeviceGeometry geometry;
    geometry.dotsPerInch = kPdfDotsPerInch;
    geometry.layout = PaperLayout(settings);
    return std::make_unique<QtPrintDevice>(
        geometry, PdfDocumentOutput::InFolder(QString::fromUtf8(folder.data(), static_cast<qsizetype>(folder.size()))),
        fonts_);
  }
  const std::string media(settings.Media.View());
  const auto printer = LookUpCupsPrinter(std::string(name), media);
  if (!printer) return nullptr;
  DeviceGeometry geometry;
  geometry.dotsPerInch = printer->dotsPerInch;
  geometry.offsetX = printer->offsetX;
  geometry.offsetY = printer->offsetY;
  geometry.layout = printer->layout;
  auto output = std::make_unique<CupsDocumentOutput>(std::string(name), media,
                                                     [this](int job) { lastCupsJob_.store(job); });
  return std::make_unique<QtPrintDevice>(geometry, std::move(output), fonts_);
}

std::unique_ptr<PrintDevice> QtPrintSystem::OpenPdfFile(const std::string& path, const JobSettings& settings,
                                                        int dotsPerInch) {
  DeviceGeometry geometry;
  geometry.dotsPerInch = dotsPerInch > 0 ? dotsPerInch : kPdfDotsPerInch;
  geometry.layout = PaperLayout(settings);
  return std::make_unique<QtPrintDevice>(geometry, PdfDocumentOutput::ToFile(QString::fromStdString(path)),
                                         fonts_);
}

std::vector<std::string> QtPrintSystem::CupsQueueNames() {
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    if (dests[i].instance == nullptr) names.emplace_back(dests[i].name);
  }
  cupsFreeDests(count, dests);
  return names;
}

std::optional<QtPrintSystem::CupsPrinter> QtPrintSystem::LookUpCupsPrinter(const std::string& name,
                                                                           const std::string& media) {
  std::lock_guard lock(printersMutex_);
  const auto now = std::chrono::steady_clock::now();
  const std::string key = name + '\0' + media;
  if (const auto cached = printers_.find(key); cached != printers_.end()) {
    if (now - cached->second.lookedUp < kPrinterCacheTime) return cached->second;
    printers_.erase(cached);
  }
  if (name.empty()) return std::nullopt;
  const QString qtName = QString::fromStdString(name);
  const QPrinterInfo info = QPrinterInfo::printerInfo(qtName);
  if (info.isNull() || info.printerName() != qtName) return std::nullopt;

  // QPrinter falls back to another printer for a name it does not know; make sure it took this one.
  QPrinter printer(info, QPrinter::HighResolution);
  if (printer.printerName() != qtName) return std::nullopt;
  CupsPrinter found;
  const CupsDefaults defaults = QueryCupsDefaults(name, media);
  found.dotsPerInch = defaults.dotsPerInch > 0 ? defaults.dotsPerInch : kFallbackDotsPerInch;
  if (defaults.paper) {
    found.layout = QPageLayout(*defaults.paper, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
    found.offsetX = static_cast<int>(std::lround(defaults.leftMillimetres / 25.4 * found.dotsPerInch));
    found.offsetY = static_cast<int>(std::lround(defaults.topMillimetres / 25.4 * found.dotsPerInch));
  } else {
    // The driver's description as Qt reads it; its margins belong to the page size set last.
    const QPageSize paper =
        info.defaultPageSize().isValid() ? info.defaultPageSize() : QPageSize(QPageSize::A4);
    printer.setPageSize(paper);
    const QMargins margins = QPageLayout(paper, QPageLayout::Portrait, printer.pageLayout().minimumMargins(),
                                         printer.pageLayout().units())
                                 .marginsPixels(found.dotsPerInch);
    found.layout = QPageLayout(paper, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
    found.offsetX = margins.left();
    found.offsetY = margins.top();
  }
  found.lookedUp = now;
  printers_[key] = found;
  return found;
}

FontHandle QtPrintSystem::CreateFont(const FontRequest& request) { return fonts_->Create(request); }

void QtPrintSystem::DeleteFont(FontHandle font) { fonts_->Delete(font); }

}  // namespace quillmark
