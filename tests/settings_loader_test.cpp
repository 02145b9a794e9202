#include "settings/settings_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_desktop.h"

namespace quillmark {
namespace {

struct Loader {
  // "<none>" leaves Settings.ini out; "<folder>" makes it a folder.
  bool Run(const std::string& settings) {
    if (settings != "<none>") files.Put("Settings.ini", settings);
    if (settings == "<folder>") files.MakeFolder("Settings.ini");
    return SettingsLoader(state, files, log, desktop);
  }
  testing::MemoryFileSystem files;
  testing::FixedClock clock;
  ErrorLog log{files, clock};
  testing::RecordingDesktop desktop;
  ProgramState state;
};

TEST(SettingsLoader, FaultsAreLoggedAndOnlyAMissingJobLetsTheStartGoOn) {
  const std::string noFile = "Keine Settings.ini gefunden!";
  const std::string noMain = "Keinen Main Eintrag in der Settings.ini gefunden!";
  const std::string noJob = "Kein Job_1 Eintrag in der Settings.ini gefunden!";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"<none>", noFile},  {"<folder>", noFile}, {"", noMain}, {"[ Main ]\n[Job_1]\n", noMain},
      {"[Main]\n", noJob},
  };
  for (const auto& [settings, message] : cases) {
    Loader loader;
    const bool fatal = message != noJob;
    EXPECT_EQ(loader.Run(settings), !fatal) << settings;
    EXPECT_EQ(loader.files.Get("Error.log"),
              std::string(14, '#') + "\r\n# Executable #\r\n" + std::string(14, '#') + "\r\n\r\n" +
                  std::string(160, '#') + "\r\n07-03-15 09:41:05 |                      | 0        | " +
                  std::string(32, ' ') + " | " + (fatal ? "2" : "0") + " | " + message + "\r\n");
    const std::string box =
        "ShowMessageBox Executable | " + message + "\\r\\rDas Programm wird nun beendet.\n";
    EXPECT_EQ(loader.desktop.Transcript(), fatal ? box : "");
    EXPECT_TRUE(loader.state.JobList.empty());
  }
}

// Every present group Job_1 ... Job_99 is a slot; only a missing Job_1 is worth a line, and a second slot
// on a spool file that one already watches is left out with one.
TEST(SettingsLoader, EachJobGroupIsASlot) {
  const std::string here = std::filesystem::current_path().generic_string();
  const struct {
    std::string groups;
    std::vector<std::int32_t> slots;
    std::string log;  // the messages, one per line
  } cases[] = {
      {.groups = "[Job_1]\nPath=A\n[Job_2]\nPath=B\n[Job_5]\nPath=C\n", .slots = {1, 2, 5}, .log = ""},
      {.groups = "[Job_5]\nPath=C\n[Job_2]\nPath=B\n[job_99]\nPath=D\n[Job_100]\nPath=E\n",
       .slots = {2, 5, 99},
       .log = "Kein Job_1 Eintrag in der Settings.ini gefunden!\n"},
      {.groups = "[Job_01]\nPath=A\n[Job_2]\nPath=B\n",
       .slots = {2},
       .log = "Kein Job_1 Eintrag in der Settings.ini gefunden!\n"},
      {.groups =
           "[Job_1]\nPath=SPOOL.PRN\n[Job_2]\nPath=./SPOOL.PRN\n[Job_3]\nPath=LABELS.PRN\n[Job_4]\nPath=" +
           here + "/SPOOL.PRN\n",
       .slots = {1, 3},
       .log =
           "Job_2 nennt dieselbe Spooldatei './SPOOL.PRN' wie Job_1 und wird nicht ueberwacht.\nJob_4 nennt "
           "dieselbe Spooldatei '" +
           here + "/SPOOL.PRN' wie Job_1 und wird nicht ueberwacht.\n"},
      // The program's own files, however a DOS user spells them.
      {.groups = "[Job_1]\nPath=SETTINGS.INI\n[Job_2]\nPath=./Error.log\n[Job_3]\nPath=ungedruckt/1.prn\n"
                 "[Job_4]\nPath=Warteschlange.PRN\n",
       .slots = {4},
       .log =
           "Job_1 nennt als Spooldatei 'SETTINGS.INI' eine Datei von Quillmark und wird nicht ueberwacht.\n"
           "Job_2 nennt als Spooldatei './Error.log' eine Datei von Quillmark und wird nicht ueberwacht.\n"
           "Job_3 nennt als Spooldatei 'ungedruckt/1.prn' eine Datei von Quillmark und wird nicht "
           "ueberwacht.\n"},
      {.groups = "[Job_1]\n[Job_2]\nPath=\n", .slots = {1, 2}, .log = ""},  // no Path is no shared file
  };
  for (const auto& c : cases) {
    Loader loader;
    ASSERT_TRUE(loader.Run("[Main]\n" + c.groups)) << c.groups;
    std::vector<std::int32_t> slots;
    for (const JobSettings& job : loader.state.JobList) slots.push_back(job.JobNumber);
    EXPECT_EQ(slots, c.slots) << c.groups;
    std::string messages;
    const std::string log = loader.files.Get("Error.log");
    for (std::size_t at = log.find("| 0 | "); at != std::string::npos; at = log.find("| 0 | ", at + 1)) {
      messages += log.substr(at + 6, log.find("\r\n", at) - at - 6) + "\n";
    }
    EXPECT_EQ(messages, c.log) << c.groups;
  }
}

