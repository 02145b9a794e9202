// Interpreter throughput on a synthetic report: the cost of the emulation itself, with a device that
// draws nothing. Reports bytes of spool data per second.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "emulation/basic/interpreter.h"
#include "emulation/printer_document.h"

namespace quillmark {
namespace {

class NullDevice final : public PrintDevice {
 public:
  std::int32_t DotsPerInchX() const override { return 600; }
  std::int32_t DotsPerInchY() const override { return 600; }
  std::int32_t PhysicalOffsetX() const override { return 100; }
  std::int32_t PhysicalOffsetY() const override { return 100; }
  void StartDocument(std::string_view) override {}
  void StartPage() override {}
  void EndPage() override {}
  void EndDocument() override {}
  void SetTextColor(std::uint32_t) override {}
  void SetTransparentBackground() override {}
  void SelectFont(FontHandle) override {}
  void MeasureText(std::string_view text, TextRect& rect) override {
    rect.right = rect.left + 60 * static_cast<std::int32_t>(text.size());
    rect.bottom = rect.top + 84;
  }
  void DrawText(std::string_view text, const TextRect& rect) override {
    benchmark::DoNotOptimize(text.data());
    benchmark::DoNotOptimize(rect);
  }
  void MeasureUnicodeText(std::u32string_view text, TextRect& rect) override {
    rect.right = rect.left + 60 * static_cast<std::int32_t>(text.size());
    rect.bottom = rect.top + 84;
  }
  void DrawUnicodeText(std::u32string_view text, const TextRect& rect) override {
    benchmark::DoNotOptimize(text.data());
    benchmark::DoNotOptimize(rect);
  }
  void FillRectangle(const TextRect& rect) override { benchmark::DoNotOptimize(rect); }
  void DrawBitImage(const BitImage& image, const TextRect& rect) override {
    benchmark::DoNotOptimize(image.bits.data());
    benchmark::DoNotOptimize(rect);
  }
  bool Delivered() const override { return true; }
};

class NullPrintSystem final : public PrintSystem {
 public:
  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings&) override {
    return std::make_unique<NullDevice>();
  }
  FontHandle CreateFont(const FontRequest&) override { return ++lastFont_; }
  void DeleteFont(FontHandle) override {}

 private:
  FontHandle lastFont_ = 0;
};

// A list-style business report as a DOS program prints it: a bold page heading, a condensed table of
// 80-column lines with CR LF, a line in double width now and then, a form feed after every 60 lines.
std::string SyntheticReport(int pages) {
  std::string data;
  for (int page = 1; page <= pages; ++page) {
    data +=
        "\x1b@\x1b"
        "E  UMSATZLISTE 2007                 Seite " +
        std::to_string(page) +
        "\x1b"
        "F\r\n\r\n";
    data += "\x0f";
    for (int line = 0; line < 56; ++line) {
      if (line % 20 == 0) data += "\x0e  Gruppe " + std::to_string(line / 20 + 1) + "\x14\r\n";
      std::string row = "  " + std::to_string(100000 + page * 100 + line) + "  M\x81ller & S\x94hne GmbH";
      row +=
          "     Stra\xe1"
          "e 12   D-12345 Musterstadt   ";
      row.resize(72, ' ');
      row += std::to_string(1000 + line * 37) + ",50";
      data += row + "\r\n";
    }
    data +=
        "\x12\x1b"
        "G  Summe                                        123.456,78\x1b"
        "H\r\n";
    data += "\x0c";
  }
  return data;
}

void RunDocument(benchmark::State& state, const std::string& bytes) {
  NullPrintSystem printers;
  const auto length = static_cast<std::int32_t>(bytes.size());
  SpoolData data(new std::uint8_t[bytes.size()]);
  std::memcpy(data.get(), bytes.data(), bytes.size());
  for (auto _ : state) {
    PrintJob take;
    take.Settings.CharSet = 255;
    take.Settings.BorderLeft = 9.75f;
    take.Settings.BorderTop = 10.7f;
    take.DataLength = length;
    take.Data = std::move(data);
    Printout job(take);
    job.DeviceContext = printers.OpenDevice(job.Settings);
    job.DpiX = job.DeviceContext->DotsPerInchX();
    job.DpiY = job.DeviceContext->DotsPerInchY();
    StartDocument(job, printers);
    std::int32_t position = 0;
    while (position < job.DataLength) InterpretByte(job, position, printers);
    EndDocument(job, printers);
    ReleaseDevice(job, printers);
    benchmark::DoNotOptimize(job.Y);
    data = std::move(take.Data);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * length);
}

void BM_InterpretReport(benchmark::State& state) {
  RunDocument(state, SyntheticReport(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_InterpretReport)->Arg(1)->Arg(100);

void BM_InterpretPlainText(benchmark::State& state) {
  std::string text;
  for (int line = 0; line < 6000; ++line) text += std::string(78, 'x') + "\r\n";
  RunDocument(state, text);
}
BENCHMARK(BM_InterpretPlainText);

}  // namespace
}  // namespace quillmark
