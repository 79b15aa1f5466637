#include "framework/fw_Graphics.h"

#include "framework/fw_Streams.h"

#include <cmath>
#include <cstring>

namespace fw_Graphics {

using fw_Classes::TPropertyBuilder;

const fw_Classes::TIdentMap ColorIdents{{
    {"clBlack", clBlack},
    {"clWhite", clWhite},
    {"clBlue", clBlue},
    {"clYellow", clYellow},
    {"clRed", clRed},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clNavy", 0x800000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clBtnFace", clBtnFace},
    {"clWindow", clWindow},
    {"clWindowText", clWindowText},
    {"clBtnText", clBtnText},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clNone", clNone},
}};

const fw_Classes::TIdentMap CharsetIdents{{
    {"ANSI_CHARSET", ANSI_CHARSET},
    {"DEFAULT_CHARSET", DEFAULT_CHARSET},
    {"SYMBOL_CHARSET", SYMBOL_CHARSET},
    {"SHIFTJIS_CHARSET", SHIFTJIS_CHARSET},
    {"HANGEUL_CHARSET", HANGEUL_CHARSET},
    {"GB2312_CHARSET", GB2312_CHARSET},
    {"CHINESEBIG5_CHARSET", CHINESEBIG5_CHARSET},
    {"OEM_CHARSET", OEM_CHARSET},
    {"GREEK_CHARSET", GREEK_CHARSET},
    {"RUSSIAN_CHARSET", RUSSIAN_CHARSET},
    {"EASTEUROPE_CHARSET", EASTEUROPE_CHARSET},
    {"HEBREW_CHARSET", HEBREW_CHARSET},
    {"VIETNAMESE_CHARSET", VIETNAMESE_CHARSET},
}};

const fw_Classes::TEnumInfo TFontStyleInfo{"TFontStyle", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}};

COLORREF ColorToRGB(TColor Color) { return Color < 0 ? GetSysColor(Color & 0xFF) : COLORREF(Color); }

// ---- TFont -------------------------------------------------------------------

static void DefineFont(TPropertyBuilder<TFont>& P)
{
    P.Integer("Charset", &TFont::Charset, &TFont::SetCharset, DEFAULT_CHARSET, &CharsetIdents);
    P.Integer("Color", &TFont::Color, &TFont::SetColor, clWindowText, &ColorIdents);
    P.Integer("Height", &TFont::Height, &TFont::SetHeight);
    P.String("Name", &TFont::Name, &TFont::SetName);
    P.Set<TFontStyles>("Style", TFontStyleInfo, &TFont::Style, &TFont::SetStyle, TFontStyles{});
}

FW_DEFINE_CLASS(TFont, fw_Classes::TPersistent, nullptr, DefineFont)

TFont::TFont() = default;

TFont::~TFont() = default;

