#include "emulation/emulator.h"

#include "emulation/escp2/escp2_interpreter.h"
#include "emulation/interpreter.h"
#include "emulation/pcl/pcl_run.h"

namespace quillmark {
namespace {

// The original control-code set, byte by byte, exactly as it always printed.
class BasicEmulator final : public Emulator {
 public:
  void Print(Printout& printout, PrintSystem& printers) override {
    std::int32_t readPosition = 0;
    while (readPosition < printout.DataLength) InterpretByte(printout, readPosition, printers);
  }
};

class Escp2Emulator final : public Emulator {
 public:
  void Print(Printout& printout, PrintSystem& printers) override { RunEscp2(printout, printers); }
};

class PclEmulator final : public Emulator {
 public:
  explicit PclEmulator(const ErrorLog* log) : log_(log) {}
  void Print(Printout& printout, PrintSystem& printers) override { RunPcl(printout, printers, log_); }

 private:
  const ErrorLog* log_;
};

}  // namespace

Emulation ChooseEmulation(Emulation configured, const std::uint8_t* data, std::int32_t length) {
  if (configured != Emulation::kAuto) return configured;
  return LooksLikePcl(data, length) ? Emulation::kPcl : Emulation::kEscP2;
}

std::unique_ptr<Emulator> MakeEmulator(Emulation emulation, const ErrorLog* log) {
  switch (emulation) {
    case Emulation::kPcl:
      return std::make_unique<PclEmulator>(log);
    case Emulation::kEscP2:
      return std::make_unique<Escp2Emulator>();
    case Emulation::kBasic:
    case Emulation::kAuto:  // chosen before; Basic never guesses
      break;
  }
  return std::make_unique<BasicEmulator>();
}

}  // namespace quillmark
