#include "settings/settings_loader.h"

#include <cstdint>
#include <mutex>
#include <string>

#include "emulation/code_pages.h"
#include "settings/dos_device_name.h"
#include "settings/settings_reader.h"

namespace quillmark {
namespace {

constexpr int kJobSlotCount = 1;

// Logged before the box is shown, so the entry exists even if nobody ever answers the box.
bool FailStart(const ErrorLog& log, Desktop& desktop, const std::string& message) {
  log.LogError("", message, "", 0, 2);
  desktop.ShowMessageBox("Executable", message + "\r\rDas Programm wird nun beendet.");
  return false;
}

// A value longer than its field is cut as always, but no longer silently: the program would watch or print
// to a name nobody wrote.
template <std::size_t N>
void AssignName(FixedText<N>& field, const std::string& value, const char* key, const ErrorLog& log) {
  field.Assign(value);
  if (value.size() <= N) return;
  log.LogError("",
               std::string("Der Wert von '") + key + "' ist laenger als " + std::to_string(N) +
                   " Bytes und wird abgeschnitten.",
               "", 0, 0);
}

// The value of a key that names a choice: up to a "; comment" on the same line, without surrounding
// blanks.
std::string ChoiceValue(const SettingsReader& reader, std::string_view key) {
  std::string value = reader.ReadTextValue(key, "");
  value = value.substr(0, value.find(';'));
  const auto first = value.find_first_not_of(" \t");
  const auto last = value.find_last_not_of(" \t");
  return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
}

Emulation ReadEmulation(const SettingsReader& reader, const ErrorLog& log) {
  const std::string value = ChoiceValue(reader, "Emulation");
  if (EqualsIgnoringCase(value, "ESC/P2")) return Emulation::kEscP2;
  if (EqualsIgnoringCase(value, "ESC/P")) return Emulation::kEscP;
  if (!value.empty() && !EqualsIgnoringCase(value, "Basic")) {
    log.LogError("", "Unbekannte Emulation '" + value + "' in der Settings.ini, es gilt Basic.", "", 0, 0);
  }
  return Emulation::kBasic;
}

std::int32_t ReadCodePage(const SettingsReader& reader, const ErrorLog& log) {
  constexpr std::int32_t kDefaultCodePage = 437;
  const std::string value = ChoiceValue(reader, "CodePage");
  if (value.empty()) return kDefaultCodePage;
  const bool digits = value.size() <= 5 && value.find_first_not_of("0123456789") == std::string::npos;
  const std::int32_t number = digits ? std::stoi(value) : 0;
  if (CodePageUpperHalf(number) != nullptr) return number;
  log.LogError("", "Unbekannte CodePage '" + value + "' in der Settings.ini, es gilt 437.", "", 0, 0);
  return kDefaultCodePage;
}

}  // namespace

bool SettingsLoader(ProgramState& state, FileSystem& files, const ErrorLog& log, Desktop& desktop) {
  SettingsReader reader(files);
  if (!reader.OpenSettingsFile("Settings.ini")) {
    return FailStart(log, desktop, "Keine Settings.ini gefunden!");
  }
  if (!reader.SelectSettingsGroup("Main")) {
    return FailStart(log, desktop, "Keinen Main Eintrag in der Settings.ini gefunden!");
  }
  {
    std::lock_guard lock(state.SettingsLock);
    for (int n = 1; n <= kJobSlotCount; ++n) {
      const std::string number = std::to_string(n);
      if (!reader.SelectSettingsGroup("Job_" + number)) {
        log.LogError("", "Kein Job_" + number + " Eintrag in der Settings.ini gefunden!", "", 0, 0);
        continue;
      }
      JobSettings& job = state.JobList.emplace_back();
      job.JobNumber = n;
      AssignName(job.Path, reader.ReadNameValue("Path", ""), "Path", log);
      AssignName(job.Printer, reader.ReadNameValue("Printer", ""), "Printer", log);
      job.CharSet = 255;
      const auto inventory = static_cast<std::uint32_t>(reader.ReadIntegerValue("Inventory", 0));
      job.Inventory = static_cast<std::uint8_t>(inventory & 0xFFu);
      job.PaperWidth = reader.ReadFloatValue("Paper.Width", kDefaultPaperWidth);
      job.PaperHeight = reader.ReadFloatValue("Paper.Height", kDefaultPaperHeight);
      job.BorderTop = reader.ReadFloatValue("Border.Top", kDefaultBorderTop);
      job.BorderLeft = reader.ReadFloatValue("Border.Left", kDefaultBorderLeft);
      job.BorderTopGiven = !reader.ReadTextValue("Border.Top", "").empty();
      job.BorderLeftGiven = !reader.ReadTextValue("Border.Left", "").empty();
      job.Media.Assign(reader.ReadTextValue("Media", ""));
      if (const auto warning = DosDeviceNameWarning(job.Path.View())) log.LogError("", *warning, "", 0, 0);
      job.Mode = ReadEmulation(reader, log);
      job.CodePage = ReadCodePage(reader, log);
    }
  }
  reader.CloseSettingsFile();
  return true;
}

}  // namespace quillmark
