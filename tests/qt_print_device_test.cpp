#include "platform/qt/qt_print_device.h"

#include <gtest/gtest.h>

#include <limits>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "platform/qt/qt_print_system.h"
#include "spool/job_records.h"
#include "support/pdf_reader.h"
#include "support/program_runner.h"
#include "support/qt_application.h"

namespace quillmark {
namespace {

using testing::PdfWord;
using testing::TempDir;

FontRequest Font(std::int32_t height, std::int32_t width, std::int32_t weight = 400, std::uint8_t pitch = 0x31) {
  FontRequest request;
  request.height = height;
  request.width = width;
  request.weight = weight;
  request.charSet = 255;
  request.pitchAndFamily = pitch;
  return request;
}

// A PDF printer device in a temporary folder, with helpers to draw text and read the result back.
class QtPrintDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureQtApplication();
    if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils (pdftotext, pdfinfo) are not installed";
  }

  std::unique_ptr<PrintDevice> Open(float paperWidth = 0, float paperHeight = 0) {
    JobSettings settings;
    settings.Printer.Assign("PDF:" + dir_.File("out"));
    settings.PaperWidth = paperWidth;
    settings.PaperHeight = paperHeight;
    return system_.OpenDevice(settings);
  }

  void Begin(PrintDevice& device) {
    device.StartDocument("DOS Job");
    device.StartPage();
    device.SetTextColor(0);
    device.SetTransparentBackground();
  }

  // Draws `text` at (x, y) in `font` and returns where the next character goes.
  std::int32_t Draw(PrintDevice& device, FontHandle font, std::int32_t x, std::int32_t y, std::string_view text) {
    device.SelectFont(font);
    TextRect rect{x, y, 0, 0};
    device.MeasureText(text, rect);
    device.DrawText(text, rect);
    return rect.right;
  }

  // The one PDF the device wrote.
  std::string OnlyPdf() const {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.File("out"))) {
      files.push_back(entry.path().string());
    }
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? std::string() : files.front();
  }

  // Renders a PDF's first page to gray pixels.
  std::string Pixels(const std::string& pdf) const {
    const std::string base = dir_.File("render");
    testing::RunProgram({"/usr/bin/pdftoppm", "-r", "100", "-gray", "-singlefile", pdf, base}, dir_.path(),
                        std::chrono::seconds(60));
    return testing::ReadFileBytes(base + ".pgm");
  }

  TempDir dir_;
  QtPrintSystem system_;
};

TEST_F(QtPrintDeviceTest, PdfPrinterHas600DotsAndNoMargins) {
  auto device = Open();
  ASSERT_TRUE(device);
  EXPECT_EQ(device->DotsPerInchX(), 600);
  EXPECT_EQ(device->DotsPerInchY(), 600);
  EXPECT_EQ(device->PhysicalOffsetX(), 0);
  EXPECT_EQ(device->PhysicalOffsetY(), 0);
  EXPECT_FALSE(device->Delivered());
}

TEST_F(QtPrintDeviceTest, PaperSizeComesFromSettingsWithA4Fallback) {
  const struct {
    float width, height;
    const char* pageSize;
  } cases[] = {{0, 0, "595 x 842"},
               {210, -1, "595 x 842"},
               {100, 150, "283 x 425"},
               {297, 210, "842 x 595"},
               {std::numeric_limits<float>::infinity(), 297, "595 x 842"},
               {210, 1e9f, "595 x 842"}};
  for (const auto& c : cases) {
    auto device = Open(c.width, c.height);
    Begin(*device);
    device->EndPage();
    device->EndDocument();
    const std::string pdf = OnlyPdf();
    EXPECT_TRUE(testing::ReadPdfInfo(pdf)["Page size"].starts_with(c.pageSize)) << c.width << "x" << c.height;
    std::filesystem::remove(pdf);
  }
}

