#include "framework/fw_StdCtrls.h"

#include "framework/fw_ComCtrls.h"
#include "framework/fw_ExtCtrls.h"

#include <memory>

namespace fw_StdCtrls {

using fw_Classes::TPropertyBuilder;

const fw_Classes::TEnumInfo TAlignmentInfo{"TAlignment", {"taLeftJustify", "taRightJustify", "taCenter"}};

namespace {
// Changes style bits of a live window and has it drawn again.
void ChangeStyle(HWND Wnd, DWORD Mask, DWORD Bits)
{
    if (!Wnd)
        return;
    DWORD Style = DWORD(GetWindowLongW(Wnd, GWL_STYLE));
    SetWindowLongW(Wnd, GWL_STYLE, LONG((Style & ~Mask) | Bits));
    InvalidateRect(Wnd, nullptr, TRUE);
}
} // namespace

// ---- TLabel ----------------------------------------------------------------------

static void DefineLabel(TPropertyBuilder<TLabel>& P)
{
    P.Enum<TAlignment>("Alignment", TAlignmentInfo, &TLabel::Alignment, &TLabel::SetAlignment, taLeftJustify);
    P.Reference<TWinControl>("FocusControl", &TLabel::FocusControl, &TLabel::SetFocusControl);
    P.Boolean("ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar, true);
    P.Boolean("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap, false);
}

FW_DEFINE_CLASS(TLabel, TWinControl, fw_Classes::CreateComponent<TLabel>, DefineLabel)

TLabel::TLabel(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 65;
    FHeight = 13;
}

TLabel::~TLabel() { Destroying(); }

DWORD TLabel::TextStyle() const
{
    DWORD S = FAlignment == taCenter         ? SS_CENTER
              : FAlignment == taRightJustify ? SS_RIGHT
              : FWordWrap                    ? SS_LEFT
                                             : SS_LEFTNOWORDWRAP;
    if (!FShowAccelChar)
        S |= SS_NOPREFIX;
    return S;
}

void TLabel::UpdateStyle() { ChangeStyle(FHandle, SS_TYPEMASK | SS_NOPREFIX, TextStyle()); }

void TLabel::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "STATIC";
    Params.Style |= TextStyle();
}

void TLabel::SetAlignment(TAlignment Value)
{
    FAlignment = Value;
    UpdateStyle();
}

void TLabel::SetWordWrap(bool Value)
{
    FWordWrap = Value;
    UpdateStyle();
}

void TLabel::SetShowAccelChar(bool Value)
{
    FShowAccelChar = Value;
    UpdateStyle();
}

void TLabel::SetFocusControl(TWinControl* Value)
{
    if (FFocusControl)
        FFocusControl->RemoveFreeNotification(this);
    FFocusControl = Value;
    if (Value)
        Value->FreeNotification(this);
}

void TLabel::Notification(TComponent* AComponent, fw_Classes::TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation == fw_Classes::TOperation::opRemove && AComponent == FFocusControl)
        FFocusControl = nullptr;
}

bool TLabel::IsMnemonic(wchar_t Ch) { return FShowAccelChar && FFocusControl && CaptionHasMnemonic(Ch); }

void TLabel::DoMnemonic()
{
    FFocusControl->SetFocus();
    FFocusControl->EnteredByTab();
}

// ---- TButton ---------------------------------------------------------------------

static const fw_Classes::TIdentMap ModalResultIdents{{{"mrNone", fw_Forms::mrNone},
                                                      {"mrOk", fw_Forms::mrOk},
                                                      {"mrCancel", fw_Forms::mrCancel},
                                                      {"mrAbort", fw_Forms::mrAbort},
                                                      {"mrRetry", fw_Forms::mrRetry},
                                                      {"mrIgnore", fw_Forms::mrIgnore},
                                                      {"mrYes", fw_Forms::mrYes},
                                                      {"mrNo", fw_Forms::mrNo}}};

static void DefineButton(TPropertyBuilder<TButton>& P)
{
    P.Boolean("Cancel", &TButton::Cancel, &TButton::SetCancel, false);
    P.Boolean("Default", &TButton::Default, &TButton::SetDefault, false);
    P.Integer("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, fw_Forms::mrNone, &ModalResultIdents);
}

FW_DEFINE_CLASS(TButton, TWinControl, fw_Classes::CreateComponent<TButton>, DefineButton)

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 75;
    FHeight = 25;
    SetTabStop(true);
}

DWORD TButton::ButtonStyle() const { return FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON; }

void TButton::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "BUTTON";
    Params.Style |= ButtonStyle();
}

void TButton::SetDefault(bool Value)
{
    FDefault = Value;
    if (FHandle)
        SendMessageW(FHandle, BM_SETSTYLE, ButtonStyle(), TRUE);
}

bool TButton::WantsDialogKey(fw_Forms::TDialogKey Key) const { return Key == fw_Forms::dkEnter ? FDefault : FCancel; }

