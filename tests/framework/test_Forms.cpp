// Forms over real Win32 windows and the application's message handling.
#include "framework/fw_Forms.h"
#include "framework/fw_Reader.h"

#include <gtest/gtest.h>

using namespace fw_Forms;

namespace {

class TProbeForm : public TForm {
    FW_CLASS(TProbeForm, TForm)
public:
    using TForm::TForm;
};
FW_DEFINE_CLASS(TProbeForm, TForm, fw_Classes::CreateComponent<TProbeForm>, nullptr)

// Answers message boxes for the length of a test and keeps their texts.
struct TBoxes {
    std::vector<std::string> Texts;
    TBoxes()
    {
        Application->MessageBoxHook = [this](const std::string& Text, const std::string&, UINT) {
            Texts.push_back(Text);
            return IDOK;
        };
    }
    ~TBoxes() { Application->MessageBoxHook = nullptr; }
};

} // namespace

TEST(Forms, WindowFollowsTheFormsPropertiesAndActivates)
{
    fw_Classes::RegisterClass(&TProbeForm::StaticClass());
    TProbeForm Form(nullptr);
    fw_Reader::ReadComponentText(&Form, "object Probe: TProbeForm\n"
                                        "  Left = 251\n  Top = 181\n  Width = 696\n  Height = 480\n"
                                        "  Caption = 'Install Quorvane'\n  Color = clBtnFace\n"
                                        "  Font.Name = 'MS Sans Serif'\n  Font.Height = -11\nend\n");
    int Activations = 0;
    Form.OnActivate = [&](fw_Classes::TObject* Sender) {
        EXPECT_EQ(Sender, &Form);
        ++Activations;
    };
    Form.ShowForm();
    Application->ProcessMessages();
    HWND H = Form.Handle();
    char Text[64];
    GetWindowTextA(H, Text, sizeof Text);
    EXPECT_STREQ(Text, "Install Quorvane");
    RECT R;
    GetWindowRect(H, &R);
    EXPECT_EQ(R.left, 251);
    EXPECT_EQ(R.top, 181);
    EXPECT_EQ(R.right - R.left, 696);
    EXPECT_EQ(R.bottom - R.top, 480);
    EXPECT_TRUE(IsWindowVisible(H));
    EXPECT_GE(Activations, 1);
    EXPECT_TRUE(Form.Active());

    Form.SetWindowState(wsMaximized);
    Application->ProcessMessages();
    EXPECT_TRUE(IsZoomed(H));
    Form.SetCaption("Renamed");
    GetWindowTextA(H, Text, sizeof Text);
    EXPECT_STREQ(Text, "Renamed");
}

TEST(Forms, ModalLoopRunsUntilAResultIsSet)
{
    TForm Owner(nullptr);
    Owner.ShowForm();
    TForm Form(nullptr);
    Form.SetBounds(10, 10, 200, 100);
    int Shown = 0;
    Form.OnShow = [&](fw_Classes::TObject*) {
        ++Shown;
        EXPECT_FALSE(IsWindowEnabled(Owner.Handle())); // the rest of the program waits
    };
    PostMessageA(Form.Handle(), WM_CLOSE, 0, 0); // closing a modal form cancels it
    EXPECT_EQ(Form.ShowModal(), mrCancel);
    EXPECT_EQ(Shown, 1);
    EXPECT_FALSE(IsWindowVisible(Form.Handle()));
    EXPECT_TRUE(IsWindowEnabled(Owner.Handle()));
}

TEST(Application, ExceptionsGoToTheHookOrTheStandardDisplay)
{
    TBoxes Boxes;
    try {
        throw fw_SysUtils::Exception("Installation aborted by the user");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    try {
        throw fw_SysUtils::EAbort();
    } catch (...) {
        Application->HandleException(nullptr); // silent
    }
    EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{"Installation aborted by the user."}));

    std::string Seen;
    Application->OnException = [&](fw_Classes::TObject*, const fw_SysUtils::Exception& E) { Seen = E.Message(); };
    try {
        throw fw_SysUtils::EConvertError("bad");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    Application->OnException = nullptr;
    EXPECT_EQ(Seen, "bad");
    EXPECT_EQ(Boxes.Texts.size(), 1u);

    // An exception inside a window's message handling reaches the hook too.
    struct TThrowing : TForm {
        using TForm::TForm;
        LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L) override
        {
            if (Msg == WM_USER + 7)
                throw fw_SysUtils::Exception("from a message");
            return TForm::WndProc(Msg, W, L);
        }
    } Form(nullptr);
    SendMessageA(Form.Handle(), WM_USER + 7, 0, 0);
    EXPECT_EQ(Boxes.Texts.back(), "from a message.");
}