TEST(SettingsLoader, ValuesMapToFields) {
  const std::string big(3000, 'p');
  const struct {
    std::string job;
    float width, height, top, left;
    int inventory;
  } cases[] = {
      {"Path=" + big + "\nPrinter=" + big, 210.0f, 297.0f, 10.7f, 9.75f, 0},  // the defaults
      {"Paper.Width =\nPaper.Height = 0x10\nBorder.Top = 1e1\nBorder.Left = 10,7\nInventory=300\nMedia = "
       "na_letter_8.5x11in",
       0.0f, 0.0f, 10.0f, 10.0f, 44},
      {"Paper.Width=-2.5\nPaper.Height=+3.25E-1\nBorder.Top=1e-50\nBorder.Left=9.5\nInventory=-1", -2.5f,
       0.325f, 0.0f, 9.5f, 255},
      {"Inventory=0x10\n[Job_1]\nPaper.Width=1", 210.0f, 297.0f, 10.7f, 9.75f, 0},  // the first group counts
      {"Inventory=99999999999", 210.0f, 297.0f, 10.7f, 9.75f, 255},
      {"Media = letter ; the office paper", 215.9f, 279.4f, 10.7f, 9.75f, 0},  // Media gives the page too
      {"Paper.Height=300\nMedia = Letter", 215.9f, 300.0f, 10.7f, 9.75f, 0},
      {"Media = Folio", 210.0f, 297.0f, 10.7f, 9.75f, 0},  // logged, the printer's own media
  };
  for (const auto& c : cases) {
    Loader loader;
    ASSERT_TRUE(loader.Run("Path=top\n[Main]\nPath=main\n[Job_1]\n" + c.job + "\n")) << c.job;
    ASSERT_EQ(loader.state.JobList.size(), 1u);
    const JobSettings& job = loader.state.JobList[0];
    EXPECT_EQ(job.JobNumber, 1);
    EXPECT_EQ(job.CharSet, 255);
    EXPECT_EQ(job.Path.View(), c.job.starts_with("Path") ? big.substr(0, 2048) : "") << c.job;
    EXPECT_EQ(job.Printer.View(), c.job.starts_with("Path") ? big.substr(0, 512) : "") << c.job;
    EXPECT_EQ((std::vector<float>{job.PaperWidth, job.PaperHeight, job.BorderTop, job.BorderLeft}),
              (std::vector<float>{c.width, c.height, c.top, c.left}))
        << c.job;
    EXPECT_EQ(job.Inventory, c.inventory) << c.job;
    const bool letter = c.job.find("etter") != std::string::npos;
    EXPECT_EQ(job.Media.View(), letter ? "na_letter_8.5x11in" : "") << c.job;
    EXPECT_EQ(loader.files.Get("Error.log").find("Unbekanntes Papier 'Folio'") != std::string::npos,
              c.job.ends_with("Folio"));
    EXPECT_EQ(
        loader.files.Get("Error.log")
                .find("| 0 | Der Wert von 'Printer' ist laenger als 512 Bytes und wird abgeschnitten.\r\n") !=
            std::string::npos,
        c.job.starts_with("Path"))
        << c.job;
  }
  // Names reach the file system as UTF-8: valid UTF-8 as it stands (with or without a byte-order mark),
  // anything else read as Latin-1.
  for (const std::string bom : {"", "\xEF\xBB\xBF"}) {
    for (const std::string path : {"B\xC3\xBCro.prn", "B\xFCro.prn"}) {
      Loader names;
      ASSERT_TRUE(names.Run(bom + "[Main]\n[Job_1]\nPath=" + path +
                            "\nPrinter=PDF:\xC3\x9C"
                            "brig\n"));
      EXPECT_EQ(names.state.JobList.at(0).Path.View(), "B\xC3\xBCro.prn");
      EXPECT_EQ(names.state.JobList.at(0).Printer.View(),
                "PDF:\xC3\x9C"
                "brig");
    }
  }
}

