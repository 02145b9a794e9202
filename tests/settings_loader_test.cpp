#include "settings/settings_loader.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <string>
#include <vector>

#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_desktop.h"

namespace quillmark {
namespace {

const std::string kLogHeader = std::string(14, '#') + "\r\n# Executable #\r\n" + std::string(14, '#') +
                               "\r\n\r\n" + std::string(160, '#') + "\r\n";
const std::string kLogPrefix =
    "07-03-15 09:41:05 |                      | 0        | " + std::string(32, ' ') + " | ";

// Notes, for every log entry, whether another thread could have taken the settings lock at that moment.
class LockProbeFileSystem final : public FileSystem {
 public:
  LockProbeFileSystem(FileSystem& inner, ProgramState& state) : inner_(inner), state_(state) {}
  bool ReadWholeFile(const std::string& path, std::string& contents) override {
    return inner_.ReadWholeFile(path, contents);
  }
  bool AppendLocked(const std::string& path, std::string_view header, std::string_view text) override {
    const bool free = std::async(std::launch::async, [this] {
                        if (!state_.SettingsLock.try_lock()) return false;
                        state_.SettingsLock.unlock();
                        return true;
                      }).get();
    lockHeldWhileLogging.push_back(!free);
    return inner_.AppendLocked(path, header, text);
  }
  std::string SaveNewFile(const std::string& folder, const std::uint8_t* data, std::size_t size) override {
    return inner_.SaveNewFile(folder, data, size);
  }
  std::vector<bool> lockHeldWhileLogging;

 private:
  FileSystem& inner_;
  ProgramState& state_;
};

JobSettings DefaultJob() {
  JobSettings job;
  job.JobNumber = 1;
  job.CharSet = 255;
  job.PositionMode = 1;
  job.PaperWidth = 210.0f;
  job.PaperHeight = 297.0f;
  job.BorderTop = 10.7f;
  job.BorderLeft = 9.75f;
  return job;
}

class SettingsLoaderTest : public ::testing::Test {
 protected:
  bool Load(const std::string& settings) {
    files_.Put("Settings.ini", settings);
    return Run();
  }
  bool Run() { return SettingsLoader(state_, probe_, log_, desktop_); }
  std::string Log() const { return files_.Get("Error.log"); }

