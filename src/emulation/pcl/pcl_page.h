#pragma once
// One PCL page as it is marked: text runs, rectangles and images in device dots, kept until the page is
// ejected so that it can be printed as many times as the copies ask. What a page may hold is bounded; marks
// beyond the bound are dropped and the page says so.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/print_device.h"

namespace quillmark {

class PclPage {
 public:
  // A colour of the marks: the device's text colour while they are drawn.
  enum class Ink : std::uint8_t { kBlack, kWhite };

  // Text drawn with `font`; extends the run before when it continues it on the same line. Hidden text
  // leaves no ink: it keeps characters drawn as rules in the document's text layer.
  void Text(FontHandle font, char32_t character, const TextRect& cell, std::int32_t advance,
            bool hidden = false);
  void Fill(const TextRect& rect, Ink ink = Ink::kBlack);
  void Image(BitImage image, const TextRect& rect, Ink ink = Ink::kBlack);

  bool Empty() const { return marks_.empty() && fills_.empty(); }
  bool Overflowed() const { return overflowed_; }
  // The lowest dot row any mark reaches; 0 on an empty page.
  std::int32_t Lowest() const { return lowest_; }
  // The top of the lowest text line.
  std::int32_t LowestTextTop() const { return lowestTextTop_; }

  // Draws every mark on the device's current page in the order they were made; black rectangles may come
  // later than text made after them (the page looks the same).
  void Play(PrintDevice& device) const;
  void Clear();

 private:
  static constexpr std::size_t kMaxBytes = 24u << 20;

  struct Mark {
    enum class Kind : std::uint8_t { kText, kFill, kImage } kind;
    Ink ink = Ink::kBlack;
    bool hidden = false;
    FontHandle font = 0;
    TextRect rect;
    std::u32string text;
    std::size_t image = 0;
  };
  bool Admit(std::size_t bytes, const TextRect& rect);
  void FlushFills();

  std::vector<Mark> marks_;
  std::vector<BitImage> images_;
  std::vector<TextRect> fills_;  // black rectangles, joined while they come
  std::size_t bytes_ = 0;
  bool overflowed_ = false;
  std::int32_t lowest_ = 0;
  std::int32_t lowestTextTop_ = 0;
};

}  // namespace quillmark
