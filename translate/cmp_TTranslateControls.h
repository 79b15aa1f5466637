// The controls translated by id: a label and a bitmap button that carry a
// GLID, the number of their text in every language. A GLID of 0 leaves the
// control to translation by wording; a negative one keeps its text as it is.
#pragma once

#include "framework/fw_StdCtrls.h"

namespace cmp_TTranslateControls {

class TTranslateLabel : public fw_StdCtrls::TLabel {
    FW_CLASS(TTranslateLabel, fw_StdCtrls::TLabel)

public:
    using TLabel::TLabel;
    int GLID = 0;
};

class TTranslateBitBtn : public fw_StdCtrls::TBitBtn {
    FW_CLASS(TTranslateBitBtn, fw_StdCtrls::TBitBtn)

public:
    using TBitBtn::TBitBtn;
    int GLID = 0;
};

// Lets a project text name both.
void RegisterTranslateControls();

} // namespace cmp_TTranslateControls
