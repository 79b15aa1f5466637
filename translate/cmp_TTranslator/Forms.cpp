// Translating a form: its controls' published texts by wording, the GLID
// controls by id, and the lines and items of list-like controls.
#include "translate/cmp_TTranslator.h"

#include "translate/cmp_TTranslateControls.h"

#include <initializer_list>

namespace cmp_TTranslator {

using cmp_TTranslateControls::TTranslateBitBtn;
using cmp_TTranslateControls::TTranslateLabel;

using fw_Classes::TClass;
using fw_Classes::TPropInfo;
using fw_Classes::TTypeKind;
using fw_Forms::TControl;
using fw_Forms::TCustomForm;
using fw_Forms::TWinControl;

namespace {

// The framework's list-like controls are recognised by the names in their
// class chain and reached through their published properties, so that any
// label, memo or list class that keeps the usual names is translated.
bool HasClassNamed(const TObject* O, std::initializer_list<std::string_view> Names)
{
    for (TClass C = O->ClassType(); C; C = C->Parent)
        for (std::string_view N : Names)
            if (C->ClassName == N)
                return true;
    return false;
}

const TPropInfo* PropOfKind(const TObject* O, std::string_view Name, TTypeKind Kind)
{
    const TPropInfo* P = O->ClassType()->FindProp(Name);
    return P && P->Kind == Kind ? P : nullptr;
}

// A label's auto-size, off while its text changes so that the label does not
// resize on every step; restored with the visibility afterwards.
class TControlState {
public:
    explicit TControlState(TComponent* C)
    {
        FControl = dynamic_cast<TControl*>(C);
        if (!FControl)
            return;
        FVisible = FControl->Visible();
        if (!FControl->Is<TCustomForm>() && !HasClassNamed(FControl, {"TImage", "TCustomImage"}))
            FControl->SetVisible(false);
        if (HasClassNamed(FControl, {"TLabel", "TCustomLabel"})) {
            FAutoSizeProp = PropOfKind(FControl, "AutoSize", TTypeKind::tkBoolean);
            if (FAutoSizeProp && FAutoSizeProp->SetOrd) {
                FAutoSize = FAutoSizeProp->GetOrd(FControl) != 0;
                FAutoSizeProp->SetOrd(FControl, 0);
            } else
                FAutoSizeProp = nullptr;
        }
    }
    void Restore()
    {
        if (!FControl)
            return;
        if (FAutoSizeProp)
            FAutoSizeProp->SetOrd(FControl, FAutoSize ? 1 : 0);
        if (FControl->Visible() != FVisible)
            FControl->SetVisible(FVisible);
        if (auto* W = dynamic_cast<TWinControl*>(FControl))
            W->Realign();
    }

private:
    TControl* FControl = nullptr;
    bool FVisible = true;
    bool FAutoSize = false;
    const TPropInfo* FAutoSizeProp = nullptr;
};

int GLIDOf(TComponent* C)
{
    if (auto* L = dynamic_cast<TTranslateLabel*>(C))
        return L->GLID;
    if (auto* B = dynamic_cast<TTranslateBitBtn*>(C))
        return B->GLID;
    return 0;
}

} // namespace

TWdrlLanguage TTranslator::TranslateForm(TWdrlLanguage FromLanguage, TComponent* Form)
{
    if (!Form)
        return FromLanguage;
    TControlState State(Form);
    try {
        if (int GLID = GLIDOf(Form)) {
            // A control with an id is translated by it alone, never by
            // wording; a negative id keeps its text as it is.
            if (GLID > 0) {
                auto* C = static_cast<TControl*>(Form);
                std::string Caption;
                GetString(GLID, C->Caption(), Caption);
                C->SetCaption(Caption);
            }
        } else {
            for (const TPropInfo* P : Form->ClassType()->AllProps()) {
                if (P->Kind != TTypeKind::tkString || !P->SetStr || fw_SysUtils::SameText(P->Name, "Name"))
                    continue;
                std::string Value = fw_SysUtils::Trim(P->GetStr(Form));
                if (Value.empty())
                    continue;
                std::string Translated;
                TranslateString(FromLanguage, Value, Translated);
                P->SetStr(Form, Translated);
            }
            TranslateLists(FromLanguage, Form);
        }
        for (int I = 0; I < Form->ComponentCount(); ++I)
            if (TComponent* C = Form->Components(I); !C->Is<TCustomForm>())
                TranslateForm(FromLanguage, C);
    } catch (...) {
        State.Restore();
        throw;
    }
    TLanguage* Into = CurrentLanguage();
    TWdrlLanguage Result = Into && Into->Strings()->Count() > 0 ? FTranslateIntoLanguage : FromLanguage;
    State.Restore();
    return Result;
}

void TTranslator::TranslateLists(TWdrlLanguage FromLanguage, TComponent* C) const
{
    if (HasClassNamed(C, {"TMemo", "TCustomMemo"})) {
        if (const TPropInfo* P = PropOfKind(C, "Lines", TTypeKind::tkStrings); P && P->SetLines) {
            TStringList Source, Dest;
            Source.SetVector(P->GetLines(C));
            TranslateStrings(FromLanguage, Source, Dest);
            P->SetLines(C, Dest.ToVector());
        }
        return;
    }
    if (HasClassNamed(C, {"TListView", "TCustomListView"})) {
        const TPropInfo* P = PropOfKind(C, "Columns", TTypeKind::tkObject);
        if (auto* Columns = P ? dynamic_cast<fw_Classes::TCollection*>(P->GetObj(C)) : nullptr)
            for (int I = 0; I < Columns->Count(); ++I) {
                TObject* Column = Columns->Items(I);
                const TPropInfo* Caption = PropOfKind(Column, "Caption", TTypeKind::tkString);
                if (!Caption || !Caption->SetStr)
                    continue;
                std::string Translated;
                TranslateString(FromLanguage, Caption->GetStr(Column), Translated);
                Caption->SetStr(Column, Translated);
            }
        return;
    }
    if (HasClassNamed(
            C, {"TListBox", "TCustomListBox", "TComboBox", "TCustomComboBox", "TRadioGroup", "TCustomRadioGroup"})) {
        if (const TPropInfo* P = PropOfKind(C, "Items", TTypeKind::tkStrings); P && P->SetLines) {
            std::vector<std::string> Items = P->GetLines(C);
            for (std::string& Item : Items) {
                std::string Translated;
                TranslateString(FromLanguage, Item, Translated);
                Item = std::move(Translated);
            }
            P->SetLines(C, Items);
        }
    }
}

void RegisterTranslatorClasses()
{
    fw_Classes::RegisterClass(&TTranslator::StaticClass());
    cmp_TTranslateControls::RegisterTranslateControls();
}

} // namespace cmp_TTranslator