void TButton::Click()
{
    // The form the button is on, which for a page embedded into a wizard is
    // the page: the wizard itself decides when it closes.
    if (FModalResult != fw_Forms::mrNone)
        if (fw_Forms::TCustomForm* Form = fw_Forms::GetParentForm(this))
            Form->SetModalResult(FModalResult);
    TWinControl::Click();
}

void TButton::DoMnemonic()
{
    SetFocus();
    Click();
}

// ---- TBitBtn ---------------------------------------------------------------------

static fw_Graphics::TBitmap* BitBtnGlyph(TBitBtn* B) { return B->Glyph(); }

static void DefineBitBtn(TPropertyBuilder<TBitBtn>& P)
{
    P.Object<fw_Graphics::TBitmap>("Glyph", BitBtnGlyph);
    P.Integer("NumGlyphs", &TBitBtn::NumGlyphs, &TBitBtn::SetNumGlyphs, 1);
}

FW_DEFINE_CLASS(TBitBtn, TButton, fw_Classes::CreateComponent<TBitBtn>, DefineBitBtn)

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner) {}

TBitBtn::~TBitBtn()
{
    Destroying();
    DestroyHandle(); // before the image it shows
}

void TBitBtn::SetNumGlyphs(int Value)
{
    FNumGlyphs = Value < 1 ? 1 : Value;
    UpdateGlyph();
}

DWORD TBitBtn::ButtonStyle() const { return TButton::ButtonStyle() | (ShowsGlyph() ? BS_BITMAP : 0); }

void TBitBtn::CreateWnd()
{
    TButton::CreateWnd();
    UpdateGlyph();
}

void TBitBtn::TextChanged()
{
    TButton::TextChanged();
    UpdateGlyph();
}

void TBitBtn::UpdateGlyph()
{
    if (!FHandle)
        return;
    fw_Handles::TGdiHandle<HBITMAP> Image;
    if (ShowsGlyph()) {
        // The first of the glyphs, side by side in the bitmap.
        Image.Reset(fw_ExtCtrls::CreateBitmapOf(FGlyph, FGlyph.Width() / FNumGlyphs));
    }
    // The button takes an image only while its style says it shows one.
    if (Image) {
        ChangeStyle(FHandle, BS_BITMAP, BS_BITMAP);
        SendMessageW(FHandle, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(Image.Get()));
    } else {
        SendMessageW(FHandle, BM_SETIMAGE, IMAGE_BITMAP, 0);
        ChangeStyle(FHandle, BS_BITMAP, 0);
    }
    FImage = std::move(Image);
}

// ---- TEdit -----------------------------------------------------------------------

static void DefineEdit(TPropertyBuilder<TEdit>& P)
{
    P.Integer("MaxLength", &TEdit::MaxLength, &TEdit::SetMaxLength, 0);
    P.Boolean("ReadOnly", &TEdit::ReadOnly, &TEdit::SetReadOnly, false);
    P.String("Text", &TEdit::Text, &TEdit::SetText);
}

FW_DEFINE_CLASS(TEdit, TWinControl, fw_Classes::CreateComponent<TEdit>, DefineEdit)

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 121;
    FHeight = 21;
    FColor = fw_Graphics::clWindow;
    FParentColor = false;
    SetTabStop(true);
}

void TEdit::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "EDIT";
    Params.Style |= ES_AUTOHSCROLL | (FReadOnly ? ES_READONLY : 0);
    Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::CreateWnd()
{
    TWinControl::CreateWnd();
    SendMessageW(FHandle, EM_LIMITTEXT, WPARAM(FMaxLength), 0);
}

void TEdit::SetMaxLength(int Value)
{
    FMaxLength = Value;
    if (FHandle)
        SendMessageW(FHandle, EM_LIMITTEXT, WPARAM(Value), 0);
}

void TEdit::SetReadOnly(bool Value)
{
    FReadOnly = Value;
    if (FHandle)
        SendMessageW(FHandle, EM_SETREADONLY, Value, 0);
}

void TEdit::SelectAll()
{
    if (FHandle)
        SendMessageW(FHandle, EM_SETSEL, 0, -1);
}

LRESULT TEdit::WndProc(UINT Msg, WPARAM W, LPARAM L)
{
    if (Msg == fw_Forms::CN_COMMAND && HIWORD(W) == EN_CHANGE) {
        FCaption = WindowText();
        Change();
        return 0;
    }
    return TWinControl::WndProc(Msg, W, L);
}

void TEdit::Change()
{
    if (OnChange)
        OnChange(this);
}

// ---- TMemo -----------------------------------------------------------------------

static void DefineMemo(TPropertyBuilder<TMemo>& P)
{
    P.Lines("Lines", &TMemo::Lines, &TMemo::SetLines);
    P.Boolean("WordWrap", &TMemo::WordWrap, &TMemo::SetWordWrap, true);
}

FW_DEFINE_CLASS(TMemo, TEdit, fw_Classes::CreateComponent<TMemo>, DefineMemo)

TMemo::TMemo(TComponent* AOwner) : TEdit(AOwner)
{
    FWidth = 185;
    FHeight = 89;
}

void TMemo::CreateParams(TCreateParams& Params)
{
    TEdit::CreateParams(Params);
    Params.Style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL;
    if (FWordWrap)
        Params.Style &= ~DWORD(ES_AUTOHSCROLL);
    else
        Params.Style |= WS_HSCROLL;
}

