#pragma once
// The built-in PDF printer's output: each document becomes one PDF file, written under a temporary name
// and given its final name only when complete.

#include <QString>

#include "platform/qt/pdf_file_writer.h"
#include "platform/qt/qt_print_device.h"

namespace quillmark {

class PdfDocumentOutput final : public DocumentOutput {
 public:
  // Every document gets a new file in `folder` (created when missing), named after its title and the
  // local time of completion with a counter for the same second ("DOS-Job-20261206-213000-001.pdf"),
  // so that names sort by time. An existing file is never overwritten.
  static std::unique_ptr<PdfDocumentOutput> InFolder(const QString& folder);
  // The document is written to exactly `path`, replacing a file of that name; its folder must exist.
  static std::unique_ptr<PdfDocumentOutput> ToFile(const QString& path);

  QPagedPaintDevice* Begin(const QString& title, const QPageLayout& layout, int dotsPerInch) override;
  bool Finish(bool complete) override;

 private:
  PdfDocumentOutput(QString folder, QString exactPath);
  bool MoveToNewName();

  QString folder_;
  QString exactPath_;  // empty: a new name in folder_
  QString title_;
  PdfFileWriter writer_;
};

}  // namespace quillmark
