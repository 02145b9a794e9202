#pragma once
// A CUPS printer's output: the document is rendered to a temporary PDF and submitted as one job, so that
// a refused submission is seen (Qt's own CUPS engine drops that result) and the page is printed 1:1.

#include <QString>

#include <string>

#include "platform/qt/pdf_file_writer.h"
#include "platform/qt/qt_print_device.h"

namespace quillmark {

class CupsDocumentOutput final : public DocumentOutput {
 public:
  explicit CupsDocumentOutput(std::string destination);

  QPagedPaintDevice* Begin(const QString& title, const QPageLayout& layout, int dotsPerInch) override;
  // True when CUPS accepted the job.
  bool Finish(bool complete) override;

 private:
  std::string destination_;
  std::string title_;
  PdfFileWriter writer_;
};

}  // namespace quillmark
