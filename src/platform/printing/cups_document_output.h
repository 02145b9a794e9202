#pragma once
// A CUPS printer's output: the document is written to a temporary PDF and submitted as one job, so that
// a refused submission is seen and the page is printed 1:1.

#include <string>

#include "platform/pdf/pdf_file_output.h"

namespace quillmark {

class CupsDocumentOutput final : public pdf::DocumentOutput {
 public:
  explicit CupsDocumentOutput(std::string destination);

  pdf::ByteSink* Begin(std::string_view title) override;
  // True when CUPS accepted the job.
  bool Finish(bool complete) override;

 private:
  std::string destination_;
  std::string title_;
  pdf::TemporaryPdf file_;
};

}  // namespace quillmark
