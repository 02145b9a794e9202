#include "settings/settings_reader.h"

#include <utility>

#include "settings/settings_values.h"

namespace quillmark {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

char FoldAsciiLetter(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view WithoutTrailingBlanks(std::string_view text) {
  std::size_t size = text.size();
  while (size > 0 && IsBlank(text[size - 1])) --size;
  return text.substr(0, size);
}

}  // namespace

// Only A-Z fold; every other byte, including Latin-1 and UTF-8 letters, must match exactly.
bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAsciiLetter(a[i]) != FoldAsciiLetter(b[i])) return false;
  }
  return true;
}

bool SettingsReader::OpenSettingsFile(const std::string& name) {
  CloseSettingsFile();
  std::string contents;
  if (!files_.ReadWholeFile(name, contents).ok()) return false;
  text_ = std::move(contents);
  loaded_ = true;
  std::size_t offset = 0;
  if (text_.size() >= 3 && text_.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    utf8_ = true;
    offset = 3;
  }
  Classify(text_, offset);
  return true;
}

void SettingsReader::Classify(std::string_view text, std::size_t offset) {
  std::size_t at = offset;
  while (at < text.size()) {
    while (at < text.size() && IsLineEnd(text[at])) ++at;
    std::size_t end = at;
    while (end < text.size() && !IsLineEnd(text[end])) ++end;
    if (end > at) ClassifyLine(at, end);
    at = end;
  }
}

void SettingsReader::ClassifyLine(std::size_t begin, std::size_t end) {
  const std::string_view text(text_);
  while (begin < end && IsBlank(text[begin])) ++begin;
  if (begin == end || text[begin] == ';') return;  // blank or comment: nothing is ever read from it
  const std::string_view line = text.substr(begin, end - begin);
  if (line.front() == '[') {
    const std::size_t close = line.find(']', 1);
    const std::size_t nameSize = (close == std::string_view::npos ? line.size() : close) - 1;
    entries_.push_back(Entry{Kind::Group, begin + 1, nameSize, 0, 0});
    return;
  }
  const std::size_t equals = line.find('=');
  const std::string_view key = WithoutTrailingBlanks(line.substr(0, equals));
  std::size_t valueBegin = end;
  if (equals != std::string_view::npos) {
    valueBegin = begin + equals + 1;
    while (valueBegin < end && IsBlank(text[valueBegin])) ++valueBegin;
  }
  entries_.push_back(Entry{Kind::Key, begin, key.size(), valueBegin, end - valueBegin});
}

bool SettingsReader::SelectSettingsGroup(std::string_view name) {
  selectionFailed_ = true;
  if (!loaded_) return false;
  if (name.empty()) {
    selected_ = kAboveFirstGroup;
    selectionFailed_ = false;
    return true;
  }
  const std::string wanted = LookupName(name);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].kind == Kind::Group && EqualsIgnoringCase(Name(entries_[i]), wanted)) {
      selected_ = i;
      selectionFailed_ = false;
      return true;
    }
  }
  return false;
}

bool SettingsReader::FindValue(std::string_view key, std::string_view& value) const {
  if (!loaded_ || selectionFailed_) return false;
  const std::string wanted = LookupName(key);
  const std::size_t first = selected_ == kAboveFirstGroup ? 0 : selected_ + 1;
  for (std::size_t i = first; i < entries_.size() && entries_[i].kind == Kind::Key; ++i) {
    if (EqualsIgnoringCase(Name(entries_[i]), wanted)) {
      value = std::string_view(text_).substr(entries_[i].valueBegin, entries_[i].valueSize);
      return true;
    }
  }
  return false;
}

std::string SettingsReader::LookupName(std::string_view name) const {
  return utf8_ ? Latin1ToUtf8(name) : std::string(name);
}

std::string SettingsReader::ReadTextValue(std::string_view key, std::string_view defaultValue) const {
  std::string_view value;
  if (!FindValue(key, value)) return std::string(defaultValue);
  value = WithoutTrailingBlanks(value);
  return utf8_ ? Utf8ToLatin1(value) : std::string(value);
}

std::string SettingsReader::ReadNameValue(std::string_view key, std::string_view defaultValue) const {
  std::string_view value;
  if (!FindValue(key, value)) return NameAsUtf8(defaultValue);
  return NameAsUtf8(WithoutTrailingBlanks(value));
}

std::int32_t SettingsReader::ReadIntegerValue(std::string_view key, std::int32_t defaultValue) const {
  std::string_view value;
  return FindValue(key, value) ? ParseSettingsInteger(value) : defaultValue;
}

float SettingsReader::ReadFloatValue(std::string_view key, float defaultValue) const {
  std::string_view value;
  return FindValue(key, value) ? ParseSettingsFloat(value) : defaultValue;
}

void SettingsReader::CloseSettingsFile() {
  loaded_ = false;
  utf8_ = false;
  text_.clear();
  text_.shrink_to_fit();
  entries_.clear();
  entries_.shrink_to_fit();
  selected_ = kAboveFirstGroup;
  selectionFailed_ = false;
}

}  // namespace quillmark
