#include "platform/pdf/pdf_print_device.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string_view>

#include "emulation/code_pages.h"
#include "platform/pdf/background_deflater.h"
#include "platform/pdf/pdf_syntax.h"
#include "platform/printing/linux_print_system.h"
#include "spool/job_records.h"
#include "support/pdf_reader.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

// Numbers in page content: the decimals of the exactly rounded value, without trailing zeros or "-0",
// also next to the halfway points where rounding the scaled double would go the other way.
TEST(PdfSyntax, NumbersAreTheExactlyRoundedDecimals) {
  const struct {
    double value;
    int decimals;
    const char* text;
  } cases[] = {
      {0, 3, "0"},          {-0.0004, 3, "0"},   {12, 3, "12"},          {0.12, 3, "0.12"},
      {-3.5, 3, "-3.5"},    {2.675, 2, "2.67"},  {1.005, 2, "1"},        {0.125, 2, "0.12"},
      {0.375, 2, "0.38"},   {-0.125, 2, "-0.12"}, {0.1200004, 6, "0.12"}, {0.12000051, 6, "0.120001"},
      {595.2756, 3, "595.276"}, {1e12, 3, "1000000000000"}, {1.5, 0, "2"}, {2.5, 0, "2"},
      {0.0000005, 6, "0"},  {0.00000051, 6, "0.000001"},
  };
  for (const auto& c : cases) {
    std::string out;
    pdf::AppendNumber(out, c.value, c.decimals);
    EXPECT_EQ(out, c.text) << c.value << " to " << c.decimals;
  }
}

// Pages are compressed on a second thread, one at a time: each comes back whole and in turn.
TEST(PdfDeflaterThreads, EachPieceComesBackAsDeflateMakesIt) {
  pdf::BackgroundDeflater deflater;
  for (int n = 0; n < 200; ++n) {
    const std::string piece(static_cast<std::size_t>(n * 37), static_cast<char>('a' + n % 26));
    deflater.Start(piece);
    EXPECT_EQ(deflater.Take(), pdf::Deflate(piece)) << n;
  }
  deflater.Start("left unfinished at the end");
}

std::string Utf8(std::u32string_view text) {
  std::string utf8;
  for (const char32_t c : text) {
    const int tail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    utf8 += static_cast<char>(tail == 0 ? c : ((0xFF00u >> (tail + 1)) & 0xFF) | (c >> (6 * tail)));
    for (int k = tail - 1; k >= 0; --k) utf8 += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
  }
  return utf8;
}

class PdfPrintDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::PopplerInstalled()) GTEST_SKIP() << "poppler-utils are not installed";
  }

  // A started page of a PDF written to `name` in the test's folder.
  std::unique_ptr<PrintDevice> Start(const std::string& name, float paperWidth = 0, float paperHeight = 0) {
    JobSettings settings;
    settings.PaperWidth = paperWidth;
    settings.PaperHeight = paperHeight;
    auto device = system_.OpenPdfFile(dir_.File(name), settings);
    device->StartDocument("DOS Job");
    device->StartPage();
    return device;
  }

  testing::TempDir dir_;
  LinuxPrintSystem system_;
};

TEST_F(PdfPrintDeviceTest, PaperSizeComesFromSettingsWithA4Fallback) {
  const float kInfinity = std::numeric_limits<float>::infinity();
  const struct {
    float width, height;
    const char* pageSize;
    std::int32_t widthDots, heightDots;  // the sheet at 600 dpi, which sets the ESC/P 2 page length
  } cases[] = {{0, 0, "595 x 842", 4958, 7017},           {210, -1, "595 x 842", 4958, 7017},
               {100, 150, "283 x 425", 2358, 3542},       {297, 210, "842 x 595", 7017, 4958},
               {kInfinity, 297, "595 x 842", 4958, 7017}, {210, 1e9f, "595 x 842", 4958, 7017}};
  for (const auto& c : cases) {
    auto device = Start("paper.pdf", c.width, c.height);
    EXPECT_EQ(device->PaperWidthDots(), c.widthDots) << c.width << "x" << c.height;
    EXPECT_EQ(device->PaperHeightDots(), c.heightDots) << c.width << "x" << c.height;
    device->EndPage();
    device->EndDocument();
    const std::string size = testing::ReadPdfInfo(dir_.File("paper.pdf"))["Page size"];
    EXPECT_TRUE(size.starts_with(c.pageSize)) << c.width << "x" << c.height << ": " << size;
  }
}

