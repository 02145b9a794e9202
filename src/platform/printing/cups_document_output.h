#pragma once
// A CUPS printer's output: the document is written to a temporary PDF and submitted as one job, so that
// a refused submission is seen and the page is printed 1:1.

#include <functional>
#include <string>

#include "platform/pdf/pdf_file_output.h"

namespace quillmark {

class CupsDocumentOutput final : public pdf::DocumentOutput {
 public:
  // `media` ("A4", "iso_a4_210x297mm"), when not empty, goes with the job; `submitted` hears the job id
  // of each accepted job.
  CupsDocumentOutput(std::string destination, std::string media, std::function<void(int)> submitted = {});

  pdf::ByteSink* Begin(std::string_view title) override;
  // True when CUPS accepted the job.
  bool Finish(bool complete) override;

 private:
  std::string destination_;
  std::string media_;
  std::function<void(int)> submitted_;
  std::string title_;
  pdf::TemporaryPdf file_;
};

}  // namespace quillmark