TEST_F(QtPrintDeviceTest, UnknownPrinterNameOpensNoDevice) {
  JobSettings settings;
  settings.Printer.Assign("Quillmark-No-Such-Printer");
  EXPECT_EQ(system_.OpenDevice(settings), nullptr);
}

TEST_F(QtPrintDeviceTest, MeasuredWidthIsTheRequestedPitchInWholeDots) {
  auto device = Open();
  const struct {
    FontRequest font;
    std::string_view text;
    std::int32_t width;
  } cases[] = {
      {Font(-84, 60), "A", 60},          {Font(-84, 60), "Hello", 300},  {Font(-84, 35), "AB", 70},
      {Font(-84, 120), "W", 120},        {Font(-56, 30, 700), "ab", 60}, {Font(-168, 60), "x", 60},
      {Font(-84, 60, 500), "\xDB", 60},  {Font(-84, 17), "iiii", 68},
  };
  for (const auto& c : cases) {
    const FontHandle font = system_.CreateFont(c.font);
    ASSERT_NE(font, 0u);
    device->SelectFont(font);
    TextRect rect{100, 200, 0, 0};
    device->MeasureText(c.text, rect);
    EXPECT_EQ(rect.right - rect.left, c.width) << c.text << " at width " << c.font.width;
    // The cell is a little taller than the em: ascent plus descent.
    const std::int32_t em = -c.font.height;
    EXPECT_GT(rect.bottom - rect.top, em) << c.text;
    EXPECT_LT(rect.bottom - rect.top, em * 13 / 10) << c.text;
    system_.DeleteFont(font);
  }
}

TEST_F(QtPrintDeviceTest, VariablePitchScalesWithTheAverageWidth) {
  auto device = Open();
  const auto measure = [&](std::int32_t width, std::string_view text) {
    const FontHandle font = system_.CreateFont(Font(-84, width, 400, 0x32));
    device->SelectFont(font);
    TextRect rect{0, 0, 0, 0};
    device->MeasureText(text, rect);
    system_.DeleteFont(font);
    return rect.right;
  };
  EXPECT_LT(measure(60, "i"), measure(60, "W"));
  const std::string_view alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const double ratio = static_cast<double>(measure(120, alphabet)) / measure(60, alphabet);
  EXPECT_NEAR(ratio, 2.0, 0.03);
  // The average advance of a mixed text is of the order of the requested average width.
  EXPECT_NEAR(measure(60, alphabet) / static_cast<double>(alphabet.size()), 60, 15);
}

TEST_F(QtPrintDeviceTest, TextLandsWhereItWasDrawn) {
  auto device = Open();
  Begin(*device);
  const FontHandle normal = system_.CreateFont(Font(-84, 60));
  const FontHandle condensed = system_.CreateFont(Font(-84, 35));
  std::int32_t x = Draw(*device, normal, 230, 253, "Quill");
  x = Draw(*device, condensed, x + 60, 253, "mark");
  Draw(*device, normal, 230, 353, std::string(70, 'X'));
  Draw(*device, normal, 1000, 153, "Top");
  device->EndPage();
  device->EndDocument();
  ASSERT_TRUE(device->Delivered());

  const std::vector<PdfWord> words = testing::ReadPdfWords(OnlyPdf());
  const struct {
    std::string text;
    double left, top, right;
  } expected[] = {{"Top", 1000, 153, 1180}, {"Quill", 230, 253, 530}, {"mark", 590, 253, 730},
                  {std::string(70, 'X'), 230, 353, 230 + 70 * 60}};
  ASSERT_EQ(words.size(), std::size(expected));
  for (std::size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(words[i].text, expected[i].text);
    EXPECT_NEAR(testing::PointsToDots(words[i].xMin, 600), expected[i].left, 0.5) << expected[i].text;
    EXPECT_NEAR(testing::PointsToDots(words[i].yMin, 600), expected[i].top, 0.5) << expected[i].text;
    EXPECT_NEAR(testing::PointsToDots(words[i].xMax, 600), expected[i].right, 0.5) << expected[i].text;
  }
}

