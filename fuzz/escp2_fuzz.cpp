// Arbitrary spool data through a whole ESC/P 2 document (document_fuzz.h); ESC/P, the 9-pin printer on the
// same interpreter, when the first byte's bit 5 is set.

#include "document_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
  using quillmark::Emulation;
  const bool ninePin = size > 0 && (input[0] & 0x20) != 0;
  return quillmark::FuzzDocument(input, size, ninePin ? Emulation::kEscP : Emulation::kEscP2);
}
