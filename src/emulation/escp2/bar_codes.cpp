#include "emulation/escp2/bar_codes.h"

#include <algorithm>
#include <array>

namespace quillmark {
namespace {

// EAN/UPC left-hand odd-parity digits (set A), one character per module. Set C (right hand) is their
// inverse, set B (even parity) set C reversed.
constexpr std::array<const char*, 10> kEanOdd = {"0001101", "0011001", "0010011", "0111101", "0100011",
                                                 "0110001", "0101111", "0111011", "0110111", "0001011"};
// Which of the six left digits of an EAN-13 take set B, by the leading digit; bit 5 is the first.
constexpr std::array<std::uint8_t, 10> kEan13Parity = {0x00, 0x0B, 0x0D, 0x0E, 0x13,
                                                       0x19, 0x1C, 0x15, 0x16, 0x1A};
// UPC-E: the six digits that take set B, by the check digit, for number system 0 (system 1 inverts it).
constexpr std::array<std::uint8_t, 10> kUpcEEven = {0x38, 0x34, 0x32, 0x31, 0x2C,
                                                    0x26, 0x23, 0x2A, 0x29, 0x25};

// Code 39 in the order of its check values: nine elements each (bar first), the bit set where wide.
constexpr std::string_view kCode39Characters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
constexpr std::array<std::uint16_t, 44> kCode39 = {
    0x034, 0x121, 0x061, 0x160, 0x031, 0x130, 0x070, 0x025, 0x124, 0x064, 0x109, 0x049, 0x148, 0x019, 0x118,
    0x058, 0x00D, 0x10C, 0x04C, 0x01C, 0x103, 0x043, 0x142, 0x013, 0x112, 0x052, 0x007, 0x106, 0x046, 0x016,
    0x181, 0x0C1, 0x1C0, 0x091, 0x190, 0x0D0, 0x085, 0x184, 0x0C4, 0x0A8, 0x0A2, 0x08A, 0x02A, 0x094};
constexpr std::size_t kCode39Star = 43;

// Interleaved 2 of 5: five elements per digit, the bit set where wide (first element in bit 4).
constexpr std::array<std::uint8_t, 10> kTwoOfFive = {0x06, 0x11, 0x09, 0x18, 0x05,
                                                     0x14, 0x0C, 0x03, 0x12, 0x0A};

// Code 128 symbols 0-105 as the widths of their six elements; 106 is the stop with its final bar.
constexpr std::array<std::uint32_t, 107> kCode128 = {
    212222, 222122, 222221, 121223, 121322, 131222, 122213, 122312, 132212, 221213, 221312, 231212,
    112232, 122132, 122231, 113222, 123122, 123221, 223211, 221132, 221231, 213212, 223112, 312131,
    311222, 321122, 321221, 312212, 322112, 322211, 212123, 212321, 232121, 111323, 131123, 131321,
    112313, 132113, 132311, 211313, 231113, 231311, 112133, 112331, 132131, 113123, 113321, 133121,
    313121, 211331, 231131, 213113, 213311, 213131, 311123, 311321, 331121, 312113, 312311, 332111,
    314111, 221411, 431111, 111224, 111422, 121124, 121421, 141122, 141221, 112214, 112412, 122114,
    122411, 142112, 142211, 241211, 221114, 413111, 241112, 134111, 111242, 121142, 121241, 114212,
    124112, 124211, 411212, 421112, 421211, 212141, 214121, 412121, 111143, 111341, 131141, 114113,
    114311, 411113, 411311, 113141, 114131, 311141, 411131, 211412, 211214, 211232, 2331112};
constexpr int kCode128StartA = 103;

// POSTNET digits: five bars each, '1' tall.
constexpr std::array<const char*, 10> kPostnet = {"11000", "00011", "00101", "00110", "01001",
                                                  "01010", "01100", "10001", "10010", "10100"};

constexpr int kWide = 3;  // wide elements of Code 39 and 2 of 5, in narrow ones

bool AllDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Modules as '1' (bar) and '0' (space), turned into run lengths at the end.
void Add(std::string& modules, bool bar, int width) {
  modules.append(static_cast<std::size_t>(width), bar ? '1' : '0');
}

// Elements alternating bar and space from `bar`, their widths as decimal digits.
void AddWidths(std::string& modules, std::uint32_t widths, bool bar = true) {
  std::string digits = std::to_string(widths);
  for (char digit : digits) Add(modules, bar, digit - '0'), bar = !bar;
}

// `count` elements from a bit mask (first element in the highest bit), alternating from a bar.
void AddWideNarrow(std::string& modules, unsigned mask, int count, bool bar = true) {
  for (int i = count - 1; i >= 0; --i) Add(modules, bar, (mask >> i) & 1U ? kWide : 1), bar = !bar;
}

std::vector<std::uint8_t> Runs(const std::string& modules) {
  std::vector<std::uint8_t> runs;
  for (std::size_t i = 0; i < modules.size();) {
    std::size_t end = modules.find_first_not_of(modules[i], i);
    if (end == std::string::npos) end = modules.size();
    runs.push_back(static_cast<std::uint8_t>(end - i));
    i = end;
  }
  return runs;
}

void AddEanDigit(std::string& modules, char digit, char set) {
  std::string pattern = kEanOdd[static_cast<std::size_t>(digit - '0')];
  if (set != 'A') {
    for (char& c : pattern) c = c == '1' ? '0' : '1';
    if (set == 'B') std::reverse(pattern.begin(), pattern.end());
  }
  modules += pattern;
}

// EAN-13 (13 digits), EAN-8 (8) and UPC-E (number system, six digits, check: the parity carries the
// first and the last). `evenMask` says which left digits take set B.
std::string EanModules(std::string_view digits, unsigned evenMask) {
  std::string modules = "101";
  if (digits.size() == 8 && evenMask != 0) {  // UPC-E: six digits, then its own end guard
    for (std::size_t i = 1; i < 7; ++i)
      AddEanDigit(modules, digits[i], (evenMask >> (6 - i)) & 1U ? 'B' : 'A');
    return modules + "010101";
  }
  const std::size_t first = digits.size() == 13 ? 1 : 0;
  const std::size_t half = (digits.size() - first) / 2;
  for (std::size_t i = 0; i < half; ++i) {
    AddEanDigit(modules, digits[first + i], (evenMask >> (half - 1 - i)) & 1U ? 'B' : 'A');
  }
  modules += "01010";
  for (std::size_t i = first + half; i < digits.size(); ++i) AddEanDigit(modules, digits[i], 'C');
  return modules + "101";
}

// A UPC-A number (without check) as the six digits of its UPC-E form; empty when it has none.
std::string CompressUpcA(std::string_view a) {
  const auto zeros = [&](std::size_t from, std::size_t to) {
    return a.substr(from, to - from).find_first_not_of('0') == std::string_view::npos;
  };
  const std::string_view body = a.substr(1);  // manufacturer 0-4, product 5-9
  if (body[2] <= '2' && zeros(4, 8)) return std::string{body[0], body[1], body[7], body[8], body[9], body[2]};
  if (zeros(4, 9)) return std::string{body[0], body[1], body[2], body[8], body[9], '3'};
  if (zeros(5, 10)) return std::string{body[0], body[1], body[2], body[3], body[9], '4'};
  if (zeros(6, 10) && body[9] >= '5') return std::string(body.substr(0, 5)) + body[9];
  return {};
}

// The UPC-A number (without check) a UPC-E number system and six digits stand for.
std::string ExpandUpcE(char system, std::string_view e) {
  std::string a(1, system);
  switch (e[5]) {
    case '0':
    case '1':
    case '2':
      return a + e[0] + e[1] + e[5] + "0000" + e[2] + e[3] + e[4];
    case '3':
      return a + std::string(e.substr(0, 3)) + "00000" + e[3] + e[4];
    case '4':
      return a + std::string(e.substr(0, 4)) + "00000" + e[4];
    default:
      return a + std::string(e.substr(0, 5)) + "0000" + e[5];
  }
}

std::optional<BarCode> EncodeUpcE(std::string digits, bool addCheck) {
  if (digits.empty() || (digits[0] != '0' && digits[0] != '1')) return std::nullopt;
  const std::size_t bodyLength = digits.size() - (addCheck ? 0 : 1);  // without the check digit
  std::string six = bodyLength == 7 ? digits.substr(1, 6) : CompressUpcA(digits.substr(0, 11));
  if (six.empty()) return std::nullopt;
  const char check = addCheck ? Modulo10CheckDigit(ExpandUpcE(digits[0], six)) : digits.back();
  const std::string e = digits[0] + six + check;
  const unsigned even = kUpcEEven[static_cast<std::size_t>(check - '0')] ^ (digits[0] == '1' ? 0x3FU : 0U);
  return BarCode{Runs(EanModules(e, even)), {}, e};
}

// The Code 128 value of one byte in code set A or B, -1 when the set has none. Both sets reach the function
// values 96-102 through bytes they do not print: A through 0x60-0x66, B through 0x19-0x1F.
int Code128Value(char set, unsigned char byte) {
  if (set == 'A') return byte < 0x20 ? byte + 64 : byte <= 0x66 ? byte - (byte < 0x60 ? 32 : 0) : -1;
  return byte >= 0x20 && byte < 0x80 ? byte - 32 : byte >= 0x19 && byte < 0x20 ? byte + 71 : -1;
}

// The first byte names the code set ('A', 'B' or 'C'); CODE A/B/C values switch it and SHIFT takes the
// next byte from the other of A and B. In set C digits go in pairs and ':', ';', '<' are 100-102.
std::optional<BarCode> EncodeCode128(std::string_view data) {
  char set = data[0];
  if (set < 'A' || set > 'C') return std::nullopt;
  std::vector<int> values{kCode128StartA + (set - 'A')};
  std::string text;
  bool shift = false;
  for (std::size_t i = 1; i < data.size(); ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    int value = -1;
    if (set == 'C') {
      if (i + 1 < data.size() && AllDigits(data.substr(i, 2))) {
        value = (byte - '0') * 10 + (data[i + 1] - '0');
        text += data.substr(i++, 2);
      } else if (byte >= ':' && byte <= '<') {
        value = byte - ':' + 100;
      }
    } else {
      value = Code128Value(shift ? static_cast<char>('A' + 'B' - set) : set, byte);
      if (value >= 0 && value < 96) text += byte >= 32 && byte < 127 ? static_cast<char>(byte) : ' ';
    }
    if (value < 0) return std::nullopt;
    values.push_back(value);
    if (shift) {
      shift = false;
    } else if (value == 98 && set != 'C') {
      shift = true;
    } else if (value >= 99 && value <= 101) {
      // 99 is CODE C everywhere; 100 CODE B and 101 CODE A, except in the set they would name (FNC 4).
      const char target = value == 99 ? 'C' : value == 100 ? 'B' : 'A';
      if (target != set && !(set == 'A' && value == 101) && !(set == 'B' && value == 100)) set = target;
    }
  }
  int sum = values[0];
  for (std::size_t i = 1; i < values.size(); ++i) sum += static_cast<int>(i) * values[i];
  values.push_back(sum % 103);
  values.push_back(static_cast<int>(kCode128.size()) - 1);
  std::string modules;
  for (int value : values) AddWidths(modules, kCode128[static_cast<std::size_t>(value)]);
  return BarCode{Runs(modules), {}, text};
}

std::optional<BarCode> EncodeCode39(std::string_view data, bool addCheck) {
  std::string text(data);
  if (addCheck) {
    std::size_t sum = 0;
    for (char c : data) sum += kCode39Characters.find(c);
    text += kCode39Characters[sum % 43];
  }
  std::string modules;
  const auto character = [&](std::size_t index) {
    AddWideNarrow(modules, kCode39[index], 9);
    Add(modules, false, 1);  // the gap between characters
  };
  character(kCode39Star);
  for (char c : text) character(kCode39Characters.find(c));
  character(kCode39Star);
  modules.pop_back();
  return BarCode{Runs(modules), {}, "*" + text + "*"};
}

std::optional<BarCode> EncodeTwoOfFive(std::string digits, bool addCheck) {
  // Digits go in pairs: an odd count gets a leading zero.
  if ((digits.size() + (addCheck ? 1 : 0)) % 2 != 0) digits.insert(digits.begin(), '0');
  if (addCheck) digits += Modulo10CheckDigit(digits);
  std::string modules = "1010";
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    const unsigned bars = kTwoOfFive[static_cast<std::size_t>(digits[i] - '0')];
    const unsigned spaces = kTwoOfFive[static_cast<std::size_t>(digits[i + 1] - '0')];
    for (int bit = 4; bit >= 0; --bit) {
      Add(modules, true, (bars >> bit) & 1U ? kWide : 1);
      Add(modules, false, (spaces >> bit) & 1U ? kWide : 1);
    }
  }
  Add(modules, true, kWide);
  modules += "01";
  return BarCode{Runs(modules), {}, digits};
}

std::optional<BarCode> EncodePostnet(std::string digits, bool addCheck) {
  int sum = 0;
  for (char c : digits) sum += c - '0';
  if (addCheck) digits += static_cast<char>('0' + (10 - sum % 10) % 10);
  BarCode code;
  code.tall = "1";  // the frame bars
  for (char c : digits) code.tall += kPostnet[static_cast<std::size_t>(c - '0')];
  code.tall += '1';
  code.runs.assign(code.tall.size() * 2 - 1, 1);
  code.text = digits;
  return code;
}

}  // namespace

