// quillmark-render: prints one spool file (or standard input) through the printer emulation into a PDF,
// or onto a printer, exactly as the background program would print it.

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "emulation/printer_document.h"
#include "log/error_log.h"
#include "platform/posix/posix_clock.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_print_system.h"
#include "settings/settings_loader.h"
#include "spool/job_records.h"

namespace quillmark {
namespace {

constexpr const char* kUsage = R"(Usage: quillmark-render [OPTIONS] [FILE|-]

Prints the printer data in FILE (standard input when FILE is "-" or missing) into one PDF.

Options:
  -o, --output PATH     PDF to write, replaced if it exists (default: FILE with the ending .pdf,
                        or stdin.pdf in the working directory for standard input)
  -p, --printer NAME    print on this printer instead: "PDF:<folder>" or a CUPS destination
      --dpi N           resolution of the PDF in dots per inch (default 600)
      --border-left MM  left border in millimetres (default 9.75)
      --border-top MM   top border in millimetres (default 10.7)
      --paper WxH       paper size in millimetres (default 210x297)
  -h, --help            show this help

Exit status: 0 when the document was written or accepted by the printer, 1 when it was not, 2 on
wrong usage or unreadable input.
)";

struct Options {
  std::string input = "-";
  std::string output;
  std::string printer;
  int dotsPerInch = 600;
  float borderLeft = kDefaultBorderLeft;
  float borderTop = kDefaultBorderTop;
  float paperWidth = kDefaultPaperWidth;
  float paperHeight = kDefaultPaperHeight;
  bool help = false;
};

std::optional<double> ParseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !(value >= 0) || value > 1e6) return std::nullopt;
  return value;
}

// Parses the command line; an error message on failure.
std::optional<std::string> ParseOptions(int argc, char** argv, Options& options) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string(argv[++i]);
    };
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "-o" || arg == "--output" || arg == "-p" || arg == "--printer") {
      const auto text = value();
      if (!text || text->empty()) return "option " + arg + " needs a value";
      (arg == "-o" || arg == "--output" ? options.output : options.printer) = *text;
    } else if (arg == "--dpi") {
      const auto text = value();
      const auto number = text ? ParseNumber(*text) : std::nullopt;
      if (!number || *number < 72 || *number > 4800 || *number != static_cast<int>(*number)) {
        return "--dpi needs a whole number from 72 to 4800";
      }
      options.dotsPerInch = static_cast<int>(*number);
    } else if (arg == "--border-left" || arg == "--border-top") {
      const auto text = value();
      const auto number = text ? ParseNumber(*text) : std::nullopt;
      if (!number || *number > 1000) return arg + " needs a length in millimetres";
      (arg == "--border-left" ? options.borderLeft : options.borderTop) = static_cast<float>(*number);
    } else if (arg == "--paper") {
      const auto text = value();
      const auto x = text ? text->find('x') : std::string::npos;
      const auto width = x != std::string::npos ? ParseNumber(text->substr(0, x)) : std::nullopt;
      const auto height = x != std::string::npos ? ParseNumber(text->substr(x + 1)) : std::nullopt;
      if (!width || !height || *width <= 0 || *height <= 0 || *width > 5000 || *height > 5000) {
        return "--paper needs WIDTHxHEIGHT in millimetres, for example 210x297";
      }
      options.paperWidth = static_cast<float>(*width);
      options.paperHeight = static_cast<float>(*height);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return "unknown option " + arg;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() > 1) return "only one input file can be rendered at a time";
  if (!positional.empty()) options.input = positional.front();
  if (!options.output.empty() && !options.printer.empty()) return "--output and --printer exclude each other";
  if (options.output == "-") return "the PDF cannot go to standard output; name a file with --output";
  if (options.output.empty() && options.printer.empty()) {
    if (options.input == "-") {
      options.output = "stdin.pdf";
    } else {
      const auto slash = options.input.rfind('/');
      const auto dot = options.input.rfind('.');
      const bool hasEnding = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
      options.output = (hasEnding ? options.input.substr(0, dot) : options.input) + ".pdf";
      if (options.output == options.input) options.output = options.input + ".pdf";
    }
  }
  return std::nullopt;
}

