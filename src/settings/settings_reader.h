#pragma once
// The reader for "Settings.ini": groups ("[name]"), comments (";") and key = value lines. Used by the
// settings loader on the main thread only; not thread-safe.
//
// Rules it keeps:
// - A file starting with EF BB BF is UTF-8: looked-up names are converted Latin-1 -> UTF-8 and text values
//   UTF-8 -> Latin-1, each character above U+00FF and each malformed sequence becoming one "?". Any other
//   file is 8-bit and used byte for byte. Zero bytes are ordinary characters.
// - Lines end at CR, LF or any run of them. Blanks are space and tab only.
// - Group and key names compare equal ignoring the case of A-Z only. The first group of a name and the
//   first key within the selected group win.
// - Until the first selection after opening, reads see the key lines above the first group header, as
//   after selecting the empty name. After a failed selection every read gives its default until a
//   selection succeeds. While no file is loaded every selection fails.
// - Numbers are converted as settings_values.h describes.
// Work is linear in the file's size, however long its lines.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace quillmark {

// Equal but for the case of A-Z, as group and key names compare.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

class SettingsReader {
 public:
  explicit SettingsReader(FileSystem& files) : files_(files) {}

  // Closes a loaded file, then reads `name` whole. False when it is missing or unreadable; nothing is
  // loaded then. An empty file succeeds with no entries.
  bool OpenSettingsFile(const std::string& name);

  // Selects the first group called `name`; the empty name selects the lines above the first header.
  bool SelectSettingsGroup(std::string_view name);

  // The value of `key` in the selected group without trailing blanks, or `defaultValue` when the key is
  // missing. A key present with an empty value gives "".
  std::string ReadTextValue(std::string_view key, std::string_view defaultValue) const;
  // The same for a name (a path, a folder, a printer): as NameAsUtf8 makes it, whatever the file's coding.
  std::string ReadNameValue(std::string_view key, std::string_view defaultValue) const;
  std::int32_t ReadIntegerValue(std::string_view key, std::int32_t defaultValue) const;
  float ReadFloatValue(std::string_view key, float defaultValue) const;

  // Discards everything loaded. Writes nothing.
  void CloseSettingsFile();

  bool IsLoaded() const { return loaded_; }

 private:
  enum class Kind : std::uint8_t { Group, Key };
  struct Entry {
    Kind kind;
    std::size_t nameBegin;
    std::size_t nameSize;
    std::size_t valueBegin;  // keys only
    std::size_t valueSize;
  };
  static constexpr std::size_t kAboveFirstGroup = static_cast<std::size_t>(-1);

  void Classify(std::string_view text, std::size_t offset);
  void ClassifyLine(std::size_t begin, std::size_t end);
  // The raw value of `key` in the selected group, or false when it is not found or selection failed.
  bool FindValue(std::string_view key, std::string_view& value) const;
  std::string LookupName(std::string_view name) const;
  std::string_view Name(const Entry& entry) const {
    return std::string_view(text_).substr(entry.nameBegin, entry.nameSize);
  }

  FileSystem& files_;
  bool loaded_ = false;
  bool utf8_ = false;
  std::string text_;
  std::vector<Entry> entries_;               // group headers and key lines in file order
  std::size_t selected_ = kAboveFirstGroup;  // index of the selected header in entries_
  bool selectionFailed_ = false;
};

}  // namespace quillmark
