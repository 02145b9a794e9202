// quillmark-render: prints one spool file (or standard input) through the printer emulation into a PDF,
// or onto a printer, exactly as the background program would print it.

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "emulation/code_pages.h"
#include "emulation/emulation_names.h"
#include "emulation/printer_document.h"
#include "job_io.h"
#include "log/error_log.h"
#include "pdf_file_output.h"
#include "platform/posix/posix_clock.h"
#include "platform/printing/linux_print_system.h"
#include "settings/paper.h"
#include "settings/settings_loader.h"
#include "settings/settings_reader.h"
#include "spool/job_records.h"

namespace quillmark {
namespace {

constexpr const char* kUsage = R"(Usage: quillmark-render [OPTIONS] [FILE|-]

Prints the printer data in FILE (standard input when FILE is "-" or missing) into one PDF.

Options:
  -o, --output PATH     PDF to write, replaced if it exists; "-" writes it to standard output (default:
                        FILE with the ending .pdf, or stdin.pdf in the working directory for standard input)
  -p, --printer NAME    print on this printer instead: "PDF:<folder>" or a CUPS destination
      --dpi N           resolution of the PDF in dots per inch (default 600)
      --border-left MM  left border in millimetres (default 9.75)
      --border-top MM   top border in millimetres (default 10.7)
      --paper SIZE      paper (also the media asked of a CUPS printer): A3-A6, B4, B5, Letter, Legal,
                        Executive, Tabloid, a PWG name such as na_legal_8.5x14in, Custom.WxH with mm, in
                        or pt, or WxH in millimetres (default A4)
      --emulation NAME  the printer to emulate: basic (default), escp2 (Epson ESC/P 2), escp (Epson
                        9-pin ESC/P), pcl (HP LaserJet, PCL 5e) or auto (pcl for data that starts like a
                        LaserJet job, else escp2)
      --codepage N      the ESC/P 2 printer's character table at power-on: 437 (default), 850, 852,
                        857, 858, 860, 863, 865, 866 or 895
  -h, --help            show this help
  -V, --version         show the version

Exit status: 0 when the document was written or accepted by the printer; 1 when it was not, or the input
was empty, or the printer or output cannot be used; 2 on wrong usage, unreadable input or input of 2 GiB
or more. See quillmark-render(1).
)";

struct Options {
  std::string input = "-";
  std::string output;
  std::string printer;
  std::string media;  // the paper's name, when it was given as one
  int dotsPerInch = 600;
  float borderLeft = kDefaultBorderLeft;
  float borderTop = kDefaultBorderTop;
  bool borderLeftGiven = false;
  bool borderTopGiven = false;
  float paperWidth = kDefaultPaperWidth;
  float paperHeight = kDefaultPaperHeight;
  Emulation emulation = Emulation::kBasic;
  std::int32_t codePage = 437;
  bool help = false;
  bool version = false;
};

std::optional<double> ParseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !(value >= 0) || value > 1e6) return std::nullopt;
  return value;
}

std::optional<std::string> SetPaper(const std::string& text, Options& options) {
  const auto paper = ParsePaper(text);
  if (!paper) return "--paper needs " + std::string(kPaperNames);
  options.paperWidth = paper->width;
  options.paperHeight = paper->height;
  options.media = paper->pwgName;
  return std::nullopt;
}

std::optional<std::string> SetBorder(const std::string& text, float& border, std::string_view name) {
  const auto number = ParseNumber(text);
  if (!number || *number > 1000) return std::string(name) + " needs a length in millimetres";
  border = static_cast<float>(*number);
  return std::nullopt;
}

