#include "settings/settings_loader.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "emulation/code_pages.h"
#include "settings/dos_device_name.h"
#include "settings/paper.h"
#include "settings/settings_reader.h"
#include "spool/take_store.h"

namespace quillmark {
namespace {

// Slots are the groups "Job_1" to "Job_99", one for each printer port a DOS machine may send to.
constexpr int kJobSlotCount = 99;

bool ShowFatalBox(Desktop& desktop, const std::string& message) {
  desktop.ShowMessageBox("Executable", message + "\r\rDas Programm wird nun beendet.");
  return false;
}

// Logged before the box is shown, so the entry exists even if nobody ever answers the box.
bool FailStart(const ErrorLog& log, Desktop& desktop, const std::string& message) {
  log.LogError("", message, "", 0, 2);
  return ShowFatalBox(desktop, message);
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
  if (EqualsIgnoringCase(value, "PCL")) return Emulation::kPcl;
  if (EqualsIgnoringCase(value, "Auto")) return Emulation::kAuto;
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

// "Media" names the paper in the common vocabulary; it also gives the PDF page when "Paper.Width" and
// "Paper.Height" are missing. A CUPS printer is asked for it by its PWG name.
void ReadMedia(const SettingsReader& reader, JobSettings& job, const ErrorLog& log) {
  const std::string value = ChoiceValue(reader, "Media");
  if (value.empty()) return;
  const auto paper = ParsePaper(value);
  if (!paper) {
    log.LogError("", "Unbekanntes Papier '" + value + "' in der Settings.ini, es gilt das des Druckers.", "",
                 0, 0);
    return;
  }
  job.Media.Assign(paper->pwgName);
  if (std::isnan(job.PaperWidth)) job.PaperWidth = paper->width;
  if (std::isnan(job.PaperHeight)) job.PaperHeight = paper->height;
}

JobSettings ReadJobSlot(const SettingsReader& reader, int n, const ErrorLog& log) {
  JobSettings job;
  job.JobNumber = n;
  AssignName(job.Path, reader.ReadNameValue("Path", ""), "Path", log);
  AssignName(job.Printer, reader.ReadNameValue("Printer", ""), "Printer", log);
  job.CharSet = 255;
  const auto inventory = static_cast<std::uint32_t>(reader.ReadIntegerValue("Inventory", 0));
  job.Inventory = static_cast<std::uint8_t>(inventory & 0xFFu);
  // Not a number until "Media" or the default has spoken.
  job.PaperWidth = reader.ReadFloatValue("Paper.Width", std::numeric_limits<float>::quiet_NaN());
  job.PaperHeight = reader.ReadFloatValue("Paper.Height", std::numeric_limits<float>::quiet_NaN());
  job.BorderTop = reader.ReadFloatValue("Border.Top", kDefaultBorderTop);
  job.BorderLeft = reader.ReadFloatValue("Border.Left", kDefaultBorderLeft);
  job.BorderTopGiven = !reader.ReadTextValue("Border.Top", "").empty();
  job.BorderLeftGiven = !reader.ReadTextValue("Border.Left", "").empty();
  ReadMedia(reader, job, log);
  if (std::isnan(job.PaperWidth)) job.PaperWidth = kDefaultPaperWidth;
  if (std::isnan(job.PaperHeight)) job.PaperHeight = kDefaultPaperHeight;
  if (const auto warning = DosDeviceNameWarning(job.Path.View())) log.LogError("", *warning, "", 0, 0);
  job.Mode = ReadEmulation(reader, log);
  job.CodePage = ReadCodePage(reader, log);
  return job;
}

// A spool file's path made absolute, with the "./" and "a/../" steps folded: "SPOOL.PRN" and
// "/home/you/Quillmark/SPOOL.PRN" name one file there.
std::string NormalPath(std::string_view path) {
  std::error_code failure;
  const auto absolute = path.empty() ? std::filesystem::path() : std::filesystem::absolute(path, failure);
  return (failure ? std::filesystem::path(path) : absolute).lexically_normal().generic_string();
}

// The slot already watching `path`, or null. Two slots on one file would split its takes between two
// printers at random, so the later one is left out.
const JobSettings* SlotWithSpoolFile(const std::vector<JobSettings>& slots, std::string_view path) {
  if (path.empty()) return nullptr;  // no spool file to share: each such slot is told it has no Path
  const std::string wanted = NormalPath(path);
  for (const JobSettings& slot : slots) {
    if (NormalPath(slot.Path.View()) == wanted) return &slot;
  }
  return nullptr;
}

// Whether `path` is one of the program's own files: a slot on Settings.ini or Error.log would empty them,
// one in the queue's folders would take its takes. Regardless of case, as Windows and DOS see names.
bool IsOwnFile(std::string_view path) {
  const std::string wanted = NormalPath(path);
  for (const char* own : {"Settings.ini", "Error.log"}) {
    if (EqualsIgnoringCase(wanted, NormalPath(own))) return true;
  }
  for (const char* folder : {kQueueFolder, kUnprintedFolder}) {
    const std::string inside = NormalPath(folder) + "/";
    if (wanted.size() > inside.size() &&
        EqualsIgnoringCase(std::string_view(wanted).substr(0, inside.size()), inside)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool SettingsLoader(ProgramState& state, FileSystem& files, const ErrorLog& log, Desktop& desktop) {
  SettingsReader reader(files);
  if (!reader.OpenSettingsFile("Settings.ini")) {
    log.LogError("", "Keine Settings.ini gefunden!", "", 0, 2);
    // Standard error only: the Error.log line keeps its fixed text.
    std::error_code failure;
    const auto folder = std::filesystem::current_path(failure);
    std::cerr << "Gesucht im Ordner '" << (failure ? std::string("?") : folder.string()) << "'." << std::endl;
    return ShowFatalBox(desktop, "Keine Settings.ini gefunden!");
  }
  if (!reader.SelectSettingsGroup("Main")) {
    return FailStart(log, desktop, "Keinen Main Eintrag in der Settings.ini gefunden!");
  }
  {
    // No lock: the threads that read the job list start after it is complete, and nothing changes it then.
    for (int n = 1; n <= kJobSlotCount; ++n) {
      const std::string number = std::to_string(n);
      if (!reader.SelectSettingsGroup("Job_" + number)) {
        // Slot 1 is expected; the others are there only when a second printer is.
        if (n == 1)
          log.LogError("", "Kein Job_" + number + " Eintrag in der Settings.ini gefunden!", "", 0, 0);
        continue;
      }
      JobSettings job = ReadJobSlot(reader, n, log);
      if (IsOwnFile(job.Path.View())) {
        log.LogError("",
                     "Job_" + number + " nennt als Spooldatei '" + std::string(job.Path.View()) +
                         "' eine Datei von Quillmark und wird nicht ueberwacht.",
                     "", 0, 0);
        continue;
      }
      if (const JobSettings* first = SlotWithSpoolFile(state.JobList, job.Path.View())) {
        log.LogError("",
                     "Job_" + number + " nennt dieselbe Spooldatei '" + std::string(job.Path.View()) +
                         "' wie Job_" + std::to_string(first->JobNumber) + " und wird nicht ueberwacht.",
                     "", 0, 0);
        continue;
      }
      state.JobList.push_back(std::move(job));
    }
  }
  reader.CloseSettingsFile();
  return true;
}

}  // namespace quillmark
