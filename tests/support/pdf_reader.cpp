#include "support/pdf_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "support/program_runner.h"

namespace quillmark::testing {
namespace {

std::string Run(const std::vector<std::string>& argv) {
  const ProgramResult result = RunProgram(argv, "/tmp", std::chrono::seconds(60));
  return result.exitCode == 0 ? result.out : std::string();
}

std::string Utf8(char32_t c) {
  const int tail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  std::string out(1, static_cast<char>(tail == 0 ? c : ((0xFF00u >> (tail + 1)) & 0xFF) | (c >> (6 * tail))));
  for (int k = tail - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
  return out;
}

// The characters of a text, without white space and in byte order: two readers that lay a page out
// differently still find the same characters.
std::string Characters(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) > ' ') out += c;
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Every PDF a test reads must also pass qpdf's structure check, and Ghostscript, a stricter reader that
// stops at the first error, must read the same characters from it as poppler.
void ExpectSoundPdf(const std::string& path) {
  if (FileExists("/usr/bin/qpdf")) {
    const ProgramResult result = RunProgram({"/usr/bin/qpdf", "--check", path}, "/tmp", std::chrono::seconds(60));
    if (result.exitCode != 0) ADD_FAILURE() << "qpdf --check " << path << ":\n" << result.out << result.err;
  }
  if (!FileExists("/usr/bin/gs") || !FileExists("/usr/bin/pdftotext")) return;
  // The first 50 pages: a job of thousands of pages would take Ghostscript minutes.
  const ProgramResult gs = RunProgram({"/usr/bin/gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-dPDFSTOPONERROR",
                                       "-dFirstPage=1", "-dLastPage=50", "-sDEVICE=txtwrite", "-dTextFormat=0",
                                       "-sOutputFile=-", path},
                                      "/tmp", std::chrono::seconds(120));
  if (gs.exitCode != 0 || gs.out.find("**** Error") != std::string::npos || gs.err.find("Error") != std::string::npos) {
    ADD_FAILURE() << "Ghostscript cannot read " << path << (gs.timedOut ? " in two minutes" : "") << ":\n"
                  << gs.out.substr(0, 2000) << gs.err;
    return;
  }
  // Its characters that start on the page (by their top: 24 points above the baseline at most, the tallest
  // printer character): both readers leave out what a program drew beyond the paper.
  static const std::regex kChar(R"re(<char bbox="(-?[0-9.]+) (-?[0-9.]+) [^"]*" c="([^"]*)"/>)re");
  static const std::regex kSize(R"(Page size: *([0-9.]+) x ([0-9.]+))");
  std::smatch size;
  const std::string info = Run({"/usr/bin/pdfinfo", path});
  const bool sized = std::regex_search(info, size, kSize);
  const double pageWidth = sized ? std::stod(size[1]) : 1e9, pageHeight = sized ? std::stod(size[2]) : 1e9;
  std::string ghostscript;
  for (std::sregex_iterator m(gs.out.begin(), gs.out.end(), kChar), end; m != end; ++m) {
    if (std::stod((*m)[1]) >= pageWidth || std::stod((*m)[2]) - 24 >= pageHeight) continue;
    std::string c = (*m)[3];
    for (const auto& [entity, text] : {std::pair{"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""},
                                       {"&apos;", "'"}}) {
      if (c == entity) c = text;
    }
    if (c.starts_with("&#x")) c = Utf8(static_cast<char32_t>(std::stoul(c.substr(3), nullptr, 16)));
    ghostscript += c;
  }
  const std::string poppler = Run({"/usr/bin/pdftotext", "-raw", "-l", "50", path, "-"});
  if (Characters(ghostscript) != Characters(poppler)) {
    ADD_FAILURE() << "Ghostscript and poppler read different text from " << path << ":\n" << ghostscript
                  << "\n---\n" << poppler;
  }
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
  ExpectSoundPdf(path);
  std::istringstream lines(Run({"/usr/bin/pdffonts", path}));
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);) rows.push_back(line);
  rows.erase(rows.begin(), rows.begin() + std::min<std::ptrdiff_t>(2, std::ssize(rows)));
  return rows;
}

}  // namespace quillmark::testing
