// Feeds arbitrary bytes as "Settings.ini" through the settings reader, the value conversions and the
// loader. Any crash, sanitizer report or broken invariant is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "log/error_log.h"
#include "log/log_sink.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "settings/settings_loader.h"
#include "settings/settings_reader.h"
#include "settings/settings_values.h"
#include "spool/program_state.h"

namespace {

using namespace quillmark;

class OneFileSystem final : public FileSystem, public LogSink {
 public:
  explicit OneFileSystem(std::string_view settings) : settings_(settings) {}
  FileStatus ReadWholeFile(const std::string& path, std::string& contents) override {
    contents.clear();
    if (path != "Settings.ini") return FileStatus::Failed(path, "No such file or directory");
    contents = std::string(settings_);
    return FileStatus::Done();
  }
  std::string Append(std::string_view header, std::string_view text) override {
    if (log.empty()) log.append(header);
    log.append(text);
    return "";
  }
  FileStatus SaveNewFile(const std::string&, const std::uint8_t*, std::size_t) override {
    return FileStatus::NotSupported();
  }
  std::string log;

 private:
  std::string_view settings_;
};

class StillClock final : public Clock {
 public:
  LocalTime Now() const override { return LocalTime{2007, 3, 15, 9, 41, 5}; }
};

class CountingDesktop final : public Desktop {
 public:
  void ShowMessageBox(std::string_view, std::string_view) override { ++boxes; }
  void SetEvents(DesktopEvents*) override {}
  void CreateTrayInterface() override {}
  void WaitMessage() override {}
  void ShowTrayMenu() override {}
  void DestroyMainWindow() override {}
  void RemoveTrayIcon() override {}
  [[noreturn]] void ExitProcess(int) override { std::abort(); }
  int boxes = 0;
};

void Check(bool condition) {
  if (!condition) std::abort();
}

void ReadEverything(SettingsReader& reader, std::string_view name) {
  if (!reader.SelectSettingsGroup(name)) {
    Check(reader.ReadTextValue("Path", "d") == "d");
    return;
  }
  for (const char* key : {"Path", "Printer", "Inventory", "Paper.Width", "Border.Left", ""}) {
    reader.ReadTextValue(key, "");
    reader.ReadIntegerValue(key, 0);
    reader.ReadFloatValue(key, 0.0f);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  Check(Utf8ToLatin1(input).size() <= input.size());
  Check(Utf8ToLatin1(Latin1ToUtf8(input)) == input);
  ParseSettingsInteger(input);
  ParseSettingsFloat(input);

  OneFileSystem files(input);
  SettingsReader reader(files);
  Check(reader.OpenSettingsFile("Settings.ini"));
  // Names taken from the input itself reach groups and keys that fixed names never would.
  const std::string_view firstLine = input.substr(0, input.find_first_of("\r\n"));
  for (std::string_view name : {std::string_view("Main"), std::string_view("Job_1"), std::string_view(),
                                firstLine, firstLine.substr(firstLine.find('[') + 1)}) {
    ReadEverything(reader, name);
  }
  reader.CloseSettingsFile();
  Check(!reader.SelectSettingsGroup("Main"));

  StillClock clock;
  ErrorLog log(files, clock);
  CountingDesktop desktop;
  ProgramState state;
  const bool started = SettingsLoader(state, files, log, desktop);
  Check(started ? desktop.boxes == 0 && state.JobList.size() <= 99
                : desktop.boxes == 1 && state.JobList.empty());
  // Slots in ascending order, each numbered 1 to 99, no two on one spool file (slots without one are kept,
  // each logged as printing nothing).
  std::int32_t previous = 0;
  for (const JobSettings& job : state.JobList) {
    Check(job.JobNumber > previous && job.JobNumber <= 99 && job.CharSet == 255);
    previous = job.JobNumber;
    for (const JobSettings& other : state.JobList) {
      Check(&other == &job || job.Path.View().empty() || other.Path.View() != job.Path.View());
    }
  }
  return 0;
}
