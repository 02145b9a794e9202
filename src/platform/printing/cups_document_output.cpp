#include "platform/printing/cups_document_output.h"

#include <cups/cups.h>

#include <cstdlib>

namespace quillmark {

CupsDocumentOutput::CupsDocumentOutput(std::string destination, std::string media,
                                       std::function<void(int)> submitted)
    : destination_(std::move(destination)), media_(std::move(media)), submitted_(std::move(submitted)) {}

pdf::ByteSink* CupsDocumentOutput::Begin(std::string_view title) {
  title_ = title;
  const char* folder = std::getenv("TMPDIR");
  return file_.Open(folder != nullptr && *folder != '\0' ? folder : "/tmp", false) ? &file_ : nullptr;
}

bool CupsDocumentOutput::Finish(bool complete) {
  if (!complete || !file_.Close()) {
    file_.Discard();
    return false;
  }
  // The page was laid out for this printer's own media and margins: no scaling by the filters.
  cups_option_t* options = nullptr;
  int count = 0;
  count = cupsAddOption("print-scaling", "none", count, &options);
  count = cupsAddOption("fit-to-page", "false", count, &options);
  if (!media_.empty()) count = cupsAddOption("media", media_.c_str(), count, &options);
  const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, destination_.c_str(), file_.Path().c_str(),
                                 title_.c_str(), count, options);
  cupsFreeOptions(count, options);
  file_.Discard();
  if (job > 0 && submitted_) submitted_(job);
  return job > 0;
}

}  // namespace quillmark
