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
#include "emulation/printer_document.h"
#include "log/error_log.h"
#include "pdf_file_output.h"
#include "platform/posix/posix_clock.h"
#include "platform/printing/linux_print_system.h"
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
      --paper SIZE      paper: A4, A5, Letter, Legal (also the media asked of a CUPS printer) or
                        WIDTHxHEIGHT in millimetres (default A4, 210x297)
      --emulation NAME  the printer to emulate: basic (default), escp2 (Epson ESC/P 2)
                        or escp (Epson 9-pin ESC/P)
      --codepage N      the ESC/P 2 printer's character table at power-on: 437 (default), 850, 852,
                        857, 858, 860, 863, 865, 866 or 895
  -h, --help            show this help
  -V, --version         show the version

Exit status: 0 when the document was written or accepted by the printer, 1 when it was not or the input
was empty, 2 on wrong usage or unreadable input. See quillmark-render(1).
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

struct NamedPaper {
  std::string_view name;
  float width;
  float height;
};
constexpr NamedPaper kPapers[] = {
    {"A4", 210.0f, 297.0f}, {"A5", 148.0f, 210.0f}, {"Letter", 215.9f, 279.4f}, {"Legal", 215.9f, 355.6f}};

std::optional<std::string> SetPaper(const std::string& text, Options& options) {
  for (const auto& paper : kPapers) {
    if (EqualsIgnoringCase(text, paper.name)) {
      options.paperWidth = paper.width;
      options.paperHeight = paper.height;
      options.media = paper.name;
      return std::nullopt;
    }
  }
  const auto x = text.find('x');
  const auto width = x != std::string::npos ? ParseNumber(text.substr(0, x)) : std::nullopt;
  const auto height = x != std::string::npos ? ParseNumber(text.substr(x + 1)) : std::nullopt;
  if (!width || !height || *width <= 0 || *height <= 0 || *width > 5000 || *height > 5000) {
    return "--paper needs A4, A5, Letter, Legal or WIDTHxHEIGHT in millimetres, for example 210x297";
  }
  options.paperWidth = static_cast<float>(*width);
  options.paperHeight = static_cast<float>(*height);
  options.media.clear();
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
       if (value != "basic" && value != "escp2" && value != "escp") return "--emulation needs basic, escp2 or escp";
       options.emulation = value == "escp2" ? Emulation::kEscP2 : value == "escp" ? Emulation::kEscP : Emulation::kBasic;
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
    // A terminal's Ctrl-D ends the input at once, not only on a second one.
    if (got == 0 || std::feof(file) != 0 || std::ferror(file) != 0) break;
  }
  const bool failed = std::ferror(file) != 0;
  if (file != stdin) std::fclose(file);
  return !failed;
}

// A render has no Error.log of its own: the log's entries reach standard error as plain lines already.
class StandardErrorLogFiles final : public FileSystem {
 public:
  bool ReadWholeFile(const std::string&, std::string& contents) override {
    contents.clear();
    return false;
  }
  bool AppendLocked(const std::string&, std::string_view, std::string_view) override { return true; }
  std::string SaveNewFile(const std::string&, const std::uint8_t*, std::size_t) override { return {}; }
};

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
  }
  return std::nullopt;
}

int Render(const Options& options, SpoolData data, std::size_t size) {
  LinuxPrintSystem linuxPrinters;
  FilePrintSystem filePrinters(linuxPrinters, options.output, options.dotsPerInch);
  PrintSystem& printers = options.printer.empty() ? static_cast<PrintSystem&>(filePrinters) : linuxPrinters;
  StandardErrorLogFiles logFiles;
  PosixClock clock;
  const ErrorLog log(logFiles, clock);

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
  job.DataLength = static_cast<std::int32_t>(size);
  job.Data = std::move(data);

  Printout printout(job);
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
int RenderToStandardOutput(Options options, SpoolData data, std::size_t size) {
  char path[] = "/tmp/quillmark-render-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) {
    std::cerr << "quillmark-render: cannot make a temporary file: " << std::strerror(errno) << "\n";
    return 1;
  }
  ::close(fd);
  options.output = path;
  int status = Render(options, std::move(data), size);
  if (status == 0 && !CopyToStandardOutput(path)) {
    std::cerr << "quillmark-render: cannot write standard output: " << std::strerror(errno) << "\n";
    status = 1;
  }
  ::unlink(path);
  return status;
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
    std::cerr << "quillmark-render: " << *error << "\n" << quillmark::kUsage;
    return 2;
  }
  if (options.help || options.version) {
    std::cout << (options.help ? quillmark::kUsage : quillmark::VersionLine("quillmark-render"));
    return 0;
  }
  quillmark::SpoolData data;
  std::size_t size = 0;
  const std::string inputName = options.input == "-" ? "standard input" : options.input;
  if (!quillmark::ReadInput(options.input, data, size)) {
    std::cerr << "quillmark-render: cannot read " << inputName << ": " << std::strerror(errno) << "\n";
    return 2;
  }
  if (size == 0) {
    std::cerr << "quillmark-render: " << inputName << " is empty; nothing printed\n";
    return 1;
  }
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    std::cerr << "quillmark-render: " << inputName << " is too large (2 GiB at most)\n";
    return 2;
  }
  const bool toStandardOutput = options.output == "-";
  if (const auto problem = toStandardOutput ? std::nullopt : quillmark::CheckDestination(options)) {
    std::cerr << "quillmark-render: " << *problem << "\n";
    return 1;
  }
  // A print spooler or a closed standard stream must never end the process by signal.
  std::signal(SIGPIPE, SIG_IGN);
  return toStandardOutput ? quillmark::RenderToStandardOutput(options, std::move(data), size)
                          : quillmark::Render(options, std::move(data), size);
}
