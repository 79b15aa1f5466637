// Framework: panel, bevel and image.
#pragma once

#include "framework/fw_Forms.h"

namespace fw_ExtCtrls {

using fw_Classes::TComponent;
using fw_Forms::TWinControl;

enum TBevelCut { bvNone, bvLowered, bvRaised };
extern const fw_Classes::TEnumInfo TBevelCutInfo;

// A container with a raised or sunken frame and a centred caption. Commands
// of foreign children go on to its parent.
class TPanel : public TWinControl {
    FW_CLASS(TPanel, TWinControl)

public:
    explicit TPanel(TComponent* AOwner);

    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut Value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut Value);
    RECT ClientRect() const override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint(HDC DC) override;
    bool PassesNotifications() const override { return true; }

private:
    int BevelWidth() const { return (FBevelOuter != bvNone) + (FBevelInner != bvNone); }
    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };
extern const fw_Classes::TEnumInfo TBevelShapeInfo, TBevelStyleInfo;

// An etched line or frame (STATIC with an etched or sunken style).
class TBevel : public TWinControl {
    FW_CLASS(TBevel, TWinControl)

public:
    explicit TBevel(TComponent* AOwner);

    TBevelShape Shape() const { return FShape; }
    void SetShape(TBevelShape Value);
    TBevelStyle Style() const { return FStyle; }
    void SetStyle(TBevelStyle Value);

protected:
    void CreateParams(TCreateParams& Params) override;

private:
    DWORD ShapeStyle() const;
    TBevelShape FShape = bsBox;
    TBevelStyle FStyle = bsLowered;
};

// A picture at its natural size, centred in the control (a STATIC bitmap
// that keeps its own size; the system fills the space around it with the
// colour of the picture's top-left pixel).
class TImage : public TWinControl {
    FW_CLASS(TImage, TWinControl)

public:
    explicit TImage(TComponent* AOwner);
    ~TImage() override;

    // Changing the picture's bitmap afterwards needs PictureChanged.
    fw_Graphics::TPicture* Picture() { return &FPicture; }
    void PictureChanged();

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;

private:
    fw_Graphics::TPicture FPicture;
    fw_Handles::TGdiHandle<HBITMAP> FImage; // what the window shows, kept while it does
};

// A bitmap of the size of Source holding its picture, for windows that show one.
HBITMAP CreateBitmapOf(const fw_Graphics::TBitmap& Source, int Width);

} // namespace fw_ExtCtrls
