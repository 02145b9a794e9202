#pragma once
// The fonts of a print system by handle. Equal requests share one made font, so a job that selects a
// new font after every control code does not make one each time. Shared with the devices, which look up
// the font they are asked to select; a font stays usable by a device that selected it even after its
// handle is deleted. Safe to use from any thread.

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <unordered_map>

#include "platform/pdf/printer_font.h"
#include "platform/print_device.h"

namespace quillmark::pdf {

class FontTable {
 public:
  // 0 when no font can be made for the request.
  FontHandle Create(const FontRequest& request);
  void Delete(FontHandle handle);
  // Nullptr for 0 and for handles this table did not make or has deleted.
  std::shared_ptr<const PrinterFont> Find(FontHandle handle) const;

  std::size_t LiveHandles() const;

 private:
  // The request fields that shape the font; the others are not honoured by this platform.
  using Key =
      std::tuple<std::int32_t, std::int32_t, std::int32_t, std::uint8_t, std::uint8_t, bool, std::string>;
  static constexpr std::size_t kMaxCachedFonts = 64;

  mutable std::mutex mutex_;
  FontHandle nextHandle_ = 1;
  std::unordered_map<FontHandle, std::shared_ptr<const PrinterFont>> handles_;
  std::map<Key, std::shared_ptr<const PrinterFont>> made_;
};

}  // namespace quillmark::pdf
