#pragma once
// A CUPS printer's output: the document is rendered to a temporary PDF and submitted as one job, so that
// a refused submission is seen (Qt's own CUPS engine drops that result) and the page is printed 1:1.

#include <QString>
#include <functional>
#include <string>

#include "platform/qt/pdf_file_writer.h"
#include "platform/qt/qt_print_device.h"

namespace quillmark {

class CupsDocumentOutput final : public DocumentOutput {
 public:
  // `media` ("A4", "iso_a4_210x297mm"), when not empty, goes with the job; `submitted` hears the job id
  // of each accepted job.
  CupsDocumentOutput(std::string destination, std::string media, std::function<void(int)> submitted = {});

  QPagedPaintDevice* Begin(const QString& title, const QPageLayout& layout, int dotsPerInch) override;
  // True when CUPS accepted the job.
  bool Finish(bool complete) override;

 private:
  std::string destination_;
  std::string media_;
  std::function<void(int)> submitted_;
  std::string title_;
  PdfFileWriter writer_;
};

}  // namespace quillmark
