#pragma once
// A print system that prints nothing and writes down every call as one line of text, such as "open Office",
// "font #1 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''", "select #1", "delete #1", "text 'A' at 230,253-290,337"
// (left,top-right,bottom), "page size 3300x2550" or "release device"; "(unknown)" marks a font not alive.
// Text measures as the selected font's width per byte by its |height|. Devices must not outlive it. Not
// thread-safe.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/print_device.h"
#include "spool/job_records.h"

namespace quillmark::testing {

struct FakePrinter {
  std::int32_t dpiX = 600, dpiY = 600;
  std::int32_t offsetX = 0, offsetY = 0;
  bool delivers = true;  // false: the printer refuses the document
};

class RecordingPrintSystem : public PrintSystem {
 public:
  void AddPrinter(const std::string& name, FakePrinter printer = {}) { printers_[name] = printer; }

  const std::string& Transcript() const { return transcript_; }
  std::function<void()> OnEndDocument;  // called as a document is handed over
  void ClearTranscript() { transcript_.clear(); }
  std::size_t LiveFonts() const { return fonts_.size(); }
  int OpenDevices() const { return openDevices_; }
  // Every image drawn, in order, with its dots.
  const std::vector<BitImage>& Images() const { return images_; }

  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings& settings) override {
    const std::string name(settings.Printer.View());
    const auto found = printers_.find(name);
    transcript_ += "open " + name + (found == printers_.end() ? ": no such printer\n" : "\n");
    if (found == printers_.end()) return nullptr;
    ++openDevices_;
    return std::make_unique<Device>(*this, found->second);
  }

  FontHandle CreateFont(const FontRequest& r) override {
    transcript_ += "font #" + std::to_string(nextFont_) + " h=" + std::to_string(r.height) +
                   " w=" + std::to_string(r.width) + " wt=" + std::to_string(r.weight) +
                   " cs=" + std::to_string(r.charSet) + " pf=0x" + Hex(r.pitchAndFamily, 2) + " face='" +
                   r.faceName + "'" + (r.italic != 0 ? " italic" : "") + "\n";
    fonts_[nextFont_] = r;
    return nextFont_++;
  }

  void DeleteFont(FontHandle font) override {
    if (font == 0) return;  // "no font": nothing to release
    transcript_ += "delete #" + std::to_string(font) + (fonts_.erase(font) != 0 ? "\n" : " (unknown)\n");
  }

 private:
  static std::string Hex(unsigned value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    return buffer;
  }

  class Device : public PrintDevice {
   public:
    Device(RecordingPrintSystem& system, FakePrinter printer) : system_(system), printer_(printer) {}
    ~Device() override {
      --system_.openDevices_;
      Record("release device");
    }

    std::int32_t DotsPerInchX() const override { return printer_.dpiX; }
    std::int32_t DotsPerInchY() const override { return printer_.dpiY; }
    std::int32_t PhysicalOffsetX() const override { return printer_.offsetX; }
    std::int32_t PhysicalOffsetY() const override { return printer_.offsetY; }

    void StartDocument(std::string_view title) override { Record("start doc '" + std::string(title) + "'"); }
    void StartPage() override { Record("page start"); }
    void EndPage() override { Record("page end"); }
    void SetPageSize(std::int32_t width, std::int32_t height) override {
      Record("page size " + std::to_string(width) + "x" + std::to_string(height));
    }
    void EndDocument() override {
      ended_ = true;
      if (system_.OnEndDocument) system_.OnEndDocument();
      Record("end doc");
    }
    void SetTextColor(std::uint32_t rgb) override { Record("text color 0x" + Hex(rgb, 6)); }
    void SetTransparentBackground() override { Record("transparent"); }

    // Keeps a copy of the font: like a real device, it still draws after the font is deleted.
    void SelectFont(FontHandle font) override {
      const auto found = system_.fonts_.find(font);
      if (found != system_.fonts_.end()) selected_ = found->second;
      Record("select #" + std::to_string(font) + (found == system_.fonts_.end() ? " (unknown)" : ""));
    }

    void MeasureText(std::string_view text, TextRect& rect) override {
      rect.right = rect.left + selected_.width * static_cast<std::int32_t>(text.size());
      rect.bottom = rect.top + std::abs(selected_.height);
    }

    void DrawText(std::string_view text, const TextRect& r) override {
      Record("text '" + std::string(text) + "' at " + std::to_string(r.left) + "," + std::to_string(r.top) +
             "-" + std::to_string(r.right) + "," + std::to_string(r.bottom));
    }

    // Unicode text is written down as UTF-8.
    void MeasureUnicodeText(std::u32string_view text, TextRect& rect) override {
      rect.right = rect.left + selected_.width * static_cast<std::int32_t>(text.size());
      rect.bottom = rect.top + std::abs(selected_.height);
    }
    void DrawUnicodeText(std::u32string_view text, const TextRect& r) override {
      Record("utext '" + Utf8(text) + "' at " + Corners(r));
    }
    void FillRectangle(const TextRect& r) override { Record("fill " + Corners(r)); }
    void DrawBitImage(const BitImage& image, const TextRect& r) override {
      system_.images_.push_back(image);
      Record("image " + std::to_string(image.width) + "x" + std::to_string(image.height) + " at " +
             Corners(r));
    }

    bool Delivered() const override { return ended_ && printer_.delivers; }

   private:
    void Record(const std::string& line) { system_.transcript_ += line + "\n"; }
    static std::string Corners(const TextRect& r) {
      return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
             std::to_string(r.bottom);
    }
    static std::string Utf8(std::u32string_view text) {
      std::string out;
      for (const char32_t c : text) {
        if (c < 0x80) {
          out += static_cast<char>(c);
        } else if (c < 0x800) {
          out += static_cast<char>(0xC0 | (c >> 6));
          out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
          out += static_cast<char>(0xE0 | ((c >> 12) & 0x0F));
          out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
          out += static_cast<char>(0x80 | (c & 0x3F));
        }
      }
      return out;
    }

    RecordingPrintSystem& system_;
    FakePrinter printer_;
    FontRequest selected_;  // no font: measures as 0 x 0
    bool ended_ = false;
  };

  std::map<std::string, FakePrinter> printers_;
  std::map<FontHandle, FontRequest> fonts_;
  std::vector<BitImage> images_;
  FontHandle nextFont_ = 1;
  int openDevices_ = 0;
  std::string transcript_;
};

}  // namespace quillmark::testing
