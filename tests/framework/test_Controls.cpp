// The framework's controls: real system windows read from project text,
// driven by posted messages and read back from outside.
#include "framework/fw_ComCtrls.h"
#include "framework/fw_ExtCtrls.h"
#include "framework/fw_Reader.h"
#include "framework/fw_StdCtrls.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <cstring>

using namespace fw_Forms;
using namespace fw_StdCtrls;

namespace {

class TPageForm : public TForm {
    FW_CLASS(TPageForm, TForm)
public:
    using TForm::TForm;
};
FW_DEFINE_CLASS(TPageForm, TForm, fw_Classes::CreateComponent<TPageForm>, nullptr)

std::wstring TextOf(HWND Wnd)
{
    wchar_t Buf[256] = {};
    GetWindowTextW(Wnd, Buf, 256);
    return Buf;
}

std::wstring ClassOf(HWND Wnd)
{
    wchar_t Buf[64] = {};
    GetClassNameW(Wnd, Buf, 64);
    return Buf;
}

DWORD StyleOf(HWND Wnd) { return DWORD(GetWindowLongW(Wnd, GWL_STYLE)); }

template <class T>
T* Make(TWinControl* Parent, int Left, int Top, int Width, int Height)
{
    auto* C = new T(Parent);
    C->SetParent(Parent);
    C->SetBounds(Left, Top, Width, Height);
    return C;
}

// A keystroke as the message loop gets it from the keyboard.
void Key(HWND Wnd, WPARAM VirtualKey)
{
    PostMessageW(Wnd, WM_KEYDOWN, VirtualKey, 1);
    Application->ProcessMessages();
}

void Chars(HWND Wnd, const std::wstring& Text)
{
    for (wchar_t C : Text)
        PostMessageW(Wnd, WM_CHAR, C, 1);
    Application->ProcessMessages();
}

// Holds Shift down in this thread's keyboard state for its lifetime.
class TShiftDown {
public:
    TShiftDown() { Set(0x80); }
    ~TShiftDown() { Set(0); }

private:
    static void Set(BYTE State)
    {
        BYTE Keys[256];
        GetKeyboardState(Keys);
        Keys[VK_SHIFT] = Keys[VK_LSHIFT] = State;
        SetKeyboardState(Keys);
    }
};

// A 24-bit .bmp of one colour but for its top-left pixel, which is Corner.
std::vector<uint8_t> SolidBitmap(int Width, int Height, COLORREF Color, COLORREF Corner)
{
    int Stride = (Width * 3 + 3) & ~3;
    BITMAPFILEHEADER FH{};
    BITMAPINFOHEADER IH{};
    IH.biSize = sizeof IH;
    IH.biWidth = Width;
    IH.biHeight = Height;
    IH.biPlanes = 1;
    IH.biBitCount = 24;
    FH.bfType = 0x4D42;
    FH.bfOffBits = sizeof FH + sizeof IH;
    FH.bfSize = FH.bfOffBits + DWORD(Stride * Height);
    std::vector<uint8_t> Data(FH.bfSize, 0);
    memcpy(Data.data(), &FH, sizeof FH);
    memcpy(Data.data() + sizeof FH, &IH, sizeof IH);
    for (int Y = 0; Y < Height; ++Y)
        for (int X = 0; X < Width; ++X) {
            uint8_t* P = Data.data() + FH.bfOffBits + Y * Stride + X * 3;
            COLORREF C = X == 0 && Y == Height - 1 ? Corner : Color; // rows go bottom-up
            P[0] = GetBValue(C);
            P[1] = GetGValue(C);
            P[2] = GetRValue(C);
        }
    return Data;
}

const char* const PageText = R"(object Page: TPageForm
  Caption = 'Choose Destination Location'
  Hint = 'page'
  object lblText1: TLabel
    Left = 8
    Top = 8
    Width = 300
    Height = 13
    Caption = 'Which directory do you want to install this program into?'
    WordWrap = True
  end
  object gbDirectory: TGroupBox
    Left = 8
    Top = 40
    Width = 320
    Height = 53
    Caption = 'Destination Directory'
    object edDestDir: TEdit
      Left = 8
      Top = 20
      Width = 209
      Height = 21
      Text = 'C:\Program Files\Pellunar'
    end
    object BrowseBtn: TButton
      Left = 224
      Top = 18
      Width = 89
      Height = 25
      Caption = '&Browse'
    end
  end
  object ProgressBar1: TProgressBar
    Left = 8
    Top = 100
    Width = 176
    Height = 16
    Max = 200
    Position = 150
  end
  object Line: TBevel
    Left = 0
    Top = 130
    Width = 300
    Height = 9
    Shape = bsTopLine
  end
  object ProceedBtn: TBitBtn
    Left = 288
    Top = 140
    Width = 75
    Height = 33
    Caption = 'Next >'
    Default = True
    ModalResult = mrOk
  end
  object Tabs: TTabControl
    Left = 0
    Top = 0
    Width = 100
    Height = 0
    Visible = False
    Tabs = ('one' 'two')
    TabIndex = 1
  end
end
)";

} // namespace

