#pragma once
// <windows.h> without the A/W macros whose names the print seam uses for its own calls.

#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#undef CreateFont
#undef DrawText
