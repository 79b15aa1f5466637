#include "dialogs/cmp_TBackDrop.h"

#include "dialogs/cmp_Rotate3DLabel.h"
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

// ---- TBackdrop -------------------------------------------------------------------

static TBackdrop* Main = nullptr;

TBackdrop* MainBackdrop() { return Main; }

static void DefineBackdrop(fw_Classes::TPropertyBuilder<TBackdrop>& P)
{
    using B = TBackdrop;
    P.Enum<TDirection>("Direction", TDirectionInfo, &B::Direction, &B::SetDirection, bdUp);
    P.Integer("EndColor", &B::EndColor, &B::SetEndColor, fw_Graphics::clBlack, &fw_Graphics::ColorIdents);
    P.Integer("StartColor", &B::StartColor, &B::SetStartColor, fw_Graphics::clBlue, &fw_Graphics::ColorIdents);
}

FW_DEFINE_CLASS(TBackdrop, fw_ExtCtrls::TPanel, fw_Classes::CreateComponent<TBackdrop>, DefineBackdrop)

TBackdrop::TBackdrop(fw_Classes::TComponent* AOwner) : TPanel(AOwner) { SetAlign(fw_Forms::alClient); }

TBackdrop::~TBackdrop()
{
    if (Main == this)
        Main = nullptr;
}

void TBackdrop::Assign(fw_Classes::TPersistent* Source)
{
    auto* Other = dynamic_cast<TBackdrop*>(Source);
    if (!Other) {
        inherited::Assign(Source);
        return;
    }
    FDirection = Other->FDirection;
    FStartColor = Other->FStartColor;
    FEndColor = Other->FEndColor;
    SetAlign(Other->Align());
    Invalidate();
}

void TBackdrop::SetDirection(TDirection Value)
{
    if (Value == FDirection)
        return;
    FDirection = Value;
    Invalidate();
}

void TBackdrop::SetStartColor(TColor Value)
{
    if (Value == FStartColor)
        return;
    FStartColor = Value;
    Invalidate();
}

void TBackdrop::SetEndColor(TColor Value)
{
    if (Value == FEndColor)
        return;
    FEndColor = Value;
    Invalidate();
}

void TBackdrop::SetTag(int64_t Value)
{
    inherited::SetTag(Value);
    if (Value == -1) {
        TBackdrop* Previous = Main;
        Main = this; // first, so that the previous one's change leaves it be
        if (Previous && Previous != this)
            Previous->SetTag(0);
    } else if (Main == this) {
        Main = nullptr;
    }
}

void TBackdrop::Invalidate()
{
    // The children painting the gradient behind them show the old one otherwise.
    if (FHandle)
        RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

LRESULT TBackdrop::WndProc(UINT Msg, WPARAM W, LPARAM L)
{
    switch (Msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(W));
        return 0;
    case WM_SIZE: {
        // The bands are spread over the whole height or width: a new size
        // moves every one of them, not only those in the uncovered part.
        LRESULT Result = inherited::WndProc(Msg, W, L);
        Invalidate();
        return Result;
    }
    }
    return inherited::WndProc(Msg, W, L);
}

void TBackdrop::Paint(HDC DC)
{
    RECT R;
    GetClientRect(FHandle, &R);
    PaintGradient(DC, R, FDirection, FStartColor, FEndColor);
}

void RegisterDecorativeClasses()
{
    fw_Classes::RegisterClasses({&TBackdrop::StaticClass(), &cmp_Rotate3DLabel::TRotate3DLabel::StaticClass()});
}

} // namespace cmp_TBackDrop