TEST(Controls, ProjectTextMakesSystemWindows)
{
    RegisterFormControls();
    fw_Classes::RegisterClass(&TPageForm::StaticClass());
    TPageForm Page(nullptr);
    fw_Reader::ReadComponentText(&Page, PageText);
    Page.ShowForm();
    auto Wnd = [&](const char* Name) { return static_cast<TWinControl*>(Page.FindComponent(Name))->Handle(); };

    EXPECT_EQ(ClassOf(Wnd("lblText1")), L"Static");
    EXPECT_EQ(TextOf(Wnd("lblText1")), L"Which directory do you want to install this program into?");
    EXPECT_EQ(StyleOf(Wnd("lblText1")) & SS_TYPEMASK, DWORD(SS_LEFT)); // wraps
    EXPECT_EQ(ClassOf(Wnd("gbDirectory")), L"Button");
    EXPECT_EQ(StyleOf(Wnd("gbDirectory")) & BS_TYPEMASK, DWORD(BS_GROUPBOX));
    EXPECT_EQ(ClassOf(Wnd("edDestDir")), L"Edit");
    EXPECT_EQ(GetParent(Wnd("edDestDir")), Wnd("gbDirectory"));
    EXPECT_EQ(TextOf(Wnd("edDestDir")), L"C:\\Program Files\\Pellunar");
    EXPECT_TRUE(StyleOf(Wnd("edDestDir")) & WS_TABSTOP);
    EXPECT_EQ(ClassOf(Wnd("ProgressBar1")), L"msctls_progress32");
    EXPECT_EQ(SendMessageW(Wnd("ProgressBar1"), PBM_GETPOS, 0, 0), 150);
    EXPECT_EQ(SendMessageW(Wnd("ProgressBar1"), PBM_GETRANGE, FALSE, 0), 200);
    EXPECT_EQ(StyleOf(Wnd("Line")) & SS_TYPEMASK, DWORD(SS_ETCHEDHORZ));
    EXPECT_EQ(StyleOf(Wnd("ProceedBtn")) & BS_TYPEMASK, DWORD(BS_DEFPUSHBUTTON));
    EXPECT_EQ(TextOf(Wnd("ProceedBtn")), L"Next >");
    EXPECT_EQ(ClassOf(Wnd("Tabs")), L"SysTabControl32");
    EXPECT_FALSE(IsWindowVisible(Wnd("Tabs")));
    EXPECT_EQ(SendMessageW(Wnd("Tabs"), TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(Wnd("Tabs"), TCM_GETCURSEL, 0, 0), 1);

    // What translation walks: the texts are published string properties.
    for (const char* Name : {"lblText1", "gbDirectory", "BrowseBtn", "ProceedBtn"}) {
        const fw_Classes::TPropInfo* Caption = Page.FindComponent(Name)->ClassType()->FindProp("Caption");
        ASSERT_TRUE(Caption) << Name;
        EXPECT_EQ(Caption->Kind, fw_Classes::TTypeKind::tkString) << Name;
        EXPECT_EQ(Page.FindComponent(Name)->ClassType()->FindProp("Hint")->Kind, fw_Classes::TTypeKind::tkString);
    }
    EXPECT_EQ(TEdit::StaticClass().FindProp("Text")->Kind, fw_Classes::TTypeKind::tkString);

    // Written back as it was read.
    std::string Written = fw_Reader::WriteComponentText(&Page);
    EXPECT_NE(Written.find("Position = 150"), std::string::npos) << Written;
    EXPECT_NE(Written.find("ModalResult = 1"), std::string::npos) << Written;
}

TEST(Controls, TextsConvertWithTheCodePageOfTheFontCharset)
{
    TForm Form(nullptr);
    auto* Label = Make<TLabel>(&Form, 8, 8, 200, 16);
    Label->Font()->SetCharset(RUSSIAN_CHARSET);
    Label->SetCaption("\xCF\xF0\xE8\xE2\xE5\xF2"); // CP1251
    EXPECT_EQ(TextOf(Label->Handle()), L"\u041F\u0440\u0438\u0432\u0435\u0442");
    // The same bytes in a Western charset are other letters.
    Label->Font()->SetCharset(ANSI_CHARSET);
    EXPECT_EQ(TextOf(Label->Handle()), L"\u00CF\u00F0\u00E8\u00E2\u00E5\u00F2");
    Label->Font()->SetCharset(DEFAULT_CHARSET);
    Label->SetCaption("Quorvane");
    EXPECT_EQ(TextOf(Label->Handle()), L"Quorvane");

    // The system paints the label in the label's colour.
    Label->SetColor(fw_Graphics::clWhite);
    fw_Handles::TWindowDC DC(Label->Handle());
    LOGBRUSH Brush{};
    GetObjectW(reinterpret_cast<HBRUSH>(
                   SendMessageW(Form.Handle(), WM_CTLCOLORSTATIC, WPARAM(DC.DC()), LPARAM(Label->Handle()))),
               sizeof Brush, &Brush);
    EXPECT_EQ(Brush.lbColor, RGB(255, 255, 255));

    // Typed Cyrillic comes back as CP1251 bytes; a caption set before the
    // window exists is converted when it is made.
    auto* Edit = new TEdit(&Form);
    Edit->Font()->SetCharset(RUSSIAN_CHARSET);
    Edit->SetText("\xC4\xE0");
    Edit->SetParent(&Form);
    Edit->SetBounds(8, 30, 200, 21);
    EXPECT_EQ(TextOf(Edit->Handle()), L"\u0414\u0430");
    Form.ShowForm();
    SendMessageW(Edit->Handle(), EM_SETSEL, 2, 2);
    Chars(Edit->Handle(), L"\u0416");
    EXPECT_EQ(Edit->Text(), "\xC4\xE0\xC6");
    EXPECT_EQ(Edit->WindowText(), "\xC4\xE0\xC6");

    auto* Caption = Make<TButton>(&Form, 8, 60, 75, 25);
    Caption->Font()->SetCharset(RUSSIAN_CHARSET);
    Caption->SetCaption("\xCE\xCA");
    EXPECT_EQ(TextOf(Caption->Handle()), L"\u041E\u041A");
}

TEST(Controls, EditReportsEveryKeystroke)
{
    TForm Form(nullptr);
    auto* Edit = Make<TEdit>(&Form, 8, 8, 200, 21);
    std::vector<std::string> Seen;
    Edit->OnChange = [&](fw_Classes::TObject* Sender) {
        EXPECT_EQ(Sender, Edit);
        Seen.push_back(Edit->Text());
    };
    Form.ShowForm();
    Edit->SetFocus();
    Chars(Edit->Handle(), L"D:\\Q");
    EXPECT_EQ(Seen, (std::vector<std::string>{"D", "D:", "D:\\", "D:\\Q"}));
    PostMessageW(Edit->Handle(), WM_CHAR, VK_BACK, 1);
    Application->ProcessMessages();
    EXPECT_EQ(Seen.back(), "D:\\");
}

TEST(Controls, ButtonModalResultEndsOnlyItsOwnForm)
{
    // A page embedded into a wizard: Next on the page sets the page's result,
    // and the wizard's modal loop goes on until its own button ends it.
    TForm Wizard(nullptr);
    Wizard.SetBounds(50, 50, 400, 300);
    auto* Page = new TForm(&Wizard);
    Page->SetParent(&Wizard);
    Page->SetBorderStyle(bsNone);
    Page->SetBounds(0, 0, 400, 200);
    Page->Show();
    auto* Next = Make<TButton>(Page, 300, 150, 75, 25);
    Next->SetModalResult(mrOk);
    int NextClicks = 0;
    Next->OnClick = [&](fw_Classes::TObject*) { ++NextClicks; };
    auto* Cancel = Make<TButton>(&Wizard, 300, 230, 75, 25);
    Cancel->SetModalResult(mrAbort);

    PostMessageW(Next->Handle(), BM_CLICK, 0, 0);
    PostMessageW(Cancel->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(Wizard.ShowModal(), mrAbort);
    EXPECT_EQ(NextClicks, 1);
    EXPECT_EQ(Page->ModalResult(), mrOk);
    EXPECT_EQ(GetParentForm(Next), Page);
    EXPECT_EQ(GetParentForm(Cancel), &Wizard);
}

TEST(Controls, KeyboardMovesAndPressesLikeADialog)
{
    // The destination page inside a wizard: tab order edit, Browse, Back,
    // Next, Cancel, whatever the order the controls were made in.
    TForm Wizard(nullptr);
    Wizard.SetBounds(60, 60, 480, 300);
    auto* Cancel = Make<TButton>(&Wizard, 368, 230, 89, 33);
    Cancel->SetCaption("Cancel");
    Cancel->SetCancel(true);
    Cancel->SetTabOrder(3);
    auto* Next = Make<TButton>(&Wizard, 288, 230, 75, 33);
    Next->SetCaption("Next >");
    Next->SetDefault(true);
    Next->SetTabOrder(2);
    auto* Back = Make<TButton>(&Wizard, 208, 230, 75, 33);
    Back->SetCaption("< Previous");
    Back->SetTabOrder(1);
    auto* Page = new TForm(&Wizard);
    Page->SetParent(&Wizard);
    Page->SetBorderStyle(bsNone);
    Page->SetBounds(0, 0, 480, 220);
    Page->SetTabOrder(0);
    Page->Show();
    auto* Prompt = Make<TLabel>(Page, 8, 8, 200, 16);
    Prompt->SetCaption("&Folder:");
    auto* Box = Make<TGroupBox>(Page, 8, 30, 320, 53);
    auto* Browse = Make<TButton>(Box, 224, 18, 89, 25);
    Browse->SetCaption("&Browse");
    Browse->SetTabOrder(1);
    auto* Edit = Make<TEdit>(Box, 8, 20, 209, 21);
    Edit->SetText("C:\\Quorvane");
    Edit->SetTabOrder(0);
    Prompt->SetFocusControl(Edit);
    auto* Hidden = Make<TButton>(Page, 8, 100, 75, 25);
    Hidden->SetCaption("&Hidden");
    Hidden->SetDefault(true);
    Hidden->Hide();

    std::vector<std::string> Pressed;
    for (TButton* B : {Cancel, Next, Back, Browse, Hidden})
        B->OnClick = [&Pressed, B](fw_Classes::TObject*) { Pressed.push_back(B->Caption()); };
    Wizard.ShowForm();
    Application->ProcessMessages();

    Edit->SetFocus();
    std::vector<HWND> Order;
    for (int I = 0; I < 5; ++I) {
        Key(GetFocus(), VK_TAB);
        Order.push_back(GetFocus());
    }
    EXPECT_EQ(Order,
              (std::vector<HWND>{Browse->Handle(), Back->Handle(), Next->Handle(), Cancel->Handle(), Edit->Handle()}));
    DWORD From = 1, To = 1;
    SendMessageW(Edit->Handle(), EM_GETSEL, WPARAM(&From), LPARAM(&To));
    EXPECT_EQ(From, 0u); // entered by Tab: all of it selected
    EXPECT_EQ(To, 11u);
    {
        TShiftDown Shift;
        Key(GetFocus(), VK_TAB);
    }
    EXPECT_EQ(GetFocus(), Cancel->Handle());
    EXPECT_TRUE(Pressed.empty());

    Edit->SetFocus();
    Key(Edit->Handle(), VK_RETURN); // the default button
    Back->SetFocus();
    Key(Back->Handle(), VK_RETURN); // the focused button
    Edit->SetFocus();
    Key(Edit->Handle(), VK_ESCAPE);
    PostMessageW(Edit->Handle(), WM_SYSCHAR, 'b', 1 << 29);
    Application->ProcessMessages();
    EXPECT_EQ(Pressed, (std::vector<std::string>{"Next >", "< Previous", "Cancel", "&Browse"}));
    EXPECT_EQ(Edit->Text(), "C:\\Quorvane"); // no key reached the edit

    Back->SetFocus();
    PostMessageW(Back->Handle(), WM_SYSCHAR, 'F', 1 << 29);
    Application->ProcessMessages();
    EXPECT_EQ(GetFocus(), Edit->Handle()); // the label's control

    // A memo keeps Enter for a new line.
    auto* Memo = Make<TMemo>(Page, 8, 120, 200, 60);
    Memo->SetFocus();
    Chars(Memo->Handle(), L"a");
    Key(Memo->Handle(), VK_RETURN);
    Chars(Memo->Handle(), L"b");
    EXPECT_EQ(Memo->Lines(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Pressed.size(), 4u);
}

namespace {
// A form that notes the commands that reach its own handling.
struct TCommandForm : TForm {
    using TForm::TForm;
    std::vector<HWND> Commands;
    LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L) override
    {
        if (Msg == WM_COMMAND)
            Commands.push_back(reinterpret_cast<HWND>(L));
        return TForm::WndProc(Msg, W, L);
    }
};
} // namespace

TEST(Controls, GroupBoxPassesItsChildrensCommandsOn)
{
    TCommandForm Form(nullptr);
    auto* Box = Make<TGroupBox>(&Form, 8, 8, 300, 100);
    auto* Button = Make<TButton>(Box, 10, 20, 75, 25);
    int Clicks = 0;
    Button->OnClick = [&](fw_Classes::TObject*) { ++Clicks; };
    auto* Check = Make<TCheckBox>(Box, 10, 50, 120, 17);
    bool CheckedWhenClicked = false;
    Check->OnClick = [&](fw_Classes::TObject*) { CheckedWhenClicked = Check->Checked(); };
    HWND Foreign = CreateWindowExW(0, L"BUTTON", L"foreign", WS_CHILD | WS_VISIBLE, 100, 20, 75, 25, Box->Handle(),
                                   nullptr, nullptr, nullptr);
    ASSERT_TRUE(Foreign);
    Form.ShowForm();
    for (HWND H : {Button->Handle(), Check->Handle(), Foreign})
        PostMessageW(H, BM_CLICK, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(Clicks, 1);
    EXPECT_TRUE(CheckedWhenClicked);
    EXPECT_TRUE(Check->Checked());
    EXPECT_EQ(Form.Commands, (std::vector<HWND>{Foreign})); // the framework's own went to their controls
}

TEST(Controls, OnAForeignWindowCommandsComeBackAndItsEndIsNoticed)
{
    // A window of no framework control, like a system dialog.
    HWND Dialog = CreateWindowExW(0, L"STATIC", L"dialog", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_TRUE(Dialog);
    TForm Owner(nullptr); // owns the controls, not their window
    auto* Create = new TButton(&Owner);
    Create->SetParentWindow(Dialog);
    Create->SetBounds(20, 130, 120, 23);
    Create->SetCaption("Create folder");
    auto* Path = new TEdit(&Owner);
    Path->SetParentWindow(Dialog);
    Path->SetBounds(20, 100, 200, 21);
    int Clicks = 0, Changes = 0, Ends = 0;
    Create->OnClick = [&](fw_Classes::TObject*) { ++Clicks; };
    Path->OnChange = [&](fw_Classes::TObject*) { ++Changes; };
    Create->OnParentWindowDestroyed = [&](fw_Classes::TObject*) { ++Ends; };
    Path->OnParentWindowDestroyed = [&](fw_Classes::TObject*) { ++Ends; };
    EXPECT_EQ(GetParent(Create->Handle()), Dialog);
    EXPECT_EQ(GetParent(Path->Handle()), Dialog);

    PostMessageW(Create->Handle(), BM_CLICK, 0, 0);
    Application->ProcessMessages();
    Chars(Path->Handle(), L"C:");
    EXPECT_EQ(Clicks, 1);
    EXPECT_EQ(Changes, 2);
    EXPECT_EQ(Path->Text(), "C:");

    DestroyWindow(Dialog);
    EXPECT_EQ(Ends, 2);
    EXPECT_EQ(Create->ParentWindow(), nullptr);
    EXPECT_FALSE(Create->HandleAllocated());
    EXPECT_FALSE(Path->HandleAllocated());
}

TEST(Controls, ImageCentresItsPictureAtNaturalSize)
{
    TForm Form(nullptr);
    auto* Image = Make<fw_ExtCtrls::TImage>(&Form, 10, 10, 40, 30);
    // The system fills the space around with the picture's top-left colour.
    Image->Picture()->Bitmap().SetData(SolidBitmap(10, 6, RGB(255, 0, 0), RGB(0, 255, 0)));
    Image->PictureChanged();
    Form.ShowForm();
    RECT R;
    GetClientRect(Image->Handle(), &R);
    EXPECT_EQ(R.right, 40); // the control keeps its size
    EXPECT_EQ(R.bottom, 30);
    EXPECT_TRUE(SendMessageW(Image->Handle(), STM_GETIMAGE, IMAGE_BITMAP, 0));

    fw_Handles::TWindowDC Screen(nullptr);
    HDC Mem = CreateCompatibleDC(Screen.DC());
    fw_Handles::TScopeExit FreeDC([Mem]() noexcept { DeleteDC(Mem); });
    fw_Handles::TGdiHandle<HBITMAP> Canvas(CreateCompatibleBitmap(Screen.DC(), 40, 30));
    fw_Handles::TSelectObject Select(Mem, Canvas.Get());
    SendMessageW(Image->Handle(), WM_PRINTCLIENT, WPARAM(Mem), PRF_CLIENT | PRF_ERASEBKGND);
    // 10 by 6 at (15, 12): not stretched, not at the corner.
    EXPECT_EQ(GetPixel(Mem, 15, 12), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(Mem, 16, 12), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(Mem, 24, 17), RGB(255, 0, 0));
    EXPECT_NE(GetPixel(Mem, 14, 12), RGB(255, 0, 0));
    EXPECT_NE(GetPixel(Mem, 25, 17), RGB(255, 0, 0));
    EXPECT_NE(GetPixel(Mem, 2, 2), RGB(255, 0, 0));
}

TEST(Controls, ProgressBarAndBitmapButton)
{
    TForm Form(nullptr);
    auto* Bar = Make<fw_ComCtrls::TProgressBar>(&Form, 8, 8, 176, 16);
    Bar->SetPosition(40);
    EXPECT_EQ(SendMessageW(Bar->Handle(), PBM_GETPOS, 0, 0), 40);
    Bar->SetPosition(250); // beyond Max
    EXPECT_EQ(SendMessageW(Bar->Handle(), PBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(Bar->Position(), 100);

    // A glyph of two images: only without a caption, and only the first.
    auto* Glyph = Make<TBitBtn>(&Form, 8, 40, 40, 30);
    Glyph->Glyph()->SetData(SolidBitmap(32, 16, RGB(0, 0, 255), RGB(0, 0, 255)));
    Glyph->SetNumGlyphs(2);
    HBITMAP Shown = reinterpret_cast<HBITMAP>(SendMessageW(Glyph->Handle(), BM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_TRUE(Shown);
    BITMAP Info{};
    GetObjectW(Shown, sizeof Info, &Info);
    EXPECT_EQ(Info.bmWidth, 16);
    EXPECT_TRUE(StyleOf(Glyph->Handle()) & BS_BITMAP);
    Glyph->SetCaption("Cancel");
    EXPECT_FALSE(SendMessageW(Glyph->Handle(), BM_GETIMAGE, IMAGE_BITMAP, 0));
    EXPECT_FALSE(StyleOf(Glyph->Handle()) & BS_BITMAP);
    EXPECT_EQ(TextOf(Glyph->Handle()), L"Cancel");
}

namespace {
// Types into the focused window of the input box once its loop runs.
std::wstring TypedText;
WPARAM FinalKey = VK_RETURN;
void CALLBACK TypeIntoInputBox(HWND, UINT, UINT_PTR Id, DWORD) noexcept
{
    HWND Focus = GetFocus();
    if (!Focus)
        return; // not shown yet
    KillTimer(nullptr, Id);
    SendMessageW(Focus, EM_SETSEL, 0, -1);
    for (wchar_t C : TypedText)
        SendMessageW(Focus, WM_CHAR, C, 1);
    PostMessageW(Focus, WM_KEYDOWN, FinalKey, 1);
}
} // namespace

TEST(Controls, InputQueryAnswersWhatWasTypedOrCancels)
{
    TypedText = L"New folder";
    FinalKey = VK_RETURN;
    SetTimer(nullptr, 0, 50, TypeIntoInputBox);
    std::string Value = "old";
    EXPECT_TRUE(InputQuery("Create folder", "Name:", Value));
    EXPECT_EQ(Value, "New folder");

    FinalKey = VK_ESCAPE;
    SetTimer(nullptr, 0, 50, TypeIntoInputBox);
    EXPECT_EQ(InputBox("Create folder", "Name:", "kept"), "kept");
}

TEST(Controls, TabControlAsksBeforeAndTellsAfterAChange)
{
    TForm Form(nullptr);
    auto* Tabs = Make<fw_ComCtrls::TTabControl>(&Form, 0, 0, 200, 30);
    Tabs->SetTabs({"Welcome", "Destination"});
    Tabs->SetTabIndex(0);
    bool Allow = false;
    std::vector<std::string> Events;
    Tabs->OnChanging = [&](fw_Classes::TObject*, bool& AllowChange) {
        Events.push_back("changing from " + std::to_string(Tabs->TabIndex()));
        AllowChange = Allow;
    };
    Tabs->OnChange = [&](fw_Classes::TObject*) { Events.push_back("now " + std::to_string(Tabs->TabIndex())); };
    // What the tab control tells its parent when the user picks a tab.
    auto Notify = [&](UINT Code) {
        NMHDR Header{Tabs->Handle(), 0, Code};
        return SendMessageW(Form.Handle(), WM_NOTIFY, 0, LPARAM(&Header));
    };
    EXPECT_EQ(Notify(TCN_SELCHANGING), TRUE); // refused
    Allow = true;
    EXPECT_EQ(Notify(TCN_SELCHANGING), FALSE);
    SendMessageW(Tabs->Handle(), TCM_SETCURSEL, 1, 0);
    Notify(TCN_SELCHANGE);
    EXPECT_EQ(Events, (std::vector<std::string>{"changing from 0", "changing from 0", "now 1"}));
    EXPECT_EQ(Tabs->TabIndex(), 1);
    EXPECT_THROW(Tabs->SetTabIndex(2), fw_SysUtils::ERangeError);
}
