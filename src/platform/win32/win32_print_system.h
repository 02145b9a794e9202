#pragma once
// The print system over GDI. Everything is called on the print worker's thread (or a tool's main thread).
//
// Printer names:
//   "PDF:<folder>"  the "Microsoft Print to PDF" printer, its output file set through DOCINFO.lpszOutput
//                   so that no dialog asks for a name: each document is written under a temporary name in
//                   <folder> (relative to the working directory, created when missing) and then moved to
//                   "DOS-Job-YYYYMMDD-HHMMSS-NNN.pdf", never replacing a file.
//   anything else   the Windows printer of exactly that name (CreateDC "WINSPOOL"), at its own resolution
//                   and physical offsets; Delivered() is true once the spooler has taken the document.

#include <memory>
#include <string>
#include <vector>

#include "platform/print_device.h"
#include "platform/win32/win32_font_table.h"
#include "platform/win32/windows_api.h"

namespace quillmark {

class Win32PrintSystem final : public PrintSystem {
 public:
  static constexpr const wchar_t* kPdfPrinter = L"Microsoft Print to PDF";

  Win32PrintSystem() : fonts_(std::make_shared<Win32FontTable>()) {}

  // nullptr when the printer cannot be opened.
  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings& settings) override;

  // Removes the temporary files a killed run left in a PDF folder ("qmXXXX.tmp"); one that another running
  // instance's driver still writes is open and cannot be deleted, so it stays.
  void RemoveLeftovers(const JobSettings& settings) override;

  // Whether Windows has the printer settings.Printer names ("Microsoft Print to PDF" for a PDF folder).
  bool PrinterExists(const JobSettings& settings) override;

  // The names of the printers Windows has, local and connected, as Settings > Printers shows them.
  static std::vector<std::wstring> PrinterNames();

  // A device context of `printer` on paper of `widthMm` x `heightMm` where its driver offers that size (a
  // standard form within a millimetre, else a custom size), else on its default paper; nullptr when the
  // printer cannot be opened.
  static HDC OpenOnPaper(const std::wstring& printer, float widthMm, float heightMm);

  // The printer `printer`, whose documents its driver writes to exactly `outputFile` (replacing it); on
  // the job's paper for the PDF printer, on the printer's default paper for any other.
  std::unique_ptr<PrintDevice> OpenToFile(const std::wstring& printer, const std::wstring& outputFile,
                                          const JobSettings& settings);

  FontHandle CreateFont(const FontRequest& request) override { return fonts_->Create(request); }
  void DeleteFont(FontHandle font) override { fonts_->Delete(font); }

 private:
  std::shared_ptr<Win32FontTable> fonts_;
};

}  // namespace quillmark
