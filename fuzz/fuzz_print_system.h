#pragma once
// The pretend printer of the fuzz targets: a device that draws nothing at a chosen resolution, a print
// system that counts its devices and fonts, and an error log that goes nowhere but is counted. Every call
// is checked against what the printer code promises; a broken promise aborts, and the fuzzer reports it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "log/log_sink.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/print_device.h"

namespace quillmark {

struct Resolution {
  std::int32_t dpi;  // 0: a printer that cannot be opened, so the job runs without a device
  std::int32_t offset;
};

// What the pretend printer does besides drawing nothing.
struct FuzzPrinter {
  Resolution resolution{};
  bool refuseDelivery = false;    // the device never says the document arrived
  std::uint8_t failingFonts = 0;  // bit k: the k-th of every six font requests cannot be made
  bool oneFontAlive = false;      // more than the job's current font alive while another is made aborts
};

inline std::int32_t Clamp(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

class FuzzPrintSystem;

class FuzzDevice final : public PrintDevice {
 public:
  FuzzDevice(FuzzPrintSystem& system, const FuzzPrinter& printer) : system_(system), printer_(printer) {}
  ~FuzzDevice() override;

  std::int32_t DotsPerInchX() const override { return printer_.resolution.dpi; }
  std::int32_t DotsPerInchY() const override { return printer_.resolution.dpi; }
  std::int32_t PhysicalOffsetX() const override { return printer_.resolution.offset; }
  std::int32_t PhysicalOffsetY() const override { return printer_.resolution.offset; }
  void StartDocument(std::string_view) override {}
  void StartPage() override {}
  void EndPage() override {}
  void EndDocument() override { ended_ = true; }
  void SetTextColor(std::uint32_t) override {}
  void SetTransparentBackground() override {}
  void SelectFont(FontHandle font) override;
  void MeasureText(std::string_view text, TextRect& rect) override { Measure(text.size(), rect); }
  void DrawText(std::string_view, const TextRect&) override {}
  void MeasureUnicodeText(std::u32string_view text, TextRect& rect) override { Measure(text.size(), rect); }
  void DrawUnicodeText(std::u32string_view text, const TextRect&) override {
    if (text.empty()) std::abort();  // the printer never draws an empty run
  }
  void FillRectangle(const TextRect& rect) override {
    if (rect.right <= rect.left || rect.bottom <= rect.top) std::abort();  // empty rectangles are not sent
  }
  void DrawBitImage(const BitImage& image, const TextRect& rect) override {
    // The decoder promises whole rows of bits.
    if (image.bits.size() !=
        static_cast<std::size_t>(image.BytesPerRow()) * static_cast<std::size_t>(image.height))
      __builtin_trap();
    // Images come with dots and a rectangle that is at most empty, never inverted.
    if (image.width <= 0 || image.height <= 0 || rect.right < rect.left || rect.bottom < rect.top)
      std::abort();
  }
  bool Delivered() const override { return ended_ && !printer_.refuseDelivery; }

 private:
  void Measure(std::size_t characters, TextRect& rect) const {
    rect.right = Clamp(std::int64_t{rect.left} +
                       std::int64_t{selected_.width} * static_cast<std::int64_t>(characters));
    rect.bottom = Clamp(std::int64_t{rect.top} - std::int64_t{selected_.height});
  }

  FuzzPrintSystem& system_;
  FuzzPrinter printer_;
  bool ended_ = false;
  FontRequest selected_;
};

class FuzzPrintSystem final : public PrintSystem {
 public:
  explicit FuzzPrintSystem(const FuzzPrinter& printer) : printer_(printer) {}

  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings&) override {
    if (printer_.resolution.dpi == 0) return nullptr;
    ++openDevices;
    return std::make_unique<FuzzDevice>(*this, printer_);
  }
  FontHandle CreateFont(const FontRequest& request) override {
    if (printer_.oneFontAlive && fonts.size() > 1) std::abort();
    const int slot = requests++ % 6;
    if ((printer_.failingFonts >> slot) & 1) return 0;
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
  FuzzPrinter printer_;
};

inline FuzzDevice::~FuzzDevice() { --system_.openDevices; }

inline void FuzzDevice::SelectFont(FontHandle font) {
  const auto found = system_.fonts.find(font);
  if (found == system_.fonts.end()) std::abort();  // selecting a released font or none
  selected_ = found->second;
}

// Saving the data of an undelivered document succeeds or fails as told; log entries are counted.
class FuzzFileSystem final : public FileSystem, public LogSink {
 public:
  explicit FuzzFileSystem(bool failSaves) : failSaves_(failSaves) {}
  FileStatus ReadWholeFile(const std::string&, std::string& contents) override {
    contents.clear();
    return FileStatus::NotSupported();
  }
  std::string Append(std::string_view, std::string_view text) override {
    if (text.find("Druckdaten") != std::string_view::npos) ++keptReports;
    ++entries;
    return "";
  }
  FileStatus SaveNewFile(const std::string& folder, const std::uint8_t*, std::size_t) override {
    return failSaves_ ? FileStatus::Failed(folder, "No space left on device")
                      : FileStatus::Done(folder + "/1.prn");
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

}  // namespace quillmark