std::vector<std::string> TMemo::Lines() const
{
    fw_Classes::TStringList L;
    L.SetText(FCaption);
    return L.ToVector();
}

void TMemo::SetLines(const std::vector<std::string>& Value)
{
    std::string Text;
    for (size_t I = 0; I < Value.size(); ++I)
        Text += (I ? "\r\n" : "") + Value[I];
    SetText(Text);
}

// ---- TCheckBox -------------------------------------------------------------------

static void DefineCheckBox(TPropertyBuilder<TCheckBox>& P)
{
    P.Boolean("Checked", &TCheckBox::Checked, &TCheckBox::SetChecked, false);
}

FW_DEFINE_CLASS(TCheckBox, TWinControl, fw_Classes::CreateComponent<TCheckBox>, DefineCheckBox)

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 97;
    FHeight = 17;
    SetTabStop(true);
}

void TCheckBox::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "BUTTON";
    Params.Style |= BS_AUTOCHECKBOX;
}

void TCheckBox::CreateWnd()
{
    TWinControl::CreateWnd();
    SendMessageW(FHandle, BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TCheckBox::Checked() const { return FChecked; }

void TCheckBox::SetChecked(bool Value)
{
    FChecked = Value;
    if (FHandle)
        SendMessageW(FHandle, BM_SETCHECK, Value ? BST_CHECKED : BST_UNCHECKED, 0);
}

LRESULT TCheckBox::WndProc(UINT Msg, WPARAM W, LPARAM L)
{
    if (Msg == fw_Forms::CN_COMMAND && HIWORD(W) == BN_CLICKED)
        FChecked = SendMessageW(FHandle, BM_GETCHECK, 0, 0) == BST_CHECKED; // before OnClick reads it
    return TWinControl::WndProc(Msg, W, L);
}

void TCheckBox::DoMnemonic()
{
    SetFocus();
    SendMessageW(FHandle, BM_CLICK, 0, 0);
}

// ---- TGroupBox -------------------------------------------------------------------

FW_DEFINE_CLASS(TGroupBox, TWinControl, fw_Classes::CreateComponent<TGroupBox>, nullptr)

TGroupBox::TGroupBox(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 185;
    FHeight = 105;
}

void TGroupBox::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "BUTTON";
    Params.Style |= BS_GROUPBOX;
    Params.ExStyle |= WS_EX_CONTROLPARENT;
}

// ---- input box -------------------------------------------------------------------

bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value)
{
    std::unique_ptr<fw_Forms::TForm, fw_Classes::TComponentDeleter> Form(new fw_Forms::TForm(nullptr));
    Form->SetBorderStyle(fw_Forms::bsDialog);
    Form->SetPosition(fw_Forms::poScreenCenter);
    Form->SetCaption(Caption);
    Form->SetBounds(0, 0, 300, 130);
    auto* Label = new TLabel(Form.get());
    Label->SetParent(Form.get());
    Label->SetBounds(8, 8, 276, 16);
    Label->SetCaption(Prompt);
    auto* Edit = new TEdit(Form.get());
    Edit->SetParent(Form.get());
    Edit->SetBounds(8, 28, 276, 21);
    Edit->SetText(Value);
    Label->SetFocusControl(Edit);
    auto* Ok = new TButton(Form.get());
    Ok->SetParent(Form.get());
    Ok->SetBounds(128, 60, 75, 25);
    Ok->SetCaption("OK");
    Ok->SetDefault(true);
    Ok->SetModalResult(fw_Forms::mrOk);
    auto* Cancel = new TButton(Form.get());
    Cancel->SetParent(Form.get());
    Cancel->SetBounds(209, 60, 75, 25);
    Cancel->SetCaption("Cancel");
    Cancel->SetCancel(true);
    Cancel->SetModalResult(fw_Forms::mrCancel);
    Form->OnShow = [Edit](fw_Classes::TObject*) {
        Edit->SetFocus();
        Edit->SelectAll();
    };
    if (Form->ShowModal() != fw_Forms::mrOk)
        return false;
    Value = Edit->Text();
    return true;
}

std::string InputBox(const std::string& Caption, const std::string& Prompt, const std::string& Default)
{
    std::string Value = Default;
    return InputQuery(Caption, Prompt, Value) ? Value : Default;
}

void RegisterFormControls()
{
    fw_Classes::RegisterClasses({&TLabel::StaticClass(), &TButton::StaticClass(), &TBitBtn::StaticClass(),
                                 &TEdit::StaticClass(), &TMemo::StaticClass(), &TCheckBox::StaticClass(),
                                 &TGroupBox::StaticClass(), &fw_ExtCtrls::TPanel::StaticClass(),
                                 &fw_ExtCtrls::TBevel::StaticClass(), &fw_ExtCtrls::TImage::StaticClass(),
                                 &fw_ComCtrls::TProgressBar::StaticClass(), &fw_ComCtrls::TTabControl::StaticClass()});
}

} // namespace fw_StdCtrls
