#include "framework/fw_ExtCtrls.h"

namespace fw_ExtCtrls {

using fw_Classes::TPropertyBuilder;

const fw_Classes::TEnumInfo TBevelCutInfo{"TBevelCut", {"bvNone", "bvLowered", "bvRaised"}};
const fw_Classes::TEnumInfo TBevelShapeInfo{
    "TBevelShape", {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"}};
const fw_Classes::TEnumInfo TBevelStyleInfo{"TBevelStyle", {"bsLowered", "bsRaised"}};

HBITMAP CreateBitmapOf(const fw_Graphics::TBitmap& Source, int Width)
{
    fw_Handles::TWindowDC Screen(nullptr);
    fw_Handles::TGdiHandle<HBITMAP> Image(CreateCompatibleBitmap(Screen.DC(), Width, Source.Height()));
    HDC Mem = CreateCompatibleDC(Screen.DC());
    if (!Image || !Mem) {
        if (Mem)
            DeleteDC(Mem);
        throw fw_SysUtils::EOSError("Cannot make a bitmap for a control");
    }
    fw_Handles::TScopeExit Free([Mem]() noexcept { DeleteDC(Mem); });
    {
        fw_Handles::TSelectObject Select(Mem, Image.Get());
        // At the source's own size: only the part that fits is kept.
        Source.Draw(Mem, RECT{0, 0, Source.Width(), Source.Height()});
    }
    return Image.Release();
}

// ---- TPanel ----------------------------------------------------------------------

static void DefinePanel(TPropertyBuilder<TPanel>& P)
{
    P.Enum<TBevelCut>("BevelInner", TBevelCutInfo, &TPanel::BevelInner, &TPanel::SetBevelInner, bvNone);
    P.Enum<TBevelCut>("BevelOuter", TBevelCutInfo, &TPanel::BevelOuter, &TPanel::SetBevelOuter, bvRaised);
}

FW_DEFINE_CLASS(TPanel, TWinControl, fw_Classes::CreateComponent<TPanel>, DefinePanel)

TPanel::TPanel(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 185;
    FHeight = 41;
}

void TPanel::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.ExStyle |= WS_EX_CONTROLPARENT;
}

void TPanel::SetBevelOuter(TBevelCut Value)
{
    FBevelOuter = Value;
    Invalidate();
    Realign();
}

void TPanel::SetBevelInner(TBevelCut Value)
{
    FBevelInner = Value;
    Invalidate();
    Realign();
}

RECT TPanel::ClientRect() const
{
    RECT R = TWinControl::ClientRect();
    InflateRect(&R, -BevelWidth(), -BevelWidth());
    return R;
}

void TPanel::Paint(HDC DC)
{
    RECT R;
    GetClientRect(FHandle, &R);
    for (TBevelCut Cut : {FBevelOuter, FBevelInner})
        if (Cut != bvNone) {
            DrawEdge(DC, &R, Cut == bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
        }
    if (!FCaption.empty()) {
        fw_Handles::TSelectObject Font(DC, FFont.Handle());
        SetBkMode(DC, TRANSPARENT);
        SetTextColor(DC, fw_Graphics::ColorToRGB(FFont.Color()));
        std::wstring Text = fw_Forms::ToWideText(FCaption, CodePage());
        DrawTextW(DC, Text.c_str(), int(Text.size()), &R, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

// ---- TBevel ----------------------------------------------------------------------

static void DefineBevel(TPropertyBuilder<TBevel>& P)
{
    P.Enum<TBevelShape>("Shape", TBevelShapeInfo, &TBevel::Shape, &TBevel::SetShape, bsBox);
    P.Enum<TBevelStyle>("Style", TBevelStyleInfo, &TBevel::Style, &TBevel::SetStyle, bsLowered);
}

FW_DEFINE_CLASS(TBevel, TWinControl, fw_Classes::CreateComponent<TBevel>, DefineBevel)

TBevel::TBevel(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 50;
    FHeight = 50;
}

DWORD TBevel::ShapeStyle() const
{
    switch (FShape) {
    case bsFrame:
        return SS_ETCHEDFRAME;
    case bsTopLine:
    case bsBottomLine:
        return SS_ETCHEDHORZ;
    case bsLeftLine:
    case bsRightLine:
        return SS_ETCHEDVERT;
    case bsSpacer:
        return SS_LEFT; // nothing drawn: an empty text
    default:
        return FStyle == bsLowered ? DWORD(SS_LEFT | SS_SUNKEN) : DWORD(SS_ETCHEDFRAME);
    }
}

void TBevel::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "STATIC";
    Params.Caption.clear();
    Params.Style |= ShapeStyle();
}

static void Restyle(HWND Wnd, DWORD Style)
{
    if (!Wnd)
        return;
    DWORD Old = DWORD(GetWindowLongW(Wnd, GWL_STYLE));
    SetWindowLongW(Wnd, GWL_STYLE, LONG((Old & ~DWORD(SS_TYPEMASK | SS_SUNKEN)) | Style));
    InvalidateRect(Wnd, nullptr, TRUE);
}

void TBevel::SetShape(TBevelShape Value)
{
    FShape = Value;
    Restyle(FHandle, ShapeStyle());
}

void TBevel::SetStyle(TBevelStyle Value)
{
    FStyle = Value;
    Restyle(FHandle, ShapeStyle());
}

// ---- TImage ----------------------------------------------------------------------

static fw_Graphics::TPicture* ImagePicture(TImage* I) { return I->Picture(); }

static void DefineImage(TPropertyBuilder<TImage>& P) { P.Object<fw_Graphics::TPicture>("Picture", ImagePicture); }

FW_DEFINE_CLASS(TImage, TWinControl, fw_Classes::CreateComponent<TImage>, DefineImage)

TImage::TImage(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 105;
    FHeight = 105;
}

TImage::~TImage()
{
    Destroying();
    DestroyHandle(); // before the image it shows
}

void TImage::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "STATIC";
    Params.Caption.clear();
    // Centred, and the control keeps its size instead of taking the bitmap's.
    Params.Style |= SS_BITMAP | SS_CENTERIMAGE;
}

void TImage::CreateWnd()
{
    TWinControl::CreateWnd();
    PictureChanged();
}

void TImage::PictureChanged()
{
    if (!FHandle)
        return;
    RECT Kept{FLeft, FTop, FWidth, FHeight};
    fw_Handles::TGdiHandle<HBITMAP> Image;
    if (!FPicture.Bitmap().Empty())
        Image.Reset(CreateBitmapOf(FPicture.Bitmap(), FPicture.Width()));
    SendMessageW(FHandle, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(Image.Get()));
    FImage = std::move(Image);
    // The static may still have resized itself to the bitmap.
    SetWindowPos(FHandle, nullptr, Kept.left, Kept.top, Kept.right, Kept.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(FHandle, nullptr, TRUE);
}

} // namespace fw_ExtCtrls