TEST_F(QtPrintDeviceTest, BatchedLineLooksLikeOneDrawPerCharacter) {
  const FontHandle normal = system_.CreateFont(Font(-84, 60));
  const FontHandle wide = system_.CreateFont(Font(-84, 120, 700));
  const FontHandle strike = system_.CreateFont(Font(-84, 35, 500));
  const std::string text = "Summe \x84\x94\x81 \xC4\xC4\xC5\xC4 1.234,56";
  const auto render = [&](bool perCharacter) {
    auto device = Open();
    Begin(*device);
    std::int32_t y = 253;
    for (const FontHandle font : {normal, wide, strike}) {
      std::int32_t x = 230;
      if (perCharacter) {
        for (const char c : text) x = Draw(*device, font, x, y, std::string_view(&c, 1));
      } else {
        Draw(*device, font, x, y, text);
      }
      y += 100;
    }
    device->EndPage();
    device->EndDocument();
    const std::string pdf = OnlyPdf();
    std::string pixels = Pixels(pdf);
    std::filesystem::remove(pdf);
    return pixels;
  };
  const std::string batched = render(false);
  ASSERT_FALSE(batched.empty());
  EXPECT_TRUE(batched == render(true));
}

TEST_F(QtPrintDeviceTest, OemBytesReadBackAsTheDosCodePage) {
  auto device = Open();
  Begin(*device);
  const FontHandle font = system_.CreateFont(Font(-84, 60));
  Draw(*device, font, 230, 253, "\x84\x94\x81\xE1");
  Draw(*device, font, 230, 353, "\xDA\xC4\xBF\xB3");
  Draw(*device, font, 230, 453, "\x9B\x9C\x9D\xF8\xFD");
  device->EndPage();
  device->EndDocument();
  const std::vector<PdfWord> words = testing::ReadPdfWords(OnlyPdf());
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[0].text, "äöüß");
  EXPECT_EQ(words[1].text, "┌─┐│");
  EXPECT_EQ(words[2].text, "¢£¥°²");
}

TEST_F(QtPrintDeviceTest, DoubleStrikeIsDarkerAndReadsOnce) {
  const auto render = [&](std::int32_t weight, std::string* text) {
    auto device = Open();
    Begin(*device);
    Draw(*device, system_.CreateFont(Font(-84, 60, weight)), 230, 253, "Rechnung");
    device->EndPage();
    device->EndDocument();
    const std::string pdf = OnlyPdf();
    const auto words = testing::ReadPdfWords(pdf);
    *text = words.empty() ? "" : words[0].text;
    const std::string pixels = Pixels(pdf);
    std::filesystem::remove(pdf);
    return std::count_if(pixels.begin(), pixels.end(), [](char p) { return static_cast<unsigned char>(p) < 128; });
  };
  std::string regularText, strikeText, boldText;
  const auto regular = render(400, &regularText);
  const auto strike = render(500, &strikeText);
  const auto bold = render(700, &boldText);
  EXPECT_EQ(regularText, "Rechnung");
  EXPECT_EQ(strikeText, "Rechnung");
  EXPECT_EQ(boldText, "Rechnung");
  EXPECT_GT(strike, regular * 11 / 10);
  EXPECT_GT(bold, regular * 11 / 10);
}

