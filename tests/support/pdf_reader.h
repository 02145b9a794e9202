#pragma once
// Reads produced PDFs back with poppler-utils (pdftotext, pdfinfo, pdffonts) run as child processes; every
// PDF read for words, text or info must pass `qpdf --check` as well (a test failure otherwise).

#include <map>
#include <string>
#include <vector>

namespace quillmark::testing {

struct PdfWord {
  int page = 0;                         // from 1
  double xMin = 0, yMin = 0, xMax = 0;  // from the page's top-left corner
  std::string text;                     // UTF-8
  double yMax = 0;
};

bool PopplerInstalled();
// Every word of every page in reading order, coordinates in dots at `dotsPerInch`.
std::vector<PdfWord> ReadPdfWords(const std::string& path, int dotsPerInch = 600);
// The plain text of the whole document, pages separated by form feeds.
std::string ReadPdfText(const std::string& path);
// pdfinfo's "Key: value" lines ("Title", "Pages", "Page size", ...).
std::map<std::string, std::string> ReadPdfInfo(const std::string& path);
// pdffonts' table rows below its header.
std::vector<std::string> ReadPdfFonts(const std::string& path);

}  // namespace quillmark::testing
