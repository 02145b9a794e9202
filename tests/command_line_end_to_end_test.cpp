// The real programs' command lines, headless, in a temporary working directory.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/pdf_reader.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;

TEST(StartupEndToEnd, CommandLinesOfBothPrograms) {
  testing::TempDir dir;
  const std::string sample = std::string(QUILLMARK_SOURCE_DIR) + "/demo/sample.prn";
  std::filesystem::create_directory(dir.File("nomain"));
  testing::WriteFileBytes(dir.File("nomain/Settings.ini"), "[Job_1]\r\nPath = SPOOL.PRN\r\n");
  testing::WriteFileBytes(dir.File("big.prn"), "");
  std::filesystem::resize_file(dir.File("big.prn"), std::uintmax_t{2} << 30);  // sparse: nothing is read
  testing::WriteFileBytes(dir.File("take.prn"), "Hello\r\n");
  const struct {
    std::vector<std::string> command;
    int exitCode;
    std::string out;  // the start of standard output
    std::string err;  // a part of standard error
  } cases[] = {
      {{"quillmark", "--version"}, 0, "quillmark 1.0\n", ""},
      {{"quillmark", "-h"}, 0, "Usage: quillmark [-C DIR]", ""},
      {{"quillmark", "--bogus"}, 2, "", "quillmark: unknown option --bogus; try --help\n"},
      {{"quillmark", "extra"}, 2, "", "unexpected argument extra"},
      {{"quillmark", "-C", "/nonexistent"}, 1, "", "cannot change to /nonexistent: No such file"},
      {{"quillmark", "-C", dir.path()},
       1,
       "",
       "Keine Settings.ini gefunden!\nGesucht im Ordner '" + dir.path() + "'.\n"},
      {{"quillmark", "-C", dir.File("nomain")}, 1, "", "Keinen Main Eintrag in der Settings.ini gefunden!"},
      {{"quillmark-render", "-V"}, 0, "quillmark-render 1.0\n", ""},
      {{"quillmark-render", "--help"}, 0, "Usage: quillmark-render", ""},
      {{"quillmark-render", "--paper=Legal", "-o", "-", sample}, 0, "%PDF-", ""},
      {{"quillmark-render", "--paper", "iso_a3_297x420mm", "-o", "-", sample}, 0, "%PDF-", ""},
      {{"quillmark-render", "--x"}, 2, "", "quillmark-render: unknown option --x; try --help\n"},
      {{"quillmark-render", "-o", "-", "/nonexistent.prn"}, 2, "", "cannot read /nonexistent.prn: No such file"},
      {{"quillmark-render", "-o", "-", "/dev/null"}, 1, "", "/dev/null is empty; nothing printed"},
      {{"quillmark-render", "-o", "/tmp", sample}, 1, "", "cannot write /tmp: Is a directory"},
      {{"quillmark-render", "-o", dir.File("./take.prn"), dir.File("take.prn")}, 1, "", "take.prn: it is the input"},
      {{"quillmark-render", "-o", "-", dir.File("big.prn")}, 2, "", "big.prn is too large"},
      {{"quillmark-cups", "--version"}, 0, "quillmark-cups 1.0\n", ""},
      {{"quillmark-cups", "--help"}, 0, "Usage: quillmark-cups job-id", ""},
      {{"quillmark-cups", "1", "user"},
       2,
       "",
       "quillmark-cups: CUPS runs it with 5 or 6 arguments; try --help\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> command = c.command;
    SCOPED_TRACE(command.back());
    command[0] = testing::BuiltProgram(command[0]);
    const auto result = testing::RunProgram(command, "/tmp", 60s);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    EXPECT_EQ(result.out.substr(0, c.out.size()), c.out);
    EXPECT_TRUE(!c.out.empty() || result.out.empty()) << result.out;
    EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    // Wrong usage says what was wrong in a line or two, not the whole help.
    if (c.exitCode == 2) {
      EXPECT_LE(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
    }
    if (c.out == "%PDF-") {  // a whole PDF of Legal or A3 pages
      testing::WriteFileBytes(dir.File("out.pdf"), result.out);
      EXPECT_EQ(testing::ReadPdfInfo(dir.File("out.pdf"))["Page size"].substr(0, 10),
                command[2].starts_with("iso_a3") ? "842 x 1191" : "612 x 1008");
    }
  }
  EXPECT_TRUE(testing::FileExists(dir.File("Error.log"))) << "-C works in the folder it names";
  EXPECT_EQ(testing::ReadFileBytes(dir.File("take.prn")), "Hello\r\n") << "a take is never written over";
}

// The manual pages cannot fall behind: every option of --help, every Settings.ini key of README's table and
// README's dosemu2 lines are in them.
TEST(StartupEndToEnd, ManualPagesNameEveryOptionAndKey) {
  const auto page = [](const std::string& name) {
    std::string text = testing::ReadFileBytes(std::string(QUILLMARK_SOURCE_DIR) + "/data/man/" + name);
    for (auto at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) text.erase(at, 1);
    return text;
  };
  const std::string readme = testing::ReadFileBytes(std::string(QUILLMARK_SOURCE_DIR) + "/README.md");
  // The CUPS filter's options are job options, "quillmark-emulation" and the like.
  const std::regex option(R"(--[a-z][a-z-]+|quillmark-[a-z]+(-[a-z]+)?)");
  for (const std::string program : {"quillmark.1", "quillmark-render.1", "quillmark-cups.8"}) {
    const std::string help =
        testing::RunProgram({testing::BuiltProgram(program.substr(0, program.size() - 2)), "--help"}, "/tmp",
                            60s)
            .out;
    const std::string man = page(program);
    std::size_t options = 0;
    for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it, ++options) {
      EXPECT_NE(man.find(it->str()), std::string::npos) << program << " lacks " << it->str();
    }
    EXPECT_GE(options, 3u) << help;
    std::istringstream lines(man);
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("$_")) {
        EXPECT_NE(readme.find(line), std::string::npos) << "README lacks " << line;
      }
    }
  }
  // The first cell of each row of README's Settings table names one or two keys.
  std::istringstream table(readme.substr(readme.find("| Key in `[Job_n]`")));
  std::string man = page("quillmark.1");
  man = man.substr(man.find(".SH SETTINGS.INI"));
  man = man.substr(0, man.find(".SH", 4));
  std::size_t keys = 0;
  for (std::string row; std::getline(table, row) && row.starts_with("|");) {
    const std::string cell = row.substr(1, row.find('|', 1) - 1);
    const std::regex quoted("`([A-Za-z.]+)`");
    for (std::sregex_iterator it(cell.begin(), cell.end(), quoted), end; it != end; ++it, ++keys) {
      const std::string name = std::regex_replace((*it)[1].str(), std::regex(R"(\.)"), R"(\.)");
      // ".B Path", ".BR Paper.Width ", " Paper.Height"
      EXPECT_TRUE(std::regex_search(man, std::regex("\\n\\.BR? (.*\" )?" + name + "\\b")))
          << "quillmark.1 lacks " << name;
    }
  }
  EXPECT_EQ(keys, 10u);
}

}  // namespace
}  // namespace quillmark
