#pragma once
// Paper sizes by name, the one vocabulary of every program and option that takes a paper, and the limits
// on paper and job sizes.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

// A4, the paper of a job slot without "Paper.Width"/"Paper.Height" and of the tools without --paper.
inline constexpr float kA4Width = 210.0f;   // mm
inline constexpr float kA4Height = 297.0f;  // mm

// The largest page a PDF can hold is 200 inches a side.
inline constexpr float kLargestPaper = 5080.0f;  // mm

// A job's length travels as a signed 32-bit count: one byte less than 2 GiB is the most a take can hold.
inline constexpr std::size_t kLargestJob = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

struct PaperSize {
  float width = 0;   // mm
  float height = 0;  // mm
  // The PWG self-describing name ("iso_a4_210x297mm", "custom_100x150mm_100x150mm") that a CUPS printer is
  // asked for; empty for a plain WxH, which leaves the printer on its own media.
  std::string pwgName;
};

// One line listing what ParsePaper takes, for help texts and error messages.
inline constexpr std::string_view kPaperNames =
    "A3-A6, B4, B5, Letter, Legal, Executive, Tabloid, a PWG name (iso_a4_210x297mm, na_legal_8.5x14in), "
    "Custom.WxH with mm, in or pt, or WxH in mm";

// The size a paper name stands for, letter case aside: the names of kPaperNames, also with the legacy IPP
// prefixes "iso-" and "na-" ("iso-a5", "na-letter"). "Custom.WxH" without a unit is in points, as in a
// PPD; plain "WxH" is in millimetres. Nothing for an unknown name or a size of 0 or above kLargestPaper.
std::optional<PaperSize> ParsePaper(std::string_view name);

}  // namespace quillmark
