// Feeds arbitrary spool data through the print worker's handling of one job: PrintDocument, the keeping of
// an undelivered document's data, ReleaseDevice. The first input byte picks the printer (its bit 7: the
// take stayed in its spool file, so the document must be dropped undelivered), the second its
// faults: bit 0 refuses delivery, bit 1 makes saving the data fail, bits 2-7 say which of every six font
// requests cannot be made. The rest is the spool data, in a heap buffer of exactly its length so that the
// address sanitizer catches any read past it.
//
// Aborts when more than the job's current font is alive while another is made, when a font or the device
// outlives the job, when a document that did not arrive is not logged with its reason and where its
// data went (or that its data could not be kept, which keeps the job), or when a dropped one is.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "emulation/interpreter.h"
#include "emulation/printer_document.h"
#include "spool/print_worker.h"

namespace quillmark {
namespace {

struct Resolution {
  std::int32_t dpi;
  std::int32_t offset;
};

// 0 dpi stands for a printer that could not be opened: the job runs without a device.
constexpr Resolution kPrinters[] = {
    {0, 0}, {180, 0}, {300, 17}, {600, 100}, {1200, 0}, {std::numeric_limits<std::int32_t>::max(), 5},
};

std::int32_t Clamp(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

class FuzzPrintSystem;

class FuzzDevice final : public PrintDevice {
 public:
  FuzzDevice(FuzzPrintSystem& system, Resolution resolution, bool refuse)
      : system_(system), resolution_(resolution), refuse_(refuse) {}
  ~FuzzDevice() override;

  std::int32_t DotsPerInchX() const override { return resolution_.dpi; }
  std::int32_t DotsPerInchY() const override { return resolution_.dpi; }
  std::int32_t PhysicalOffsetX() const override { return resolution_.offset; }
  std::int32_t PhysicalOffsetY() const override { return resolution_.offset; }
  void StartDocument(std::string_view) override {}
  void StartPage() override {}
  void EndPage() override {}
  void EndDocument() override { ended_ = true; }
  void SetTextColor(std::uint32_t) override {}
  void SetTransparentBackground() override {}
  void SelectFont(FontHandle font) override;
  void MeasureText(std::string_view text, TextRect& rect) override;
  void DrawText(std::string_view, const TextRect&) override {}
  void MeasureUnicodeText(std::u32string_view text, TextRect& rect) override {
    rect.right = Clamp(std::int64_t{rect.left} +
                       std::int64_t{selected_.width} * static_cast<std::int64_t>(text.size()));
    rect.bottom = Clamp(std::int64_t{rect.top} - std::int64_t{selected_.height});
  }
  void DrawUnicodeText(std::u32string_view, const TextRect&) override {}
  void FillRectangle(const TextRect&) override {}
  void DrawBitImage(const BitImage& image, const TextRect&) override {
    // The decoder promises whole rows of bits.
    if (image.bits.size() !=
        static_cast<std::size_t>(image.BytesPerRow()) * static_cast<std::size_t>(image.height))
      __builtin_trap();
  }
  bool Delivered() const override { return ended_ && !refuse_; }

 private:
  FuzzPrintSystem& system_;
  Resolution resolution_;
  bool refuse_;
  bool ended_ = false;
  FontRequest selected_;
};

class FuzzPrintSystem final : public PrintSystem {
 public:
  FuzzPrintSystem(Resolution resolution, std::uint8_t faults) : resolution_(resolution), faults_(faults) {}

  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings&) override {
    if (resolution_.dpi == 0) return nullptr;
    ++openDevices;
    return std::make_unique<FuzzDevice>(*this, resolution_, (faults_ & 1) != 0);
  }
  FontHandle CreateFont(const FontRequest& request) override {
    if (fonts.size() > 1) std::abort();  // only the job's current font may be alive
    const int slot = requests++ % 6;
    if ((faults_ >> (2 + slot)) & 1) return 0;
    fonts[++lastFont] = request;
    return lastFont;
  }
  void DeleteFont(FontHandle font) override {
    if (font != 0 && fonts.erase(font) == 0) std::abort();  // a font released twice or never made
  }

  std::map<FontHandle, FontRequest> fonts;
  FontHandle lastFont = 0;
  int openDevices = 0;
  int requests = 0;

 private:
  Resolution resolution_;
  std::uint8_t faults_;
};

FuzzDevice::~FuzzDevice() { --system_.openDevices; }

void FuzzDevice::SelectFont(FontHandle font) {
  const auto found = system_.fonts.find(font);
  if (found == system_.fonts.end()) std::abort();  // selecting a released font or none
  selected_ = found->second;
}

void FuzzDevice::MeasureText(std::string_view text, TextRect& rect) {
  const std::int64_t width = std::int64_t{selected_.width} * static_cast<std::int64_t>(text.size());
  rect.right = Clamp(rect.left + width);
  rect.bottom = Clamp(rect.top - std::int64_t{selected_.height});
}

// Saving the data of an undelivered document succeeds or fails as the faults say; log entries are counted.
class FuzzFileSystem final : public FileSystem {
 public:
  explicit FuzzFileSystem(bool failSaves) : failSaves_(failSaves) {}
  bool ReadWholeFile(const std::string&, std::string& contents) override {
    contents.clear();
    return false;
  }
  bool AppendLocked(const std::string&, std::string_view, std::string_view text) override {
    if (text.find("Druckdaten") != std::string_view::npos) ++keptReports;
    ++entries;
    return true;
  }
  std::string SaveNewFile(const std::string& folder, const std::uint8_t*, std::size_t) override {
    return failSaves_ ? "" : folder + "/1.prn";
  }
  int keptReports = 0;
  int entries = 0;