// One vocabulary for --paper, Media=, the CUPS filter's media and PageSize.
TEST(SettingsLoader, PaperNamesGiveTheirSizeInMillimetres) {
  const struct {
    const char* name;
    float width = 0, height = 0;    // 0: not a paper
    const char* pwgName = nullptr;  // not checked
  } rows[] = {
      {.name = "A3", .width = 297, .height = 420, .pwgName = "iso_a3_297x420mm"},
      {.name = "a4", .width = 210, .height = 297, .pwgName = "iso_a4_210x297mm"},
      {.name = "iso-a5", .width = 148, .height = 210, .pwgName = "iso_a5_148x210mm"},
      {.name = "A6", .width = 105, .height = 148, .pwgName = "iso_a6_105x148mm"},
      {.name = "B4", .width = 250, .height = 353, .pwgName = "iso_b4_250x353mm"},
      {.name = "b5", .width = 176, .height = 250, .pwgName = "iso_b5_176x250mm"},
      {.name = "na-letter", .width = 215.9f, .height = 279.4f, .pwgName = "na_letter_8.5x11in"},
      {.name = "LEGAL", .width = 215.9f, .height = 355.6f, .pwgName = "na_legal_8.5x14in"},
      {.name = "Executive", .width = 184.15f, .height = 266.7f, .pwgName = "na_executive_7.25x10.5in"},
      {.name = "Tabloid", .width = 279.4f, .height = 431.8f, .pwgName = "na_ledger_11x17in"},
      {.name = "iso_a4_210x297mm", .width = 210, .height = 297, .pwgName = "iso_a4_210x297mm"},
      {.name = "na_legal_8.5x14in", .width = 215.9f, .height = 355.6f, .pwgName = "na_legal_8.5x14in"},
      {.name = "om_small-photo_100x150mm",
       .width = 100,
       .height = 150,
       .pwgName = "om_small-photo_100x150mm"},
      {.name = "Custom.100x150mm", .width = 100, .height = 150, .pwgName = "custom_100x150mm_100x150mm"},
      {.name = "custom.4x6in",
       .width = 101.6f,
       .height = 152.4f,
       .pwgName = "custom_101.6x152.4mm_101.6x152.4mm"},
      {.name = "Custom.612x792", .width = 215.9f, .height = 279.4f},  // points, as in a PPD
      {.name = "Custom.72x72pt", .width = 25.4f, .height = 25.4f},
      {.name = "210x297", .width = 210, .height = 297, .pwgName = ""},  // the printer keeps its own media
      {.name = "100.5x5080", .width = 100.5f, .height = 5080, .pwgName = ""},
      // Not a paper: empty, unknown, no size, a size of 0 or beyond 200 inches, a wrong unit or PWG without
      // one.
      {.name = ""},
      {.name = "A7"},
      {.name = "main"},
      {.name = "Custom."},
      {.name = "0x297"},
      {.name = "210x"},
      {.name = "210x5081"},
      {.name = "-210x297"},
      {.name = "210x297cm"},
      {.name = "iso_a4_210x297"},
      {.name = "Custom.1x1e9mm"},
      {.name = "x"},
  };
  for (const auto& row : rows) {
    const auto paper = ParsePaper(row.name);
    ASSERT_EQ(paper.has_value(), row.width > 0) << row.name;
    if (!paper) continue;
    EXPECT_NEAR(paper->width, row.width, 0.01) << row.name;
    EXPECT_NEAR(paper->height, row.height, 0.01) << row.name;
    if (row.pwgName != nullptr) {
      EXPECT_EQ(paper->pwgName, row.pwgName) << row.name;
    }
  }
}

