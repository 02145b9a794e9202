#include "platform/win32/win32_print_device.h"

#include <cstdio>
#include <cstdlib>

#include "emulation/code_page_437.h"
#include "platform/win32/win32_text.h"

namespace quillmark {
namespace {

bool FixedPitch(const FontRequest& request) { return (request.pitchAndFamily & 0x03) != 2; }

// Weights between regular and bold have no face of their own; they print as a double strike.
std::int32_t DoubleStrikeOffset(const FontRequest& request) {
  if (request.weight < 450 || request.weight >= 600) return 0;
  const std::int32_t em = std::abs(request.height);
  return em >= 84 ? em / 42 : 1;
}

// Scales a dot index of an image onto the device: the edge before dot `index` of `count` dots.
std::int32_t Edge(std::int32_t start, std::int32_t span, std::int32_t index, std::int32_t count) {
  return start + static_cast<std::int32_t>(static_cast<long long>(span) * index / count);
}

// Wine converts text sizes through the world transform's diagonal, which a quarter turn makes zero: text
// is measured with the turn set aside.
class UprightScope {
 public:
  UprightScope(HDC dc, const XFORM* turn) : dc_(dc), turn_(turn) {
    if (turn_ != nullptr) ::ModifyWorldTransform(dc_, nullptr, MWT_IDENTITY);
  }
  ~UprightScope() {
    if (turn_ != nullptr) ::SetWorldTransform(dc_, turn_);
  }
  UprightScope(const UprightScope&) = delete;
  UprightScope& operator=(const UprightScope&) = delete;

