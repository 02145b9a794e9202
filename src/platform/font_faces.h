#pragma once
// Which installed font family stands for a font request, so that every device prints the same faces.
// Plain data: no platform headers, usable by any device.

#include <string_view>

#include "platform/print_device.h"

namespace quillmark {

struct FontFace {
  std::string_view family;  // a fontconfig / Qt family name
  bool bold = false;
  bool italic = false;
};

// Families, in the Debian packages the install script brings: fonts-dejavu-core and -extra, fonts-go.
inline constexpr std::string_view kSansMonoFamily = "DejaVu Sans Mono";
inline constexpr std::string_view kSansFamily = "DejaVu Sans";
inline constexpr std::string_view kRomanMonoFamily = "Go Mono";
inline constexpr std::string_view kRomanFamily = "DejaVu Serif";

inline FontFace ChooseFontFace(const FontRequest& request) {
  const bool fixedPitch = (request.pitchAndFamily & 0x03) != 2;
  const bool roman = request.faceName == "Roman";
  FontFace face;
  face.family =
      roman ? (fixedPitch ? kRomanMonoFamily : kRomanFamily) : (fixedPitch ? kSansMonoFamily : kSansFamily);
  // Weights between regular and bold print as a double strike: the faces have no medium weight.
  face.bold = request.weight >= 600;
  face.italic = request.italic != 0;
  return face;
}

}  // namespace quillmark
