#pragma once
// A print system that prints nothing and writes down every call it gets as one line of text:
//   "open Office" / "open Nowhere: no such printer", "font #1 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''",
//   "select #1", "delete #1" ("(unknown)" appended for a font not alive), "start doc 'DOS Job'",
//   "page start", "text color 0x000000", "transparent", "text 'A' at 230,253-290,337" (left,top-right,bottom,
//   bytes outside printable ASCII as \xNN), "page end", "end doc", "release device".
// MeasureText gives (width of the selected font) x (bytes) by |height|. Fonts count from 1. Devices must not
// outlive their print system. Use it from one thread at a time.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/print_device.h"

namespace quillmark::testing {

struct FakePrinter {
  std::int32_t dpiX = 600;
  std::int32_t dpiY = 600;
  std::int32_t offsetX = 0;
  std::int32_t offsetY = 0;
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
