#pragma once
// The print system: the built-in PDF printer and CUPS printers, every document written as a PDF of our
// own with fonts found by fontconfig. No Qt: devices and fonts are used on the print worker's thread.
//
// Printer names:
//   "PDF:<folder>"  the built-in PDF printer: 600 dots per inch, no unprintable margin, paper of
//                   PaperWidth x PaperHeight mm (A4 when either is not positive); each document becomes a
//                   new PDF file in <folder> (relative to the working directory, created when missing).
//   anything else   the CUPS destination of exactly that name, at its default resolution (600 when it
//                   reports none), on its default media (from its PPD when CUPS reports none, A4
//                   without either), with its hardware margins as physical offsets. The document is rendered
//                   1:1 and submitted as one CUPS job named after its title. Delivered() is true once CUPS
//                   has accepted the job. A JobSettings Media name ("A4", "iso_a4_210x297mm",
//                   "na_letter_8.5x11in") is sent with the job and sets the page size and margins instead of
//                   the default media.

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/pdf/font_table.h"
#include "platform/pdf/pdf_print_device.h"
#include "platform/print_device.h"

namespace quillmark {

class LinuxPrintSystem final : public PrintSystem {
 public:
  LinuxPrintSystem();
  ~LinuxPrintSystem() override;
  LinuxPrintSystem(const LinuxPrintSystem&) = delete;
  LinuxPrintSystem& operator=(const LinuxPrintSystem&) = delete;

  // nullptr when the name is neither a PDF printer nor a CUPS destination.
  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings& settings) override;
  // For a PDF printer: the hidden partial files a killed run left in its folder.
  void RemoveLeftovers(const JobSettings& settings) override;
  // A PDF printer's folder is made here when missing.
  bool PrinterExists(const JobSettings& settings) override;

  // A PDF printer whose one document is written to exactly `path` (replacing a file there), at
  // `dotsPerInch` on paper of settings.PaperWidth x PaperHeight mm; settings.Printer is not used.
  std::unique_ptr<PrintDevice> OpenPdfFile(const std::string& path, const JobSettings& settings,
                                           int dotsPerInch = 600);

  FontHandle CreateFont(const FontRequest& request) override;
  void DeleteFont(FontHandle font) override;

  // The id of the CUPS job accepted last, 0 before the first.
  int LastCupsJob() const { return lastCupsJob_.load(); }
  // The CUPS destinations that exist, without instances.
  static std::vector<std::string> CupsQueueNames();

  // Fonts made and not yet deleted.
  std::size_t LiveFonts() const { return fonts_->LiveHandles(); }

 private:
  // What a CUPS destination reported, kept for a while because each look-up takes a noticeable time.
  struct CupsPrinter {
    pdf::DeviceGeometry geometry;
    std::chrono::steady_clock::time_point lookedUp;
  };

  std::optional<pdf::DeviceGeometry> LookUpCupsPrinter(const std::string& name, const std::string& media);

  std::shared_ptr<pdf::FontTable> fonts_;
  std::mutex printersMutex_;
  std::map<std::string, CupsPrinter> printers_;  // by name and media
  std::atomic<int> lastCupsJob_{0};
};

}  // namespace quillmark
