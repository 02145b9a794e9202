#pragma once
// Command lines of the programs: a small table-driven parser in the usual GNU style, and the options of
// the background program itself.

#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

// One option of a program's table. `takesValue` options read the next argument, or the text after "=" in
// "--name=value"; a one-letter option also accepts its value joined ("-Cdir").
struct OptionDefinition {
  std::string_view shortName;  // "-C", or empty
  std::string_view longName;   // "--version", or empty
  bool takesValue = false;
};

struct ParsedOption {
  std::string_view name;  // the option's long name, or its short name when it has none
  std::string value;
};

struct ParsedCommandLine {
  std::vector<ParsedOption> options;
  std::vector<std::string> operands;  // "-" counts as an operand; everything after "--" too
  std::string error;                  // empty when the command line fits the table
};

ParsedCommandLine ParseCommandLine(std::span<const std::string_view> arguments,
                                   std::span<const OptionDefinition> table);

// The background program's own options. Returns the exit status when the program must end here (help,
// version: 0; wrong usage: 2; a folder of -C that cannot be entered: 1); otherwise nothing, after changing
// into that folder.
std::optional<int> HandleProgramCommandLine(std::span<const std::string_view> arguments, std::ostream& out,
                                            std::ostream& err);

// "quillmark 1.0": the version line both programs print.
std::string VersionLine(std::string_view program);

}  // namespace quillmark
