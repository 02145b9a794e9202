#include "emulation/pcl/pcl_page.h"

#include <algorithm>
#include <utility>

#include "emulation/fill_joining.h"

namespace quillmark {
namespace {

constexpr std::uint32_t kBlackInk = 0x000000;
constexpr std::uint32_t kWhiteInk = 0xFFFFFF;
constexpr std::size_t kMarkBytes = sizeof(TextRect) + 32;

}  // namespace

bool PclPage::Admit(std::size_t bytes, const TextRect& rect) {
  if (bytes_ + bytes > kMaxBytes) {
    overflowed_ = true;
    return false;
  }
  bytes_ += bytes;
  lowest_ = std::max(lowest_, rect.bottom);
  return true;
}

void PclPage::Text(FontHandle font, char32_t character, const TextRect& cell, std::int32_t advance,
                   bool hidden) {
  if (!marks_.empty()) {
    Mark& last = marks_.back();
    if (last.kind == Mark::Kind::kText && last.hidden == hidden && last.font == font && last.rect.top == cell.top &&
        last.rect.right == cell.left && advance == cell.right - cell.left) {
      if (!Admit(sizeof(char32_t), cell)) return;
      last.text.push_back(character);
      last.rect.right = cell.right;
      return;
    }
  }
  if (!Admit(kMarkBytes + sizeof(char32_t), cell)) return;
  Mark mark{.kind = Mark::Kind::kText,
            .ink = Ink::kBlack,
            .hidden = hidden,
            .font = font,
            .rect = cell,
            .text = {},
            .image = 0};
  mark.text.push_back(character);
  marks_.push_back(std::move(mark));
  lowestTextTop_ = std::max(lowestTextTop_, cell.top);
}

void PclPage::Fill(const TextRect& rect, Ink ink) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  if (ink == Ink::kWhite) {
    // An erase covers the black drawn before it, so those go first.
    FlushFills();
    if (!Admit(kMarkBytes, rect)) return;
    marks_.push_back(
        Mark{.kind = Mark::Kind::kFill, .ink = ink, .font = 0, .rect = rect, .text = {}, .image = 0});
    return;
  }
  if (JoinFill(fills_, rect)) {
    lowest_ = std::max(lowest_, rect.bottom);
    return;
  }
  if (!Admit(kMarkBytes, rect)) return;
  fills_.push_back(rect);
}

void PclPage::FlushFills() {
  for (const TextRect& rect : fills_) {
    marks_.push_back(
        Mark{.kind = Mark::Kind::kFill, .ink = Ink::kBlack, .font = 0, .rect = rect, .text = {}, .image = 0});
  }
  fills_.clear();
}

void PclPage::Image(BitImage image, const TextRect& rect, Ink ink) {
  if (rect.right <= rect.left || rect.bottom <= rect.top || image.width <= 0 || image.height <= 0) return;
  if (ink == Ink::kWhite) FlushFills();
  if (!Admit(kMarkBytes + image.bits.size(), rect)) return;
  images_.push_back(std::move(image));
  marks_.push_back(Mark{.kind = Mark::Kind::kImage,
                        .ink = ink,
                        .font = 0,
                        .rect = rect,
                        .text = {},
                        .image = images_.size() - 1});
}

void PclPage::Play(PrintDevice& device) const {
  FontHandle selected = 0;
  Ink ink = Ink::kBlack;
  for (const Mark& mark : marks_) {
    if (mark.ink != ink) {
      ink = mark.ink;
      device.SetTextColor(ink == Ink::kWhite ? kWhiteInk : kBlackInk);
    }
    switch (mark.kind) {
      case Mark::Kind::kText:
        if (mark.hidden) {
          device.DrawHiddenText(mark.text, mark.rect, mark.font);
          break;
        }
        if (mark.font != selected) {
          device.SelectFont(mark.font);
          selected = mark.font;
        }
        device.DrawUnicodeText(mark.text, mark.rect);
        break;
      case Mark::Kind::kFill:
        device.FillRectangle(mark.rect);
        break;
      case Mark::Kind::kImage:
        device.DrawBitImage(images_[mark.image], mark.rect);
        break;
    }
  }
  if (ink != Ink::kBlack) device.SetTextColor(kBlackInk);
  for (const TextRect& rect : fills_) device.FillRectangle(rect);
}

void PclPage::Clear() {
  marks_.clear();
  fills_.clear();
  images_.clear();
  bytes_ = 0;
  lowest_ = 0;
  lowestTextTop_ = 0;
}

}  // namespace quillmark