TEST_F(QtPrintDeviceTest, DocumentHasTitlePagesAndEmbeddedFonts) {
  auto device = Open();
  Begin(*device);
  const FontHandle regular = system_.CreateFont(Font(-84, 60));
  const FontHandle bold = system_.CreateFont(Font(-56, 30, 700));
  for (int page = 1; page <= 3; ++page) {
    if (page > 1) device->StartPage();
    Draw(*device, regular, 230, 253, "Seite " + std::to_string(page));
    Draw(*device, bold, 230, 553, "Fuss");
    device->EndPage();
  }
  device->EndDocument();
  ASSERT_TRUE(device->Delivered());
  const std::string pdf = OnlyPdf();
  auto info = testing::ReadPdfInfo(pdf);
  EXPECT_EQ(info["Title"], "DOS Job");
  EXPECT_EQ(info["Pages"], "3");
  const auto words = testing::ReadPdfWords(pdf);
  ASSERT_EQ(words.size(), 9u);
  EXPECT_EQ(words[7].page, 3);
  EXPECT_EQ(words[7].text, "3");
  const auto fonts = testing::ReadPdfFonts(pdf);
  ASSERT_EQ(fonts.size(), 2u);
  for (const auto& row : fonts) EXPECT_NE(row.find(" yes "), std::string::npos) << row;
  EXPECT_TRUE(fonts[0].starts_with("DejaVuSansMono ") || fonts[1].starts_with("DejaVuSansMono "));
  EXPECT_TRUE(fonts[0].starts_with("DejaVuSansMono-Bold") || fonts[1].starts_with("DejaVuSansMono-Bold"));
}

TEST_F(QtPrintDeviceTest, FontsAreReleasedAndADeletedSelectedFontStillDraws) {
  auto device = Open();
  Begin(*device);
  const FontHandle font = system_.CreateFont(Font(-84, 60));
  device->SelectFont(font);
  system_.DeleteFont(font);
  system_.DeleteFont(0);
  EXPECT_EQ(system_.LiveFonts(), 0u);
  TextRect rect{230, 253, 0, 0};
  device->MeasureText("Noch da", rect);
  device->DrawText("Noch da", rect);
  EXPECT_EQ(rect.right, 230 + 7 * 60);
  // An unknown handle leaves the selected font in place.
  device->SelectFont(12345);
  device->EndPage();
  device->EndDocument();
  const auto words = testing::ReadPdfWords(OnlyPdf());
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[0].text + " " + words[1].text, "Noch da");
}

TEST_F(QtPrintDeviceTest, DestroyingADeviceFinishesItsOpenDocument) {
  auto device = Open();
  Begin(*device);
  Draw(*device, system_.CreateFont(Font(-84, 60)), 230, 253, "Offen");
  device.reset();
  const auto words = testing::ReadPdfWords(OnlyPdf());
  ASSERT_EQ(words.size(), 1u);
  EXPECT_EQ(words[0].text, "Offen");
}

// The print worker prints on its own thread while the application object lives on the main thread.
TEST(QtPrintDeviceThreads, WorkerThreadPrintsWhileTheMainThreadMakesFonts) {
  testing::EnsureQtApplication();
  if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils are not installed";
  TempDir dir;
  QtPrintSystem system;
  std::thread worker([&] {
    for (int job = 0; job < 2; ++job) {
      JobSettings settings;
      settings.Printer.Assign("PDF:" + dir.File("out"));
      auto device = system.OpenDevice(settings);
      device->StartDocument("DOS Job");
      device->StartPage();
      const FontHandle font = system.CreateFont(Font(-84, 60 - job * 10));
      device->SelectFont(font);
      TextRect rect{230, 253, 0, 0};
      device->MeasureText("Thread", rect);
      device->DrawText("Thread", rect);
      device->EndPage();
      device->EndDocument();
      EXPECT_TRUE(device->Delivered());
      system.DeleteFont(font);
    }
  });
  for (int i = 0; i < 20; ++i) system.DeleteFont(system.CreateFont(Font(-56 - i, 30, 700)));
  worker.join();
  int documents = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.File("out"))) {
    const auto words = testing::ReadPdfWords(entry.path().string());
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].text, "Thread");
    ++documents;
  }
  EXPECT_EQ(documents, 2);
  EXPECT_EQ(system.LiveFonts(), 0u);
}

}  // namespace
}  // namespace quillmark
