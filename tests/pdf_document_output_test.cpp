#include "platform/qt/pdf_document_output.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDateTime>

#include <csignal>
#include <filesystem>
#include <regex>

#include "platform/qt/qt_print_system.h"
#include "spool/job_records.h"
#include "support/pdf_reader.h"
#include "support/program_runner.h"
#include "support/qt_application.h"

namespace quillmark {
namespace {

using testing::TempDir;

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class PdfDocumentOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::EnsureQtApplication(); }

  // One document with one line of text on the device; returns Delivered().
  bool PrintOne(PrintDevice& device, std::string_view text = "Beleg") {
    FontRequest request;
    request.height = -84;
    request.width = 60;
    request.weight = 400;
    request.charSet = 255;
    request.pitchAndFamily = 0x31;
    const FontHandle font = system_.CreateFont(request);
    device.StartDocument("DOS Job");
    device.StartPage();
    device.SelectFont(font);
    TextRect rect{230, 253, 0, 0};
    device.MeasureText(text, rect);
    device.DrawText(text, rect);
    device.EndPage();
    device.EndDocument();
    system_.DeleteFont(font);
    return device.Delivered();
  }

  bool PrintToFolder(const std::string& folder) {
    JobSettings settings;
    settings.Printer.Assign("PDF:" + folder);
    auto device = system_.OpenDevice(settings);
    return device && PrintOne(*device);
  }

  TempDir dir_;
  QtPrintSystem system_;
};

TEST_F(PdfDocumentOutputTest, EachDocumentIsANewFileNamedByTime) {
  const std::string folder = dir_.File("nested/pdf");
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(PrintToFolder(folder));
  const auto names = Listing(folder);
  ASSERT_EQ(names.size(), 3u);
  const std::regex pattern(R"(DOS-Job-\d{8}-\d{6}-\d{3}\.pdf)");
  for (const auto& name : names) EXPECT_TRUE(std::regex_match(name, pattern)) << name;
  // Written one after the other, so the modification times follow the sorted names.
  for (std::size_t i = 1; i < names.size(); ++i) {
    EXPECT_LE(std::filesystem::last_write_time(folder + "/" + names[i - 1]),
              std::filesystem::last_write_time(folder + "/" + names[i]));
  }
}

TEST_F(PdfDocumentOutputTest, RelativeFolderIsUnderTheWorkingDirectory) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path());
  const bool delivered = PrintToFolder("Ausgabe");
  std::filesystem::current_path(previous);
  EXPECT_TRUE(delivered);
  EXPECT_EQ(Listing(dir_.File("Ausgabe")).size(), 1u);
}

TEST_F(PdfDocumentOutputTest, ExistingFilesAreNeverOverwritten) {
  const std::string folder = dir_.File("pdf");
  std::filesystem::create_directories(folder);
  // Occupy the first names of this second and the next few.
  const QDateTime now = QDateTime::currentDateTime();
  std::vector<std::string> occupied;
  for (int second = 0; second < 4; ++second) {
    const std::string stamp = now.addSecs(second).toString("yyyyMMdd-HHmmss").toStdString();
    for (const char* counter : {"001", "002"}) {
      occupied.push_back(folder + "/DOS-Job-" + stamp + "-" + counter + ".pdf");
      testing::WriteFileBytes(occupied.back(), "keep");
    }
  }
  ASSERT_TRUE(PrintToFolder(folder));
  for (const auto& path : occupied) EXPECT_EQ(testing::ReadFileBytes(path), "keep") << path;
  EXPECT_EQ(Listing(folder).size(), occupied.size() + 1);
}

TEST_F(PdfDocumentOutputTest, FolderThatCannotBeMadeIsNotDelivered) {
  testing::WriteFileBytes(dir_.File("plain-file"), "x");
  JobSettings settings;
  settings.Printer.Assign("PDF:" + dir_.File("plain-file/pdf"));
  auto device = system_.OpenDevice(settings);
  ASSERT_TRUE(device);
  EXPECT_FALSE(PrintOne(*device));
  EXPECT_EQ(Listing(dir_.path()), std::vector<std::string>{"plain-file"});
}

TEST_F(PdfDocumentOutputTest, WriteFailureMidDocumentLeavesNoFile) {
  // A file size limit makes the PDF's writes fail part way, as a full disk would.
  const std::string folder = dir_.File("pdf");
  std::filesystem::create_directories(folder);
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = previous;
  small.rlim_cur = 2000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  JobSettings settings;
  settings.Printer.Assign("PDF:" + folder);
  auto device = system_.OpenDevice(settings);
  const bool delivered = PrintOne(*device, std::string(60, 'W'));
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(delivered);
  EXPECT_TRUE(Listing(folder).empty());
}

TEST_F(PdfDocumentOutputTest, RenamedAwayFolderIsNotDelivered) {
  const std::string folder = dir_.File("pdf");
  JobSettings settings;
  settings.Printer.Assign("PDF:" + folder);
  auto device = system_.OpenDevice(settings);
  device->StartDocument("DOS Job");
  device->StartPage();
  std::filesystem::rename(folder, dir_.File("moved"));
  device->EndPage();
  device->EndDocument();
  EXPECT_FALSE(device->Delivered());
}

TEST_F(PdfDocumentOutputTest, ExactPathReplacesTheFileAndLeavesNothingElse) {
  const std::string path = dir_.File("report.pdf");
  testing::WriteFileBytes(path, "old");
  JobSettings settings;
  settings.PaperWidth = 210;
  settings.PaperHeight = 297;
  auto device = system_.OpenPdfFile(path, settings, 300);
  EXPECT_EQ(device->DotsPerInchX(), 300);
  ASSERT_TRUE(PrintOne(*device));
  EXPECT_EQ(Listing(dir_.path()), std::vector<std::string>{"report.pdf"});
  if (!testing::PopplerInstalled()) return;
  EXPECT_EQ(testing::ReadPdfInfo(path)["Title"], "DOS Job");
  const auto words = testing::ReadPdfWords(path);
  ASSERT_EQ(words.size(), 1u);
  // 230 dots at 300 dots per inch.
  EXPECT_NEAR(words[0].xMin, 230 * 72.0 / 300, 0.1);
}

TEST_F(PdfDocumentOutputTest, DocumentNotYetEndedIsNotDelivered) {
  auto device = system_.OpenPdfFile(dir_.File("a.pdf"), JobSettings{});
  EXPECT_FALSE(device->Delivered());
  device->StartDocument("DOS Job");
  device->StartPage();
  EXPECT_FALSE(device->Delivered());
  EXPECT_FALSE(testing::FileExists(dir_.File("a.pdf")));
  device->EndPage();
  device->EndDocument();
  EXPECT_TRUE(device->Delivered());
}

}  // namespace
}  // namespace quillmark
