#include "app/startup_report.h"

#include <filesystem>
#include <system_error>

namespace quillmark {
namespace {

std::string Absolute(const std::string& path) {
  std::error_code failure;
  const auto absolute = std::filesystem::absolute(path, failure);
  return failure ? path : absolute.lexically_normal().string();
}

}  // namespace

const char* EmulationName(Emulation emulation) {
  switch (emulation) {
    case Emulation::kBasic:
      return "Basic";
    case Emulation::kEscP2:
      return "ESC/P2";
    case Emulation::kEscP:
      return "ESC/P";
    case Emulation::kPcl:
      return "PCL";
    case Emulation::kAuto:
      return "Auto";
  }
  return "?";
}

void StartupReport::Report(const std::vector<JobSettings>& jobs) {
  for (const JobSettings& job : jobs) {
    const std::string path(job.Path.View());
    const std::string printer(job.Printer.View());
    const std::string slot = "Job_" + std::to_string(job.JobNumber);
    err_ << slot << ": Spooldatei '" << (path.empty() ? "" : Absolute(path)) << "', Emulation "
         << EmulationName(job.Mode) << ", Drucker '" << printer << "'" << std::endl;
    if (path.empty()) log_.LogError("", slot + " hat keinen Path: es wird nichts gedruckt.", "", 0, 0);
    // Logged as each job will log it, so that both read alike.
    if (!printers_.PrinterExists(job)) {
      log_.LogError("", "Drucker '" + printer + "' konnte nicht initialisiert werden.", "", 0, 0);
    }
  }
}

std::unique_ptr<SpoolFile> StartupReport::Open(const std::string& path, SpoolNotice& notice) {
  auto file = spoolFiles_.Open(path, notice);
  // Without a file and without a notice, the path, its folder or the rights are wrong.
  const bool unusable = file == nullptr && notice == SpoolNotice::kNone;
  std::string message;
  {
    std::lock_guard lock(mutex_);
    const bool first = seen_.insert(path).second;
    if (unusable && first && !path.empty()) {
      unusable_.insert(path);
      std::error_code failure;
      const auto folder = std::filesystem::absolute(path, failure).parent_path();
      const bool missing = !failure && !std::filesystem::is_directory(folder, failure);
      message = "Spooldatei '" + Absolute(path) + "' kann nicht angelegt werden: " +
                (missing ? "der Ordner '" + folder.string() + "' fehlt." : "keine Schreibrechte im Ordner.") +
                " Gedruckt wird, sobald sie es kann.";
    } else if (!unusable && unusable_.erase(path) != 0) {
      message = "Spooldatei '" + Absolute(path) + "' ist jetzt verwendbar.";
    }
  }
  if (!message.empty()) log_.LogError("", message, "", 0, 0);
  return file;
}

}  // namespace quillmark
