#include "platform/qt/pdf_document_output.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace quillmark {
namespace {

// The title as a file name: letters and digits kept, everything else a dash.
QString FileStem(const QString& title) {
  QString stem;
  for (const QChar c : title) stem.append(c.isLetterOrNumber() && c.unicode() < 128 ? c : QChar('-'));
  return stem.isEmpty() ? QStringLiteral("Document") : stem;
}

}  // namespace

PdfDocumentOutput::PdfDocumentOutput(QString folder, QString exactPath)
    : folder_(std::move(folder)), exactPath_(std::move(exactPath)) {}

std::unique_ptr<PdfDocumentOutput> PdfDocumentOutput::InFolder(const QString& folder) {
  return std::unique_ptr<PdfDocumentOutput>(new PdfDocumentOutput(folder.isEmpty() ? QStringLiteral(".") : folder, {}));
}

std::unique_ptr<PdfDocumentOutput> PdfDocumentOutput::ToFile(const QString& path) {
  const QString folder = QFileInfo(path).path();
  return std::unique_ptr<PdfDocumentOutput>(new PdfDocumentOutput(folder, path));
}

QPagedPaintDevice* PdfDocumentOutput::Begin(const QString& title, const QPageLayout& layout, int dotsPerInch) {
  title_ = title;
  // An exact path names a file, not a place to create: its folder must exist.
  return writer_.Open(folder_, exactPath_.isEmpty(), title, layout, dotsPerInch);
}

bool PdfDocumentOutput::Finish(bool complete) {
  if (!complete) {
    writer_.Discard();
    return false;
  }
  if (!writer_.Close()) return false;
  if (!exactPath_.isEmpty()) {
    std::error_code error;
    std::filesystem::rename(writer_.TemporaryPath().toStdString(), exactPath_.toStdString(), error);
    if (error) {
      writer_.Discard();
      return false;
    }
    writer_.Release();
    return true;
  }
  return MoveToNewName();
}

bool PdfDocumentOutput::MoveToNewName() {
  const QDir folder(folder_);
  const QString prefix =
      FileStem(title_) + '-' + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) + '-';
  // Continue after the highest counter of this second, so a later file never sorts before an earlier one.
  int counter = 1;
  for (const QString& name : folder.entryList({prefix + "*.pdf"}, QDir::Files | QDir::Hidden)) {
    bool number = false;
    const int used = name.mid(prefix.size()).chopped(4).toInt(&number);
    if (number && used >= counter) counter = used + 1;
  }
  for (int attempt = 0; attempt < 1000; ++attempt, ++counter) {
    const QString target = folder.filePath(prefix + QString::number(counter).rightJustified(3, '0') + ".pdf");
    // QFile::rename never replaces an existing file; another writer may have just taken this name.
    if (QFile::rename(writer_.TemporaryPath(), target)) {
      writer_.Release();
      return true;
    }
    if (!QFile::exists(target)) break;
  }
  writer_.Discard();
  return false;
}

}  // namespace quillmark