// Reads the whole input into one buffer; errno tells why not. A regular file is read straight into a
// buffer of its size, so a large job is held in memory once.
bool ReadInput(const std::string& path, SpoolData& data, std::size_t& size) {
  std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::size_t capacity = 1 << 16;
  struct stat status {};
  if (::fstat(::fileno(file), &status) == 0 && S_ISREG(status.st_mode)) {
    // One byte more than the file, so that its end is seen without growing the buffer.
    capacity = static_cast<std::size_t>(status.st_size) + 1;
  }
  data = SpoolData(new std::uint8_t[capacity]);
  size = 0;
  for (;;) {
    if (size == capacity) {
      SpoolData larger(new std::uint8_t[capacity * 2]);
      std::memcpy(larger.get(), data.get(), size);
      data = std::move(larger);
      capacity *= 2;
    }
    const std::size_t got = std::fread(data.get() + size, 1, capacity - size, file);
    size += got;
    if (got == 0) break;
  }
  const bool failed = std::ferror(file) != 0;
  if (file != stdin) std::fclose(file);
  return !failed;
}

// Error-log entries of the emulation go to standard error: a render has no Error.log of its own.
class StandardErrorLogFiles final : public FileSystem {
 public:
  bool ReadWholeFile(const std::string&, std::string& contents) override {
    contents.clear();
    return false;
  }
  bool AppendLocked(const std::string&, std::string_view, std::string_view text) override {
    std::cerr << "quillmark-render: " << text;
    return true;
  }
  std::string SaveNewFile(const std::string&, const std::uint8_t*, std::size_t) override { return {}; }
};

// Every device this opens writes its document to one exact file.
class FilePrintSystem final : public PrintSystem {
 public:
  FilePrintSystem(QtPrintSystem& printers, std::string path, int dotsPerInch)
      : printers_(printers), path_(std::move(path)), dotsPerInch_(dotsPerInch) {}
  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings& settings) override {
    return printers_.OpenPdfFile(path_, settings, dotsPerInch_);
  }
  FontHandle CreateFont(const FontRequest& request) override { return printers_.CreateFont(request); }
  void DeleteFont(FontHandle font) override { printers_.DeleteFont(font); }

 private:
  QtPrintSystem& printers_;
  std::string path_;
  int dotsPerInch_;
};

int Render(const Options& options, SpoolData data, std::size_t size) {
  QtPrintSystem qtPrinters;
  FilePrintSystem filePrinters(qtPrinters, options.output, options.dotsPerInch);
  PrintSystem& printers = options.printer.empty() ? static_cast<PrintSystem&>(filePrinters) : qtPrinters;
  StandardErrorLogFiles logFiles;
  PosixClock clock;
  const ErrorLog log(logFiles, clock);

  PrintJob job;
  job.Settings.JobNumber = 1;
  job.Settings.Printer.Assign(options.printer.empty() ? "PDF:" : options.printer);
  job.Settings.CharSet = 255;
  job.Settings.PositionMode = 1;
  job.Settings.PaperWidth = options.paperWidth;
  job.Settings.PaperHeight = options.paperHeight;
  job.Settings.BorderLeft = options.borderLeft;
  job.Settings.BorderTop = options.borderTop;
  job.DataLength = static_cast<std::int32_t>(size);
  job.Data = std::move(data);

  const bool delivered = PrintDocument(job, printers, log);
  ReleaseDevice(job, printers);
  if (!delivered) {
    std::cerr << "quillmark-render: the document could not be "
              << (options.printer.empty() ? "written to " + options.output : "printed on " + options.printer)
              << "\n";
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace quillmark

int main(int argc, char** argv) {
  // The PDF writer builds every page in a fresh buffer of a few hundred kilobytes; keeping freed memory
  // in the heap instead of returning it to the system saves a page fault per 4 KiB on every page.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  quillmark::Options options;
  if (const auto error = quillmark::ParseOptions(argc, argv, options)) {
    std::cerr << "quillmark-render: " << *error << "\nTry 'quillmark-render --help'.\n";
    return 2;
  }
  if (options.help) {
    std::cout << quillmark::kUsage;
    return 0;
  }
  quillmark::SpoolData data;
  std::size_t size = 0;
  if (!quillmark::ReadInput(options.input, data, size)) {
    std::cerr << "quillmark-render: cannot read " << (options.input == "-" ? "standard input" : options.input)
              << ": " << std::strerror(errno) << "\n";
    return 2;
  }
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    std::cerr << "quillmark-render: " << options.input << " is too large (2 GiB at most)\n";
    return 2;
  }
  // A render never shows a window, so it needs no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const auto application = quillmark::CreateQtApplication(argc, argv);
  return quillmark::Render(options, std::move(data), size);
}