TEST_F(PdfPrintDeviceTest, BatchedLineLooksLikeOneDrawPerCharacter) {
  std::vector<FontHandle> fonts;
  for (const auto& [width, weight] : {std::pair{60, 400}, {120, 700}, {35, 500}}) {
    FontRequest request;
    request.height = -84;
    request.width = width;
    request.weight = weight;
    request.charSet = 255;
    request.pitchAndFamily = 0x31;
    fonts.push_back(system_.CreateFont(request));
  }
  const std::string text = "Summe \x84\x94\x81 \xC4\xC4\xC5\xC4 1.234,56";
  const auto render = [&](const std::string& name, std::size_t step) {
    auto device = Start(name + ".pdf");
    device->SetTextColor(0);
    device->SetTransparentBackground();
    for (std::size_t line = 0; line < fonts.size(); ++line) {
      device->SelectFont(fonts[line]);
      std::int32_t x = 230;
      for (std::size_t at = 0; at < text.size(); at += step) {
        const std::string_view part = std::string_view(text).substr(at, step);
        TextRect rect{x, static_cast<std::int32_t>(253 + 100 * line), 0, 0};
        device->MeasureText(part, rect);
        device->DrawText(part, rect);
        x = rect.right;
      }
    }
    device->EndPage();
    device->EndDocument();
    testing::RunProgram({"/usr/bin/pdftoppm", "-r", "100", "-gray", "-singlefile", name + ".pdf", name},
                        dir_.path(), std::chrono::seconds(60));
    return testing::ReadFileBytes(dir_.File(name + ".pgm"));
  };
  const std::string batched = render("batched", text.size());
  ASSERT_FALSE(batched.empty());
  EXPECT_TRUE(batched == render("single", 1));
  for (const FontHandle font : fonts) system_.DeleteFont(font);
  EXPECT_EQ(system_.LiveFonts(), 0u);
}

