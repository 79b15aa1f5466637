#include "translate/cmp_TTranslateControls.h"

namespace cmp_TTranslateControls {

namespace {

void DefineTranslateLabel(fw_Classes::TPropertyBuilder<TTranslateLabel>& P)
{
    P.Integer("GLID", &TTranslateLabel::GLID, &TTranslateLabel::GLID, 0);
}

void DefineTranslateBitBtn(fw_Classes::TPropertyBuilder<TTranslateBitBtn>& P)
{
    P.Integer("GLID", &TTranslateBitBtn::GLID, &TTranslateBitBtn::GLID, 0);
}

} // namespace

FW_DEFINE_CLASS(TTranslateLabel, fw_StdCtrls::TLabel, fw_Classes::CreateComponent<TTranslateLabel>,
                DefineTranslateLabel)
FW_DEFINE_CLASS(TTranslateBitBtn, fw_StdCtrls::TBitBtn, fw_Classes::CreateComponent<TTranslateBitBtn>,
                DefineTranslateBitBtn)

void RegisterTranslateControls()
{
    fw_Classes::RegisterClasses({&TTranslateLabel::StaticClass(), &TTranslateBitBtn::StaticClass()});
}

} // namespace cmp_TTranslateControls
