#include "platform/cups/cups_job_options.h"

#include <cups/cups.h>
#include <strings.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <optional>
#include <tuple>
#include <utility>

#include "emulation/code_pages.h"
#include "settings/paper.h"
#include "settings/settings_loader.h"

namespace quillmark {
namespace {

constexpr float kLargestBorder = 1000.0f;

template <typename Number>
std::optional<Number> ParseNumber(const char* text, Number lowest, Number highest) {
  const std::string_view view(text);
  Number value{};
  const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
  if (error != std::errc() || end != view.data() + view.size() || !(value >= lowest && value <= highest)) {
    return std::nullopt;
  }
  return value;
}

// A media option may list several keywords (size, source, type); the first one naming a size counts.
std::optional<std::pair<float, float>> MediaSize(const char* names) {
  const std::string_view list(names);
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    const auto paper = ParsePaper(list.substr(start, comma - start));
    if (paper) return std::make_pair(paper->width, paper->height);
    start = comma + 1;
  }
  return std::nullopt;
}

bool IsFalse(const char* value) {
  return strcasecmp(value, "false") == 0 || strcasecmp(value, "no") == 0 || strcasecmp(value, "off") == 0;
}

}  // namespace

JobSettings CupsJobSettings(const std::string& options, const std::string& defaultPageSize,
                            std::vector<std::string>& warnings) {
  JobSettings settings;
  settings.JobNumber = 1;
  settings.CharSet = 255;
  settings.PaperWidth = kDefaultPaperWidth;
  settings.PaperHeight = kDefaultPaperHeight;
  settings.BorderTop = kDefaultBorderTop;
  settings.BorderLeft = kDefaultBorderLeft;

  cups_option_t* parsed = nullptr;
  const int count = cupsParseOptions(options.c_str(), 0, &parsed);
  const auto option = [&](const char* name) { return cupsGetOption(name, count, parsed); };
  const auto reject = [&](const char* name, const char* value, const char* wanted) {
    warnings.push_back(std::string(name) + "=" + value + " is not " + wanted + "; the default is used");
  };

  if (const char* value = option("quillmark-emulation")) {
    if (strcasecmp(value, "basic") == 0) {
      settings.Mode = Emulation::kBasic;
    } else if (strcasecmp(value, "escp2") == 0) {
      settings.Mode = Emulation::kEscP2;
    } else if (strcasecmp(value, "escp") == 0) {
      settings.Mode = Emulation::kEscP;
    } else if (strcasecmp(value, "pcl") == 0) {
      settings.Mode = Emulation::kPcl;
    } else if (strcasecmp(value, "auto") == 0) {
      settings.Mode = Emulation::kAuto;
    } else {
      reject("quillmark-emulation", value, "basic, escp2, escp, pcl or auto");
    }
  }
  if (const char* value = option("quillmark-codepage")) {
    // A number the printer has no table for would print as 437 without a word; say so instead.
    const auto number = ParseNumber<std::int32_t>(value, 1, 65535);
    if (number && CodePageUpperHalf(*number) != nullptr) {
      settings.CodePage = *number;
    } else {
      reject("quillmark-codepage", value, "437, 850, 852, 857, 858, 860, 863, 865, 866 or 895");
    }
  }
  const std::tuple<const char*, float*, bool*> borders[] = {
      {"quillmark-border-top", &settings.BorderTop, &settings.BorderTopGiven},
      {"quillmark-border-left", &settings.BorderLeft, &settings.BorderLeftGiven}};
  for (const auto& [name, field, given] : borders) {
    if (const char* value = option(name)) {
      if (const auto number = ParseNumber<float>(value, 0.0f, kLargestBorder)) {
        *field = *number;
        *given = true;
      } else {
        reject(name, value, "a length in millimetres");
      }
    }
  }

  // PageSize is what CUPS maps an IPP media request to on a PPD queue; media is the client's own name.
  std::optional<std::pair<float, float>> paper;
  for (const char* name : {"PageSize", "media"}) {
    const char* value = option(name);
    if (value == nullptr || paper) continue;
    paper = MediaSize(value);
    if (!paper) reject(name, value, "a known paper size");
  }
  if (!paper && !defaultPageSize.empty()) paper = MediaSize(defaultPageSize.c_str());
  if (paper) std::tie(settings.PaperWidth, settings.PaperHeight) = *paper;

  const char* landscape = option("landscape");
  const char* orientation = option("orientation-requested");
  const bool turned = (landscape != nullptr && !IsFalse(landscape)) ||
                      (orientation != nullptr &&
                       (std::string_view(orientation) == "4" || std::string_view(orientation) == "5"));
  if (turned && settings.PaperWidth < settings.PaperHeight)
    std::swap(settings.PaperWidth, settings.PaperHeight);
  cupsFreeOptions(count, parsed);
  return settings;
}

std::string PpdDefaultPageSize(const std::string& path) {
  std::ifstream file(path);
  constexpr std::string_view kKey = "*DefaultPageSize:";
  for (std::string line; std::getline(file, line);) {
    if (!line.starts_with(kKey)) continue;
    const std::size_t begin = line.find_first_not_of(" \t", kKey.size());
    if (begin == std::string::npos) return {};
    const std::size_t end = line.find_first_of(" \t\r", begin);
    return line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
  }
  return {};
}

}  // namespace quillmark