// Each option with what it does to the options; an error message when its value does not fit.
struct RenderOption {
  OptionDefinition definition;
  std::optional<std::string> (*apply)(const std::string& value, Options& options);
};
constexpr RenderOption kRenderOptions[] = {
    {{"-o", "--output", true},
     [](const std::string& value, Options& options) -> std::optional<std::string> {
       if (value.empty()) return "option --output needs a value";
       options.output = value;
       return std::nullopt;
     }},
    {{"-p", "--printer", true},
     [](const std::string& value, Options& options) -> std::optional<std::string> {
       if (value.empty()) return "option --printer needs a value";
       options.printer = value;
       return std::nullopt;
     }},
    {{"", "--dpi", true},
     [](const std::string& value, Options& options) -> std::optional<std::string> {
       const auto number = ParseNumber(value);
       if (!number || *number < 72 || *number > 4800 || *number != static_cast<int>(*number)) {
         return "--dpi needs a whole number from 72 to 4800";
       }
       options.dotsPerInch = static_cast<int>(*number);
       return std::nullopt;
     }},
    {{"", "--border-left", true},
     [](const std::string& value, Options& options) {
       options.borderLeftGiven = true;
       return SetBorder(value, options.borderLeft, "--border-left");
     }},
    {{"", "--border-top", true},
     [](const std::string& value, Options& options) {
       options.borderTopGiven = true;
       return SetBorder(value, options.borderTop, "--border-top");
     }},
    {{"", "--paper", true}, SetPaper},
    {{"", "--emulation", true},
     [](const std::string& value, Options& options) -> std::optional<std::string> {
       const auto emulation = EmulationNamed(value);
       if (!emulation) return "--emulation needs basic, escp2, escp, pcl or auto";
       options.emulation = *emulation;
       return std::nullopt;
     }},
    {{"", "--codepage", true},
     [](const std::string& value, Options& options) -> std::optional<std::string> {
       const auto number = ParseNumber(value);
       if (!number || *number != static_cast<int>(*number) || !CodePageUpperHalf(static_cast<int>(*number))) {
         return "--codepage needs one of 437, 850, 852, 857, 858, 860, 863, 865, 866, 895";
       }
       options.codePage = static_cast<std::int32_t>(*number);
       return std::nullopt;
     }},
    {{"-h", "--help", false},
     [](const std::string&, Options& options) -> std::optional<std::string> {
       options.help = true;
       return std::nullopt;
     }},
    {{"-V", "--version", false},
     [](const std::string&, Options& options) -> std::optional<std::string> {
       options.version = true;
       return std::nullopt;
     }},
};

