#pragma once
// <windows.h> without the A/W macros whose names the print seam uses for its own calls.

#include <windows.h>

#undef CreateFont
#undef DrawText
