#pragma once
// A print system whose every device writes one PDF file: how both command-line tools turn a job into a PDF.

#include <memory>
#include <string>

#include "platform/printing/linux_print_system.h"

namespace quillmark {

// Every device this opens writes its document to one exact file; fonts come from `printers`.
class FilePrintSystem final : public PrintSystem {
 public:
  FilePrintSystem(LinuxPrintSystem& printers, std::string path, int dotsPerInch)
      : printers_(printers), path_(std::move(path)), dotsPerInch_(dotsPerInch) {}
  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings& settings) override {
    return printers_.OpenPdfFile(path_, settings, dotsPerInch_);
  }
  FontHandle CreateFont(const FontRequest& request) override { return printers_.CreateFont(request); }
  void DeleteFont(FontHandle font) override { printers_.DeleteFont(font); }

 private:
  LinuxPrintSystem& printers_;
  std::string path_;
  int dotsPerInch_;
};

}  // namespace quillmark
