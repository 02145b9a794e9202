// quillmark-cups: a CUPS filter that prints raw Epson printer data as PDF with Quillmark's emulation.
// CUPS runs it as `quillmark-cups job-id user title copies options [file]`; the job comes from the file
// or standard input, the PDF goes to standard output, progress and errors to standard error as
// "INFO:"/"WARNING:"/"ERROR:" lines, and the exit status is 0 or 1.

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "emulation/printer_document.h"
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

// The temporary PDF, removed also when CUPS cancels the job with SIGTERM.
char temporaryPath[4096];

void RemoveTemporaryAndExit(int) {
  if (temporaryPath[0] != '\0') ::unlink(temporaryPath);
  ::_exit(1);
}

bool ReadJob(const char* path, std::string& bytes) {
  std::FILE* file = path != nullptr ? std::fopen(path, "rb") : stdin;
  if (file == nullptr) return false;
  char buffer[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  if (file != stdin) std::fclose(file);
  return !failed;
}

// The emulation's error-log entries become CUPS error lines.
class CupsLogFiles final : public FileSystem {
 public:
  FileStatus ReadWholeFile(const std::string&, std::string& contents) override {
    contents.clear();
    return FileStatus::NotSupported();
  }
  bool AppendLocked(const std::string&, std::string_view, std::string_view text) override {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    Report("ERROR", std::string(text));
    return true;
  }
  FileStatus SaveNewFile(const std::string&, const std::uint8_t*, std::size_t) override {
    return FileStatus::NotSupported();
  }
};

// The one place where a job becomes a PDF file.
bool RenderPdf(PrintJob& job, const std::string& path) {
  LinuxPrintSystem pdfPrinters;
  FilePrintSystem printers(pdfPrinters, path, kDotsPerInch);
  CupsLogFiles logFiles;
  PosixClock clock;
  const ErrorLog log(logFiles, clock);
  const bool written = PrintDocument(job, printers, log);
  ReleaseDevice(job, printers);
  return written;
}

int RunFilter(int argc, char** argv) {
  if (argc < 6 || argc > 7) {
    std::cerr << "Usage: quillmark-cups job-id user title copies options [file]\n";
    return 1;
  }
  // Copies (argv[4]) are left to the printer: CUPS's backends pass them on with the PDF.
  const char* input = argc == 7 ? argv[6] : nullptr;
  std::string bytes;
  if (!ReadJob(input, bytes)) {
    Report("ERROR", std::string("Cannot read the job: ") + std::strerror(errno));
    return 1;
  }
  if (bytes.empty()) {
    Report("ERROR", "The job holds no printer data");
    return 1;
  }
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    Report("ERROR", "The job is too large (2 GiB at most)");
    return 1;
  }

  std::vector<std::string> warnings;
  const char* ppd = std::getenv("PPD");
  PrintJob job;
  job.Settings = CupsJobSettings(argv[5], ppd != nullptr ? PpdDefaultPageSize(ppd) : "", warnings);
  job.Settings.Printer.Assign("PDF:");
  for (const auto& warning : warnings) Report("WARNING", warning);
  job.DataLength = static_cast<std::int32_t>(bytes.size());
  job.Data = SpoolData(new std::uint8_t[bytes.size()]);
  std::memcpy(job.Data.get(), bytes.data(), bytes.size());
  bytes = std::string();

  const char* folder = std::getenv("TMPDIR");
  const std::string pattern =
      std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/quillmark-cups-XXXXXX";
  if (pattern.size() >= sizeof temporaryPath) {
    Report("ERROR", "The temporary folder's name is too long");
    return 1;
  }
  std::memcpy(temporaryPath, pattern.c_str(), pattern.size() + 1);
  const int descriptor = ::mkstemp(temporaryPath);
  if (descriptor < 0) {
    Report("ERROR", std::string("Cannot create a temporary file: ") + std::strerror(errno));
    return 1;
  }
  ::close(descriptor);
  const std::string path = temporaryPath;

  Report("INFO", "Printing " + std::to_string(job.DataLength) + " bytes of printer data");
  const bool printed = RenderPdf(job, path) && CopyToStandardOutput(path);
  ::unlink(temporaryPath);
  if (!printed) {
    Report("ERROR", "The PDF could not be written");
    return 1;
  }
  Report("INFO", "Printed");
  return 0;
}

}  // namespace
}  // namespace quillmark

int main(int argc, char** argv) {
  signal(SIGTERM, quillmark::RemoveTemporaryAndExit);
  return quillmark::RunFilter(argc, argv);
}