TEST_F(PdfPrintDeviceTest, FacesUnicodeTextRectanglesAndImagesArriveAsDrawn) {
  const struct {
    const char* faceName;
    std::uint8_t pitch, italic;
    std::int32_t weight;
    std::u32string text;
  } lines[] = {{"", 0x31, 0, 400, U"Grüße\u4E00Ωμέγα"},  // U+4E00 is in no face: a box that still advances
               {"", 0x32, 0, 700, U"Größe€"},
               {"Roman", 0x31, 1, 400, U"Ærø½"},
               {"Roman", 0x32, 1, 700, U"Straße"},
               {"Sans Serif", 0x31, 1, 700, U"Sans┼█"}};
  auto device = Start("mixed.pdf");
  device->SetTransparentBackground();
  for (std::size_t i = 0; i < std::size(lines); ++i) {
    FontRequest request;
    request.height = -84;
    request.width = 60;
    request.weight = lines[i].weight;
    request.italic = lines[i].italic;
    request.pitchAndFamily = lines[i].pitch;
    request.faceName = lines[i].faceName;
    device->SelectFont(system_.CreateFont(request));
    TextRect rect{230, static_cast<std::int32_t>(253 + 100 * i), 0, 0};
    device->MeasureUnicodeText(lines[i].text, rect);
    if (lines[i].pitch == 0x31) {
      EXPECT_EQ(rect.right - rect.left, 60 * std::ssize(lines[i].text)) << i;
    }
    device->DrawUnicodeText(lines[i].text, rect);
  }
  // Invisible text between visible text on one line: read back in place, without ink.
  FontRequest mono{.height = -84, .width = 60, .weight = 400, .pitchAndFamily = 0x31, .faceName = {}};
  const FontHandle font = system_.CreateFont(mono);
  device->SelectFont(font);
  device->DrawUnicodeText(U"A", {230, 753, 290, 840});
  device->DrawHiddenText(U"███", {350, 753, 530, 840}, font);
  device->DrawUnicodeText(U"B", {590, 753, 650, 840});
  // Red rules and two copies of one picture (left half ink) over 100 x 50 dots at 60 dpi: 10 x 5 pixels.
  device->SetTextColor(0x0000FF);
  device->FillRectangle({600, 1200, 1200, 1300});
  device->FillRectangle({600, 1400, 500, 1500});  // inverted: nothing
  const BitImage picture{2, 1, {0xBF}};           // bits past the width are padding
  device->DrawBitImage(picture, {0, 2000, 1000, 2500});
  device->DrawBitImage(picture, {1000, 2000, 2000, 2500});
  device->DrawBitImage(BitImage{8, 1, {0}}, {0, 2600, 1000, 2700});  // no dots: nothing
  device->EndPage();
  device->EndDocument();
  ASSERT_TRUE(device->Delivered());

  const std::string pdf = dir_.File("mixed.pdf");
  const auto words = testing::ReadPdfWords(pdf);
  ASSERT_EQ(words.size(), std::size(lines) + 3);
  for (std::size_t i = 0; i < std::size(lines); ++i) {
    EXPECT_EQ(words[i].text, Utf8(lines[i].text)) << i;
    EXPECT_NEAR(words[i].xMin, 230, 0.5) << i;
    EXPECT_NEAR(words[i].yMin, 253.0 + 100.0 * static_cast<double>(i), 1.0) << i;
  }
  for (std::size_t i = 0; i < 3; ++i) {
    const auto& word = words[std::size(lines) + i];
    EXPECT_EQ(word.text, std::vector<std::string>({"A", "███", "B"})[i]);
    EXPECT_NEAR(word.xMin, std::vector<double>({230, 350, 590})[i], 0.5) << word.text;
  }
  // Each face its own embedded subset with a Unicode map.
  const auto fonts = testing::ReadPdfFonts(pdf);
  EXPECT_EQ(fonts.size(), std::size(lines));
  for (const auto& row : fonts)
    EXPECT_TRUE(row.find("CID TrueType") != row.npos && row.find(" yes yes yes ") != row.npos) << row;
  const std::string bytes = testing::ReadFileBytes(pdf);
  std::size_t images = 0;
  for (auto at = bytes.find("/ImageMask true"); at != bytes.npos; at = bytes.find("/ImageMask true", at + 1))
    ++images;
  EXPECT_EQ(images, 1u);

  testing::RunProgram({"/usr/bin/pdftoppm", "-r", "60", "-singlefile", "mixed.pdf", "mixed"}, dir_.path(),
                      std::chrono::seconds(60));
  const std::string ppm = testing::ReadFileBytes(dir_.File("mixed.ppm"));
  ASSERT_GT(ppm.size(), 15u);
  const std::size_t header = ppm.size() - 496 * 702 * 3;
  const auto pixel = [&](int x, int y) {
    const std::size_t at = header + (static_cast<std::size_t>(y) * 496 + static_cast<std::size_t>(x)) * 3;
    return (static_cast<unsigned char>(ppm[at]) << 16) | (static_cast<unsigned char>(ppm[at + 1]) << 8) |
           static_cast<unsigned char>(ppm[at + 2]);
  };
  const struct {
    int x, y, rgb;
  } probes[] = {{90, 125, 0xFF0000},  {90, 145, 0xFFFFFF},  {25, 225, 0xFF0000}, {75, 225, 0xFFFFFF},
                {125, 225, 0xFF0000}, {175, 225, 0xFFFFFF}, {25, 265, 0xFFFFFF}, {38, 80, 0xFFFFFF}};
  for (const auto& probe : probes) EXPECT_EQ(pixel(probe.x, probe.y), probe.rgb) << probe.x << "," << probe.y;
}

