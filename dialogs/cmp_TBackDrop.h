// The backdrop: a colour gradient over the whole main window, behind the
// installer's dialogs.
#pragma once

#include "framework/fw_Classes.h"
#include "framework/fw_Graphics.h"

#include <windows.h>

namespace cmp_TBackDrop {

using fw_Graphics::TColor;

// Where the start colour lies: at the top (bdUp), bottom, left or right
// edge, or at both edges of a mirrored gradient (the Out kinds) or in its
// middle (the In kinds).
enum TDirection : uint8_t { bdUp, bdDown, bdLeft, bdRight, bdHorzIn, bdHorzOut, bdVertIn, bdVertOut };
extern const fw_Classes::TEnumInfo TDirectionInfo;

// Paints the gradient into Rect of DC: 256 bands from one colour to the
// other, or 128 mirrored ones meeting in the middle.
void PaintGradient(HDC DC, const RECT& Rect, TDirection Direction, TColor StartColor, TColor EndColor);

} // namespace cmp_TBackDrop
