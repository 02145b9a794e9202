#pragma once
// One PDF document written under a temporary name, so that a half-written file never carries a final
// name. The owner moves the finished file where it belongs; anything not moved is removed.

#include <QPageLayout>
#include <QPdfWriter>
#include <QString>
#include <QTemporaryFile>

#include <memory>

namespace quillmark {

class PdfFileWriter {
 public:
  PdfFileWriter() = default;
  ~PdfFileWriter();  // removes a temporary file that was not taken over
  PdfFileWriter(const PdfFileWriter&) = delete;
  PdfFileWriter& operator=(const PdfFileWriter&) = delete;

  // Creates a new temporary file in `folder` (made when missing if `makeFolder`) and a PDF writer on it;
  // nullptr when the folder or the file cannot be made.
  QPagedPaintDevice* Open(const QString& folder, bool makeFolder, const QString& title, const QPageLayout& layout,
                          int dotsPerInch);

  // After the painter has ended: closes the file. False when anything could not be written, and the
  // temporary file is then already removed.
  bool Close();

  const QString& TemporaryPath() const { return path_; }
  // The file now has another name or was removed by its new owner; no longer removed here.
  void Release() { path_.clear(); }
  void Discard();

  // Removes the temporary files in `folder` that no living writer holds: those of a run that was killed.
  static void RemoveAbandoned(const QString& folder);

 private:
  std::unique_ptr<QTemporaryFile> file_;
  std::unique_ptr<QPdfWriter> writer_;
  QString path_;
};

}  // namespace quillmark
