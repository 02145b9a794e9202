#pragma once
// The ESC/P 2 printer: reads a whole take and prints it on the job's open document (StartDocument has
// run; EndDocument follows). Characters of one line that share a font are drawn as one run. Print worker
// thread only.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "emulation/escp2/escp2_state.h"
#include "log/error_log.h"
#include "platform/print_device.h"
#include "emulation/printer_state.h"

namespace quillmark {

// Interprets every byte of job.Data. Leaves job.X and job.Y on the last printed line, so that the footer
// follows it; a form feed at the very end starts no page of its own.
// `log`, when given, receives one line per take for bar codes the printer rejects.
void RunEscp2(Printout& job, PrintSystem& printers, const ErrorLog* log = nullptr);

class Escp2Interpreter {
 public:
  Escp2Interpreter(Printout& job, PrintSystem& printers, const ErrorLog* log = nullptr);
  ~Escp2Interpreter();
  Escp2Interpreter(const Escp2Interpreter&) = delete;
  Escp2Interpreter& operator=(const Escp2Interpreter&) = delete;

  void Run();

  // For the command handlers.
  Printout& Job() { return job_; }
  Escp2State& State() { return state_; }
  Escp2PrintMode& Mode() { return state_.mode; }
  void Reset();  // ESC @ and the power-on state

  void CarriageReturn();
  void LineFeed();
  void FormFeed();
  // Moves down (or up, for a negative distance) without a carriage return; a move to or past the bottom
  // margin goes to the top of the next page, one above the top margin is ignored.
  void MoveDown(std::int64_t units);
  // Below the bottom margin: the top of form of the next page; above the top margin: ignored.
  void SetVertical(std::int64_t unitsFromTopOfForm);
  // The height of the current characters, in units.
  std::int64_t CellUnits() const;
  // Positions relative to the page origin, in dots; ignored outside the margins.
  void SetHorizontal(std::int64_t dotsFromOrigin);
  void SetPageLength(std::int64_t units);
  // ESC ( ^: every byte prints as a character, codes 0-31 too (escp2_character_codes.cpp).
  void PrintCharacters(const std::uint8_t* data, std::int32_t length);
  // Bar-code characters: prints `text` from dot `x` on a line `units` below the current one, without
  // wrapping, and leaves the print position where it was (bar_code_printing.cpp).
  // `hmi` (1/360 inch, 0: 10 cpi) sets the digits' advance; they then print in the condensed face.
  void PrintBelow(std::int64_t units, std::int32_t x, std::string_view text, std::int32_t hmi = 0);
  void SetMargins(std::int64_t top, std::int64_t bottom);
  // A bar code the printer leaves out: the first of a take is logged.
  void RejectBarCode(std::int32_t type);
  void DefaultTabs();
  std::int32_t ColumnWidth() const;  // dots per column at the current pitch (margins, tabs, backspace)
  std::int32_t DotsX(std::int64_t units) const;
  // For an image command: draws pending text and starts a pending page; false when there is no device
  // to draw on, and the image hook is not called. EndImage then moves X past the image, never beyond the
  // right margin.
  // One `heightUnits` high that would cross the bottom margin goes whole to the next page, in the same
  // column, as the printer feeds the paper before it prints the band.
  bool BeginImage(std::int64_t heightUnits = 0);
  void EndImage(std::int64_t widthDots);
  // The hooks' view of the job.
  Escp2Context GraphicsContext();
  // For a graphics setting (colour, MicroWeave): draws pending text, starts no page.
  Escp2Context SettingContext();

 private:
  struct Font {
    FontRequest request;
    FontHandle handle = 0;
  };
  struct Glyph {
    FontHandle font = 0;
    std::int32_t advance = 0;      // dots from this character to the next
    std::int32_t drawAdvance = 0;  // what the device advances by itself; differs with extra spacing
    std::int32_t extra = 0;        // advance - drawAdvance
    std::int32_t em = 0;
    std::int32_t top = 0;                 // cell top below the line top (subscript)
    bool proportional = false;            // advances are measured per character
    std::array<std::uint8_t, 3> score{};  // score lines drawn under, through and over the characters
  };

  void PrintByte(std::uint8_t byte);
  // Prints the plain characters at the start of `data` without PrintByte's checks; returns how many.
  std::int32_t PrintPlainText(const std::uint8_t* data, std::int32_t length);
  // Makes the current run one that `glyph` can go on with.
  void ContinueRun(const Glyph& glyph, bool hidden);
  void PrintUserCharacter(const Escp2UserCharacter& character);  // escp2_user_chars.cpp
  void ControlCode(std::uint8_t byte);
  bool Decode(std::uint8_t byte, char32_t& character, bool& italic) const;
  const Glyph& CurrentGlyph(bool italic) {
    const int slot = italic ? 1 : 0;
    if (glyphValid_[slot] && glyphModes_[slot] == state_.mode) [[likely]] return glyphs_[slot];
    return MakeGlyph(slot, italic);
  }
  const Glyph& MakeGlyph(int slot, bool italic);
  FontHandle FontFor(const FontRequest& request);
  std::int32_t Measure(char32_t character, const Glyph& glyph);
  // Adds the rules of a box-drawing or block character in a cell `width` wide; false for one that
  // prints as a glyph.
  bool DrawBlockCharacter(char32_t character, std::int32_t width);
  void Decorate(std::int32_t left, std::int32_t right, const Glyph& glyph);
  void BeginDrawing();  // starts the page a form feed left pending
  void AddFill(const TextRect& rect);
  void FlushFills();
  // A run of one font ends; the line's text waits for the line's end, so that CAN can drop all of it.
  void EndRun();
  // Draws the line's text so far.
  void Flush();
  void SyncY();
  std::int32_t RightLimit() const;
  void Wrap();

  Printout& job_;
  PrintSystem& printers_;
  const ErrorLog* log_ = nullptr;
  bool barCodeRejected_ = false;
  PrintDevice* device_ = nullptr;  // null also for a device nothing can sensibly be drawn on
  std::int32_t dpiX_ = 0;
  std::int32_t dpiY_ = 0;
  Escp2State state_;
  std::vector<Font> fonts_;
  FontHandle selected_ = 0;
  // The glyphs of the print mode they were made for, upright and italic: a handler changes the mode and
  // the next character finds its glyph stale.
  Glyph glyphs_[2];
  Escp2PrintMode glyphModes_[2];
  bool glyphValid_[2] = {false, false};

  // The run of characters not yet drawn: one font, one line, device advances only.
  std::u32string run_;
  TextRect runRect_;
  FontHandle runFont_ = 0;
  Glyph runGlyph_;
  bool runHidden_ = false;  // characters drawn as rules: text without ink
  struct LineRun {
    std::u32string text;
    TextRect rect;
    Glyph glyph;
    bool hidden = false;
  };
  std::vector<LineRun> lineRuns_;  // the first lineRunCount_ are the line's runs not yet drawn
  std::size_t lineRunCount_ = 0;
  std::vector<TextRect> lineRules_;  // the rules of the line's box and block characters, not yet drawn
  std::vector<TextRect> fills_;  // rectangles of the page not yet drawn

  bool pagePending_ = false;
  std::int32_t lastLineY_ = 0;
  // Dots below the origin where this sheet's form begins: ESC C given below the top of form makes that
  // line the top of form; the next sheet starts at the origin again.
  std::int32_t formTopOnSheet_ = 0;
};

}  // namespace quillmark