TEST(SettingsLoader, ASpoolFileNamedLikeADosDeviceIsKeptButLogged) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"LPT1.PRN", "SPOOL.PRN"},
      {"D:\\SPOOL\\prn", "D:\\SPOOL\\SPOOL.PRN"},
      {"out/Com9.txt", "out/SPOOL.txt"},
      {"clock$", "SPOOL.PRN"},
      {"aux.a.b", "SPOOL.a.b"},
      {"SPOOL.PRN", ""},
      {"LPT0.PRN", ""},
      {"LPT10", ""},
      {"nul/x.prn", ""},
      {"", ""},
  };
  for (const auto& [path, better] : cases) {
    Loader loader;
    ASSERT_TRUE(loader.Run("[Main]\n[Job_1]\nPath=" + path + "\n"));
    EXPECT_EQ(loader.state.JobList.at(0).Path.View(), path);
    const std::string log = loader.files.Get("Error.log");
    const std::string entry = "| 0 | Spooldatei '" + path +
                              "' ist unter DOS ein Geraetename; DOS-Programme koennen nicht hineinschreiben. "
                              "Besser z. B. '" +
                              better + "'.\r\n";
    EXPECT_EQ(log.empty() ? "" : log.substr(log.size() - entry.size()), better.empty() ? "" : entry) << path;
  }
}

TEST(SettingsLoader, EmulationAndCodePageChooseThePrinterAndFallBackWithOneEntry) {
  struct Case {
    std::string lines;
    Emulation mode;
    std::int32_t codePage;
    std::string logged;  // the message of the one Error.log entry, "" for none
  };
  const std::vector<Case> cases = {
      {"", Emulation::kBasic, 437, ""},
      {"Emulation =\nCodePage =\n", Emulation::kBasic, 437, ""},
      {"Emulation = basic\n", Emulation::kBasic, 437, ""},
      {"Emulation = esc/p2   ; Epson\nCodePage = 850 ; Western\n", Emulation::kEscP2, 850, ""},
      {"Emulation = ESC/P2\nCodePage = 895\n", Emulation::kEscP2, 895, ""},
      {"Emulation = pcl ; LaserJet\n", Emulation::kPcl, 437, ""},
      {"Emulation = AUTO\n", Emulation::kAuto, 437, ""},
      {"Emulation = esc/p\n", Emulation::kEscP, 437, ""},
      {"Emulation = ESCP2\n", Emulation::kBasic, 437,
       "Unbekannte Emulation 'ESCP2' in der Settings.ini, es gilt Basic."},
      {"CodePage = 1252\n", Emulation::kBasic, 437,
       "Unbekannte CodePage '1252' in der Settings.ini, es gilt 437."},
      {"CodePage = 85O\n", Emulation::kBasic, 437,
       "Unbekannte CodePage '85O' in der Settings.ini, es gilt 437."},
  };
  for (const Case& c : cases) {
    Loader loader;
    ASSERT_TRUE(loader.Run("[Main]\n[Job_1]\n" + c.lines));
    const JobSettings& job = loader.state.JobList.at(0);
    EXPECT_EQ(job.Mode, c.mode) << c.lines;
    EXPECT_EQ(job.CodePage, c.codePage) << c.lines;
    const std::string log = loader.files.Get("Error.log");
    EXPECT_EQ(log.empty() ? "" : log.substr(log.rfind(" | ") + 3), c.logged.empty() ? "" : c.logged + "\r\n")
        << c.lines;
    EXPECT_EQ(std::count(log.begin(), log.end(), '|'), c.logged.empty() ? 0 : 5);
  }
}

}  // namespace
}  // namespace quillmark
