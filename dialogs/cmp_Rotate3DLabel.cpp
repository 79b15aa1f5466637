#include "dialogs/cmp_Rotate3DLabel.h"

#include "framework/fw_Handles.h"

#include <cmath>

namespace cmp_Rotate3DLabel {

const fw_Classes::TEnumInfo T3DEffectShortInfo{"T3DEffectShort", {"A3dNormal", "A3dResit", "A3dRaised", "A3dShadowed"}};

static void DefineLabelStyle(fw_Classes::TPropertyBuilder<TLabelStyle>& P)
{
    using S = TLabelStyle;
    P.Enum<T3DEffectShort>("AStyle3D", T3DEffectShortInfo, &S::AStyle3D, &S::SetAStyle3D, A3dRaised);
    P.Integer("Angle", &S::Angle, &S::SetAngle, 0);
    P.Integer("AHShadeOffSet", &S::AHShadeOffSet, &S::SetAHShadeOffSet, 5);
    P.Integer("AShadeRightBottom", &S::AShadeRightBottom, &S::SetAShadeRightBottom, 0x808080);
    P.Integer("AShadeLeftTop", &S::AShadeLeftTop, &S::SetAShadeLeftTop, fw_Graphics::clWhite);
    // Stored always: a new style starts with it off, the stream's default is on.
    P.Boolean("AShadeLTSet", &S::AShadeLTSet, &S::SetAShadeLTSet, true).Stored([](S*) { return true; });
    P.Integer("AVShadeOffSet", &S::AVShadeOffSet, &S::SetAVShadeOffSet, -5);
}

FW_DEFINE_CLASS(TLabelStyle, fw_Classes::TPersistent, nullptr, DefineLabelStyle)

void TLabelStyle::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TLabelStyle::Assign(fw_Classes::TPersistent* Source)
{
    auto* Other = dynamic_cast<TLabelStyle*>(Source);
    if (!Other) {
        inherited::Assign(Source);
        return;
    }
    FAStyle3D = Other->FAStyle3D;
    FAngle = Other->FAngle;
    FAHShadeOffSet = Other->FAHShadeOffSet;
    FSavedLeftTop = Other->FSavedLeftTop;
    FAShadeRightBottom = Other->FAShadeRightBottom;
    FAShadeLeftTop = Other->FAShadeLeftTop;
    FAShadeLTSet = Other->FAShadeLTSet;
    FAVShadeOffSet = Other->FAVShadeOffSet;
    Changed();
}

void TLabelStyle::SetAStyle3D(T3DEffectShort Value)
{
    if (Value == FAStyle3D)
        return;
    FAStyle3D = Value;
    Changed();
}

void TLabelStyle::SetAngle(int Value)
{
    if (Value < 0 || Value > 359)
        Value = 0;
    if (Value == FAngle)
        return;
    FAngle = Value;
    Changed();
}

void TLabelStyle::SetAHShadeOffSet(int Value)
{
    if (Value == FAHShadeOffSet)
        return;
    FAHShadeOffSet = Value;
    if (FAStyle3D == A3dShadowed)
        Changed();
}

void TLabelStyle::SetAVShadeOffSet(int Value)
{
    if (Value == FAVShadeOffSet)
        return;
    FAVShadeOffSet = Value;
    if (FAStyle3D == A3dShadowed)
        Changed();
}

void TLabelStyle::SetAShadeRightBottom(TColor Value)
{
    if (Value == FAShadeRightBottom)
        return;
    FAShadeRightBottom = Value;
    Changed();
}

void TLabelStyle::SetAShadeLeftTop(TColor Value)
{
    if (Value == FAShadeLeftTop)
        return;
    FAShadeLeftTop = Value;
    if (!FAShadeLTSet)
        Changed();
}

void TLabelStyle::SetAShadeLTSet(bool Value)
{
    if (Value == FAShadeLTSet)
        return;
    FAShadeLTSet = Value;
    if (Value) {
        FSavedLeftTop = FAShadeLeftTop;
        FAShadeLeftTop = fw_Graphics::clWhite;
    } else {
        FAShadeLeftTop = FSavedLeftTop;
    }
    if (Value && (FAStyle3D == A3dResit || FAStyle3D == A3dRaised) && FSavedLeftTop != fw_Graphics::clWhite)
        Changed();
}

void PaintCaption(HDC DC, int Width, int Height, const std::string& Caption, fw_Graphics::TFont& Font,
                  TLabelStyle& Style, bool Transparent, TColor BoxColor, TCaptionPlace Place)
{
    constexpr double DegToRad = 0.017453292519943295;
    const double CosAngle = std::cos(Style.Angle() * DegToRad), SinAngle = std::sin(Style.Angle() * DegToRad);
    if (!Transparent)
        Style.SetAStyle3D(A3dNormal);
    const int Highlight = Style.AStyle3D() == A3dRaised ? -1 : Style.AStyle3D() == A3dResit ? 1 : 0;
    const int Shade = -Highlight;

    LOGFONTA Rotated{};
    GetObjectA(Font.Handle(), sizeof Rotated, &Rotated);
    Rotated.lfEscapement = Rotated.lfOrientation = Style.Angle() * 10;
    Rotated.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    fw_Handles::TGdiHandle<HFONT> RotatedFont(CreateFontIndirectA(&Rotated));

    // The caption's size in the unrotated font.
    HGDIOBJ Previous = SelectObject(DC, Font.Handle());
    SIZE Text{};
    GetTextExtentPoint32A(DC, Caption.data(), int(Caption.size()), &Text);
    const int TW = Text.cx, TH = Text.cy, CX = Width / 2, CY = Height / 2;
    int X = 0;
    if (Place == cpRight)
        X = Width - TW;
    else if (Place == cpCentre)
        X = CX - int(std::trunc(TW / 2.0 * CosAngle)) - int(std::trunc(TH / 2.0 * SinAngle));
    const int Y = CY + int(std::trunc(TW / 2.0 * SinAngle)) - int(std::trunc(TH / 2.0 * CosAngle));

    if (!Transparent) {
        const double W = TW + 10, H = TH + 7;
        auto Corner = [&](int SX, int SY) {
            return POINT{CX + SX * int(std::trunc(W / 2 * CosAngle)) + SY * int(std::trunc(H / 2 * SinAngle)),
                         CY - SX * int(std::trunc(W / 2 * SinAngle)) + SY * int(std::trunc(H / 2 * CosAngle))};
        };
        const POINT Box[4] = {Corner(-1, -1), Corner(1, -1), Corner(1, 1), Corner(-1, 1)};
        fw_Handles::TGdiHandle<HBRUSH> Brush(CreateSolidBrush(fw_Graphics::ColorToRGB(BoxColor)));
        fw_Handles::TGdiHandle<HPEN> Pen(CreatePen(PS_SOLID, 1, fw_Graphics::ColorToRGB(BoxColor)));
        HGDIOBJ OldBrush = SelectObject(DC, Brush.Get());
        HGDIOBJ OldPen = SelectObject(DC, Pen.Get());
        Polygon(DC, Box, 4);
        SelectObject(DC, OldPen);
        SelectObject(DC, OldBrush);
    }

    SelectObject(DC, RotatedFont.Get());
    const int OldMode = SetBkMode(DC, TRANSPARENT);
    auto Draw = [&](TColor Colour, int AtX, int AtY) {
        SetTextColor(DC, fw_Graphics::ColorToRGB(Colour));
        TextOutA(DC, AtX, AtY, Caption.data(), int(Caption.size()));
    };
    if (Style.AStyle3D() == A3dResit || Style.AStyle3D() == A3dRaised) {
        Draw(Style.AShadeLeftTop(), X + Highlight, Y + Highlight);
        Draw(Style.AShadeRightBottom(), X + Shade, Y + Shade);
    } else if (Style.AStyle3D() == A3dShadowed) {
        Draw(Style.AShadeRightBottom(), X + Style.AHShadeOffSet(), Y + Style.AVShadeOffSet());
    }
    Draw(Font.Color(), X, Y);
    SetBkMode(DC, OldMode);
    SelectObject(DC, Previous);
}

// ---- TRotate3DLabel --------------------------------------------------------------

static TRotate3DLabel* Main = nullptr;

TRotate3DLabel* MainLabel() { return Main; }

static void DefineRotate3DLabel(fw_Classes::TPropertyBuilder<TRotate3DLabel>& P)
{
    using L = TRotate3DLabel;
    P.Object<TLabelStyle>("LabelStyle", &L::LabelStyle);
    P.Boolean("MyTransparent", &L::MyTransparent, &L::SetMyTransparent, true);
}

FW_DEFINE_CLASS(TRotate3DLabel, fw_StdCtrls::TLabel, fw_Classes::CreateComponent<TRotate3DLabel>, DefineRotate3DLabel)

TRotate3DLabel::TRotate3DLabel(fw_Classes::TComponent* AOwner) : TLabel(AOwner)
{
    FFont.SetName("Arial");
    FFont.SetStyle({fw_Graphics::fsBold});
    FLabelStyle.OnChange = [this](fw_Classes::TObject*) { Invalidate(); };
}

TRotate3DLabel::~TRotate3DLabel()
{
    FLabelStyle.OnChange = nullptr;
    if (Main == this)
        Main = nullptr;
}

void TRotate3DLabel::SetMyTransparent(bool Value)
{
    if (Value == FMyTransparent)
        return;
    FMyTransparent = Value;
    if (!Value) {
        const TColor Own = FColor;
        SetParentColor(true);
        SetColor(Own);
    }
    Invalidate();
}

void TRotate3DLabel::SetTag(int64_t Value)
{
    inherited::SetTag(Value);
    if (Value == -1) {
        TRotate3DLabel* Previous = Main;
        Main = this; // first, so that the previous one's change leaves it be
        if (Previous && Previous != this)
            Previous->SetTag(0);
    } else if (Main == this) {
        Main = nullptr;
    }
}

void TRotate3DLabel::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    // The framework's own window, which Paint draws; the label's text styles
    // mean nothing to it.
    Params.WinClassName.clear();
    Params.Style &= ~DWORD(SS_TYPEMASK | SS_NOPREFIX);
}

