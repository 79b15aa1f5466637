// The product's title on the main window: a label whose caption may be
// rotated and is drawn embossed (recessed, raised or shadowed) straight onto
// what lies behind it.
#pragma once

#include "framework/fw_Classes.h"
#include "framework/fw_Graphics.h"
#include "framework/fw_StdCtrls.h"

#include <windows.h>

#include <string>

namespace cmp_Rotate3DLabel {

using fw_Graphics::TColor;

enum T3DEffectShort : uint8_t { A3dNormal, A3dResit, A3dRaised, A3dShadowed };
extern const fw_Classes::TEnumInfo T3DEffectShortInfo;

// How the caption is embossed. OnChange (the label's repaint) fires only
// for a change that alters the drawing.
class TLabelStyle : public fw_Classes::TPersistent {
    FW_CLASS(TLabelStyle, fw_Classes::TPersistent)

public:
    void Assign(fw_Classes::TPersistent* Source) override;

    T3DEffectShort AStyle3D() const { return FAStyle3D; }
    void SetAStyle3D(T3DEffectShort Value);
    // Degrees; anything outside 0 .. 359 is kept as 0.
    int Angle() const { return FAngle; }
    void SetAngle(int Value);
    int AHShadeOffSet() const { return FAHShadeOffSet; }
    void SetAHShadeOffSet(int Value);
    TColor SavedLeftTop() const { return FSavedLeftTop; }
    TColor AShadeRightBottom() const { return FAShadeRightBottom; }
    void SetAShadeRightBottom(TColor Value);
    TColor AShadeLeftTop() const { return FAShadeLeftTop; }
    void SetAShadeLeftTop(TColor Value);
    // On: the highlight is white, the chosen one kept aside until it goes off.
    bool AShadeLTSet() const { return FAShadeLTSet; }
    void SetAShadeLTSet(bool Value);
    int AVShadeOffSet() const { return FAVShadeOffSet; }
    void SetAVShadeOffSet(int Value);

    fw_Classes::TNotifyEvent OnChange;

private:
    void Changed();

    T3DEffectShort FAStyle3D = A3dRaised;
    int FAngle = 0;
    int FAHShadeOffSet = 5;
    TColor FSavedLeftTop = fw_Graphics::clWhite;
    TColor FAShadeRightBottom = 0x808080;
    TColor FAShadeLeftTop = fw_Graphics::clWhite;
    bool FAShadeLTSet = false;
    int FAVShadeOffSet = -5;
};

// Where the caption lies across the label's width: the ordinals of the
// framework label's alignment (left, right, centre).
enum TCaptionPlace : uint8_t { cpLeft, cpRight, cpCentre };

// Draws Caption into a Width x Height area of DC the way the title label
// does: turned by the style's Angle around the area's centre, embossed by
// its 3D effect, over a box of BoxColor unless Transparent (which then also
// sets the style to A3dNormal). Font is the label's unrotated font.
void PaintCaption(HDC DC, int Width, int Height, const std::string& Caption, fw_Graphics::TFont& Font,
                  TLabelStyle& Style, bool Transparent, TColor BoxColor, TCaptionPlace Place);

// The title label. Not a STATIC: a system label fills its box with a flat
// colour, while this one paints what its parent shows behind it (asked of
// the parent by WM_ERASEBKGND and WM_PRINTCLIENT) and the caption over it,
// off screen first so that neither shows alone.
class TRotate3DLabel : public fw_StdCtrls::TLabel {
    FW_CLASS(TRotate3DLabel, fw_StdCtrls::TLabel)

public:
    static constexpr double DegToRad = 0.017453292519943295;

    explicit TRotate3DLabel(fw_Classes::TComponent* AOwner);
    ~TRotate3DLabel() override;

    TLabelStyle* LabelStyle() { return &FLabelStyle; }
    void SetLabelStyle(TLabelStyle* Value) { FLabelStyle.Assign(Value); }
    // Off: the caption sits on a box of the label's colour.
    bool MyTransparent() const { return FMyTransparent; }
    void SetMyTransparent(bool Value);
    // Of the last painting's angle.
    double CosAngle() const { return FCosAngle; }
    double SinAngle() const { return FSinAngle; }

    // -1 makes this the main label (MainLabel); the previous one gets 0.
    void SetTag(int64_t Value) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L) override;
    void Paint(HDC DC) override;
    void TextChanged() override;

private:
    void PaintParent(HDC DC);

    TLabelStyle FLabelStyle;
    bool FMyTransparent = true;
    double FCosAngle = 1.0;
    double FSinAngle = 0.0;
};

// The label whose Tag was set to -1 last, while it keeps it; nullptr when none.
TRotate3DLabel* MainLabel();

} // namespace cmp_Rotate3DLabel