char Modulo10CheckDigit(std::string_view digits) {
  int sum = 0;
  int weight = 3;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it, weight = 4 - weight) sum += weight * (*it - '0');
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::optional<BarCode> EncodeBarCode(BarCodeType type, std::string_view data, bool addCheck) {
  const std::size_t n = data.size() + (addCheck ? 1 : 0);  // the length with the check digit
  switch (type) {
    case BarCodeType::kCode39:
      if (data.empty() || data.size() > 255 ||
          data.find_first_not_of(kCode39Characters) != std::string_view::npos)
        return std::nullopt;
      return EncodeCode39(data, addCheck);
    case BarCodeType::kCode128:
      if (data.size() < 2 || data.size() > 255) return std::nullopt;
      return EncodeCode128(data);
    default:
      break;
  }
  if (!AllDigits(data)) return std::nullopt;
  std::string digits(data);
  switch (type) {
    case BarCodeType::kEan13:
    case BarCodeType::kUpcA:
    case BarCodeType::kEan8: {
      const std::size_t length = type == BarCodeType::kEan13 ? 13 : type == BarCodeType::kUpcA ? 12 : 8;
      if (n != length) return std::nullopt;
      if (addCheck) digits += Modulo10CheckDigit(digits);
      // UPC-A is an EAN-13 that starts with 0.
      const std::string ean = type == BarCodeType::kUpcA ? "0" + digits : digits;
      const unsigned even = ean.size() == 13 ? kEan13Parity[static_cast<std::size_t>(ean[0] - '0')] : 0U;
      return BarCode{Runs(EanModules(ean, even)), {}, digits};
    }
    case BarCodeType::kUpcE:
      if (n != 12 && n != 8) return std::nullopt;
      return EncodeUpcE(digits, addCheck);
    case BarCodeType::kInterleaved2Of5:
      if (data.size() < 2 || data.size() > 255) return std::nullopt;
      return EncodeTwoOfFive(digits, addCheck);
    case BarCodeType::kPostnet:
      if (n != 6 && n != 10 && n != 12) return std::nullopt;
      return EncodePostnet(digits, addCheck);
    default:
      return std::nullopt;
  }
}

}  // namespace quillmark
