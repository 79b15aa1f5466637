#include "dialogs/cmp_Rotate3DLabel.h"

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

} // namespace cmp_Rotate3DLabel
