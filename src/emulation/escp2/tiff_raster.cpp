#include "emulation/escp2/tiff_raster.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "emulation/dot_math.h"
#include "emulation/escp2/escp2_commands.h"
#include "emulation/escp2/escp2_graphics.h"
#include "emulation/escp2/escp2_interpreter.h"

namespace quillmark {
namespace {

enum class Op : std::uint8_t {
  kNone,
  kTransfer,
  kMoveX,
  kMoveY,
  kColour,
  kClear,
  kReturn,
  kExit,
  kByteUnit,
  kDotUnit
};

struct Binary {
  Op op = Op::kNone;
  std::int32_t value = 0;
  std::span<const std::uint8_t> data;  // <XFER>'s coded bytes
};

constexpr std::int64_t kMaxMoveY = 22 * kUnitsPerInch;  // a longer <MOVY> is ignored
constexpr std::int64_t kMaxRowWidth = 22 * kUnitsPerInch;
constexpr std::int64_t kBandRows = 256;
constexpr std::size_t kBandBytes = std::size_t{1} << 20;

// Reads the command at data[at]; returns its length, 0 when the data ends inside it.
std::size_t ReadBinary(std::span<const std::uint8_t> data, std::size_t at, Binary& out) {
  out = Binary();
  const std::uint8_t code = data[at];
  const int low = code & 0x0F;
  const bool counted = (code & 0x10) != 0;
  const int opcode = code >> 5;
  if (opcode == 7) {
    constexpr Op kSystem[] = {Op::kNone, Op::kClear, Op::kReturn, Op::kExit, Op::kByteUnit, Op::kDotUnit};
    if (code <= 0xE5) out.op = kSystem[code - 0xE0];
    return 1;
  }
  if (opcode == 4) {
    if (code == 0x80 || code == 0x81 || code == 0x82 || code == 0x84) out = {Op::kColour, low, {}};
    return 1;
  }
  if (opcode < 1 || opcode > 3) return 1;
  std::size_t size = 1;
  std::int32_t value = low;
  if (counted) {
    if (low != 1 && low != 2) return 1;  // no such form: ignored like any unknown byte
    if (data.size() - at <= static_cast<std::size_t>(low)) return 0;
    value = data[at + 1] + (low == 2 ? 256 * data[at + 2] : 0);
    size += static_cast<std::size_t>(low);
  }
  out.op = opcode == 1 ? Op::kTransfer : opcode == 2 ? Op::kMoveX : Op::kMoveY;
  if (out.op == Op::kMoveX) {
    const std::int32_t range = counted ? (low == 1 ? 0x100 : 0x10000) : 0x10;
    if (value >= range / 2) value -= range;
  }
  out.value = value;
  if (out.op == Op::kTransfer) {
    if (data.size() - at - size < static_cast<std::size_t>(value)) return 0;
    out.data = data.subspan(at + size, static_cast<std::size_t>(value));
    size += static_cast<std::size_t>(value);
  }
  return size;
}

// Decodes PackBits into at most `keep` bytes; returns the length of the whole decoded row.
std::int64_t Unpack(std::span<const std::uint8_t> coded, std::size_t keep, std::vector<std::uint8_t>& out) {
  out.clear();
  std::int64_t length = 0;
  for (std::size_t at = 0; at < coded.size();) {
    const std::uint8_t counter = coded[at++];
    if (counter < 128) {
      const std::size_t n = std::min<std::size_t>(std::size_t{counter} + 1, coded.size() - at);
      const std::size_t kept = std::min(n, keep - std::min(keep, out.size()));
      out.insert(out.end(), coded.begin() + static_cast<std::ptrdiff_t>(at),
                 coded.begin() + static_cast<std::ptrdiff_t>(at + kept));
      at += n;
      length += static_cast<std::int64_t>(n);
    } else if (counter > 128 && at < coded.size()) {  // 128 is TIFF's no-operation
      const std::size_t n = 257 - std::size_t{counter};
      out.insert(out.end(), std::min(n, keep - std::min(keep, out.size())), coded[at++]);
      length += static_cast<std::int64_t>(n);
    }
  }
  return length;
}

// One decoded row waiting to be drawn: its bytes from `column` (in dots of the header) on, `y` in units
// from the top of form.
struct Row {
  std::int64_t y;
  std::int64_t column;
  int colour;
  std::vector<std::uint8_t> bits;
};

class TiffRaster {
 public:
  TiffRaster(Escp2Interpreter& printer, const Escp2Command& command)
      : p_(printer),
        delta_(command.Param(0) == 3),
        vImage_(command.Param(1)),
        hImage_(command.Param(2)),
        v_(static_cast<std::int32_t>(InUnits<3600>(vImage_))),
        h_(static_cast<std::int32_t>(InUnits<3600>(hImage_))),
        colour_(printer.State().graphics.colour) {
    const Escp2State& s = p_.State();
    unitX_ = s.unitDefined ? s.horizontalUnit : h_;
    unitY_ = s.unitDefined ? s.verticalUnit : v_;
    const Printout& job = p_.Job();
    const std::int64_t room = std::int64_t{p_.GraphicsContext().rightMarginX} - job.OriginX - s.leftMargin;
    limit_ = job.DpiX > 0 ? std::clamp<std::int64_t>(room * kUnitsPerInch / job.DpiX, 0, kMaxRowWidth) : 0;
  }

