// Writes Error.log entries whose source-file name, context, message, numbers and clock come from the input:
// 6 x 4 bytes of clock fields, 2 x 4 bytes of code and severity, then source name, context and message
// separated by NUL bytes.
//
// Aborts when the header is not written exactly once, or when an entry breaks the layout: a stamp of
// two-digit fields, the module name without folder, quotes or ending, fields cut or filled to their widths.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "log/error_log.h"

namespace quillmark {
namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

class OneLog final : public LogSink {
 public:
  std::string Append(std::string_view header, std::string_view text) override {
    if (log.empty()) log.append(header);
    log.append(text);
    return "";
  }
  std::string log;
};

class InputClock final : public Clock {
 public:
  explicit InputClock(const LocalTime& time) : time_(time) {}
  LocalTime Now() const override { return time_; }

 private:
  LocalTime time_;
};

std::int32_t TakeNumber(const std::uint8_t*& input) {
  std::uint32_t value = 0;
  std::memcpy(&value, input, sizeof value);
  input += sizeof value;
  return static_cast<std::int32_t>(value);
}

std::string_view TakeText(std::string_view& rest) {
  const std::size_t end = rest.find('\0');
  const std::string_view text = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "yy-mm-dd hh:mm:ss", then the blank that fills the field to 17.
void CheckStamp(std::string_view stamp) {
  for (std::size_t i = 0; i < 17; ++i) Check(i % 3 == 2 ? stamp[i] == "-- ::"[i / 3] : IsDigit(stamp[i]));
}

}  // namespace
}  // namespace quillmark

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmark;
  if (size < 32) return 0;
  const std::uint8_t* input = data;
  LocalTime time;
  for (int* field : {&time.year, &time.month, &time.day, &time.hour, &time.minute, &time.second}) {
    *field = TakeNumber(input);
  }
  const std::int32_t code = TakeNumber(input);
  const std::int32_t severity = TakeNumber(input);
  std::string_view rest(reinterpret_cast<const char*>(input), size - 32);
  const std::string_view source = TakeText(rest);
  const std::string_view context = TakeText(rest);
  const std::string_view message = rest;

  OneLog files;
  InputClock clock(time);
  const ErrorLog log(files, clock);
  log.LogError(context, message, source, code, severity);
  log.LogError(context, message, source, code, severity);

  const std::string header = std::string(14, '#') + "\r\n# Executable #\r\n" + std::string(14, '#') +
                             "\r\n\r\n" + std::string(160, '#') + "\r\n";
  const std::string_view text = files.log;
  Check(text.substr(0, header.size()) == header);
  const std::string_view entries = text.substr(header.size());
  Check(entries.size() % 2 == 0 &&
        entries.substr(0, entries.size() / 2) == entries.substr(entries.size() / 2));
  const std::string_view line = entries.substr(0, entries.size() / 2);

  CheckStamp(line);
  Check(line.substr(17, 3) == " | ");
  const std::string_view module = line.substr(20, 20);
  Check(module.find_first_of("/\\\"") == std::string_view::npos);
  const std::string_view name = module.substr(0, module.find_last_not_of(' ') + 1);
  Check(source.find(name) != std::string_view::npos);
  const std::string codeText = std::to_string(code);
  Check(line.substr(40, 3) == " | " && line.substr(43, 8) == (codeText + "        ").substr(0, 8));
  Check(line.substr(51, 3) == " | " &&
        line.substr(54, 32) == (std::string(context) + std::string(32, ' ')).substr(0, 32));
  const std::string tail = " | " + std::to_string(severity) + " | " + std::string(message) + "\r\n";
  Check(line.substr(86) == tail);
  return 0;
}
