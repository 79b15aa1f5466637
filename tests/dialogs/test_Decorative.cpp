#include "dialogs/cmp_Rotate3DLabel.h"
#include "dialogs/cmp_TBackDrop.h"
#include "framework/fw_Handles.h"

#include <gtest/gtest.h>

#include <algorithm>
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
