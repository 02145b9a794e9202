#pragma once
// A print system for tests that prints nothing and writes down every call it gets, in order, as one line
// of text each. Tests compare the whole transcript at once.
//
// Lines, by call:
//   OpenDevice          "open Office"                     or "open Nowhere: no such printer"
//   CreateFont          "font #1 h=-84 w=60 wt=400 cs=255 pf=0x31 face=''"  (other fields only when non-zero)
//   DeleteFont          "delete #1"                       ("delete #7 (unknown)" for a font not alive;
//                                                         DeleteFont(0) does nothing and writes nothing)
//   CreateFont failing  "font failed"                     (after SetFontCreationFails(true))
//   device StartDocument "start doc 'DOS Job'"
//   StartPage/EndPage   "page start" / "page end"
//   EndDocument         "end doc"
//   SetTextColor        "text color 0x000000"
//   SetTransparentBackground "transparent"
//   SelectFont          "select #1"                       ("select #7 (unknown)" for a font not alive)
//   DrawText            "text 'A' at 230,253-290,337"     (left,top-right,bottom; other bytes as \xNN)
//   device destroyed    "release device"
// MeasureText is not written down; its result shows in the rectangle of the DrawText that follows.
//
// Character model: MeasureText sets right = left + (width of the selected font) x (number of bytes) and
// bottom = top + |height of the selected font|; with no font selected both stay at left and top.
//
// Fonts are numbered from 1 in the order they are made. Devices must not outlive their print system.
// All members may be called from any thread.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/print_device.h"

namespace quillmark::testing {

// What a fake printer reports.
struct FakePrinter {
  std::int32_t dpiX = 600;
  std::int32_t dpiY = 600;
  std::int32_t offsetX = 0;
  std::int32_t offsetY = 0;
  bool delivers = true;  // false: Delivered() stays false, as for a document the printer refused
};

class RecordingPrintSystem : public PrintSystem {
 public:
  // Makes a printer of this name exist; OpenDevice fails for every other name.
  void AddPrinter(const std::string& name, FakePrinter printer = {});
  // From now on CreateFont returns 0 (no font can be made), or works again.
  void SetFontCreationFails(bool fails);

  // The calls so far, one line each, every line ending in '\n'.
  std::string Transcript() const;
  void ClearTranscript();
  // Fonts made and not yet deleted.
  std::size_t LiveFonts() const;
  // Devices opened and not yet released.
  int OpenDevices() const;

  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings& settings) override;
  FontHandle CreateFont(const FontRequest& request) override;
  void DeleteFont(FontHandle font) override;

 private:
  class Device;
  friend class Device;

  void Record(std::string line);
  // The selected font's request, if it is alive.
  bool FindFont(FontHandle font, FontRequest& request) const;

  mutable std::mutex mutex_;
  std::map<std::string, FakePrinter> printers_;
  std::map<FontHandle, FontRequest> fonts_;
  FontHandle nextFont_ = 1;
  bool fontCreationFails_ = false;
  int openDevices_ = 0;
  std::vector<std::string> lines_;
};

// Formats text bytes the way the transcript shows them: printable ASCII as is, everything else as \xNN.
std::string ShowBytes(std::string_view text);

}  // namespace quillmark::testing