 private:
  HDC dc_;
  const XFORM* turn_;
};

}  // namespace

Win32PrintDevice::Win32PrintDevice(HDC dc, DocumentTarget target, std::shared_ptr<const Win32FontTable> fonts)
    : dc_(dc), target_(std::move(target)), fonts_(std::move(fonts)) {}

Win32PrintDevice::~Win32PrintDevice() {
  // A document left open is finished rather than lost.
  if (documentOpen_) EndDocument();
  ::DeleteDC(dc_);
  if (!delivered_ && !target_.moveToFolder.empty()) ::DeleteFileW(target_.outputFile.c_str());
}

std::int32_t Win32PrintDevice::DotsPerInchX() const { return ::GetDeviceCaps(dc_, LOGPIXELSX); }
std::int32_t Win32PrintDevice::DotsPerInchY() const { return ::GetDeviceCaps(dc_, LOGPIXELSY); }
std::int32_t Win32PrintDevice::PhysicalOffsetX() const { return ::GetDeviceCaps(dc_, PHYSICALOFFSETX); }
std::int32_t Win32PrintDevice::PhysicalOffsetY() const { return ::GetDeviceCaps(dc_, PHYSICALOFFSETY); }
std::int32_t Win32PrintDevice::PaperWidthDots() const { return ::GetDeviceCaps(dc_, PHYSICALWIDTH); }
std::int32_t Win32PrintDevice::PaperHeightDots() const { return ::GetDeviceCaps(dc_, PHYSICALHEIGHT); }

void Win32PrintDevice::StartDocument(std::string_view title) {
  if (documentOpen_) return;
  documentOpen_ = true;
  delivered_ = false;
  savedFile_.clear();
  const std::wstring name = WideFromSettings(title);
  DOCINFOW info{};
  info.cbSize = sizeof info;
  info.lpszDocName = name.c_str();
  info.lpszOutput = target_.outputFile.empty() ? nullptr : target_.outputFile.c_str();
  // A document that cannot be started is still run through; it is reported as not delivered.
  failed_ = ::StartDocW(dc_, &info) <= 0;
  ::SetTextAlign(dc_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
}

void Win32PrintDevice::StartPage() {
  if (documentOpen_ && !failed_ && ::StartPage(dc_) <= 0) failed_ = true;
  // Some drivers start each page with the device context's defaults.
  if (turned_) ApplyTurn();
}

// A printer's paper cannot change between pages, so a sheet lying crosswise to it (landscape on upright
// paper, or the other way round) is turned onto it as a LaserJet turns its landscape page: a quarter
// counter-clockwise, the top of the text toward the paper's left edge and the sheet's top-left corner at the
// paper's bottom-left. What extends beyond the paper even then is cut off. GDI turns only what is drawn
// afterwards: marks already on the open page stay as they were drawn, which is why callers set the sheet
// before they draw on it.
void Win32PrintDevice::SetPageSize(std::int32_t widthDots, std::int32_t heightDots) {
  const double dpiX = DotsPerInchX();
  const double dpiY = DotsPerInchY();
  const double paperWidth = PaperWidthDots();
  const double paperHeight = PaperHeightDots();
  const bool known =
      widthDots > 0 && heightDots > 0 && dpiX > 0 && dpiY > 0 && paperWidth > 0 && paperHeight > 0;
  const double across = widthDots / dpiX - heightDots / dpiY;
  const bool paperAcross = paperWidth / dpiX > paperHeight / dpiY;
  turned_ = known && (paperAcross ? across < 0 : across > 0);
  if (turned_) {
    // Positions count from the printable area's corner; sheet dots of one axis become dots of the other.
    const double offsetX = PhysicalOffsetX();
    const double offsetY = PhysicalOffsetY();
    turn_.eM11 = 0;
    turn_.eM12 = static_cast<FLOAT>(-dpiY / dpiX);
    turn_.eM21 = static_cast<FLOAT>(dpiX / dpiY);
    turn_.eM22 = 0;
    turn_.eDx = static_cast<FLOAT>(offsetY * dpiX / dpiY - offsetX);
    turn_.eDy = static_cast<FLOAT>(paperHeight - offsetX * dpiY / dpiX - offsetY);
  }
  ApplyTurn();
}

void Win32PrintDevice::ApplyTurn() {
  if (turned_) {
    ::SetGraphicsMode(dc_, GM_ADVANCED);
    ::SetWorldTransform(dc_, &turn_);
    ::SetTextAlign(dc_, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    worldTransform_ = true;
  } else if (worldTransform_) {
    // Back to the mode every page upright on its paper is drawn in.
    ::ModifyWorldTransform(dc_, nullptr, MWT_IDENTITY);
    ::SetGraphicsMode(dc_, GM_COMPATIBLE);
    ::SetTextAlign(dc_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    worldTransform_ = false;
  }
}

void Win32PrintDevice::EndPage() {
  if (documentOpen_ && !failed_ && ::EndPage(dc_) <= 0) failed_ = true;
}

void Win32PrintDevice::EndDocument() {
  if (!documentOpen_) return;
  documentOpen_ = false;
  if (failed_) {
    ::AbortDoc(dc_);
    return;
  }
  delivered_ = ::EndDoc(dc_) > 0 && FinishOutputFile();
}

void Win32PrintDevice::AbandonDocument() {
  if (!documentOpen_) return;
  documentOpen_ = false;
  delivered_ = false;
  // Nothing reaches the printer or the folder; a driver's half-written output file goes too.
  ::AbortDoc(dc_);
  if (!target_.moveToFolder.empty()) ::DeleteFileW(target_.outputFile.c_str());
}

bool Win32PrintDevice::FinishOutputFile() {
  if (target_.moveToFolder.empty()) return true;
  savedFile_ = MoveToNewName(target_.outputFile, target_.moveToFolder, L"DOS-Job", L".pdf");
  return !savedFile_.empty();
}

void Win32PrintDevice::SetTextColor(std::uint32_t rgb) {
  color_ = static_cast<COLORREF>(rgb & 0xFFFFFF);
  ::SetTextColor(dc_, color_);
}

void Win32PrintDevice::SetTransparentBackground() { ::SetBkMode(dc_, TRANSPARENT); }

void Win32PrintDevice::SelectFont(FontHandle font) {
  // A handle this device does not know leaves the current font selected.
  const auto found = fonts_->Find(font);
  if (!found) return;
  ::SelectObject(dc_, found->handle);
  font_ = found->request;
  haveFont_ = true;
}

Win32PrintDevice::Run Win32PrintDevice::Layout(const std::u32string& text) {
  Run run;
  const UprightScope upright(dc_, turned_ ? &turn_ : nullptr);
  const bool fixed = haveFont_ && FixedPitch(font_) && font_.width > 0;
  for (const char32_t c : text) {
    wchar_t units[2] = {static_cast<wchar_t>(c), 0};
    int count = 1;
    if (c > 0xFFFF) {
      units[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      units[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      count = 2;
    }
    INT advance = font_.width;
    if (!fixed) {
      SIZE size{};
      advance = ::GetTextExtentPoint32W(dc_, units, count, &size) ? size.cx : 0;
    }
    run.text.append(units, static_cast<std::size_t>(count));
    run.advances.push_back(advance);
    if (count == 2) run.advances.push_back(0);
    run.width += advance;
  }
  TEXTMETRICW metrics{};
  run.metrics = ::GetTextMetricsW(dc_, &metrics) != 0;
  run.ascent = metrics.tmAscent;
  run.height = metrics.tmHeight;
  return run;
}

void Win32PrintDevice::Draw(const Run& run, const TextRect& rect) {
  if (!documentOpen_ || failed_ || run.text.empty()) return;
  const UINT length = static_cast<UINT>(run.text.size());
  // A turned page's text is placed by its baseline: with the world turned, Wine's drivers leave out the
  // step from the cell's top to the baseline.
  const std::int32_t top = turned_ ? rect.top + run.ascent : rect.top;
  ::ExtTextOutW(dc_, rect.left, top, 0, nullptr, run.text.c_str(), length, run.advances.data());
  if (const std::int32_t strike = haveFont_ ? DoubleStrikeOffset(font_) : 0; strike != 0) {
    ::ExtTextOutW(dc_, rect.left, top + strike, 0, nullptr, run.text.c_str(), length, run.advances.data());
  }
}

void Win32PrintDevice::MeasureUnicodeText(std::u32string_view text, TextRect& rect) {
  const Run run = Layout(std::u32string(text));
  if (!run.metrics) return;
  rect.right = rect.left + run.width;
  rect.bottom = rect.top + run.height;
}

void Win32PrintDevice::DrawUnicodeText(std::u32string_view text, const TextRect& rect) {
  Draw(Layout(std::u32string(text)), rect);
}

// The DOS code page is decoded here rather than by the font's character set: Wine ignores OEM_CHARSET,
// and on Windows it would select the raster Terminal font.
void Win32PrintDevice::MeasureText(std::string_view text, TextRect& rect) {
  std::u32string decoded;
  for (const char c : text) decoded.push_back(Cp437ToUnicode(static_cast<std::uint8_t>(c)));
  MeasureUnicodeText(decoded, rect);
}

void Win32PrintDevice::DrawText(std::string_view text, const TextRect& rect) {
  std::u32string decoded;
  for (const char c : text) decoded.push_back(Cp437ToUnicode(static_cast<std::uint8_t>(c)));
  DrawUnicodeText(decoded, rect);
}

void Win32PrintDevice::FillRectangle(const TextRect& rect) {
  if (!documentOpen_ || failed_ || rect.right <= rect.left || rect.bottom <= rect.top) return;
  const HBRUSH brush = ::CreateSolidBrush(color_);
  const RECT area{rect.left, rect.top, rect.right, rect.bottom};
  ::FillRect(dc_, &area, brush);
  ::DeleteObject(brush);
}

// Runs of set dots become filled rectangles: printer drivers honour only plain copies of bitmaps, so a
// blit that leaves clear dots untouched cannot be relied on, while rectangles print exactly everywhere.
void Win32PrintDevice::DrawBitImage(const BitImage& image, const TextRect& rect) {
  if (!documentOpen_ || failed_ || image.width <= 0 || image.height <= 0) return;
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  const std::int32_t stride = image.BytesPerRow();
  if (image.bits.size() < static_cast<std::size_t>(stride) * static_cast<std::size_t>(image.height)) return;
  const std::int32_t spanX = rect.right - rect.left;
  const std::int32_t spanY = rect.bottom - rect.top;
  const HBRUSH brush = ::CreateSolidBrush(color_);
  for (std::int32_t y = 0; y < image.height; ++y) {
    const std::int32_t top = Edge(rect.top, spanY, y, image.height);
    const std::int32_t bottom = Edge(rect.top, spanY, y + 1, image.height);
    if (bottom <= top) continue;
    const std::uint8_t* row =
        image.bits.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
    std::int32_t x = 0;
    while (x < image.width) {
      const auto set = [&](std::int32_t i) { return (row[i / 8] & (0x80 >> (i % 8))) != 0; };
      if (!set(x)) {
        ++x;
        continue;
      }
      const std::int32_t first = x;
      while (x < image.width && set(x)) ++x;
      const RECT area{Edge(rect.left, spanX, first, image.width), top, Edge(rect.left, spanX, x, image.width),
                      bottom};
      if (area.right > area.left) ::FillRect(dc_, &area, brush);
    }
  }
  ::DeleteObject(brush);
}

std::wstring MoveToNewName(const std::wstring& file, const std::wstring& folder, const std::wstring& stem,
                           const std::wstring& ending) {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  wchar_t stamp[32];
  std::swprintf(stamp, 32, L"-%04u%02u%02u-%02u%02u%02u-", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
  const std::wstring prefix =
      (folder.empty() || folder.back() == L'\\' || folder.back() == L'/' ? folder : folder + L"\\") + stem +
      stamp;
  // Continue after the highest number of this second, so a later file never sorts before an earlier one.
  unsigned counter = 1;
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((prefix + L"*" + ending).c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    const std::size_t nameStart = stem.size() + 17;  // stem, "-YYYYMMDD-HHMMSS-"
    do {
      const unsigned used = static_cast<unsigned>(std::wcstoul(found.cFileName + nameStart, nullptr, 10));
      if (used >= counter) counter = used + 1;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  for (unsigned attempt = 0; attempt < 1000; ++attempt, ++counter) {
    wchar_t number[16];
    std::swprintf(number, 16, L"%03u", counter);
    const std::wstring target = prefix + number + ending;
    // Without MOVEFILE_REPLACE_EXISTING the move never replaces a file another writer just made.
    if (::MoveFileExW(file.c_str(), target.c_str(), 0)) return target;
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
  }
  return {};
}

}  // namespace quillmark
