// quillmark-render.exe: prints one spool file through the printer emulation onto a Windows printer,
// exactly as the background program would print it; by default into a PDF through "Microsoft Print to PDF".

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "emulation/printer_document.h"
#include "log/error_log.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_print_system.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"
#include "spool/job_records.h"

namespace quillmark {
namespace {

constexpr const char* kUsage = R"(Usage: quillmark-render [OPTIONS] [FILE]

Prints the printer data in FILE (standard input when FILE is "-" or missing) as one document.

Options:
  -o, --output PATH     file the printer driver writes (default: FILE with the ending .pdf, or stdin.pdf
                        for standard input, when printing through "Microsoft Print to PDF"; none for any
                        other printer)
  -p, --printer NAME    Windows printer to print on (default: "Microsoft Print to PDF")
      --emulation NAME  the printer to emulate: basic (default), escp2 (Epson ESC/P 2)
                        or escp (Epson 9-pin ESC/P)
      --border-left MM  left border in millimetres (default 9.75)
      --border-top MM   top border in millimetres (default 10.7)
  -h, --help            show this help

Exit status: 0 when the printer took the document, 1 when it did not, 2 on wrong usage or unreadable input.
)";

struct Options {
  std::string input = "-";
  std::wstring output;
  std::wstring printer = Win32PrintSystem::kPdfPrinter;
  float borderLeft = 9.75f;
  float borderTop = 10.7f;
  Emulation emulation = Emulation::kBasic;
  bool help = false;
};

bool ParseLength(const char* text, float& value) {
  char* end = nullptr;
  const double number = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(number >= 0) || number > 1000) return false;
  value = static_cast<float>(number);
  return true;
}

// An error message, or an empty string.
std::string ParseOptions(int argc, char** argv, Options& options) {
  bool inputGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if ((arg == "-o" || arg == "--output") && hasValue) {
      options.output = WideFromSettings(argv[++i]);
    } else if ((arg == "-p" || arg == "--printer") && hasValue) {
      options.printer = WideFromSettings(argv[++i]);
    } else if (arg == "--emulation" && hasValue) {
      const std::string name = argv[++i];
      if (name != "basic" && name != "escp2" && name != "escp") return "--emulation needs basic, escp2 or escp";
      options.emulation = name == "escp2" ? Emulation::kEscP2 : name == "escp" ? Emulation::kEscP : Emulation::kBasic;
    } else if (arg == "--border-left" || arg == "--border-top") {
      if (!hasValue ||
          !ParseLength(argv[++i], arg == "--border-left" ? options.borderLeft : options.borderTop)) {
        return arg + " needs a length in millimetres";
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return "unknown option or missing value: " + arg;
    } else if (!inputGiven) {
      options.input = arg;
      inputGiven = true;
    } else {
      return "only one input file can be printed at a time";
    }
  }
  if (options.help) return "";
  if (options.output.empty() && options.printer == Win32PrintSystem::kPdfPrinter) {
    if (options.input == "-") {
      options.output = L"stdin.pdf";
      return "";
    }
    const std::string::size_type dot = options.input.find_last_of(".\\/");
    const bool hasEnding = dot != std::string::npos && options.input[dot] == '.';
    options.output = WideFromSettings((hasEnding ? options.input.substr(0, dot) : options.input) + ".pdf");
  }
  return "";
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

// Every device this opens is the one printer, writing to the one output file (if any).
class OnePrinter final : public PrintSystem {
 public:
  OnePrinter(Win32PrintSystem& printers, const Options& options) : printers_(printers), options_(options) {}
  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings& settings) override {
    return printers_.OpenToFile(options_.printer, options_.output, settings);
  }
  FontHandle CreateFont(const FontRequest& request) override { return printers_.CreateFont(request); }
  void DeleteFont(FontHandle font) override { printers_.DeleteFont(font); }

 private:
  Win32PrintSystem& printers_;
  const Options& options_;
};

int Render(const Options& options, std::vector<char>& bytes) {
  Win32PrintSystem printers;
  OnePrinter printer(printers, options);
  StandardErrorLogFiles logFiles;
  Win32Clock clock;
  const ErrorLog log(logFiles, clock);

  PrintJob job;
  job.Settings.JobNumber = 1;
  job.Settings.Printer.Assign(Utf8FromWide(options.printer));
  job.Settings.CharSet = 255;
  job.Settings.PaperWidth = 210.0f;
  job.Settings.PaperHeight = 297.0f;
  job.Settings.BorderLeft = options.borderLeft;
  job.Settings.BorderTop = options.borderTop;
  job.Settings.Mode = options.emulation;
  job.DataLength = static_cast<std::int32_t>(bytes.size());
  job.Data = SpoolData(new std::uint8_t[bytes.size() + 1]);
  std::copy(bytes.begin(), bytes.end(), job.Data.get());

  Printout printout(job);
  const bool delivered = PrintDocument(printout, printer, log);
  ReleaseDevice(printout, printer);
  if (!delivered) {
    std::cerr << "quillmark-render: the document could not be printed on " << Utf8FromWide(options.printer)
              << "\n";
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace quillmark

int main(int argc, char** argv) {
  quillmark::Options options;
  if (const std::string error = quillmark::ParseOptions(argc, argv, options); !error.empty()) {
    std::cerr << "quillmark-render: " << error << "\nTry 'quillmark-render --help'.\n";
    return 2;
  }
  if (options.help) {
    std::cout << quillmark::kUsage;
    return 0;
  }
  // Printer data is binary: standard input must not turn CR LF into LF or stop at Ctrl-Z.
  const bool standardInput = options.input == "-";
  if (standardInput) _setmode(_fileno(stdin), _O_BINARY);
  std::ifstream file;
  if (!standardInput) file.open(options.input, std::ios::binary);
  std::istream& input = standardInput ? std::cin : file;
  std::vector<char> bytes((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
  if (!standardInput && !file.is_open()) {
    std::cerr << "quillmark-render: cannot open " << options.input << "\n";
    return 2;
  }
  if (input.bad()) {
    std::cerr << "quillmark-render: cannot read " << options.input << "\n";
    return 2;
  }
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    std::cerr << "quillmark-render: " << options.input << " is too large (2 GiB at most)\n";
    return 2;
  }
  return quillmark::Render(options, bytes);
}