  testing::MemoryFileSystem files_;
  ProgramState state_;
  LockProbeFileSystem probe_{files_, state_};
  testing::FixedClock clock_;
  ErrorLog log_{probe_, clock_};
  testing::RecordingDesktop desktop_;
};

TEST_F(SettingsLoaderTest, ExampleFileFillsOneJob) {
  ASSERT_TRUE(
      Load("[Main]\r\n; this group must exist; its keys are not read\r\n[Job_1]\r\n"
           "Path = D:\\SPOOL\\LPT1.PRN\r\nPrinter = Office Printer\r\nInventory = 0\r\n"
           "Paper.Width = 210\r\nPaper.Height = 297\r\nBorder.Top = 10.7\r\nBorder.Left = 9.75\r\n"));
  JobSettings expected = DefaultJob();
  expected.Path.Assign("D:\\SPOOL\\LPT1.PRN");
  expected.Printer.Assign("Office Printer");
  ASSERT_EQ(state_.JobList.size(), 1u);
  EXPECT_EQ(state_.JobList[0], expected);
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(desktop_.Transcript(), "");
}

TEST_F(SettingsLoaderTest, MissingFileOrMainIsFatal) {
  const std::string noFile = "Keine Settings.ini gefunden!";
  const std::string noMain = "Keinen Main Eintrag in der Settings.ini gefunden!";
  const std::vector<std::pair<std::function<void(testing::MemoryFileSystem&)>, std::string>> cases = {
      {[](testing::MemoryFileSystem&) {}, noFile},
      {[](testing::MemoryFileSystem& files) { files.MakeFolder("Settings.ini"); }, noFile},
      {[](testing::MemoryFileSystem& files) { files.MakeUnreadable("Settings.ini"); }, noFile},
      {[](testing::MemoryFileSystem& files) { files.Put("Settings.ini", ""); }, noMain},
      {[](testing::MemoryFileSystem& files) { files.Put("Settings.ini", "\xEF\xBB\xBF"); }, noMain},
      {[](testing::MemoryFileSystem& files) { files.Put("Settings.ini", "[ Main ]\n[Job_1]\n"); }, noMain},
      {[](testing::MemoryFileSystem& files) { files.Put("Settings.ini", "Main\n[Job_1]\nPath=x\n"); },
       noMain},
  };
  for (const auto& [setup, message] : cases) {
    testing::MemoryFileSystem files;
    setup(files);
    testing::RecordingDesktop desktop;
    ProgramState state;
    ErrorLog log(files, clock_);
    EXPECT_FALSE(SettingsLoader(state, files, log, desktop)) << message;
    EXPECT_EQ(files.Get("Error.log"), kLogHeader + kLogPrefix + "2 | " + message + "\r\n");
    EXPECT_EQ(desktop.Transcript(),
              "ShowMessageBox Executable | " + message + "\\r\\rDas Programm wird nun beendet.\n");
    EXPECT_TRUE(state.JobList.empty());
  }
}

TEST_F(SettingsLoaderTest, MissingJobGroupIsLoggedUnderTheLockAndStartGoesOn) {
  for (const char* file : {"[Main]\n", "[Main]\n[Job_01]\nPath=x\n", "[Main]\n[Job_2]\n"}) {
    files_.Put("Error.log", "");
    probe_.lockHeldWhileLogging.clear();
    EXPECT_TRUE(Load(file));
    EXPECT_EQ(Log(), kLogHeader + kLogPrefix + "0 | Kein Job_1 Eintrag in der Settings.ini gefunden!\r\n");
    EXPECT_EQ(probe_.lockHeldWhileLogging, std::vector<bool>{true});
    EXPECT_TRUE(state_.JobList.empty());
  }
  EXPECT_EQ(desktop_.Transcript(), "");
  EXPECT_TRUE(state_.SettingsLock.try_lock());  // released on return
  state_.SettingsLock.unlock();
}

TEST_F(SettingsLoaderTest, ValuesMapToFields) {
  struct Case {
    std::string lines;
    std::function<void(JobSettings&)> change;
  };
  const std::string longPath(3000, 'p');
  const std::vector<Case> cases = {
      {"", [](JobSettings&) {}},
      {"Paper.Width =\n", [](JobSettings& j) { j.PaperWidth = 0.0f; }},
      {"Paper.Width = 210mm\nPaper.Height = abc\n", [](JobSettings& j) { j.PaperHeight = 0.0f; }},
      {"Border.Top = 1e1\nBorder.Left = 9,75\n",
       [](JobSettings& j) {
         j.BorderTop = 10.0f;
         j.BorderLeft = 9.0f;
       }},
      {"Inventory = 300\n", [](JobSettings& j) { j.Inventory = 44; }},
      {"Inventory = -1\n", [](JobSettings& j) { j.Inventory = 255; }},
      {"Inventory = 99999999999\n", [](JobSettings& j) { j.Inventory = 255; }},
      {"Path\n", [](JobSettings&) {}},
      {"Path = " + longPath + "\n", [&](JobSettings& j) { j.Path.Assign(longPath); }},
      {"Printer = " + longPath + "\n", [&](JobSettings& j) { j.Printer.Assign(longPath); }},
      {"[Job_1]\nPath = second group\n", [](JobSettings&) {}},
      {"[Other]\nPath = other\n", [](JobSettings&) {}},
  };
  for (const Case& c : cases) {
    state_.JobList.clear();
    ASSERT_TRUE(Load("Path = above\n[Main]\nPath = main\n[Job_1]\n" + c.lines)) << c.lines;
    JobSettings expected = DefaultJob();
    c.change(expected);
    ASSERT_EQ(state_.JobList.size(), 1u);
    EXPECT_EQ(state_.JobList[0], expected) << c.lines;
  }
  // A field that is filled completely has no terminating zero.
  ASSERT_TRUE(Load("[Main]\n[Job_1]\nPath=" + longPath + "\n"));
  EXPECT_EQ(state_.JobList.back().Path.View(), longPath.substr(0, 2048));
}

TEST_F(SettingsLoaderTest, HostileFilesLoadWithoutHarm) {
  const std::string mega(1 << 20, '\xC3');
  ASSERT_TRUE(Load("\xEF\xBB\xBF[Main]\n" + mega + "\n[Job_1]\nPrinter=" + mega + "\nPath=" +
                   std::string(1 << 20, '9') + "\nInventory=" + std::string(1 << 20, '9') + "\n"));
  ASSERT_EQ(state_.JobList.size(), 1u);
  EXPECT_EQ(state_.JobList[0].Printer.View(), std::string(512, '?'));
  EXPECT_EQ(state_.JobList[0].Path.View(), std::string(2048, '9'));
  EXPECT_EQ(state_.JobList[0].Inventory, 255);
}

}  // namespace
}  // namespace quillmark
