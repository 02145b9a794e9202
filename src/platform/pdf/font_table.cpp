#include "platform/pdf/font_table.h"

namespace quillmark::pdf {

FontHandle FontTable::Create(const FontRequest& request) {
  Key key{request.height,
          request.width,
          request.weight,
          request.charSet,
          static_cast<std::uint8_t>(request.pitchAndFamily & 0x03),
          request.italic != 0,
          request.faceName};
  std::lock_guard lock(mutex_);
  auto made = made_.find(key);
  if (made == made_.end()) {
    auto font = PrinterFont::Make(request);
    if (!font) return 0;
    // A long job may touch many sizes; forgetting the cache only costs a remake.
    if (made_.size() >= kMaxCachedFonts) made_.clear();
    made = made_.emplace(std::move(key), std::move(font)).first;
  }
  const FontHandle handle = nextHandle_++;
  handles_.emplace(handle, made->second);
  return handle;
}

void FontTable::Delete(FontHandle handle) {
  std::lock_guard lock(mutex_);
  handles_.erase(handle);
}

std::shared_ptr<const PrinterFont> FontTable::Find(FontHandle handle) const {
  std::lock_guard lock(mutex_);
  const auto found = handles_.find(handle);
  return found == handles_.end() ? nullptr : found->second;
}

std::size_t FontTable::LiveHandles() const {
  std::lock_guard lock(mutex_);
  return handles_.size();
}

}  // namespace quillmark::pdf