// Parses the command line; an error message on failure.
std::optional<std::string> ParseOptions(int argc, char** argv, Options& options) {
  std::vector<OptionDefinition> table;
  for (const auto& option : kRenderOptions) table.push_back(option.definition);
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const ParsedCommandLine parsed = ParseCommandLine(arguments, table);
  if (!parsed.error.empty()) return parsed.error;
  for (const auto& option : parsed.options) {
    for (const auto& known : kRenderOptions) {
      if (option.name != known.definition.longName) continue;
      if (auto error = known.apply(option.value, options)) return error;
    }
  }
  if (options.help || options.version) return std::nullopt;
  if (parsed.operands.size() > 1) return "only one input file can be rendered at a time";
  if (!parsed.operands.empty()) options.input = parsed.operands.front();
  if (!options.output.empty() && !options.printer.empty()) return "--output and --printer exclude each other";
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


// Why the document could not go where it should, found before rendering; nothing when it can.
std::optional<std::string> CheckDestination(const Options& options) {
  if (!options.printer.empty()) {
    if (options.printer.starts_with("PDF:")) return std::nullopt;
    const auto queues = LinuxPrintSystem::CupsQueueNames();
    if (std::find(queues.begin(), queues.end(), options.printer) != queues.end()) return std::nullopt;
    std::string known;
    for (const auto& queue : queues) known += (known.empty() ? "" : ", ") + queue;
    return "no printer '" + options.printer + "'; CUPS queues: " + (known.empty() ? "none" : known);
  }
  // Opening without truncating tells the system's reason and leaves an existing file alone.
  const int fd = ::open(options.output.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd >= 0) {
    ::close(fd);
    ::unlink(options.output.c_str());
  } else if (errno != EEXIST || ::access(options.output.c_str(), W_OK) != 0) {
    return "cannot write " + options.output + ": " + std::strerror(errno);
  } else if (struct stat status{}; ::stat(options.output.c_str(), &status) == 0) {
    // A folder passes the test above and would fail only after the whole render, without a reason.
    if (S_ISDIR(status.st_mode)) return "cannot write " + options.output + ": " + std::strerror(EISDIR);
    // The PDF written over the take it is made from would lose the take, and cut the input as it is read.
    struct stat input{};
    if (options.input != "-" && ::stat(options.input.c_str(), &input) == 0 && input.st_dev == status.st_dev &&
        input.st_ino == status.st_ino) {
      return "cannot write " + options.output + ": it is the input";
    }
  }
  return std::nullopt;
}

int Render(const Options& options, JobInput& input) {
  LinuxPrintSystem linuxPrinters;
  FilePrintSystem filePrinters(linuxPrinters, options.output, options.dotsPerInch);
  PrintSystem& printers = options.printer.empty() ? static_cast<PrintSystem&>(filePrinters) : linuxPrinters;
  // A render has no Error.log of its own: the log's entries reach standard error as plain lines.
  StandardErrorSink logSink;
  PosixClock clock;
  const ErrorLog log(logSink, clock);

  PrintJob job;
  job.Settings.JobNumber = 1;
  job.Settings.Printer.Assign(options.printer.empty() ? "PDF:" : options.printer);
  job.Settings.CharSet = 255;
  job.Settings.PaperWidth = options.paperWidth;
  job.Settings.PaperHeight = options.paperHeight;
  job.Settings.BorderLeft = options.borderLeft;
  job.Settings.BorderTop = options.borderTop;
  job.Settings.BorderLeftGiven = options.borderLeftGiven;
  job.Settings.BorderTopGiven = options.borderTopGiven;
  job.Settings.Media.Assign(options.media);
  job.Settings.Mode = options.emulation;
  job.Settings.CodePage = options.codePage;

  Printout printout(job.Settings, input.data, static_cast<std::int32_t>(input.size), input.take.get());
  const bool delivered = PrintDocument(printout, printers, log);
  ReleaseDevice(printout, printers);
  if (!delivered) {
    std::cerr << "quillmark-render: the document could not be "
              << (options.printer.empty() ? "written to " + options.output : "printed on " + options.printer)
              << "\n";
    return 1;
  }
  if (const int id = linuxPrinters.LastCupsJob(); id > 0) {
    std::cout << "request id is " << options.printer << "-" << id << " (1 file(s))\n";
  }
  return 0;
}

// A PDF for standard output is made in a private temporary file first: the writer needs a real file.
int RenderToStandardOutput(Options options, JobInput& input) {
  int status = 1;
  const PipeOutcome outcome = WriteToStandardOutput("quillmark-render", [&](const std::string& path) {
    options.output = path;
    status = Render(options, input);
    return status == 0;
  });
  if (!outcome.why.empty()) std::cerr << "quillmark-render: " << outcome.why << "\n";
  return outcome.written ? 0 : 1;
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
    std::cerr << "quillmark-render: " << *error << "; try --help\n";
    return 2;
  }
  if (options.help || options.version) {
    std::cout << (options.help ? quillmark::kUsage : quillmark::VersionLine("quillmark-render"));
    return 0;
  }
  const std::string inputName = options.input == "-" ? "standard input" : options.input;
  quillmark::JobInput input = quillmark::ReadJobInput(options.input);
  using Problem = quillmark::JobInput::Problem;
  switch (input.problem) {
    case Problem::kUnreadable:
      std::cerr << "quillmark-render: cannot read " << inputName << ": " << input.reason << "\n";
      return 2;
    case Problem::kEmpty:
      std::cerr << "quillmark-render: " << inputName << " is empty; nothing printed\n";
      return 1;
    case Problem::kTooLarge:
      std::cerr << "quillmark-render: " << inputName << " is too large (2 GiB at most)\n";
      return 2;
    case Problem::kNone:
      break;
  }
  const bool toStandardOutput = options.output == "-";
  if (const auto problem = toStandardOutput ? std::nullopt : quillmark::CheckDestination(options)) {
    std::cerr << "quillmark-render: " << *problem << "\n";
    return 1;
  }
  // A print spooler or a closed standard stream must never end the process by signal.
  std::signal(SIGPIPE, SIG_IGN);
  return toStandardOutput ? quillmark::RenderToStandardOutput(options, input)
                          : quillmark::Render(options, input);
}
