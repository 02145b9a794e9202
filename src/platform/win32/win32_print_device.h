#pragma once
// A PrintDevice on a GDI printer device context. Text arrives as bytes of the DOS code page or as
// Unicode and is drawn with ExtTextOutW with every character at its computed position: a fixed-pitch
// font advances exactly its requested width, whatever the face's own advance. Positions are device
// units, (0, 0) at the printable area's corner, as the core counts them; a sheet that SetPageSize lays
// crosswise to the paper is drawn turned a quarter onto it. One thread at a time.

#include <memory>
#include <string>
#include <vector>

#include "platform/print_device.h"
#include "platform/win32/win32_font_table.h"
#include "platform/win32/windows_api.h"

namespace quillmark {

// What happens to a finished document besides the printer's own spooling.
struct DocumentTarget {
  // DOCINFO.lpszOutput: the file the driver writes instead of the printer's port; empty for the port.
  std::wstring outputFile;
  // When set, the finished output file is moved into this folder under a new name ("PDF:<folder>").
  std::wstring moveToFolder;
};

class Win32PrintDevice final : public PrintDevice {
 public:
  // Takes ownership of `dc`.
  Win32PrintDevice(HDC dc, DocumentTarget target, std::shared_ptr<const Win32FontTable> fonts);
  ~Win32PrintDevice() override;
  Win32PrintDevice(const Win32PrintDevice&) = delete;
  Win32PrintDevice& operator=(const Win32PrintDevice&) = delete;

  std::int32_t DotsPerInchX() const override;
  std::int32_t DotsPerInchY() const override;
  std::int32_t PhysicalOffsetX() const override;
  std::int32_t PhysicalOffsetY() const override;
  std::int32_t PaperWidthDots() const override;
  std::int32_t PaperHeightDots() const override;

  void StartDocument(std::string_view title) override;
  void StartPage() override;
  void EndPage() override;
  void SetPageSize(std::int32_t widthDots, std::int32_t heightDots) override;
  void EndDocument() override;

  void SetTextColor(std::uint32_t rgb) override;
  void SetTransparentBackground() override;
  void SelectFont(FontHandle font) override;

  void MeasureText(std::string_view text, TextRect& rect) override;
  void DrawText(std::string_view text, const TextRect& rect) override;
  void MeasureUnicodeText(std::u32string_view text, TextRect& rect) override;
  void DrawUnicodeText(std::u32string_view text, const TextRect& rect) override;
  void FillRectangle(const TextRect& rect) override;
  void DrawBitImage(const BitImage& image, const TextRect& rect) override;

  bool Delivered() const override { return delivered_; }
  void AbandonDocument() override;

  // The file the last document ended up in, for "PDF:<folder>"; empty otherwise.
  const std::wstring& SavedFile() const { return savedFile_; }

 private:
  // UTF-16 text with one advance per code unit (0 for the second half of a surrogate pair).
  struct Run {
    std::wstring text;
    std::vector<INT> advances;
    std::int32_t width = 0;
    // The selected font's metrics, when the device told them.
    bool metrics = false;
    std::int32_t ascent = 0;
    std::int32_t height = 0;
  };
  Run Layout(const std::u32string& text);
  void Draw(const Run& run, const TextRect& rect);
  bool FinishOutputFile();
  void ApplyTurn();

  HDC dc_;
  DocumentTarget target_;
  std::shared_ptr<const Win32FontTable> fonts_;
  FontRequest font_;
  bool haveFont_ = false;
  COLORREF color_ = RGB(0, 0, 0);
  bool documentOpen_ = false;
  bool failed_ = false;
  bool delivered_ = false;
  std::wstring savedFile_;
  // Set while the sheet lies crosswise to the paper; worldTransform_ while the device context holds turn_.
  bool turned_ = false;
  bool worldTransform_ = false;
  XFORM turn_{};
};

// Moves `file` into `folder` as "<stem>-YYYYMMDD-HHMMSS-NNN<ending>", never replacing a file. Returns the
// new path, or an empty string.
std::wstring MoveToNewName(const std::wstring& file, const std::wstring& folder, const std::wstring& stem,
                           const std::wstring& ending);

}  // namespace quillmark
