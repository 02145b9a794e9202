// quillmark-render.exe: prints one spool file through the printer emulation onto a Windows printer,
// exactly as the background program would print it; by default into a PDF through "Microsoft Print to PDF".

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "emulation/emulation_names.h"
#include "emulation/printer_document.h"
#include "log/error_log.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_handle.h"
#include "platform/win32/win32_print_system.h"
#include "platform/win32/win32_take_file.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"
#include "settings/paper.h"
#include "settings/settings_loader.h"
#include "spool/job_records.h"

namespace quillmark {
namespace {

constexpr const char* kUsage = R"(Usage: quillmark-render [OPTIONS] [FILE]

Prints the printer data in FILE (standard input when FILE is "-" or missing) as one document, the way
quillmark.exe prints a spool file, without Settings.ini.

Options:
  -o, --output PATH     file the printer driver writes (default: FILE with the ending .pdf, or stdin.pdf
                        for standard input, when printing through "Microsoft Print to PDF"; none for any
                        other printer)
  -p, --printer NAME    Windows printer to print on, by its name in Settings > Printers (default:
                        "Microsoft Print to PDF")
      --emulation NAME  the printer to emulate: basic (default), escp2 (Epson ESC/P 2), escp (Epson
                        9-pin ESC/P), pcl (HP LaserJet, PCL 5e) or auto (pcl for data that starts like a
                        LaserJet job, else escp2)
      --border-left MM  left border in millimetres (default 9.75)
      --border-top MM   top border in millimetres (default 10.7)
  -h, --help            show this help
  -V, --version         show the version

Exit status: 0 when the printer took the document; 1 when it did not or the printer does not exist (the
printers Windows has are listed); 2 on wrong usage, unreadable input or input of 2 GiB or more.
See README.txt next to quillmark.exe.
)";

struct Options {
  std::string input = "-";
  std::wstring output;
  std::wstring printer = Win32PrintSystem::kPdfPrinter;
  float borderLeft = kDefaultBorderLeft;
  float borderTop = kDefaultBorderTop;
  bool borderLeftGiven = false;  // the Epson printers place their form themselves without these
  bool borderTopGiven = false;
  Emulation emulation = Emulation::kBasic;
  bool help = false;
  bool version = false;
};

bool ParseLength(const std::string& text, float& value) {
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !(number >= 0) || number > 1000) return false;
  value = static_cast<float>(number);
  return true;
}

