// Feeds arbitrary spool data through a whole ESC/P 2 document: OpenPrinterDevice, StartDocument, the ESC/P 2
// printer until the data ends, EndDocument, ReleaseDevice. The first input byte picks the printer and the
// code page; the rest is the spool data, in a heap buffer of exactly its length so that the address
// sanitizer catches any read past it.
//
// Aborts when a released font is selected or released again, when text or a rectangle lands outside the
// device's coordinate range, or when a font or the device outlives the job.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "emulation/printer_document.h"

namespace quillmark {
namespace {

struct Resolution {
  std::int32_t dpi;
  std::int32_t offset;
};

// 0 dpi stands for a printer that could not be opened: the job runs without a device.
constexpr Resolution kPrinters[] = {
    {0, 0}, {180, 0}, {360, 17}, {600, 100}, {1200, 0}, {std::numeric_limits<std::int32_t>::max(), 5},
};
constexpr std::int32_t kCodePages[] = {437, 850, 852, 857, 858, 860, 863, 865, 866, 895, 1252};

class FuzzPrintSystem;

class FuzzDevice final : public PrintDevice {
 public:
  FuzzDevice(FuzzPrintSystem& system, Resolution resolution) : system_(system), resolution_(resolution) {}
  ~FuzzDevice() override;

  std::int32_t DotsPerInchX() const override { return resolution_.dpi; }
  std::int32_t DotsPerInchY() const override { return resolution_.dpi; }
  std::int32_t PhysicalOffsetX() const override { return resolution_.offset; }
  std::int32_t PhysicalOffsetY() const override { return resolution_.offset; }
  void StartDocument(std::string_view) override {}
  void StartPage() override {}
  void EndPage() override {}
  void EndDocument() override {}
  void SetTextColor(std::uint32_t) override {}
  void SetTransparentBackground() override {}
  void SelectFont(FontHandle font) override;
  void MeasureText(std::string_view, TextRect& rect) override { rect.bottom = rect.top; }
  void DrawText(std::string_view, const TextRect&) override {}
  void MeasureUnicodeText(std::u32string_view text, TextRect& rect) override {
    const std::int64_t right =
        std::int64_t{rect.left} + std::int64_t{width_} * static_cast<std::int64_t>(text.size());
    rect.right = right > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                                  : static_cast<std::int32_t>(right);
  }
  void DrawUnicodeText(std::u32string_view text, const TextRect&) override {
    if (text.empty()) std::abort();  // the printer never draws an empty run
  }
  void FillRectangle(const TextRect& rect) override {
    if (rect.right <= rect.left || rect.bottom <= rect.top) std::abort();  // empty rectangles are not sent
  }
  void DrawBitImage(const BitImage& image, const TextRect& rect) override {
    if (image.bits.size() !=
        static_cast<std::size_t>(image.BytesPerRow()) * static_cast<std::size_t>(image.height))
      __builtin_trap();
    // Images come with dots and a rectangle that is at most empty, never inverted.
    if (image.width <= 0 || image.height <= 0 || rect.right < rect.left || rect.bottom < rect.top)
      std::abort();
  }
  bool Delivered() const override { return true; }

 private:
  FuzzPrintSystem& system_;
  Resolution resolution_;
  std::int32_t width_ = 0;
};

class FuzzPrintSystem final : public PrintSystem {
 public:
  explicit FuzzPrintSystem(Resolution resolution) : resolution_(resolution) {}

  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings&) override {
    if (resolution_.dpi == 0) return nullptr;
    ++openDevices;
    return std::make_unique<FuzzDevice>(*this, resolution_);
  }
  FontHandle CreateFont(const FontRequest& request) override {
    fonts[++lastFont] = request;
    return lastFont;
  }
  void DeleteFont(FontHandle font) override {
    if (font != 0 && fonts.erase(font) == 0) std::abort();  // a font released twice or never made
  }

  std::map<FontHandle, FontRequest> fonts;
  FontHandle lastFont = 0;
  int openDevices = 0;

 private:
  Resolution resolution_;
};

FuzzDevice::~FuzzDevice() { --system_.openDevices; }

void FuzzDevice::SelectFont(FontHandle font) {
  const auto found = system_.fonts.find(font);
  if (found == system_.fonts.end()) std::abort();  // selecting a released font
  width_ = found->second.width;
}

// The error log of a printer that cannot be opened goes nowhere.
class NullFileSystem final : public FileSystem {
 public:
  bool ReadWholeFile(const std::string&, std::string& contents) override {
    contents.clear();
    return false;
  }
  bool AppendLocked(const std::string&, std::string_view, std::string_view) override { return true; }
  std::string SaveNewFile(const std::string&, const std::uint8_t*, std::size_t) override { return ""; }
};

class NullClock final : public Clock {
 public:
  LocalTime Now() const override { return {}; }
};

}  // namespace
}  // namespace quillmark

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
  using namespace quillmark;
  if (size < 2) return 0;  // a queued job always holds at least one byte
  const Resolution resolution = kPrinters[input[0] % std::size(kPrinters)];
  const std::size_t length = size - 1;
  if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return 0;

  FuzzPrintSystem printers(resolution);
  PrintJob job;
  job.Settings.Printer.Assign("Fuzz");
  job.Settings.Mode = Emulation::kEscP2;
  job.Settings.CodePage = kCodePages[(input[0] / std::size(kPrinters)) % std::size(kCodePages)];
  job.Settings.PaperWidth = (input[0] & 0x80) ? 0.0f : 420.0f;
  job.Settings.PaperHeight = (input[0] & 0x80) ? 0.0f : 99.0f;
  job.Settings.BorderLeft = 9.75f;
  job.Settings.BorderTop = 10.7f;
  job.DataLength = static_cast<std::int32_t>(length);
  job.Data = SpoolData(new std::uint8_t[length]);
  std::memcpy(job.Data.get(), input + 1, length);

  NullFileSystem files;
  NullClock clock;
  const ErrorLog log(files, clock);
  PrintDocument(job, printers, log);
  ReleaseDevice(job, printers);
  if (!printers.fonts.empty() || printers.openDevices != 0 || job.Font != 0) std::abort();
  return 0;
}
