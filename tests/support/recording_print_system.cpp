#include "support/recording_print_system.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

#include "spool/job_records.h"

namespace quillmark::testing {

namespace {

std::string Hex(unsigned value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
  return buffer;
}

// Like a real device, the fake cannot report coordinates beyond 32 bits.
std::int32_t Clamp(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

std::string Describe(FontHandle font, const FontRequest& r) {
  std::string line = "font #" + std::to_string(font) + " h=" + std::to_string(r.height) +
                     " w=" + std::to_string(r.width) + " wt=" + std::to_string(r.weight) +
                     " cs=" + std::to_string(r.charSet) + " pf=0x" + Hex(r.pitchAndFamily, 2);
  // Fields the emulation always leaves at 0 show only when they are not.
  const std::pair<const char*, std::int32_t> extras[] = {
      {"esc", r.escapement},   {"orient", r.orientation}, {"italic", r.italic},      {"under", r.underline},
      {"strike", r.strikeOut}, {"outp", r.outPrecision},  {"clip", r.clipPrecision}, {"quality", r.quality}};
  for (const auto& [name, value] : extras) {
    if (value != 0) line += std::string(" ") + name + "=" + std::to_string(value);
  }
  return line + " face='" + r.faceName + "'";
}

}  // namespace

std::string ShowBytes(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 32 && byte < 127) {
      shown += c;
    } else {
      shown += "\\x" + Hex(byte, 2);
    }
  }
  return shown;
}

class RecordingPrintSystem::Device : public PrintDevice {
 public:
  Device(RecordingPrintSystem& system, FakePrinter printer) : system_(system), printer_(printer) {}
  ~Device() override {
    {
      std::lock_guard lock(system_.mutex_);
      --system_.openDevices_;
    }
    system_.Record("release device");
  }

  std::int32_t DotsPerInchX() const override { return printer_.dpiX; }
  std::int32_t DotsPerInchY() const override { return printer_.dpiY; }
  std::int32_t PhysicalOffsetX() const override { return printer_.offsetX; }
  std::int32_t PhysicalOffsetY() const override { return printer_.offsetY; }

  void StartDocument(std::string_view title) override {
    system_.Record("start doc '" + ShowBytes(title) + "'");
  }
  void StartPage() override { system_.Record("page start"); }
  void EndPage() override { system_.Record("page end"); }
  void EndDocument() override {
    ended_ = true;
    system_.Record("end doc");
  }
  void SetTextColor(std::uint32_t rgb) override { system_.Record("text color 0x" + Hex(rgb, 6)); }
  void SetTransparentBackground() override { system_.Record("transparent"); }

  void SelectFont(FontHandle font) override {
    FontRequest request;
    if (system_.FindFont(font, request)) {
      selected_ = font;
      system_.Record("select #" + std::to_string(font));
    } else {
      system_.Record("select #" + std::to_string(font) + " (unknown)");
    }
  }

  void MeasureText(std::string_view text, TextRect& rect) override {
    FontRequest request;
    if (selected_ == 0 || !system_.FindFont(selected_, request)) {
      rect.right = rect.left;
      rect.bottom = rect.top;
      return;
    }
    const std::int64_t width = std::int64_t{request.width} * static_cast<std::int64_t>(text.size());
    const std::int64_t height = std::abs(std::int64_t{request.height});
    rect.right = Clamp(rect.left + width);
    rect.bottom = Clamp(rect.top + height);
  }

  void DrawText(std::string_view text, const TextRect& rect) override {
    system_.Record("text '" + ShowBytes(text) + "' at " + std::to_string(rect.left) + "," +
                   std::to_string(rect.top) + "-" + std::to_string(rect.right) + "," +
                   std::to_string(rect.bottom));
  }

  bool Delivered() const override { return ended_ && printer_.delivers; }

 private:
  RecordingPrintSystem& system_;
  FakePrinter printer_;
  FontHandle selected_ = 0;
  bool ended_ = false;
};

void RecordingPrintSystem::AddPrinter(const std::string& name, FakePrinter printer) {
  std::lock_guard lock(mutex_);
  printers_[name] = printer;
}

void RecordingPrintSystem::SetFontCreationFails(bool fails) {
  std::lock_guard lock(mutex_);
  fontCreationFails_ = fails;
}

std::string RecordingPrintSystem::Transcript() const {
  std::lock_guard lock(mutex_);
  std::string text;
  for (const auto& line : lines_) text += line + "\n";
  return text;
}

void RecordingPrintSystem::ClearTranscript() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

std::size_t RecordingPrintSystem::LiveFonts() const {
  std::lock_guard lock(mutex_);
  return fonts_.size();
}

int RecordingPrintSystem::OpenDevices() const {
  std::lock_guard lock(mutex_);
  return openDevices_;
}

std::unique_ptr<PrintDevice> RecordingPrintSystem::OpenDevice(const JobSettings& settings) {
  const std::string name(settings.Printer.View());
  std::unique_lock lock(mutex_);
  const auto found = printers_.find(name);
  if (found == printers_.end()) {
    lines_.push_back("open " + ShowBytes(name) + ": no such printer");
    return nullptr;
  }
  ++openDevices_;
  lines_.push_back("open " + ShowBytes(name));
  const FakePrinter printer = found->second;
  lock.unlock();
  return std::make_unique<Device>(*this, printer);
}

FontHandle RecordingPrintSystem::CreateFont(const FontRequest& request) {
  std::lock_guard lock(mutex_);
  if (fontCreationFails_) {
    lines_.push_back("font failed");
    return 0;
  }
  const FontHandle font = nextFont_++;
  fonts_[font] = request;
  lines_.push_back(Describe(font, request));
  return font;
}

void RecordingPrintSystem::DeleteFont(FontHandle font) {
  if (font == 0) return;  // "no font": nothing to release
  std::lock_guard lock(mutex_);
  if (fonts_.erase(font) == 0) {
    lines_.push_back("delete #" + std::to_string(font) + " (unknown)");
  } else {
    lines_.push_back("delete #" + std::to_string(font));
  }
}

void RecordingPrintSystem::Record(std::string line) {
  std::lock_guard lock(mutex_);
  lines_.push_back(std::move(line));
}

bool RecordingPrintSystem::FindFont(FontHandle font, FontRequest& request) const {
  std::lock_guard lock(mutex_);
  const auto found = fonts_.find(font);
  if (found == fonts_.end()) return false;
  request = found->second;
  return true;
}

}  // namespace quillmark::testing
