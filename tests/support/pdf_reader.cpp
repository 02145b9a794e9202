#include "support/pdf_reader.h"

#include <chrono>
#include <regex>
#include <sstream>

#include "support/program_runner.h"

namespace quillmark::testing {
namespace {

std::string Run(const std::vector<std::string>& argv) {
  const ProgramResult result = RunProgram(argv, "/tmp", std::chrono::seconds(60));
  return result.exitCode == 0 ? result.out : std::string();
}

std::string DecodeEntities(std::string text) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, plain] : kEntities) {
    for (std::size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1)) {
      text.replace(at, std::char_traits<char>::length(entity), plain);
    }
  }
  return text;
}

}  // namespace

bool PopplerInstalled() { return FileExists("/usr/bin/pdftotext") && FileExists("/usr/bin/pdfinfo"); }

std::vector<PdfWord> ReadPdfWords(const std::string& path) {
  const std::string html = Run({"/usr/bin/pdftotext", "-bbox", path, "-"});
  static const std::regex kWord(
      R"re(<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="([-0-9.]+)" yMax="([-0-9.]+)">([^<]*)</word>)re");
  std::vector<PdfWord> words;
  int page = 0;
  std::istringstream lines(html);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("<page ") != std::string::npos) ++page;
    std::smatch match;
    if (!std::regex_search(line, match, kWord)) continue;
    words.push_back({page, std::stod(match[1]), std::stod(match[2]), std::stod(match[3]), std::stod(match[4]),
                     DecodeEntities(match[5])});
  }
  return words;
}

std::string ReadPdfText(const std::string& path) { return Run({"/usr/bin/pdftotext", "-layout", path, "-"}); }

std::map<std::string, std::string> ReadPdfInfo(const std::string& path) {
  std::map<std::string, std::string> info;
  std::istringstream lines(Run({"/usr/bin/pdfinfo", path}));
  for (std::string line; std::getline(lines, line);) {
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const auto value = line.find_first_not_of(' ', colon + 1);
    info[line.substr(0, colon)] = value == std::string::npos ? "" : line.substr(value);
  }
  return info;
}

std::vector<std::string> ReadPdfFonts(const std::string& path) {
  std::vector<std::string> rows;
  std::istringstream lines(Run({"/usr/bin/pdffonts", path}));
  int lineNumber = 0;
  for (std::string line; std::getline(lines, line);) {
    if (++lineNumber > 2 && !line.empty()) rows.push_back(line);
  }
  return rows;
}

}  // namespace quillmark::testing
