// Arbitrary spool data through a whole LaserJet document (document_fuzz.h).

#include "document_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
  return quillmark::FuzzDocument(input, size, quillmark::Emulation::kPcl);
}