LRESULT TRotate3DLabel::WndProc(UINT Msg, WPARAM W, LPARAM L)
{
    switch (Msg) {
    case WM_ERASEBKGND:
        return 1; // Paint covers it all
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(W));
        return 0;
    case WM_SIZE:
    case WM_MOVE: {
        // The caption is placed by the size and the background depends on
        // the place: neither the part still covered nor bits the system
        // carries along are right any more.
        LRESULT Result = inherited::WndProc(Msg, W, L);
        Invalidate();
        return Result;
    }
    }
    return inherited::WndProc(Msg, W, L);
}

void TRotate3DLabel::TextChanged()
{
    inherited::TextChanged();
    Invalidate();
}

void TRotate3DLabel::PaintParent(HDC DC)
{
    HWND Parent = GetParent(FHandle);
    if (!Parent)
        return;
    POINT Origin{0, 0};
    MapWindowPoints(FHandle, Parent, &Origin, 1);
    POINT Saved;
    OffsetViewportOrgEx(DC, -Origin.x, -Origin.y, &Saved);
    SendMessageW(Parent, WM_ERASEBKGND, WPARAM(DC), 0);
    SendMessageW(Parent, WM_PRINTCLIENT, WPARAM(DC), PRF_CLIENT);
    SetViewportOrgEx(DC, Saved.x, Saved.y, nullptr);
}

