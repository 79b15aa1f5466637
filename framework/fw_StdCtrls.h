// Framework: the standard controls over the system's window classes (STATIC,
// BUTTON, EDIT): label, button, bitmap button, edit, memo, check box, group
// box, and the input box made of them. Every control is a window of its own;
// its texts are 8-bit in the code page of its font's charset (fw_Forms).
#pragma once

#include "framework/fw_Forms.h"

#include <string>
#include <vector>

namespace fw_StdCtrls {

using fw_Classes::TComponent;
using fw_Classes::TNotifyEvent;
using fw_Forms::TModalResult;
using fw_Forms::TWinControl;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
extern const fw_Classes::TEnumInfo TAlignmentInfo;

// A text (STATIC). Alt plus its marked letter focuses FocusControl.
class TLabel : public TWinControl {
    FW_CLASS(TLabel, TWinControl)

public:
    explicit TLabel(TComponent* AOwner);
    ~TLabel() override;

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool Value);
    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* Value);

    bool IsMnemonic(wchar_t Ch) override;
    void DoMnemonic() override;
    void Notification(TComponent* AComponent, fw_Classes::TOperation Operation) override;

protected:
    void CreateParams(TCreateParams& Params) override;

private:
    DWORD TextStyle() const;
    void UpdateStyle();
    TAlignment FAlignment = taLeftJustify;
    bool FWordWrap = false;
    bool FShowAccelChar = true;
    TWinControl* FFocusControl = nullptr;
};

// A push button (BUTTON). Default: Enter presses it wherever the focus is
// on its form (but on another button); Cancel: Escape does. A ModalResult
// other than mrNone is given to the button's own form when it is pressed.
class TButton : public TWinControl {
    FW_CLASS(TButton, TWinControl)

public:
    explicit TButton(TComponent* AOwner);

    bool Default() const { return FDefault; }
    void SetDefault(bool Value);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool Value) { FCancel = Value; }
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult Value) { FModalResult = Value; }

    // Presses the button: the form's modal result, then OnClick.
    void Click() override;

    bool WantsDialogKey(fw_Forms::TDialogKey Key) const override;
    bool IsPushButton() const override { return true; }
    void KeyPress() override { Click(); }
    bool IsMnemonic(wchar_t Ch) override { return CaptionHasMnemonic(Ch); }
    void DoMnemonic() override;

protected:
    void CreateParams(TCreateParams& Params) override;
    virtual DWORD ButtonStyle() const;

private:
    bool FDefault = false;
    bool FCancel = false;
    TModalResult FModalResult = fw_Forms::mrNone;
};

// A button that may show a glyph. The system button shows a bitmap or a
// text, not both: the glyph (its first image when NumGlyphs > 1) is shown
// when the caption is empty and left out otherwise.
class TBitBtn : public TButton {
    FW_CLASS(TBitBtn, TButton)

public:
    explicit TBitBtn(TComponent* AOwner);
    ~TBitBtn() override;

    // Changing the glyph's bitmap afterwards needs GlyphChanged.
    fw_Graphics::TBitmap* Glyph() { return &FGlyph; }
    void GlyphChanged() { UpdateGlyph(); }
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int Value);

protected:
    void CreateWnd() override;
    void TextChanged() override;
    DWORD ButtonStyle() const override;

private:
    bool ShowsGlyph() const { return !FGlyph.Empty() && FCaption.empty(); }
    void UpdateGlyph();
    fw_Graphics::TBitmap FGlyph;
    int FNumGlyphs = 1;
    fw_Handles::TGdiHandle<HBITMAP> FImage; // what the window shows, kept while it does
};

// A one-line edit (EDIT). OnChange fires on every change of the text (each
// keystroke); Tab into it selects the whole text.
class TEdit : public TWinControl {
    FW_CLASS(TEdit, TWinControl)

public:
    explicit TEdit(TComponent* AOwner);

    const std::string& Text() const { return FCaption; }
    void SetText(const std::string& Value) { SetCaption(Value); }
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    void SelectAll();

    TNotifyEvent OnChange;

    void EnteredByTab() override { SelectAll(); }

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L) override;
    virtual void Change();

private:
    int FMaxLength = 0;
    bool FReadOnly = false;
};

// A text of several lines (multi-line EDIT); Enter starts a new line.
class TMemo : public TEdit {
    FW_CLASS(TMemo, TEdit)

public:
    explicit TMemo(TComponent* AOwner);

    std::vector<std::string> Lines() const;
    void SetLines(const std::vector<std::string>& Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value) { FWordWrap = Value; }

protected:
    void CreateParams(TCreateParams& Params) override;

private:
    bool FWordWrap = true;
};

// A check box (BUTTON); OnClick fires when the user toggles it.
class TCheckBox : public TWinControl {
    FW_CLASS(TCheckBox, TWinControl)

public:
    explicit TCheckBox(TComponent* AOwner);

    bool Checked() const;
    void SetChecked(bool Value);

    bool IsMnemonic(wchar_t Ch) override { return CaptionHasMnemonic(Ch); }
    void DoMnemonic() override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L) override;

private:
    bool FChecked = false;
};

// A frame with a title around other controls (BUTTON). The system's group
// box drops what its children tell it; this one hands the commands and
// notifications of children that are no framework controls on to its parent.
class TGroupBox : public TWinControl {
    FW_CLASS(TGroupBox, TWinControl)

public:
    explicit TGroupBox(TComponent* AOwner);

protected:
    void CreateParams(TCreateParams& Params) override;
    bool PassesNotifications() const override { return true; }
};

// Asks for a line of text in a modal window with OK and Cancel; answers
// whether the user confirmed, Value then holding the text.
bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value);
// The same, answering Default when cancelled.
std::string InputBox(const std::string& Caption, const std::string& Prompt, const std::string& Default);

// Registers the framework's controls (standard, extra and common controls)
// for project texts.
void RegisterFormControls();

} // namespace fw_StdCtrls
