#include "dialogs/cmp_Rotate3DLabel.h"
#include "dialogs/cmp_TBackDrop.h"
#include "framework/fw_Forms.h"
#include "framework/fw_Handles.h"
#include "framework/fw_Reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace cmp_TBackDrop;

// A 32-bit memory bitmap to paint into and read back pixel by pixel.
class TCanvas {
public:
    TCanvas(int Width, int Height) : FWidth(Width), FHeight(Height)
    {
        BITMAPINFO Info{};
        Info.bmiHeader.biSize = sizeof Info.bmiHeader;
        Info.bmiHeader.biWidth = Width;
        Info.bmiHeader.biHeight = -Height; // top-down
        Info.bmiHeader.biPlanes = 1;
        Info.bmiHeader.biBitCount = 32;
        FDC.Reset(CreateCompatibleDC(nullptr));
        FBitmap.Reset(CreateDIBSection(FDC.Get(), &Info, DIB_RGB_COLORS, reinterpret_cast<void**>(&FBits), nullptr, 0));
        FOld = SelectObject(FDC.Get(), FBitmap.Get());
    }
    ~TCanvas() { SelectObject(FDC.Get(), FOld); }
    HDC DC() const { return FDC.Get(); }
    RECT Rect() const { return RECT{0, 0, FWidth, FHeight}; }
    // As a COLORREF (0x00BBGGRR).
    COLORREF Pixel(int X, int Y) const
    {
        GdiFlush();
        const uint32_t P = FBits[size_t(Y) * size_t(FWidth) + size_t(X)]; // 0x00RRGGBB
        return RGB((P >> 16) & 0xFF, (P >> 8) & 0xFF, P & 0xFF);
    }

private:
    struct TDCTraits {
        using THandle = HDC;
        static HDC Empty() { return nullptr; }
        static bool IsEmpty(HDC H) { return !H; }
        static void Close(HDC H) { DeleteDC(H); }
    };
    int FWidth, FHeight;
    fw_Handles::TUniqueHandle<TDCTraits> FDC;
    fw_Handles::TGdiHandle<HBITMAP> FBitmap;
    uint32_t* FBits = nullptr;
    HGDIOBJ FOld = nullptr;
};

} // namespace

