// Opening and reading Settings.ini files with very long lines: the time must grow linearly with the size.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "settings/settings_reader.h"

namespace {

using namespace quillmark;

class StringFileSystem final : public FileSystem {
 public:
  explicit StringFileSystem(std::string text) : text_(std::move(text)) {}
  FileStatus ReadWholeFile(const std::string&, std::string& contents) override {
    contents = text_;
    return FileStatus::Done();
  }
  bool AppendLocked(const std::string&, std::string_view, std::string_view) override { return false; }
  FileStatus SaveNewFile(const std::string&, const std::uint8_t*, std::size_t) override {
    return FileStatus::NotSupported();
  }

 private:
  std::string text_;
};

void ReadLongValue(benchmark::State& state, std::string prefix, char fill) {
  const auto size = static_cast<std::size_t>(state.range(0));
  StringFileSystem files(prefix + "[Main]\n[Job_1]\nPrinter = " + std::string(size, fill) +
                         "  \nPath=" + std::string(size, ' ') + "1e5\n");
  SettingsReader reader(files);
  for (auto _ : state) {
    reader.OpenSettingsFile("Settings.ini");
    reader.SelectSettingsGroup("Job_1");
    benchmark::DoNotOptimize(reader.ReadTextValue("Printer", ""));
    benchmark::DoNotOptimize(reader.ReadFloatValue("Path", 0.0f));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(size) *
                          2);
  state.SetComplexityN(state.range(0));
}

void BM_SettingsLongLine8Bit(benchmark::State& state) { ReadLongValue(state, "", 'x'); }
void BM_SettingsLongLineUtf8(benchmark::State& state) { ReadLongValue(state, "\xEF\xBB\xBF", '\xC3'); }

BENCHMARK(BM_SettingsLongLine8Bit)->RangeMultiplier(4)->Range(1 << 14, 1 << 22)->Complexity(benchmark::oN);
BENCHMARK(BM_SettingsLongLineUtf8)->RangeMultiplier(4)->Range(1 << 14, 1 << 22)->Complexity(benchmark::oN);

}  // namespace
