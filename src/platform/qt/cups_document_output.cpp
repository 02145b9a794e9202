#include "platform/qt/cups_document_output.h"

#include <QDir>
#include <QFile>

#include <cups/cups.h>

namespace quillmark {

CupsDocumentOutput::CupsDocumentOutput(std::string destination, std::string media,
                                       std::function<void(int)> submitted)
    : destination_(std::move(destination)), media_(std::move(media)), submitted_(std::move(submitted)) {}

QPagedPaintDevice* CupsDocumentOutput::Begin(const QString& title, const QPageLayout& layout, int dotsPerInch) {
  title_ = title.toStdString();
  return writer_.Open(QDir::tempPath(), false, title, layout, dotsPerInch);
}

bool CupsDocumentOutput::Finish(bool complete) {
  if (!complete || !writer_.Close()) {
    writer_.Discard();
    return false;
  }
  // The page was laid out for this printer's own media and margins: no scaling by the filters.
  cups_option_t* options = nullptr;
  int count = 0;
  count = cupsAddOption("print-scaling", "none", count, &options);
  count = cupsAddOption("fit-to-page", "false", count, &options);
  if (!media_.empty()) count = cupsAddOption("media", media_.c_str(), count, &options);
  const QByteArray file = QFile::encodeName(writer_.TemporaryPath());
  const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, destination_.c_str(), file.constData(), title_.c_str(), count,
                                 options);
  cupsFreeOptions(count, options);
  writer_.Discard();
  if (job > 0 && submitted_) submitted_(job);
  return job > 0;
}

}  // namespace quillmark
