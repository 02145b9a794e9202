#pragma once
// Reads produced PDFs back with poppler-utils (pdftotext, pdfinfo, pdffonts) run as child processes.

#include <map>
#include <string>
#include <vector>

namespace quillmark::testing {

// One word as pdftotext places it; coordinates in points from the page's top-left corner.
struct PdfWord {
  int page = 0;  // from 1
  double xMin = 0;
  double yMin = 0;
  double xMax = 0;
  double yMax = 0;
  std::string text;  // UTF-8
};

bool PopplerInstalled();

// Every word of every page, in reading order; empty when the file cannot be read.
std::vector<PdfWord> ReadPdfWords(const std::string& path);
// The plain text of the whole document, pages separated by form feeds.
std::string ReadPdfText(const std::string& path);
// pdfinfo's "Key: value" lines ("Title", "Pages", "Page size", ...).
std::map<std::string, std::string> ReadPdfInfo(const std::string& path);
// pdffonts' table rows below its header.
std::vector<std::string> ReadPdfFonts(const std::string& path);

// Points to dots at `dotsPerInch`.
inline double PointsToDots(double points, int dotsPerInch) { return points * dotsPerInch / 72.0; }

}  // namespace quillmark::testing