TEST(Backdrop, GradientBandsFromEdgeToEdge)
{
    // Blue to black upwards: 256 one-pixel rows, blue falling by one a row.
    TCanvas Up(8, 256);
    PaintGradient(Up.DC(), Up.Rect(), bdUp, fw_Graphics::clBlue, fw_Graphics::clBlack);
    for (int Y = 0; Y < 256; ++Y)
        ASSERT_EQ(Up.Pixel(3, Y), RGB(0, 0, 255 - Y)) << Y;
    TCanvas Down(4, 256);
    PaintGradient(Down.DC(), Down.Rect(), bdDown, fw_Graphics::clBlue, fw_Graphics::clBlack);
    EXPECT_EQ(Down.Pixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(Down.Pixel(0, 255), RGB(0, 0, 255));

    // Left to right over fewer pixels than bands: each column shows the last
    // band that falls on it, so the edges are within a band of the colours.
    TCanvas Left(100, 3);
    PaintGradient(Left.DC(), Left.Rect(), bdLeft, RGB(200, 100, 0), RGB(0, 100, 200));
    EXPECT_NEAR(GetRValue(Left.Pixel(0, 1)), 200, 2);
    EXPECT_NEAR(GetBValue(Left.Pixel(0, 1)), 0, 2);
    EXPECT_EQ(GetGValue(Left.Pixel(50, 1)), 100);
    EXPECT_NEAR(GetRValue(Left.Pixel(99, 1)), 0, 2);
    EXPECT_NEAR(GetBValue(Left.Pixel(99, 1)), 200, 2);
    for (int X = 1; X < 100; ++X)
        ASSERT_LE(GetRValue(Left.Pixel(X, 1)), GetRValue(Left.Pixel(X - 1, 1))) << X;

    // Mirrored: the outer colour at both edges, the other in the middle.
    TCanvas Out(4, 256);
    PaintGradient(Out.DC(), Out.Rect(), bdHorzOut, fw_Graphics::clBlue, fw_Graphics::clBlack);
    EXPECT_EQ(Out.Pixel(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(Out.Pixel(0, 255), RGB(0, 0, 255));
    EXPECT_EQ(Out.Pixel(0, 127), RGB(0, 0, 0));
    EXPECT_EQ(Out.Pixel(0, 128), RGB(0, 0, 0));
    for (int Y = 0; Y < 128; ++Y)
        ASSERT_EQ(Out.Pixel(2, Y), Out.Pixel(2, 255 - Y)) << Y;
    TCanvas In(4, 256);
    PaintGradient(In.DC(), In.Rect(), bdHorzIn, fw_Graphics::clBlue, fw_Graphics::clBlack);
    EXPECT_EQ(In.Pixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(In.Pixel(0, 128), RGB(0, 0, 255));
    TCanvas VertIn(256, 2);
    PaintGradient(VertIn.DC(), VertIn.Rect(), bdVertIn, fw_Graphics::clBlue, fw_Graphics::clBlack);
    EXPECT_EQ(VertIn.Pixel(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(VertIn.Pixel(255, 0), RGB(0, 0, 255));
    EXPECT_EQ(VertIn.Pixel(128, 0), RGB(0, 0, 0));
    // System colours are resolved.
    TCanvas Face(2, 2);
    PaintGradient(Face.DC(), Face.Rect(), bdUp, fw_Graphics::clBtnFace, fw_Graphics::clBtnFace);
    EXPECT_EQ(Face.Pixel(0, 0), GetSysColor(COLOR_BTNFACE));
}

namespace {

// The box around the pixels of one colour, and how many there are.
struct TInk {
    int Left = 1 << 30, Top = 1 << 30, Right = -1, Bottom = -1, Count = 0;
};
TInk InkOf(const TCanvas& C, int Width, int Height, COLORREF Colour)
{
    TInk Ink;
    for (int Y = 0; Y < Height; ++Y)
        for (int X = 0; X < Width; ++X)
            if (C.Pixel(X, Y) == Colour) {
                Ink.Left = std::min(Ink.Left, X);
                Ink.Top = std::min(Ink.Top, Y);
                Ink.Right = std::max(Ink.Right, X);
                Ink.Bottom = std::max(Ink.Bottom, Y);
                ++Ink.Count;
            }
    return Ink;
}

} // namespace

TEST(Rotate3DLabel, TheCaptionTurnsAndIsEmbossed)
{
    using namespace cmp_Rotate3DLabel;
    fw_Graphics::TFont Font;
    Font.SetName("Arial");
    Font.SetHeight(-40);
    Font.SetStyle({fw_Graphics::fsBold});
    Font.SetColor(fw_Graphics::clBlack);
    const int W = 400, H = 400;
    auto Paint = [&](TCanvas& C, TLabelStyle& Style, bool Transparent) {
        RECT All = C.Rect();
        fw_Handles::TGdiHandle<HBRUSH> Blue(CreateSolidBrush(RGB(0, 0, 255)));
        FillRect(C.DC(), &All, Blue.Get());
        PaintCaption(C.DC(), W, H, "Quorvane", Font, Style, Transparent, fw_Graphics::clRed, cpCentre);
    };

    // Raised: a white copy up-left, a grey one down-right, the text between.
    TCanvas Flat(W, H);
    TLabelStyle Style;
    Paint(Flat, Style, true);
    const TInk Text = InkOf(Flat, W, H, RGB(0, 0, 0));
    const TInk White = InkOf(Flat, W, H, RGB(255, 255, 255));
    const TInk Grey = InkOf(Flat, W, H, RGB(128, 128, 128));
    ASSERT_GT(Text.Count, 0);
    ASSERT_GT(White.Count, 0);
    ASSERT_GT(Grey.Count, 0);
    EXPECT_GT(Text.Right - Text.Left, 2 * (Text.Bottom - Text.Top)); // a line of text
    EXPECT_LT(White.Left, Grey.Left);
    EXPECT_LT(White.Top, Grey.Top);
    // Centred on the area.
    EXPECT_NEAR((Text.Left + Text.Right) / 2, W / 2, 8);
    EXPECT_NEAR((Text.Top + Text.Bottom) / 2, H / 2, 12);

    // Turned a quarter: the ink stands upright, still centred.
    TCanvas Turned(W, H);
    Style.SetAngle(90);
    Paint(Turned, Style, true);
    const TInk Up = InkOf(Turned, W, H, RGB(0, 0, 0));
    ASSERT_GT(Up.Count, 0);
    EXPECT_GT(Up.Bottom - Up.Top, 2 * (Up.Right - Up.Left));
    EXPECT_NEAR((Up.Top + Up.Bottom) / 2, H / 2, 8);
    EXPECT_NEAR((Up.Left + Up.Right) / 2, W / 2, 12);

    // Not transparent: a box of the label's colour behind a plain caption.
    TCanvas Boxed(W, H);
    TLabelStyle Plain;
    Paint(Boxed, Plain, false);
    EXPECT_EQ(Plain.AStyle3D(), A3dNormal);
    EXPECT_GT(InkOf(Boxed, W, H, RGB(255, 0, 0)).Count, 0);
    EXPECT_EQ(InkOf(Boxed, W, H, RGB(255, 255, 255)).Count, 0);
}

TEST(LabelStyle, ChangesRepaintOnlyWhenTheDrawingChanges)
{
    using namespace cmp_Rotate3DLabel;
    TLabelStyle Style;
    int Changes = 0;
    Style.OnChange = [&](fw_Classes::TObject*) { ++Changes; };
    EXPECT_EQ(Style.AStyle3D(), A3dRaised);
    EXPECT_FALSE(Style.AShadeLTSet());

    Style.SetAngle(360);
    Style.SetAngle(-10);
    EXPECT_EQ(Style.Angle(), 0);
    EXPECT_EQ(Changes, 0);
    Style.SetAngle(90);
    EXPECT_EQ(Changes, 1);
    // Offsets matter only to a shadow.
    Style.SetAHShadeOffSet(7);
    Style.SetAVShadeOffSet(-7);
    EXPECT_EQ(Changes, 1);
    Style.SetAStyle3D(A3dShadowed);
    Style.SetAHShadeOffSet(8);
    EXPECT_EQ(Changes, 3);

    // The highlight switch keeps the chosen colour aside.
    Style.SetAStyle3D(A3dRaised);
    Style.SetAShadeLeftTop(0x00FFFF);
    EXPECT_EQ(Changes, 5);
    Style.SetAShadeLTSet(true);
    EXPECT_EQ(Style.AShadeLeftTop(), fw_Graphics::clWhite);
    EXPECT_EQ(Style.SavedLeftTop(), 0x00FFFF);
    EXPECT_EQ(Changes, 6);
    Style.SetAShadeLeftTop(0x0000FF); // hidden while the switch is on
    EXPECT_EQ(Changes, 6);
    Style.SetAShadeLTSet(false);
    EXPECT_EQ(Style.AShadeLeftTop(), 0x00FFFF);
    EXPECT_EQ(Changes, 6);

    TLabelStyle Copy;
    int CopyChanges = 0;
    Copy.OnChange = [&](fw_Classes::TObject*) { ++CopyChanges; };
    Copy.Assign(&Style);
    EXPECT_EQ(CopyChanges, 1);
    EXPECT_EQ(Copy.Angle(), 90);
    EXPECT_EQ(Copy.AHShadeOffSet(), 8);
    EXPECT_EQ(Copy.AShadeLeftTop(), 0x00FFFF);
}

namespace {

using cmp_Rotate3DLabel::TRotate3DLabel;

// What a window shows on the screen once the paints it has pending are done.
void Flush(HWND Wnd)
{
    fw_Forms::Application->ProcessMessages();
    RedrawWindow(Wnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Grab(HWND Wnd, TCanvas& Into)
{
    fw_Handles::TWindowDC Screen(Wnd);
    RECT R = Into.Rect();
    ASSERT_TRUE(BitBlt(Into.DC(), 0, 0, R.right, R.bottom, Screen.DC(), 0, 0, SRCCOPY));
}

std::wstring ClassOfWindow(HWND Wnd)
{
    wchar_t Name[64] = {};
    GetClassNameW(Wnd, Name, 64);
    return Name;
}

SIZE ClientSize(HWND Wnd)
{
    RECT R;
    GetClientRect(Wnd, &R);
    return SIZE{R.right, R.bottom};
}

// A form holding a backdrop (blue to black upwards) and the title on it.
struct TTitleForm {
    fw_Forms::TForm Form{nullptr};
    TBackdrop* Backdrop = new TBackdrop(&Form);
    TRotate3DLabel* Label = new TRotate3DLabel(&Form);

    TTitleForm()
    {
        Form.SetBounds(40, 40, 520, 300);
        Backdrop->SetParent(&Form);
        Label->SetParent(Backdrop);
        Label->SetAlign(fw_Forms::alTop);
        Label->SetHeight(65);
        Label->SetCaption("Quorvane 1.0.2.9");
        Label->Font()->SetHeight(-24);
        Label->Font()->SetColor(fw_Graphics::clBlack);
        Label->SetAlignment(fw_StdCtrls::taCenter);
        Form.ShowForm();
        Flush(Form.Handle());
    }
};

// The label as the screen shows it: the gradient of the backdrop wherever
// the caption is not (no button face anywhere), and the embossed caption.
void ExpectTitleOverGradient(TTitleForm& T, const char* When)
{
    SCOPED_TRACE(When);
    Flush(T.Form.Handle());
    const SIZE Back = ClientSize(T.Backdrop->Handle()), Size = ClientSize(T.Label->Handle());
    ASSERT_GT(Size.cx, 300);
    ASSERT_EQ(Size.cy, 65);
    TCanvas Gradient(Back.cx, Back.cy);
    PaintGradient(Gradient.DC(), Gradient.Rect(), T.Backdrop->Direction(), T.Backdrop->StartColor(),
                  T.Backdrop->EndColor());
    POINT At{0, 0};
    MapWindowPoints(T.Label->Handle(), T.Backdrop->Handle(), &At, 1);
    TCanvas Shown(Size.cx, Size.cy);
    Grab(T.Label->Handle(), Shown);

    // Above and below the caption, right across.
    int Wrong = 0;
    for (int Y : {0, 1, 5, 10, 54, 60, 64})
        for (int X = 0; X < Size.cx; ++X)
            Wrong += Shown.Pixel(X, Y) != Gradient.Pixel(At.x + X, At.y + Y);
    EXPECT_EQ(Wrong, 0);
    // And beside it, all the way down.
    for (int Y = 0; Y < Size.cy; ++Y)
        for (int X : {0, 3, int(Size.cx) - 4, int(Size.cx) - 1})
            Wrong += Shown.Pixel(X, Y) != Gradient.Pixel(At.x + X, At.y + Y);
    EXPECT_EQ(Wrong, 0);
    EXPECT_EQ(InkOf(Shown, Size.cx, Size.cy, GetSysColor(COLOR_BTNFACE)).Count, 0);
    EXPECT_GT(InkOf(Shown, Size.cx, Size.cy, RGB(255, 255, 255)).Count, 20);
    EXPECT_GT(InkOf(Shown, Size.cx, Size.cy, RGB(128, 128, 128)).Count, 20);
    const TInk Text = InkOf(Shown, Size.cx, Size.cy, RGB(0, 0, 0));
    EXPECT_GT(Text.Count, 20);
    EXPECT_NEAR((Text.Left + Text.Right) / 2, Size.cx / 2, 8); // where this size puts it
}

} // namespace

TEST(Rotate3DLabel, ShowsTheBackdropBehindItsCaption)
{
    TTitleForm T;
    EXPECT_EQ(ClassOfWindow(T.Label->Handle()), ClassOfWindow(T.Backdrop->Handle())); // no STATIC
    ExpectTitleOverGradient(T, "shown");
    T.Label->Invalidate();
    ExpectTitleOverGradient(T, "label repainted");
    T.Backdrop->Invalidate();
    ExpectTitleOverGradient(T, "backdrop repainted");
    // Taller: every band of the gradient moves, also those behind the label.
    T.Form.SetBounds(40, 40, 600, 420);
    ExpectTitleOverGradient(T, "resized");
    T.Form.SetWindowState(fw_Forms::wsMaximized);
    ExpectTitleOverGradient(T, "maximised");
    T.Form.SetWindowState(fw_Forms::wsNormal);
    ExpectTitleOverGradient(T, "restored");
    T.Backdrop->SetDirection(bdDown);
    ExpectTitleOverGradient(T, "turned over");
    T.Label->SetCaption("Quorvane 2");
    ExpectTitleOverGradient(T, "new caption");
    // The backdrop alone shorter: every band moves, the label stays put.
    T.Backdrop->SetAlign(fw_Forms::alNone);
    T.Backdrop->SetBounds(0, 0, T.Backdrop->Width(), T.Backdrop->Height() - 80);
    ExpectTitleOverGradient(T, "backdrop shorter");
    // The label lower and narrower on it.
    T.Label->SetAlign(fw_Forms::alNone);
    T.Label->SetBounds(20, 90, T.Label->Width() - 80, 65);
    ExpectTitleOverGradient(T, "label moved");
}

TEST(Rotate3DLabel, RepaintsWhenItsLookChanges)
{
    TTitleForm T;
    const SIZE Size = ClientSize(T.Label->Handle());
    auto Ink = [&](COLORREF Colour) {
        Flush(T.Form.Handle());
        TCanvas Shown(Size.cx, Size.cy);
        Grab(T.Label->Handle(), Shown);
        return InkOf(Shown, Size.cx, Size.cy, Colour);
    };
    const TInk Centred = Ink(RGB(0, 0, 0));
    ASSERT_GT(Centred.Count, 0);
    EXPECT_NEAR((Centred.Left + Centred.Right) / 2, Size.cx / 2, 8);

    T.Label->SetAlignment(fw_StdCtrls::taLeftJustify);
    const TInk Left = Ink(RGB(0, 0, 0));
    EXPECT_LT(Left.Left, 4);
    T.Label->SetAlignment(fw_StdCtrls::taRightJustify);
    EXPECT_GT(Ink(RGB(0, 0, 0)).Right, Size.cx - 5);

    // The style: a plain caption has no highlight.
    EXPECT_GT(Ink(RGB(255, 255, 255)).Count, 0);
    T.Label->LabelStyle()->SetAStyle3D(cmp_Rotate3DLabel::A3dNormal);
    EXPECT_EQ(Ink(RGB(255, 255, 255)).Count, 0);
    T.Label->LabelStyle()->SetAStyle3D(cmp_Rotate3DLabel::A3dRaised);
    EXPECT_GT(Ink(RGB(255, 255, 255)).Count, 0);

    // Opaque: a box of the label's own colour, which it keeps.
    T.Label->SetColor(fw_Graphics::clRed);
    EXPECT_EQ(Ink(RGB(255, 0, 0)).Count, 0);
    T.Label->SetMyTransparent(false);
    EXPECT_FALSE(T.Label->MyTransparent());
    EXPECT_EQ(T.Label->Color(), fw_Graphics::clRed);
    EXPECT_FALSE(T.Label->ParentColor());
    const TInk Box = Ink(RGB(255, 0, 0));
    EXPECT_GT(Box.Count, 0);
    EXPECT_GT(Box.Left, 0); // a box around the caption, not the whole label
    T.Label->SetMyTransparent(true);
    EXPECT_EQ(Ink(RGB(255, 0, 0)).Count, 0);
}

TEST(Backdrop, RepaintsWhenItsGradientChanges)
{
    TTitleForm T;
    const SIZE Size = ClientSize(T.Backdrop->Handle());
    auto Shown = [&](int X, int Y) {
        Flush(T.Form.Handle());
        TCanvas C(Size.cx, Size.cy);
        Grab(T.Backdrop->Handle(), C);
        return C.Pixel(X, Y);
    };
    const int Bottom = Size.cy - 1, X = Size.cx / 2;
    EXPECT_EQ(Shown(X, Bottom), RGB(0, 0, 0));
    EXPECT_EQ(Shown(X, 100), RGB(0, 0, 255 - MulDiv(100, 256, Size.cy)));
    T.Backdrop->SetDirection(bdDown);
    EXPECT_EQ(Shown(X, Bottom), RGB(0, 0, 255));
    T.Backdrop->SetStartColor(fw_Graphics::clRed);
    EXPECT_EQ(Shown(X, Bottom), RGB(255, 0, 0));
    T.Backdrop->SetEndColor(fw_Graphics::clWhite);
    EXPECT_EQ(Shown(X, 0), RGB(255, 255, 255));

    // Another backdrop's look, and its place.
    TBackdrop Other(nullptr);
    EXPECT_EQ(Other.Align(), fw_Forms::alClient);
    EXPECT_EQ(Other.Direction(), bdUp);
    EXPECT_EQ(Other.StartColor(), fw_Graphics::clBlue);
    EXPECT_EQ(Other.EndColor(), fw_Graphics::clBlack);
    Other.SetAlign(fw_Forms::alLeft);
    Other.SetDirection(bdLeft);
    T.Backdrop->Assign(&Other);
    EXPECT_EQ(T.Backdrop->Align(), fw_Forms::alLeft);
    EXPECT_EQ(T.Backdrop->StartColor(), fw_Graphics::clBlue);
    EXPECT_EQ(T.Backdrop->EndColor(), fw_Graphics::clBlack);
    EXPECT_EQ(T.Backdrop->Direction(), bdLeft);
    EXPECT_EQ(Shown(0, 10), RGB(0, 0, 255));
    fw_Graphics::TFont NotABackdrop;
    EXPECT_THROW(T.Backdrop->Assign(&NotABackdrop), fw_SysUtils::EConvertError);
}

TEST(Decorative, TagMinusOneMarksTheMainControlOfEachKind)
{
    ASSERT_EQ(MainBackdrop(), nullptr);
    ASSERT_EQ(cmp_Rotate3DLabel::MainLabel(), nullptr);
    fw_Forms::TForm Form(nullptr);
    auto* First = new TBackdrop(&Form);
    auto* Second = new TBackdrop(&Form);
    auto* Label = new TRotate3DLabel(&Form);
    First->SetTag(-1);
    EXPECT_EQ(MainBackdrop(), First);
    EXPECT_EQ(cmp_Rotate3DLabel::MainLabel(), nullptr); // each kind its own
    // As the project reader sets it.
    TBackdrop::StaticClass().FindProp("Tag")->SetOrd(Second, -1);
    EXPECT_EQ(MainBackdrop(), Second);
    EXPECT_EQ(First->Tag(), 0);
    EXPECT_EQ(Second->Tag(), -1);
    First->SetTag(7); // not the main one: nothing changes
    EXPECT_EQ(MainBackdrop(), Second);
    Second->SetTag(3);
    EXPECT_EQ(MainBackdrop(), nullptr);
    First->SetTag(-1);
    First->SetTag(-1);
    EXPECT_EQ(MainBackdrop(), First);
    EXPECT_EQ(First->Tag(), -1);
    delete First;
    EXPECT_EQ(MainBackdrop(), nullptr);
    delete Second;

    auto* Other = new TRotate3DLabel(&Form);
    Label->SetTag(-1);
    EXPECT_EQ(cmp_Rotate3DLabel::MainLabel(), Label);
    TRotate3DLabel::StaticClass().FindProp("Tag")->SetOrd(Other, -1);
    EXPECT_EQ(cmp_Rotate3DLabel::MainLabel(), Other);
    EXPECT_EQ(Label->Tag(), 0);
    Other->SetTag(0);
    EXPECT_EQ(cmp_Rotate3DLabel::MainLabel(), nullptr);
    Label->SetTag(-1);
    delete Label;
    EXPECT_EQ(cmp_Rotate3DLabel::MainLabel(), nullptr);
    Other->SetTag(-1);
    // Freed with its owner.
    {
        fw_Forms::TForm Owner(nullptr);
        auto* Owned = new TRotate3DLabel(&Owner);
        Owned->SetTag(-1);
        EXPECT_EQ(Other->Tag(), 0);
    }
    EXPECT_EQ(cmp_Rotate3DLabel::MainLabel(), nullptr);
}

namespace {

class TDecoForm : public fw_Forms::TForm {
    FW_CLASS(TDecoForm, fw_Forms::TForm)
public:
    using TForm::TForm;
};
FW_DEFINE_CLASS(TDecoForm, fw_Forms::TForm, fw_Classes::CreateComponent<TDecoForm>, nullptr)

const char* const MainFormText = R"(object MainForm: TDecoForm
  Left = 20
  Top = 20
  Width = 696
  Height = 480
  object BackDrop: TBackdrop
    Tag = -1
    Left = 0
    Top = 0
    Width = 688
    Height = 453
    TabOrder = 0
    object ProductLabel: TRotate3DLabel
      Tag = -1
      Left = 1
      Top = 1
      Width = 686
      Height = 65
      Align = alTop
      Caption = 'Quorvane 1.0.2.9'
      Font.Height = -24
      Font.Name = 'Arial'
      Font.Style = [fsBold]
      ParentFont = False
      LabelStyle.AShadeLTSet = False
    end
  end
end
)";

} // namespace

TEST(Decorative, ProjectTextMakesTheTitleOnItsBackdrop)
{
    RegisterDecorativeClasses();
    fw_Classes::RegisterClass(&TDecoForm::StaticClass());
    {
        TDecoForm Form(nullptr);
        fw_Reader::ReadComponentText(&Form, MainFormText);
        auto* Backdrop = dynamic_cast<TBackdrop*>(Form.FindComponent("BackDrop"));
        auto* Label = dynamic_cast<TRotate3DLabel*>(Form.FindComponent("ProductLabel"));
        ASSERT_TRUE(Backdrop);
        ASSERT_TRUE(Label);
        EXPECT_EQ(MainBackdrop(), Backdrop);
        EXPECT_EQ(cmp_Rotate3DLabel::MainLabel(), Label);
        EXPECT_EQ(Backdrop->Parent(), &Form);
        EXPECT_EQ(Backdrop->Align(), fw_Forms::alClient);
        EXPECT_EQ(Backdrop->Direction(), bdUp);
        EXPECT_EQ(Backdrop->StartColor(), fw_Graphics::clBlue);
        EXPECT_EQ(Label->Parent(), Backdrop);
        EXPECT_EQ(Label->Align(), fw_Forms::alTop);
        EXPECT_EQ(Label->Caption(), "Quorvane 1.0.2.9");
        EXPECT_EQ(Label->Font()->Height(), -24);
        EXPECT_EQ(Label->Font()->Name(), "Arial");
        EXPECT_EQ(Label->Font()->Style(), fw_Graphics::TFontStyles{fw_Graphics::fsBold});
        EXPECT_FALSE(Label->ParentFont());
        EXPECT_FALSE(Label->LabelStyle()->AShadeLTSet());
        EXPECT_TRUE(Label->MyTransparent());
        EXPECT_EQ(Label->CosAngle(), 1.0);
        EXPECT_EQ(Label->SinAngle(), 0.0);

        // Laid out over the form, the title along the top inside the bevel.
        Form.ShowForm();
        const SIZE Client = ClientSize(Form.Handle());
        EXPECT_EQ(Backdrop->Width(), Client.cx);
        EXPECT_EQ(Backdrop->Height(), Client.cy);
        EXPECT_EQ(Label->Left(), 1);
        EXPECT_EQ(Label->Top(), 1);
        EXPECT_EQ(Label->Width(), Client.cx - 2);
        EXPECT_EQ(Label->Height(), 65);

        const std::string Written = fw_Reader::WriteComponentText(&Form);
        EXPECT_NE(Written.find("LabelStyle.AShadeLTSet = False"), std::string::npos) << Written;
        EXPECT_EQ(Written.find("MyTransparent"), std::string::npos) << Written;
        EXPECT_EQ(Written.find("Direction"), std::string::npos) << Written;
    }
    EXPECT_EQ(MainBackdrop(), nullptr);
    EXPECT_EQ(cmp_Rotate3DLabel::MainLabel(), nullptr);
}
