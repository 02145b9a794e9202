#include "platform/qt/qt_print_device.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/qt/qt_print_system.h"
#include "spool/job_records.h"
#include "support/pdf_reader.h"
#include "support/program_runner.h"
#include "support/qt_application.h"

namespace quillmark {
namespace {

class QtPrintDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureQtApplication();
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
  QtPrintSystem system_;
};

TEST_F(QtPrintDeviceTest, PaperSizeComesFromSettingsWithA4Fallback) {
  const float kInfinity = std::numeric_limits<float>::infinity();
  const struct {
    float width, height;
    const char* pageSize;
  } cases[] = {{0, 0, "595 x 842"},     {210, -1, "595 x 842"},        {100, 150, "283 x 425"},
               {297, 210, "842 x 595"}, {kInfinity, 297, "595 x 842"}, {210, 1e9f, "595 x 842"}};
  for (const auto& c : cases) {
    auto device = Start("paper.pdf", c.width, c.height);
    device->EndPage();
    device->EndDocument();
    const std::string size = testing::ReadPdfInfo(dir_.File("paper.pdf"))["Page size"];
    EXPECT_TRUE(size.starts_with(c.pageSize)) << c.width << "x" << c.height << ": " << size;
  }
}

TEST_F(QtPrintDeviceTest, BatchedLineLooksLikeOneDrawPerCharacter) {
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

}  // namespace
}  // namespace quillmark
