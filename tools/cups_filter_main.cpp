// quillmark-cups: a CUPS filter that prints raw Epson printer data as PDF with Quillmark's emulation.
// CUPS runs it as `quillmark-cups job-id user title copies options [file]`; the job comes from the file
// or standard input, the PDF goes to standard output, progress and errors to standard error as
// "INFO:"/"WARNING:"/"ERROR:" lines, and the exit status is 0 or 1.

#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "emulation/printer_document.h"
#include "job_io.h"
#include "log/error_log.h"
#include "pdf_file_output.h"
#include "platform/cups/cups_job_options.h"
#include "platform/posix/posix_clock.h"
#include "platform/printing/linux_print_system.h"
#include "spool/job_records.h"

namespace quillmark {
namespace {

constexpr int kDotsPerInch = 600;

void Report(const char* level, const std::string& message) {
  std::cerr << level << ": " << message << std::endl;
}

// The emulation's error-log entries become CUPS error lines.
class CupsLogSink final : public StandardErrorSink {
 public:
  void Show(std::string_view text) override { Report("ERROR", std::string(text)); }
};

// The one place where a job becomes a PDF file.
bool RenderPdf(const JobSettings& settings, JobInput& input, const std::string& path) {
  LinuxPrintSystem pdfPrinters;
  FilePrintSystem printers(pdfPrinters, path, kDotsPerInch);
  CupsLogSink logSink;
  PosixClock clock;
  const ErrorLog log(logSink, clock);
  Printout printout(settings, input.data, static_cast<std::int32_t>(input.size), input.take.get());
  const bool written = PrintDocument(printout, printers, log);
  ReleaseDevice(printout, printers);
  return written;
}

int RunFilter(int argc, char** argv) {
  constexpr const char* kUsage = "Usage: quillmark-cups job-id user title copies options [file]\n";
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::cout << kUsage
              << "\nA CUPS filter: turns the Epson printer data in FILE (or standard input) into one PDF on\n"
                 "standard output. Options: quillmark-emulation, quillmark-codepage, quillmark-border-top,\n"
                 "quillmark-border-left, media or PageSize, landscape. See quillmark-cups(8).\n";
    return 0;
  }
  if (argc == 2 && (std::string_view(argv[1]) == "--version" || std::string_view(argv[1]) == "-V")) {
    std::cout << VersionLine("quillmark-cups");
    return 0;
  }
  if (argc < 6 || argc > 7) {
    std::cerr << "quillmark-cups: CUPS runs it with 5 or 6 arguments; try --help\n";
    return 2;
  }
  // Copies (argv[4]) are left to the printer: CUPS's backends pass them on with the PDF.
  JobInput input = ReadJobInput(argc == 7 ? argv[6] : "-");
  switch (input.problem) {
    case JobInput::Problem::kUnreadable:
      Report("ERROR", "Cannot read the job: " + input.reason);
      return 1;
    case JobInput::Problem::kEmpty:
      Report("ERROR", "The job holds no printer data");
      return 1;
    case JobInput::Problem::kTooLarge:
      Report("ERROR", "The job is too large (2 GiB at most)");
      return 1;
    case JobInput::Problem::kNone:
      break;
  }

  std::vector<std::string> warnings;
  const char* ppd = std::getenv("PPD");
  JobSettings settings = CupsJobSettings(argv[5], ppd != nullptr ? PpdDefaultPageSize(ppd) : "", warnings);
  settings.Printer.Assign("PDF:");
  for (const auto& warning : warnings) Report("WARNING", warning);

  Report("INFO", "Printing " + std::to_string(input.size) + " bytes of printer data");
  const PipeOutcome outcome = WriteToStandardOutput(
      "quillmark-cups", [&](const std::string& path) { return RenderPdf(settings, input, path); });
  if (!outcome.written) {
    Report("ERROR", outcome.why.empty() ? std::string("The PDF could not be written") : outcome.why);
    return 1;
  }
  Report("INFO", "Printed");
  return 0;
}

}  // namespace
}  // namespace quillmark

int main(int argc, char** argv) { return quillmark::RunFilter(argc, argv); }
