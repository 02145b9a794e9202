#include "settings/dos_device_name.h"

#include <array>

#include "settings/settings_reader.h"

namespace quillmark {
namespace {

constexpr std::string_view kBetterName = "SPOOL";

// The base name and where it starts and ends in `path`.
struct BaseName {
  std::size_t begin = 0;
  std::size_t end = 0;
};

BaseName FindBaseName(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  BaseName base;
  base.begin = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = path.find('.', base.begin);
  base.end = dot == std::string_view::npos ? path.size() : dot;
  return base;
}

}  // namespace

bool IsDosDeviceName(std::string_view path) {
  const BaseName base = FindBaseName(path);
  const std::string_view name = path.substr(base.begin, base.end - base.begin);
  static constexpr std::array<std::string_view, 5> kFixed = {"PRN", "AUX", "CON", "NUL", "CLOCK$"};
  for (const auto device : kFixed) {
    if (EqualsIgnoringCase(name, device)) return true;
  }
  // COM1 to COM9 and LPT1 to LPT9.
  return name.size() == 4 &&
         (EqualsIgnoringCase(name.substr(0, 3), "COM") || EqualsIgnoringCase(name.substr(0, 3), "LPT")) &&
         name[3] >= '1' && name[3] <= '9';
}

std::optional<std::string> DosDeviceNameWarning(std::string_view path) {
  if (!IsDosDeviceName(path)) return std::nullopt;
  const BaseName base = FindBaseName(path);
  std::string better(path.substr(0, base.begin));
  better.append(kBetterName);
  better.append(base.end < path.size() ? path.substr(base.end) : std::string_view(".PRN"));
  return "Spooldatei '" + std::string(path) +
         "' ist unter DOS ein Geraetename; DOS-Programme koennen nicht hineinschreiben. Besser z. B. '" +
         better + "'.";
}

}  // namespace quillmark
