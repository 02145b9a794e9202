// Feeds arbitrary bytes to the PDF writer: as strings and names that must read back unchanged, and as a
// script of pages, fonts, glyphs, rules and images whose document must hold together (every cross
// reference pointing at its object). Any crash, sanitizer report or broken invariant is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/pdf/pdf_print_device.h"
#include "platform/pdf/pdf_syntax.h"

namespace {

using namespace quillmark;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Delimiter(char c) { return std::strchr("()<>[]{}/%", c) != nullptr; }
bool Space(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; }

// Reads a literal string as a PDF reader does; the text after it must be empty.
std::string ReadLiteral(std::string_view text) {
  Check(text.size() >= 2 && text.front() == '(' && text.back() == ')');
  std::string out;
  int depth = 0;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    char c = text[i];
    if (c == '\\') {
      c = text[++i];
      const char* from = "nrtbf()\\";
      const char* to = "\n\r\t\b\f()\\";
      const char* at = std::strchr(from, c);
      Check(at != nullptr && c != '\0');
      out += to[at - from];
      continue;
    }
    Check(c != '\r');  // a reader would turn it into a line feed
    if (c == '(') ++depth;
    if (c == ')') Check(--depth >= 0);
    out += c;
  }
  Check(depth == 0);
  return out;
}

std::string ReadName(std::string_view text) {
  Check(!text.empty() && text.front() == '/');
  std::string out;
  for (std::size_t i = 1; i < text.size(); ++i) {
    Check(!Delimiter(text[i]) && !Space(text[i]));
    if (text[i] == '#') {
      Check(i + 2 < text.size());
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

class MemoryOutput final : public pdf::DocumentOutput, public pdf::ByteSink {
 public:
  pdf::ByteSink* Begin(std::string_view) override { return this; }
  bool Write(std::string_view bytes) override {
    file.append(bytes);
    return true;
  }
  bool Finish(bool complete) override { return complete; }
  std::string file;
};

// The cross-reference table must name the start of every object it lists.
void CheckStructure(const std::string& file) {
  Check(file.starts_with("%PDF-1.7\n") && file.ends_with("%%EOF\n"));
  const std::size_t start = file.rfind("startxref\n");
  Check(start != std::string::npos);
  const std::size_t xref = std::strtoull(file.c_str() + start + 10, nullptr, 10);
  Check(file.compare(xref, 7, "xref\n0 ") == 0);
  char* end = nullptr;
  const std::size_t count = std::strtoull(file.c_str() + xref + 7, &end, 10);
  const std::size_t table = static_cast<std::size_t>(end - file.c_str()) + 1 + 20;
  for (std::size_t id = 1; id < count; ++id) {
    const std::size_t entry = table + (id - 1) * 20;
    Check(file.compare(entry + 10, 10, " 00000 n\r\n") == 0);
    const std::size_t offset = std::strtoull(file.c_str() + entry, nullptr, 10);
    const std::string header = std::to_string(id) + " 0 obj\n";
    Check(file.compare(offset, header.size(), header) == 0);
  }
}

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  std::int32_t Number(std::int32_t limit) { return (Byte() << 8 | Byte()) % limit; }
};

void FuzzDocument(Reader in) {
  static const auto fonts = std::make_shared<pdf::FontTable>();
  static const FontHandle handles[] = {
      [] {
        FontRequest r;
        r.height = -84;
        r.width = 60;
        r.charSet = 255;
        r.pitchAndFamily = 0x31;
        r.weight = 500;
        return fonts->Create(r);
      }(),
      [] {
        FontRequest r;
        r.height = -50;
        r.width = 40;
        r.pitchAndFamily = 0x32;
        r.weight = 700;
        r.faceName = "Roman";
        return fonts->Create(r);
      }()};
  pdf::DeviceGeometry geometry;
  pdf::SetPaperMillimetres(geometry, in.Number(6000), in.Number(6000));
  auto output = std::make_unique<MemoryOutput>();
  MemoryOutput& memory = *output;
  pdf::PdfPrintDevice device(geometry, std::move(output), fonts);
  device.StartDocument("DOS Job");
  device.SetTransparentBackground();
  for (int op = 0; in.size > 0 && op < 200; ++op) {
    const TextRect rect{in.Number(8000) - 100, in.Number(8000) - 100, in.Number(8000), in.Number(8000)};
    switch (in.Byte() % 8) {
      case 0:
        device.SelectFont(handles[in.Byte() % 2]);
        break;
      case 1: {
        std::u32string text;
        for (int n = in.Byte() % 16; n > 0; --n) text += static_cast<char32_t>((in.Byte() << 8 | in.Byte()) % 0x3000);
        // Every other run invisible (box characters under their rules), in either font.
        if (in.Byte() % 2 == 0) {
          device.DrawUnicodeText(text, rect);
        } else {
          device.DrawHiddenText(text, rect, handles[in.Byte() % 2]);
        }
        break;
      }
      case 2: {
        std::string text;
        for (int n = in.Byte() % 32; n > 0; --n) text += static_cast<char>(in.Byte());
        device.DrawText(text, rect);
        break;
      }
      case 3:
        device.FillRectangle(rect);
        break;
      case 4: {
        BitImage image;
        image.width = in.Byte() % 20;
        image.height = in.Byte() % 20;
        for (int n = image.BytesPerRow() * image.height; n > 0; --n) image.bits.push_back(in.Byte());
        device.DrawBitImage(image, rect);
        break;
      }
      case 5:
        device.EndPage();
        device.StartPage();
        break;
      case 6:
        device.SetTextColor(static_cast<std::uint32_t>(in.Byte() << 16 | in.Byte() << 8 | in.Byte()));
        break;
      default:
        device.StartPage();
    }
  }
  device.EndDocument();
  Check(device.Delivered());
  CheckStructure(memory.file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] % 2 == 0) {
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string literal;
    pdf::AppendLiteralString(literal, bytes);
    Check(ReadLiteral(literal) == bytes);
    std::string name;
    pdf::AppendName(name, bytes);
    Check(ReadName(name) == bytes);
    return 0;
  }
  FuzzDocument(Reader{data + 1, size - 1});
  return 0;
}