void TRotate3DLabel::Paint(HDC DC)
{
    RECT R;
    GetClientRect(FHandle, &R);
    if (R.right <= 0 || R.bottom <= 0)
        return;
    HDC Mem = CreateCompatibleDC(DC);
    if (!Mem)
        throw fw_SysUtils::EOSError("Cannot make a drawing context for the title");
    fw_Handles::TScopeExit FreeMem([Mem]() noexcept { DeleteDC(Mem); });
    fw_Handles::TGdiHandle<HBITMAP> Image(CreateCompatibleBitmap(DC, R.right, R.bottom));
    if (!Image)
        throw fw_SysUtils::EOSError("Cannot make a bitmap for the title");
    fw_Handles::TSelectObject Select(Mem, Image.Get());

    PaintParent(Mem);
    FCosAngle = std::cos(FLabelStyle.Angle() * DegToRad);
    FSinAngle = std::sin(FLabelStyle.Angle() * DegToRad);
    PaintCaption(Mem, R.right, R.bottom, FCaption, FFont, FLabelStyle, FMyTransparent, FColor,
                 TCaptionPlace(Alignment()));
    BitBlt(DC, 0, 0, R.right, R.bottom, Mem, 0, 0, SRCCOPY);
}

} // namespace cmp_Rotate3DLabel
