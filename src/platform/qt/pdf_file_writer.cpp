#include "platform/qt/pdf_file_writer.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quillmark {

PdfFileWriter::~PdfFileWriter() { Discard(); }

QPagedPaintDevice* PdfFileWriter::Open(const QString& folder, bool makeFolder, const QString& title,
                                       const QPageLayout& layout, int dotsPerInch) {
  Discard();
  if (makeFolder && !QDir().mkpath(folder)) return nullptr;
  // Hidden and without the .pdf ending, so nobody takes it for a finished document.
  file_ = std::make_unique<QTemporaryFile>(QDir(folder).filePath(QStringLiteral(".quillmark-XXXXXX.part")));
  file_->setAutoRemove(false);
  if (!file_->open()) {
    file_.reset();
    return nullptr;
  }
  path_ = file_->fileName();
  // Held while it is written, so that a later start can tell a live document from one a killed run left.
  ::flock(file_->handle(), LOCK_EX | LOCK_NB);
  // Temporary files start private; a finished document is as readable as any file the user saves.
  file_->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
  writer_ = std::make_unique<QPdfWriter>(file_.get());
  writer_->setTitle(title);
  writer_->setCreator(QStringLiteral("Quillmark 1.0"));
  writer_->setResolution(dotsPerInch);
  writer_->setPageLayout(layout);
  return writer_.get();
}

bool PdfFileWriter::Close() {
  if (!file_) return false;
  writer_.reset();
  // On disk before it gets its final name: the spool data it came from is gone once it counts as printed.
  const bool flushed = file_->flush() && ::fsync(file_->handle()) == 0;
  const bool ok = flushed && file_->error() == QFileDevice::NoError;
  file_->close();
  const bool closed = file_->error() == QFileDevice::NoError;
  file_.reset();
  if (ok && closed) return true;
  Discard();
  return false;
}

void PdfFileWriter::RemoveAbandoned(const QString& folder) {
  const QDir dir(folder);
  for (const QString& name : dir.entryList({QStringLiteral(".quillmark-*.part")}, QDir::Files | QDir::Hidden)) {
    const QByteArray path = QFile::encodeName(dir.filePath(name));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(path.constData());
    ::close(fd);
  }
}

void PdfFileWriter::Discard() {
  writer_.reset();
  file_.reset();
  if (!path_.isEmpty()) QFile::remove(path_);
  path_.clear();
}

}  // namespace quillmark
