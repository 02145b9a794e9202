#include "support/pdf_reader.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "support/program_runner.h"

namespace quillmark::testing {
namespace {

std::string Run(const std::vector<std::string>& argv) {
  const ProgramResult result = RunProgram(argv, "/tmp", std::chrono::seconds(60));
  return result.exitCode == 0 ? result.out : std::string();
}

// Every PDF a test reads must also pass qpdf's structure check.
void ExpectSoundPdf(const std::string& path) {
  if (!FileExists("/usr/bin/qpdf")) return;
  const ProgramResult result =
      RunProgram({"/usr/bin/qpdf", "--check", path}, "/tmp", std::chrono::seconds(60));
  if (result.exitCode != 0) ADD_FAILURE() << "qpdf --check " << path << ":\n" << result.out << result.err;
}

}  // namespace

bool PopplerInstalled() { return FileExists("/usr/bin/pdftotext") && FileExists("/usr/bin/pdfinfo"); }

std::vector<PdfWord> ReadPdfWords(const std::string& path, int dotsPerInch) {
  static const std::regex kWord(R"re(<page |<word xMin="([^"]+)" yMin="([^"]+)" xMax="([^"]+)")re"
                                R"re( yMax="([^"]+)">(.*)</word>)re");
  ExpectSoundPdf(path);
  const double scale = dotsPerInch / 72.0;
  const std::string html = Run({"/usr/bin/pdftotext", "-bbox", path, "-"});
  std::vector<PdfWord> words;
  int page = 0;
  for (std::sregex_iterator m(html.begin(), html.end(), kWord), end; m != end; ++m) {
    if (!(*m)[1].matched) {
      ++page;
      continue;
    }
    words.push_back(
        {page, std::stod((*m)[1]) * scale, std::stod((*m)[2]) * scale, std::stod((*m)[3]) * scale, (*m)[5],
         std::stod((*m)[4]) * scale});
  }
  return words;
}

std::string ReadPdfText(const std::string& path) {
  ExpectSoundPdf(path);
  return Run({"/usr/bin/pdftotext", "-layout", path, "-"});
}

std::map<std::string, std::string> ReadPdfInfo(const std::string& path) {
  ExpectSoundPdf(path);
  static const std::regex kEntry(R"(([^:\n]+): *(.*))");
  const std::string text = Run({"/usr/bin/pdfinfo", path});
  std::map<std::string, std::string> info;
  for (std::sregex_iterator m(text.begin(), text.end(), kEntry), end; m != end; ++m) info[(*m)[1]] = (*m)[2];
  return info;
}

std::vector<std::string> ReadPdfFonts(const std::string& path) {
  std::istringstream lines(Run({"/usr/bin/pdffonts", path}));
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);) rows.push_back(line);
  rows.erase(rows.begin(), rows.begin() + std::min<std::ptrdiff_t>(2, std::ssize(rows)));
  return rows;
}

}  // namespace quillmark::testing