  void Run(std::span<const std::uint8_t> data) {
    if (v_ > 0 && h_ > 0) {
      Binary command;
      for (std::size_t at = 0, size = 0; at < data.size(); at += size) {
        size = ReadBinary(data, at, command);
        if (size == 0 || command.op == Op::kExit) break;
        Execute(command);
      }
      Commit();
      Flush();
    }
    p_.CarriageReturn();
  }

 private:
  void Execute(const Binary& c) {
    switch (c.op) {
      case Op::kTransfer:
        Transfer(c.data);
        break;
      case Op::kMoveX: {
        const std::int64_t x = x_ + std::int64_t{c.value} * (byteUnits_ ? 8 : 1) * unitX_;
        if (x >= 0 && x <= limit_) x_ = x;
        break;
      }
      case Op::kMoveY:
        MoveDown(std::int64_t{c.value} * unitY_);
        break;
      case Op::kColour:
        colour_ = c.value;
        x_ = 0;
        break;
      case Op::kClear:
        if (delta_) seeds_[static_cast<std::size_t>(colour_)].clear();
        break;
      case Op::kByteUnit:
      case Op::kDotUnit:
        byteUnits_ = c.op == Op::kByteUnit;
        [[fallthrough]];
      case Op::kReturn:
        x_ = 0;
        break;
      case Op::kNone:
      case Op::kExit:
        break;
    }
  }

  // Dots left of the print position, and how many bytes of a row still fit before the right margin.
  std::int64_t Column() const { return (x_ + h_ / 2) / h_; }
  std::size_t Room() const { return static_cast<std::size_t>((limit_ - x_) / (8 * h_) + 1); }

  void Transfer(std::span<const std::uint8_t> coded) {
    const std::int64_t length = Unpack(coded, Room(), decoded_);
    if (delta_) {
      // The seed row is kept in whole bytes from the left margin.
      std::vector<std::uint8_t>& seed = seeds_[static_cast<std::size_t>(colour_)];
      const auto first = static_cast<std::size_t>(Column() / 8);
      if (seed.size() < first + decoded_.size()) seed.resize(first + decoded_.size(), 0);
      std::copy(decoded_.begin(), decoded_.end(), seed.begin() + static_cast<std::ptrdiff_t>(first));
    } else {
      Add(Row{p_.State().vertical, Column(), colour_, decoded_});
    }
    x_ = std::min(x_ + length * 8 * h_, limit_ + 8 * h_);
  }

  void MoveDown(std::int64_t units) {
    if (units > kMaxMoveY) return;
    x_ = 0;
    if (units == 0) return;
    Commit();
    const Escp2State& s = p_.State();
    if (s.vertical + units >= s.bottomMargin) Flush();  // the move ends the page
    p_.MoveDown(units);
  }

  // The delta row mode prints every colour's seed row on the row the print position leaves.
  void Commit() {
    if (!delta_) return;
    for (std::size_t colour = 0; colour < seeds_.size(); ++colour) {
      const std::vector<std::uint8_t>& seed = seeds_[colour];
      std::size_t first = 0;
      std::size_t end = seed.size();
      while (first < end && seed[first] == 0) ++first;
      while (end > first && seed[end - 1] == 0) --end;
      if (first == end) continue;
      Row row{p_.State().vertical, 8 * static_cast<std::int64_t>(first), static_cast<int>(colour), {}};
      row.bits.assign(seed.data() + first, seed.data() + end);
      Add(std::move(row));
    }
  }

