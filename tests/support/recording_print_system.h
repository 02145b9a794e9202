#pragma once
// A print system that prints nothing and writes down every call as one line of text, such as "open Office",
// "font #1 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''", "select #1", "delete #1", "text 'A' at 230,253-290,337"
// (left,top-right,bottom) or "release device"; "(unknown)" marks a font not alive. Text measures as the
// selected font's width per byte by its |height|. Devices must not outlive it. Not thread-safe.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/print_device.h"

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
  void ClearTranscript() { transcript_.clear(); }
  std::size_t LiveFonts() const { return fonts_.size(); }
  int OpenDevices() const { return openDevices_; }

  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings& settings) override;
  FontHandle CreateFont(const FontRequest& request) override;
  void DeleteFont(FontHandle font) override;

 private:
  class Device;

  std::map<std::string, FakePrinter> printers_;
  std::map<FontHandle, FontRequest> fonts_;
  FontHandle nextFont_ = 1;
  int openDevices_ = 0;
  std::string transcript_;
};

}  // namespace quillmark::testing
