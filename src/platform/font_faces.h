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

// The LaserJet's resident typefaces (the PCL printer's face names) and the metric-compatible or nearest
// TrueType families that stand for them, from fonts-liberation2 and fonts-dejavu-core. (The URW faces
// are CFF fonts, which the PDF writer does not embed.)
struct LaserJetFace {
  std::string_view name;
  std::string_view family;
};
inline constexpr LaserJetFace kLaserJetFaces[] = {
    {"Courier", "Liberation Mono"},          {"CG Times", "Liberation Serif"},
    {"Univers", "Liberation Sans"},          {"Arial", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"}, {"Letter Gothic", "DejaVu Sans Mono"},
    {"Line Printer", "DejaVu Sans Mono"},
};

inline FontFace ChooseFontFace(const FontRequest& request) {
  for (const LaserJetFace& laserJet : kLaserJetFaces) {
    if (request.faceName == laserJet.name) {
      return FontFace{laserJet.family, request.weight >= 600, request.italic != 0};
    }
  }
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