  void Add(Row row) {
    if (row.bits.empty()) return;
    if (!band_.empty() && (row.y < band_.front().y || (row.y - band_.front().y) / v_ >= kBandRows ||
                           bandBytes_ >= kBandBytes)) {
      Flush();
    }
    bandBytes_ += row.bits.size();
    band_.push_back(std::move(row));
  }

  // Draws the band: one image per colour, the rows ORed in where they overlap.
  void Flush() {
    if (band_.empty()) return;
    if (p_.BeginImage()) {
      Escp2Context context = p_.GraphicsContext();
      Printout& job = context.job;
      const std::int32_t savedX = job.X;
      const std::int32_t savedY = job.Y;
      const std::int32_t savedColour = context.graphics.colour;
      for (int colour = 0; colour < static_cast<int>(seeds_.size()); ++colour) Draw(context, colour);
      if (context.graphics.colour != savedColour) SelectColour(context, savedColour);
      job.X = savedX;
      job.Y = savedY;
    }
    band_.clear();
    bandBytes_ = 0;
  }

  void Draw(Escp2Context& context, int colour) {
    std::int64_t left = INT64_MAX, right = 0, top = INT64_MAX, bottom = 0;
    for (const Row& row : band_) {
      if (row.colour != colour) continue;
      left = std::min(left, row.column);
      right = std::max(right, row.column + 8 * static_cast<std::int64_t>(row.bits.size()));
      top = std::min(top, row.y);
      bottom = std::max(bottom, row.y);
    }
    if (left == INT64_MAX) return;
    RasterImageHeader header{0, vImage_, hImage_, static_cast<int>((bottom - top + v_ / 2) / v_ + 1),
                             static_cast<int>(right - left)};
    const auto rowBytes = static_cast<std::size_t>((header.dots + 7) / 8);
    std::vector<std::uint8_t> bits(rowBytes * static_cast<std::size_t>(header.rows), 0);
    for (const Row& row : band_) {
      if (row.colour != colour) continue;
      const auto shift = static_cast<unsigned>((row.column - left) % 8);
      const auto first = static_cast<std::size_t>((row.column - left) / 8);
      std::uint8_t* out = bits.data() + static_cast<std::size_t>((row.y - top + v_ / 2) / v_) * rowBytes;
      for (std::size_t i = 0; i < row.bits.size(); ++i) {
        out[first + i] |= static_cast<std::uint8_t>(row.bits[i] >> shift);
        if (shift != 0 && first + i + 1 < rowBytes) {
          out[first + i + 1] |= static_cast<std::uint8_t>(row.bits[i] << (8 - shift));
        }
      }
    }
    Printout& job = context.job;
    job.X = job.OriginX + p_.State().leftMargin + p_.DotsX(left * h_);
    job.Y = job.OriginY + RoundToDots(static_cast<double>(top) * context.scaledDpiY / kUnitsPerInch);
    if (context.graphics.colour != colour) SelectColour(context, colour);
    PrintRasterImage(context, header, bits.data(), bits.size());
  }

  Escp2Interpreter& p_;
  const bool delta_;
  const std::int32_t vImage_;  // the header's 1/3600 inch per row and per dot
  const std::int32_t hImage_;
  const std::int32_t v_;  // the same in units
  const std::int32_t h_;
  std::int64_t unitX_ = 0;  // units per <MOVX> dot and <MOVY> step
  std::int64_t unitY_ = 0;
  std::int64_t limit_ = 0;  // the right margin, units right of the left margin
  std::int64_t x_ = 0;      // the print position, units right of the left margin
  bool byteUnits_ = false;
  int colour_;
  std::vector<std::uint8_t> decoded_;
  std::array<std::vector<std::uint8_t>, 7> seeds_;  // by colour, as ESC r numbers them
  std::vector<Row> band_;
  std::size_t bandBytes_ = 0;
};

}  // namespace

std::int64_t TiffRasterLength(const std::uint8_t* data, std::int64_t length) {
  const std::span<const std::uint8_t> bytes(data, static_cast<std::size_t>(length));
  Binary command;
  for (std::size_t at = 0, size = 0; at < bytes.size(); at += size) {
    size = ReadBinary(bytes, at, command);
    if (size == 0) break;
    if (command.op == Op::kExit) return static_cast<std::int64_t>(at + size);
  }
  return length;
}

void RunTiffRaster(Escp2Interpreter& printer, const Escp2Command& command) {
  TiffRaster raster(printer, command);
  raster.Run(std::span<const std::uint8_t>(command.data, static_cast<std::size_t>(command.dataLength)));
}

}  // namespace quillmark
