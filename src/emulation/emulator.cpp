#include "emulation/emulator.h"

#include "emulation/basic/interpreter.h"
#include "emulation/escp2/escp2_interpreter.h"
#include "emulation/pcl/pcl_run.h"

namespace quillmark {
namespace {

// The original control-code set, byte by byte, exactly as it always printed.
class BasicEmulator final : public Emulator {
 public:
  void Print(Printout& printout, PrintSystem& printers, const ErrorLog&) override {
    std::int32_t readPosition = 0;
    while (readPosition < printout.DataLength) {
      InterpretByte(printout, readPosition, printers);
      printout.Passed(readPosition);
    }
  }
};

class Escp2Emulator final : public Emulator {
 public:
  void Print(Printout& printout, PrintSystem& printers, const ErrorLog& log) override {
    RunEscp2(printout, printers, &log);
  }
};

class PclEmulator final : public Emulator {
 public:
  void Print(Printout& printout, PrintSystem& printers, const ErrorLog& log) override {
    RunPcl(printout, printers, &log);
  }
};

}  // namespace

Emulation ChooseEmulation(Emulation configured, const std::uint8_t* data, std::int32_t length) {
  if (configured != Emulation::kAuto) return configured;
  return LooksLikePcl(data, length) ? Emulation::kPcl : Emulation::kEscP2;
}

std::unique_ptr<Emulator> MakeEmulator(Emulation emulation) {
  switch (emulation) {
    case Emulation::kPcl:
      return std::make_unique<PclEmulator>();
    case Emulation::kEscP2:
    case Emulation::kEscP:  // the same printer with the 9-pin rows of the command table
      return std::make_unique<Escp2Emulator>();
    case Emulation::kBasic:
    case Emulation::kAuto:  // chosen before; Basic never guesses
      break;
  }
  return std::make_unique<BasicEmulator>();
}

}  // namespace quillmark
