#include "settings/settings_loader.h"

#include <cstdint>
#include <mutex>
#include <string>

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
      job.Path.Assign(reader.ReadTextValue("Path", ""));
      job.Printer.Assign(reader.ReadTextValue("Printer", ""));
      job.CharSet = 255;
      const auto inventory = static_cast<std::uint32_t>(reader.ReadIntegerValue("Inventory", 0));
      job.Inventory = static_cast<std::uint8_t>(inventory & 0xFFu);
      job.PaperWidth = reader.ReadFloatValue("Paper.Width", kDefaultPaperWidth);
      job.PaperHeight = reader.ReadFloatValue("Paper.Height", kDefaultPaperHeight);
      job.BorderTop = reader.ReadFloatValue("Border.Top", kDefaultBorderTop);
      job.BorderLeft = reader.ReadFloatValue("Border.Left", kDefaultBorderLeft);
      job.PositionMode = 1;
    }
  }
  reader.CloseSettingsFile();
  return true;
}

}  // namespace quillmark
