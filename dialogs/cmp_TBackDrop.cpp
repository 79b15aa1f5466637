#include "dialogs/cmp_TBackDrop.h"

#include "framework/fw_Handles.h"

namespace cmp_TBackDrop {

const fw_Classes::TEnumInfo TDirectionInfo{
    "TDirection", {"bdUp", "bdDown", "bdLeft", "bdRight", "bdHorzIn", "bdHorzOut", "bdVertIn", "bdVertOut"}};

void PaintGradient(HDC DC, const RECT& Rect, TDirection Direction, TColor StartColor, TColor EndColor)
{
    const bool StartFirst = Direction == bdUp || Direction == bdLeft || Direction == bdHorzOut || Direction == bdVertIn;
    const bool Mirrored = Direction >= bdHorzIn;
    const bool Vertical =
        Direction == bdLeft || Direction == bdRight || Direction == bdVertIn || Direction == bdVertOut;
    const COLORREF A = fw_Graphics::ColorToRGB(StartFirst ? StartColor : EndColor);
    const COLORREF B = fw_Graphics::ColorToRGB(StartFirst ? EndColor : StartColor);
    const int DR = GetRValue(B) - GetRValue(A), DG = GetGValue(B) - GetGValue(A), DB = GetBValue(B) - GetBValue(A);
    const int Bands = Mirrored ? 128 : 256, Last = Bands - 1;
    const int Size = Vertical ? Rect.right - Rect.left : Rect.bottom - Rect.top;
    auto Fill = [&](int From, int To, HBRUSH Brush) {
        RECT Band = Rect;
        if (Vertical) {
            Band.left = Rect.left + From;
            Band.right = Rect.left + To;
        } else {
            Band.top = Rect.top + From;
            Band.bottom = Rect.top + To;
        }
        if (From < To)
            FillRect(DC, &Band, Brush);
    };
    for (int I = 0; I < Bands; ++I) {
        const COLORREF Colour = RGB(GetRValue(A) + MulDiv(I, DR, Last), GetGValue(A) + MulDiv(I, DG, Last),
                                    GetBValue(A) + MulDiv(I, DB, Last));
        fw_Handles::TGdiHandle<HBRUSH> Brush(CreateSolidBrush(Colour));
        Fill(MulDiv(I, Size, 256), MulDiv(I + 1, Size, 256), Brush.Get());
        if (Mirrored)
            Fill(MulDiv(255 - I, Size, 256), MulDiv(256 - I, Size, 256), Brush.Get());
    }
}

} // namespace cmp_TBackDrop