 private:
  bool failSaves_;
};

class NullClock final : public Clock {
 public:
  LocalTime Now() const override { return {}; }
};

}  // namespace
}  // namespace quillmark

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
  using namespace quillmark;
  if (size < 3) return 0;  // a queued job always holds at least one byte
  const Resolution resolution = kPrinters[input[0] % std::size(kPrinters)];
  const std::uint8_t faults = input[1];
  const std::size_t length = size - 2;
  if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return 0;

  FuzzPrintSystem printers(resolution, faults);
  PrintJob job;
  job.Settings.Printer.Assign("Fuzz");
  job.Settings.CharSet = 255;
  job.Settings.PositionMode = 1;
  job.Settings.BorderLeft = 9.75f;
  job.Settings.BorderTop = 10.7f;
  job.DataLength = static_cast<std::int32_t>(length);
  job.Data = SpoolData(new std::uint8_t[length]);
  std::memcpy(job.Data.get(), input + 2, length);

  const bool stayed = (input[0] & 0x80) != 0;
  if (stayed) {
    job.Gate = std::make_shared<TakeGate>();
    job.Gate->Settle(false, {});
  }

  FuzzFileSystem files((faults & 2) != 0);
  TakeStore store(files);
  NullClock clock;
  const ErrorLog log(files, clock);
  const bool settled = PrintOneJob(job, printers, store, log);
  const bool delivered = !stayed && resolution.dpi != 0 && (faults & 1) == 0;
  // Undelivered: why (no printer, or it did not take the document), then where the data went, or that it
  // could not be kept. Dropped: nothing about its data.
  if (stayed ? (files.keptReports != 0 || !settled)
             : (files.keptReports != (delivered ? 0 : 1) || files.entries != (delivered ? 0 : 2) ||
                settled != (delivered || (faults & 2) == 0))) {
    std::abort();
  }
  if (!printers.fonts.empty() || printers.openDevices != 0 || job.Font != 0 ||
      (job.Data == nullptr) != settled)
    std::abort();
  return 0;
}
