#include "settings/paper.h"

#include <charconv>
#include <cmath>

namespace quillmark {
namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr double kPointsPerInch = 72.0;

struct NamedPaper {
  std::string_view name;
  float width, height;  // mm
  std::string_view pwgName;
};
// ISO 216 and the North American sizes; Tabloid is PWG's "ledger" paper upright.
constexpr NamedPaper kNamedPapers[] = {
    {"A3", 297.0f, 420.0f, "iso_a3_297x420mm"},
    {"A4", kA4Width, kA4Height, "iso_a4_210x297mm"},
    {"A5", 148.0f, 210.0f, "iso_a5_148x210mm"},
    {"A6", 105.0f, 148.0f, "iso_a6_105x148mm"},
    {"B4", 250.0f, 353.0f, "iso_b4_250x353mm"},
    {"B5", 176.0f, 250.0f, "iso_b5_176x250mm"},
    {"Letter", 215.9f, 279.4f, "na_letter_8.5x11in"},
    {"Legal", 215.9f, 355.6f, "na_legal_8.5x14in"},
    {"Executive", 184.15f, 266.7f, "na_executive_7.25x10.5in"},
    {"Tabloid", 279.4f, 431.8f, "na_ledger_11x17in"},
};

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::optional<double> Number(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Millimetres per unit of a size's ending; nothing for an ending that is no unit.
std::optional<double> UnitLength(std::string_view unit) {
  if (unit == "mm") return 1.0;
  if (unit == "in") return kMillimetresPerInch;
  if (unit == "pt") return kMillimetresPerInch / kPointsPerInch;
  return std::nullopt;
}

std::string Shortest(float value) {
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc() ? std::string(text, end) : std::string("0");
}

// "210x297", "8.5x11in", "100x150mm": the size in millimetres; `unitless` applies without an ending.
// `named` decides whether the size gets a custom PWG name for a CUPS printer.
std::optional<PaperSize> Dimensions(std::string_view text, double unitless, bool unitRequired, bool named) {
  double unit = unitless;
  const std::size_t digitsEnd = text.find_last_of("0123456789.") + 1;
  if (digitsEnd == 0) return std::nullopt;
  if (digitsEnd < text.size()) {
    const auto ending = UnitLength(text.substr(digitsEnd));
    if (!ending) return std::nullopt;
    unit = *ending;
  } else if (unitRequired) {
    return std::nullopt;
  }
  const std::string_view numbers = text.substr(0, digitsEnd);
  const std::size_t x = numbers.find('x');
  if (x == std::string_view::npos) return std::nullopt;
  const auto width = Number(numbers.substr(0, x));
  const auto height = Number(numbers.substr(x + 1));
  if (!width || !height) return std::nullopt;
  PaperSize paper;
  paper.width = static_cast<float>(*width * unit);
  paper.height = static_cast<float>(*height * unit);
  if (!(paper.width > 0 && paper.height > 0 && paper.width <= kLargestPaper &&
        paper.height <= kLargestPaper)) {
    return std::nullopt;
  }
  if (named) {
    const std::string size = Shortest(paper.width) + "x" + Shortest(paper.height) + "mm";
    paper.pwgName = "custom_" + size + "_" + size;
  }
  return paper;
}

}  // namespace

std::optional<PaperSize> ParsePaper(std::string_view name) {
  std::string_view plain = name;
  for (std::string_view prefix : {"iso-", "na-"}) {
    if (plain.size() > prefix.size() && SameLetters(plain.substr(0, prefix.size()), prefix)) {
      plain.remove_prefix(prefix.size());
    }
  }
  for (const NamedPaper& paper : kNamedPapers) {
    if (SameLetters(plain, paper.name))
      return PaperSize{paper.width, paper.height, std::string(paper.pwgName)};
  }
  if (name.size() > 7 && SameLetters(name.substr(0, 7), "custom.")) {
    return Dimensions(name.substr(7), kMillimetresPerInch / kPointsPerInch, false, true);
  }
  // PWG 5101.1: class_name_WxHunit, where the size at the end says it all.
  const std::size_t first = name.find('_');
  const std::size_t last = name.rfind('_');
  if (first != std::string_view::npos && last > first && first > 0) {
    auto paper = Dimensions(name.substr(last + 1), 0, true, false);
    if (paper) paper->pwgName = std::string(name);
    return paper;
  }
  return Dimensions(name, 1.0, false, false);
}

}  // namespace quillmark
