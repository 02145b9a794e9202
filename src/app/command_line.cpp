#include "app/command_line.h"

#include <filesystem>
#include <system_error>

#ifndef QUILLMARK_VERSION
#define QUILLMARK_VERSION "1.0"
#endif

namespace quillmark {
namespace {

const OptionDefinition* FindOption(std::span<const OptionDefinition> table, std::string_view name) {
  for (const auto& definition : table) {
    if (name == definition.shortName || name == definition.longName) return &definition;
  }
  return nullptr;
}

constexpr std::string_view kProgramUsage = R"(Usage: quillmark [-C DIR]

Watches the spool file named in Settings.ini and prints every take; runs until "Beenden" in the tray
menu, SIGTERM, SIGINT or SIGHUP. See quillmark(1).

Options:
  -C, --directory DIR  work in DIR (Settings.ini, the spool file, Error.log and PDFs are found there)
  -h, --help           show this help
  -V, --version        show the version
)";

}  // namespace

ParsedCommandLine ParseCommandLine(std::span<const std::string_view> arguments,
                                   std::span<const OptionDefinition> table) {
  ParsedCommandLine parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view arg = arguments[i];
    if (optionsEnded || arg == "-" || !arg.starts_with('-')) {
      parsed.operands.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string_view name = arg;
    std::optional<std::string_view> joined;
    if (arg.starts_with("--")) {
      if (const auto equals = arg.find('='); equals != std::string_view::npos) {
        name = arg.substr(0, equals);
        joined = arg.substr(equals + 1);
      }
    } else if (arg.size() > 2) {
      name = arg.substr(0, 2);
      joined = arg.substr(2);
    }
    const OptionDefinition* definition = FindOption(table, name);
    if (definition == nullptr || (joined && !definition->takesValue)) {
      parsed.error = "unknown option " + std::string(arg);
      return parsed;
    }
    ParsedOption option{definition->longName.empty() ? definition->shortName : definition->longName, {}};
    if (definition->takesValue) {
      if (joined) {
        option.value = *joined;
      } else if (i + 1 < arguments.size()) {
        option.value = arguments[++i];
      } else {
        parsed.error = "option " + std::string(arg) + " needs a value";
        return parsed;
      }
    }
    parsed.options.push_back(std::move(option));
  }
  return parsed;
}

std::string VersionLine(std::string_view program) {
  return std::string(program) + " " + QUILLMARK_VERSION + "\n";
}

std::optional<int> HandleProgramCommandLine(std::span<const std::string_view> arguments, std::ostream& out,
                                            std::ostream& err) {
  static constexpr OptionDefinition kTable[] = {
      {"-C", "--directory", true}, {"-h", "--help", false}, {"-V", "--version", false}};
  const ParsedCommandLine parsed = ParseCommandLine(arguments, kTable);
  std::string error = parsed.error;
  if (error.empty() && !parsed.operands.empty()) error = "unexpected argument " + parsed.operands.front();
  if (!error.empty()) {
    err << "quillmark: " << error << "; try --help\n";
    return 2;
  }
  for (const auto& option : parsed.options) {
    if (option.name == "--help") {
      out << kProgramUsage;
      return 0;
    }
    if (option.name == "--version") {
      out << VersionLine("quillmark");
      return 0;
    }
  }
  for (const auto& option : parsed.options) {
    std::error_code failure;
    std::filesystem::current_path(option.value, failure);
    if (failure) {
      err << "quillmark: cannot change to " << option.value << ": " << failure.message() << "\n";
      return 1;
    }
  }
  return std::nullopt;
}

}  // namespace quillmark
