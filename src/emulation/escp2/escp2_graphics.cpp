#include "emulation/escp2/escp2_graphics.h"

namespace quillmark {

// Images are not drawn yet: the data is consumed by the interpreter and the position stays.
void PrintBitImage(Escp2Context&, int, int, const std::uint8_t*) {}

void PrintNinePinImage(Escp2Context&, int, int, const std::uint8_t*) {}

void PrintRasterImage(Escp2Context&, const RasterImageHeader&, const std::uint8_t*, std::size_t) {}

void SelectColour(Escp2Context& context, int colour) { context.graphics.colour = colour; }

void SelectMicroWeave(Escp2Context& context, int value) { context.graphics.microWeave = value; }

}  // namespace quillmark