void TFont::Assign(fw_Classes::TPersistent* Source)
{
    if (auto* F = dynamic_cast<TFont*>(Source)) {
        FName = F->FName;
        FHeight = F->FHeight;
        FStyle = F->FStyle;
        FColor = F->FColor;
        FCharset = F->FCharset;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

void TFont::Changed()
{
    FHandle.Reset(); // made again on demand
    if (OnChange)
        OnChange(this);
}

void TFont::SetName(const std::string& Value)
{
    if (FName != Value) {
        FName = Value;
        Changed();
    }
}

void TFont::SetHeight(int Value)
{
    if (FHeight != Value) {
        FHeight = Value;
        Changed();
    }
}

int TFont::Size() const { return -int(std::lround(FHeight * 72.0 / 96.0)); }

void TFont::SetSize(int Value) { SetHeight(-int(std::lround(Value * 96.0 / 72.0))); }

void TFont::SetStyle(TFontStyles Value)
{
    if (!(FStyle == Value)) {
        FStyle = Value;
        Changed();
    }
}

void TFont::SetColor(TColor Value)
{
    if (FColor != Value) {
        FColor = Value;
        if (OnChange)
            OnChange(this); // the handle does not carry the colour
    }
}

void TFont::SetCharset(int Value)
{
    if (FCharset != Value) {
        FCharset = Value;
        Changed();
    }
}

HFONT TFont::Handle()
{
    if (!FHandle.Valid()) {
        LOGFONTA LF{};
        LF.lfHeight = FHeight;
        LF.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
        LF.lfItalic = FStyle.Contains(fsItalic);
        LF.lfUnderline = FStyle.Contains(fsUnderline);
        LF.lfStrikeOut = FStyle.Contains(fsStrikeOut);
        LF.lfCharSet = BYTE(FCharset);
        LF.lfQuality = DEFAULT_QUALITY;
        lstrcpynA(LF.lfFaceName, FName.c_str(), LF_FACESIZE);
        FHandle.Reset(CreateFontIndirectA(&LF));
    }
    return FHandle.Get();
}

// ---- TBitmap -------------------------------------------------------------------

static void DefineBitmap(TPropertyBuilder<TBitmap>& P) { P.Binary("Data", &TBitmap::Data, &TBitmap::SetData); }

FW_DEFINE_CLASS(TBitmap, fw_Classes::TPersistent, nullptr, DefineBitmap)

void TBitmap::Assign(fw_Classes::TPersistent* Source)
{
    if (auto* B = dynamic_cast<TBitmap*>(Source)) {
        FData = B->FData;
        return;
    }
    if (auto* P = dynamic_cast<TPicture*>(Source)) {
        FData = P->Bitmap().FData;
        return;
    }
    TPersistent::Assign(Source);
}

const BITMAPINFOHEADER* TBitmap::Info() const
{
    return FData.empty() ? nullptr : reinterpret_cast<const BITMAPINFOHEADER*>(FData.data() + sizeof(BITMAPFILEHEADER));
}

int TBitmap::Width() const { return Info() ? Info()->biWidth : 0; }
int TBitmap::Height() const { return Info() ? std::abs(Info()->biHeight) : 0; }
int TBitmap::BitsPerPixel() const { return Info() ? Info()->biBitCount : 0; }

void TBitmap::SetData(const std::vector<uint8_t>& Value)
{
    // A .bmp file: file header, info header, colour table and bits.
    if (!Value.empty()) {
        BITMAPFILEHEADER FH;
        BITMAPINFOHEADER IH;
        if (Value.size() < sizeof FH + sizeof IH)
            throw fw_SysUtils::Exception("Bitmap image is not valid");
        memcpy(&FH, Value.data(), sizeof FH);
        memcpy(&IH, Value.data() + sizeof FH, sizeof IH);
        if (FH.bfType != 0x4D42 || IH.biSize < sizeof IH || FH.bfOffBits >= Value.size() || IH.biWidth <= 0 ||
            IH.biHeight == 0)
            throw fw_SysUtils::Exception("Bitmap image is not valid");
    }
    FData = Value;
}

void TBitmap::LoadFromResourceName(HMODULE Instance, const std::string& ResName)
{
    // A BITMAP resource is a .bmp file without its file header.
    fw_Streams::TResourceStream Res(Instance, ResName, RT_BITMAP);
    const auto* IH = reinterpret_cast<const BITMAPINFOHEADER*>(Res.Memory());
    size_t Size = size_t(Res.Size());
    if (Size < sizeof(BITMAPINFOHEADER))
        throw fw_SysUtils::Exception("Bitmap image is not valid");
    size_t Colors = IH->biClrUsed ? IH->biClrUsed : (IH->biBitCount <= 8 ? (size_t(1) << IH->biBitCount) : 0);
    if (IH->biCompression == BI_BITFIELDS)
        Colors = 3;
    BITMAPFILEHEADER FH{};
    FH.bfType = 0x4D42;
    FH.bfSize = DWORD(sizeof FH + Size);
    FH.bfOffBits = DWORD(sizeof FH + IH->biSize + Colors * sizeof(RGBQUAD));
    std::vector<uint8_t> Data(sizeof FH + Size);
    memcpy(Data.data(), &FH, sizeof FH);
    memcpy(Data.data() + sizeof FH, Res.Memory(), Size);
    SetData(Data);
}

void TBitmap::LoadFromFile(const std::string& FileName)
{
    fw_Streams::TMemoryStream M;
    M.LoadFromFile(FileName);
    SetData(M.Bytes());
}

void TBitmap::SaveToFile(const std::string& FileName) const
{
    fw_Streams::TFileStream F(FileName, fw_Streams::fmCreate);
    F.WriteBuffer(FData.data(), FData.size());
}

void TBitmap::Draw(HDC DC, const RECT& Rect) const
{
    if (FData.empty())
        return;
    BITMAPFILEHEADER FH;
    memcpy(&FH, FData.data(), sizeof FH);
    StretchDIBits(DC, Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top, 0, 0, Width(), Height(),
                  FData.data() + FH.bfOffBits, reinterpret_cast<const BITMAPINFO*>(Info()), DIB_RGB_COLORS, SRCCOPY);
}

// ---- TPicture ------------------------------------------------------------------

static void DefinePicture(TPropertyBuilder<TPicture>& P)
{
    // A project writes a picture's bitmap as its bytes: Picture.Data = {...}.
    P.Binary(
        "Data", [](TPicture* Pic) { return Pic->Bitmap().Data(); },
        [](TPicture* Pic, const std::vector<uint8_t>& V) { Pic->Bitmap().SetData(V); });
}

FW_DEFINE_CLASS(TPicture, fw_Classes::TPersistent, nullptr, DefinePicture)

void TPicture::Assign(fw_Classes::TPersistent* Source)
{
    if (!Source) {
        FBitmap.SetData({});
        return;
    }
    if (auto* P = dynamic_cast<TPicture*>(Source)) {
        FBitmap.Assign(&P->FBitmap);
        return;
    }
    if (auto* B = dynamic_cast<TBitmap*>(Source)) {
        FBitmap.Assign(B);
        return;
    }
    TPersistent::Assign(Source);
}

} // namespace fw_Graphics
