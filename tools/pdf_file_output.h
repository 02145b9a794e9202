#pragma once
// What both command-line tools need to turn a job into one PDF file and hand it on: a print system whose
// every device writes that file, and the copy of a finished file to standard output.

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

// Copies a finished file to standard output; false when it could not be read or written whole.
bool CopyToStandardOutput(const std::string& path);

}  // namespace quillmark
