// Framework: colours, fonts and pictures.
#pragma once

#include "framework/fw_Classes.h"
#include "framework/fw_Handles.h"

#include <string>
#include <vector>

namespace fw_Graphics {

// 0x00BBGGRR, or a system colour: 0x80000000 | COLOR_xxx.
using TColor = int32_t;
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clBlue = 0xFF0000, clYellow = 0x00FFFF, clRed = 0x0000FF;
constexpr TColor clSystemColor = int32_t(0x80000000);
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
constexpr TColor clNone = 0x1FFFFFFF;
// The colour names a project may write.
extern const fw_Classes::TIdentMap ColorIdents;
// The RGB value of a colour, system colours looked up.
COLORREF ColorToRGB(TColor Color);

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = fw_Classes::TSet<TFontStyle>;
extern const fw_Classes::TEnumInfo TFontStyleInfo;
extern const fw_Classes::TIdentMap CharsetIdents;

// A logical font; the handle is made on demand and remade after a change.
class TFont : public fw_Classes::TPersistent {
    FW_CLASS(TFont, fw_Classes::TPersistent)

public:
    TFont();
    ~TFont() override;
    void Assign(fw_Classes::TPersistent* Source) override;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value);
    int Height() const { return FHeight; } // negative: character height in pixels
    void SetHeight(int Value);
    int Size() const; // points at 96 pixels per inch
    void SetSize(int Value);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles Value);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    int Charset() const { return FCharset; }
    void SetCharset(int Value);
    HFONT Handle();

    fw_Classes::TNotifyEvent OnChange;

private:
    void Changed();
    std::string FName = "MS Sans Serif";
    int FHeight = -11;
    TFontStyles FStyle;
    TColor FColor = clWindowText;
    int FCharset = DEFAULT_CHARSET;
    fw_Handles::TGdiHandle<HFONT> FHandle;
};

// A device-independent bitmap, kept as the bytes of a .bmp file.
class TBitmap : public fw_Classes::TPersistent {
    FW_CLASS(TBitmap, fw_Classes::TPersistent)

public:
    void Assign(fw_Classes::TPersistent* Source) override;
    // Loads a BITMAP resource of the module; EResNotFound when it lacks it.
    void LoadFromResourceName(HMODULE Instance, const std::string& ResName);
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName) const;
    bool Empty() const { return FData.empty(); }
    int Width() const;
    int Height() const;
    int BitsPerPixel() const;
    // The .bmp file bytes; setting them checks the headers.
    const std::vector<uint8_t>& Data() const { return FData; }
    void SetData(const std::vector<uint8_t>& Value);
    // Draws the bitmap stretched into the rectangle.
    void Draw(HDC DC, const RECT& Rect) const;

private:
    const BITMAPINFOHEADER* Info() const;
    std::vector<uint8_t> FData;
};

// A picture property: holds one bitmap.
class TPicture : public fw_Classes::TPersistent {
    FW_CLASS(TPicture, fw_Classes::TPersistent)

public:
    void Assign(fw_Classes::TPersistent* Source) override;
    TBitmap& Bitmap() { return FBitmap; }
    const TBitmap& Bitmap() const { return FBitmap; }
    int Width() const { return FBitmap.Width(); }
    int Height() const { return FBitmap.Height(); }

private:
    TBitmap FBitmap;
};

} // namespace fw_Graphics