// Each code page's upper half (its line and block characters are drawn, not written) comes back from the
// PDF as the same characters, in both faces: every glyph has its Unicode value.
TEST_F(PdfPrintDeviceTest, EveryCodePageReadsBackAsItsCharacters) {
  auto device = Start("codepages.pdf");
  std::string expected;
  int line = 0;
  for (const char* face : {"Roman", "Sans Serif"}) {
    FontRequest request;
    request.height = -42;
    request.width = 30;
    request.weight = 400;
    request.pitchAndFamily = 0x31;
    request.faceName = face;
    device->SelectFont(system_.CreateFont(request));
    for (const int codePage : {437, 850, 852, 857, 858, 860, 863, 865, 866, 895}) {
      std::u32string text;
      for (const char16_t* c = CodePageUpperHalf(codePage); c != CodePageUpperHalf(codePage) + 128; ++c) {
        if (*c != u' ' && *c != 0xA0 && *c != 0xAD && (*c < 0x2500 || *c > 0x25A0)) text += *c;
      }
      TextRect rect{100, 100 + 60 * line++, 0, 0};
      device->MeasureUnicodeText(text, rect);
      device->DrawUnicodeText(text, rect);
      expected += Utf8(text);
    }
  }
  device->EndPage();
  device->EndDocument();
  std::string read;
  for (const char c : testing::ReadPdfText(dir_.File("codepages.pdf"))) {
    if (static_cast<unsigned char>(c) > ' ') read += c;
  }
  EXPECT_EQ(read, expected);
}

// A document the take store did not let through leaves nothing; partial files of a killed run go at the
// next start, those a live writer holds stay. Lines at the far edge of the coordinate range stay valid.
TEST_F(PdfPrintDeviceTest, AbandonedAndLeftoverPartsVanishAndEndlessLinesStayValid) {
  JobSettings settings;
  settings.Printer.Assign("PDF:" + dir_.File("out"));
  auto abandoned = system_.OpenDevice(settings);
  abandoned->StartDocument("DOS Job");
  abandoned->StartPage();
  TextRect rect{0, 0, 0, 0};
  abandoned->DrawText("Beleg", rect);
  abandoned->AbandonDocument();
  abandoned.reset();
  EXPECT_TRUE(std::filesystem::is_empty(dir_.File("out")));

  pdf::TemporaryPdf live;
  ASSERT_TRUE(live.Open(dir_.File("out"), true));
  testing::WriteFileBytes(dir_.File("out/.quillmark-killed.part"), "%PDF-");
  testing::WriteFileBytes(dir_.File("out/keep.pdf"), "%PDF-");
  system_.RemoveLeftovers(settings);
  EXPECT_TRUE(testing::FileExists(live.Path()));
  EXPECT_FALSE(testing::FileExists(dir_.File("out/.quillmark-killed.part")));
  EXPECT_TRUE(testing::FileExists(dir_.File("out/keep.pdf")));

  auto device = Start("edge.pdf");
  device->SetTransparentBackground();
  const std::string line(10000, 'x');
  for (const std::int32_t x : {0, std::numeric_limits<std::int32_t>::max() - 100}) {
    TextRect at{x, std::numeric_limits<std::int32_t>::max() - 10, 0, 0};
    device->MeasureText(line, at);
    EXPECT_EQ(at.right == std::numeric_limits<std::int32_t>::max(), x != 0);
    device->DrawText(line, at);
    device->FillRectangle({std::numeric_limits<std::int32_t>::min(), 0, x, 10});
  }
  device->EndPage();
  device->EndDocument();
  EXPECT_TRUE(device->Delivered());
  EXPECT_EQ(testing::ReadPdfInfo(dir_.File("edge.pdf"))["Pages"], "1");
}

}  // namespace
}  // namespace quillmark