// An error message, or an empty string.
std::string ParseOptions(int argc, char** argv, Options& options) {
  static constexpr OptionDefinition kTable[] = {{"-o", "--output", true},   {"-p", "--printer", true},
                                                {"", "--emulation", true},  {"", "--border-left", true},
                                                {"", "--border-top", true}, {"-h", "--help", false},
                                                {"-V", "--version", false}};
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const ParsedCommandLine parsed = ParseCommandLine(arguments, kTable);
  if (!parsed.error.empty()) return parsed.error;
  for (const auto& option : parsed.options) {
    if (option.name == "--help") {
      options.help = true;
    } else if (option.name == "--version") {
      options.version = true;
    } else if (option.name == "--output") {
      options.output = WideFromSettings(option.value);
    } else if (option.name == "--printer") {
      options.printer = WideFromSettings(option.value);
    } else if (option.name == "--emulation") {
      const auto emulation = EmulationNamed(option.value);
      if (!emulation) return "--emulation needs basic, escp2, escp, pcl or auto";
      options.emulation = *emulation;
    } else {
      const bool left = option.name == "--border-left";
      if (!ParseLength(option.value, left ? options.borderLeft : options.borderTop)) {
        return std::string(option.name) + " needs a length in millimetres";
      }
      (left ? options.borderLeftGiven : options.borderTopGiven) = true;
    }
  }
  if (options.help || options.version) return "";
  if (parsed.operands.size() > 1) return "only one input file can be printed at a time";
  if (!parsed.operands.empty()) options.input = parsed.operands.front();
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

// Why the printer cannot be used, with the printers Windows has; empty when it exists.
std::string CheckPrinter(const std::wstring& printer) {
  const auto names = Win32PrintSystem::PrinterNames();
  std::string known;
  for (const auto& name : names) {
    if (::lstrcmpiW(name.c_str(), printer.c_str()) == 0) return "";
    known += (known.empty() ? "" : ", ") + Utf8FromWide(name);
  }
  return "no printer '" + Utf8FromWide(printer) + "'; Windows has: " + (known.empty() ? "none" : known);
}

// Error-log entries of the emulation go to standard error: a render has no Error.log of its own.
class RenderLogSink final : public StandardErrorSink {
 public:
  void Show(std::string_view text) override { std::cerr << "quillmark-render: " << text << '\n'; }
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

// FILE, shared with every other opener.
HANDLE OpenInput(const std::string& path, std::string& why) {
  const HANDLE file = ::CreateFileW(WideFromSettings(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) why = SystemReason(::GetLastError());
  return file;
}

// Standard input copied a block at a time into a temporary file, which the system removes when it is
// closed, however the program ends; its handle, or INVALID_HANDLE_VALUE.
HANDLE SpoolStandardInput(std::string& why) {
  wchar_t folder[MAX_PATH + 1] = {};
  wchar_t name[MAX_PATH + 1] = {};
  if (::GetTempPathW(MAX_PATH + 1, folder) == 0 || ::GetTempFileNameW(folder, L"qmi", 0, name) == 0) {
    why = "cannot make a temporary file: " + SystemReason(::GetLastError());
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE file =
      ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    why = "cannot make a temporary file: " + SystemReason(::GetLastError());
    ::DeleteFileW(name);
    return file;
  }
  std::vector<char> block(1 << 20);
  unsigned long long total = 0;
  for (;;) {
    const std::size_t got = std::fread(block.data(), 1, block.size(), stdin);
    total += got;
    if (total > kLargestJob + 1) break;  // one byte past the limit says it is too large
    if (got > 0 && !WriteFully(file, block.data(), got)) {
      why = "cannot write a temporary file: " + SystemReason(::GetLastError());
      ::CloseHandle(file);
      return INVALID_HANDLE_VALUE;
    }
    if (got < block.size()) break;
  }
  if (std::ferror(stdin) != 0) {
    ::CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

int Render(const Options& options, const std::uint8_t* data, std::int32_t length, TakeFile* take) {
  Win32PrintSystem printers;
  OnePrinter printer(printers, options);
  RenderLogSink logSink;
  Win32Clock clock;
  const ErrorLog log(logSink, clock);

  PrintJob job;
  job.Settings.JobNumber = 1;
  job.Settings.Printer.Assign(Utf8FromWide(options.printer));
  job.Settings.CharSet = 255;
  job.Settings.PaperWidth = kA4Width;
  job.Settings.PaperHeight = kA4Height;
  job.Settings.BorderLeft = options.borderLeft;
  job.Settings.BorderTop = options.borderTop;
  job.Settings.BorderLeftGiven = options.borderLeftGiven;
  job.Settings.BorderTopGiven = options.borderTopGiven;
  job.Settings.Mode = options.emulation;

  Printout printout(job.Settings, data, length, take);
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
    std::cerr << "quillmark-render: " << error << "; try --help\n";
    return 2;
  }
  if (options.help || options.version) {
    std::cout << (options.help ? quillmark::kUsage : quillmark::VersionLine("quillmark-render"));
    return 0;
  }
  // Printer data is binary: standard input must not turn CR LF into LF or stop at Ctrl-Z.
  const bool standardInput = options.input == "-";
  if (standardInput) _setmode(_fileno(stdin), _O_BINARY);
  const std::string inputName = standardInput ? "standard input" : options.input;
  std::string why;
  const HANDLE handle =
      standardInput ? quillmark::SpoolStandardInput(why) : quillmark::OpenInput(options.input, why);
  if (handle == INVALID_HANDLE_VALUE) {
    std::cerr << "quillmark-render: cannot " << (why.empty() ? "read " : "open ") << inputName
              << (why.empty() ? "" : ": " + why) << "\n";
    return 2;
  }
  const std::unique_ptr<quillmark::TakeFile> take = quillmark::MakeWin32TakeFile(handle);
  const std::int64_t size = take->Size();
  if (size == 0) {
    std::cerr << "quillmark-render: " << inputName << " is empty; nothing printed\n";
    return 1;
  }
  if (size < 0 || static_cast<std::uint64_t>(size) > quillmark::kLargestJob) {
    std::cerr << "quillmark-render: " << inputName
              << (size < 0 ? " cannot be read" : " is too large (2 GiB at most)") << "\n";
    return 2;
  }
  const std::uint8_t* data = take->Map(size);
  if (data == nullptr) {
    std::cerr << "quillmark-render: cannot read " << inputName << "\n";
    return 2;
  }
  if (const std::string problem = quillmark::CheckPrinter(options.printer); !problem.empty()) {
    std::cerr << "quillmark-render: " << problem << "\n";
    return 1;
  }
  return quillmark::Render(options, data, static_cast<std::int32_t>(size), take.get());
}
