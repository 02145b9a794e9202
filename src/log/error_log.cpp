#include "log/error_log.h"

#include <cstddef>
#include <string>

namespace quillmark {
namespace {

constexpr std::string_view kSeparator = " | ";
constexpr std::string_view kLineEnd = "\r\n";

// Cuts `text` to `width` bytes or fills it with blanks on the right.
void AppendField(std::string& line, std::string_view text, std::size_t width) {
  const std::size_t used = text.size() < width ? text.size() : width;
  line.append(text.substr(0, used));
  line.append(width - used, ' ');
}

void AppendTwoDigits(std::string& out, int value) {
  // The clock's fields are trusted to be in range except the year; keep the result two digits regardless.
  value %= 100;
  if (value < 0) value += 100;
  out.push_back(static_cast<char>('0' + value / 10));
  out.push_back(static_cast<char>('0' + value % 10));
}

std::string TimeStamp(const LocalTime& t) {
  std::string stamp;
  AppendTwoDigits(stamp, t.year);
  stamp.push_back('-');
  AppendTwoDigits(stamp, t.month);
  stamp.push_back('-');
  AppendTwoDigits(stamp, t.day);
  stamp.push_back(' ');
  AppendTwoDigits(stamp, t.hour);
  stamp.push_back(':');
  AppendTwoDigits(stamp, t.minute);
  stamp.push_back(':');
  AppendTwoDigits(stamp, t.second);
  return stamp;
}

// The file name of `sourceFile` without directory and extension; a path in double quotes is accepted.
std::string_view ModuleName(std::string_view sourceFile) {
  if (!sourceFile.empty() && sourceFile.front() == '"') sourceFile.remove_prefix(1);
  const std::size_t slash = sourceFile.find_last_of("\\/");
  if (slash != std::string_view::npos) sourceFile.remove_prefix(slash + 1);
  const std::size_t quote = sourceFile.find('"');
  if (quote != std::string_view::npos) sourceFile = sourceFile.substr(0, quote);
  const std::size_t dot = sourceFile.rfind('.');
  if (dot != std::string_view::npos) sourceFile = sourceFile.substr(0, dot);
  return sourceFile;
}

std::string Header() {
  std::string header;
  header.append(14, '#').append(kLineEnd);
  header.append("# Executable #").append(kLineEnd);
  header.append(14, '#').append(kLineEnd);
  header.append(kLineEnd);
  header.append(160, '#').append(kLineEnd);
  return header;
}

}  // namespace

void ErrorLog::LogError(std::string_view context, std::string_view message, std::string_view sourceFile,
                        std::int32_t code, std::int32_t severity) const {
  std::string line;
  line.reserve(96 + message.size());
  AppendField(line, TimeStamp(clock_.Now()), 17);
  line.append(kSeparator);
  AppendField(line, ModuleName(sourceFile), 20);
  line.append(kSeparator);
  AppendField(line, std::to_string(code), 8);
  line.append(kSeparator);
  AppendField(line, context, 32);
  line.append(kSeparator);
  line.append(std::to_string(severity));
  line.append(kSeparator);
  line.append(message);
  line.append(kLineEnd);

  static const std::string header = Header();
  NoteAppend(sink_.Append(header, line));
  std::string plain;
  plain.reserve(context.size() + message.size() + 2);
  if (!context.empty()) plain.append(context).append(": ");
  plain.append(message);
  sink_.Show(plain);
}

void ErrorLog::NoteAppend(const std::string& reason) const {
  // The entry itself is lost; its plain line still follows. Said once, not with every entry.
  MutexLock lock(reasonLock_);
  if (reason == shownReason_) return;
  shownReason_ = reason;
  if (!reason.empty()) sink_.Show("Error.log kann nicht geschrieben werden: " + reason);
}

}  // namespace quillmark
