// Forms over real Win32 windows and the application's message handling.
#include "framework/fw_Forms.h"
#include "framework/fw_Reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

using namespace fw_Forms;
using test_support::THookGuard;
using test_support::TScratchDir;

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
    THookGuard<TMessageBoxHook> Hook{Application->MessageBoxHook,
                                     [this](const std::string& Text, const std::string&, UINT) {
                                         Texts.push_back(Text);
                                         return IDOK;
                                     }};
};

// Ends a modal loop that a lost message would keep running until the test's
// timeout: when not dismissed within Ms it closes the window and notes it.
class TWatchdog {
public:
    TWatchdog(HWND Wnd, DWORD Ms)
        : FWnd(Wnd), FMs(Ms), FDone(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          FThread(CreateThread(nullptr, 0, &Watch, this, 0, nullptr))
    {
    }
    ~TWatchdog()
    {
        SetEvent(FDone.Get());
        WaitForSingleObject(FThread.Get(), INFINITE);
    }
    TWatchdog(const TWatchdog&) = delete;
    TWatchdog& operator=(const TWatchdog&) = delete;
    bool Fired() const { return FFired; }

private:
    static DWORD WINAPI Watch(LPVOID Data) noexcept
    {
        auto* Self = static_cast<TWatchdog*>(Data);
        if (WaitForSingleObject(Self->FDone.Get(), Self->FMs) == WAIT_TIMEOUT) {
            Self->FFired = true;
            PostMessageA(Self->FWnd, WM_CLOSE, 0, 0);
        }
        return 0;
    }
    HWND FWnd;
    DWORD FMs;
    std::atomic<bool> FFired{false};
    fw_Handles::THandle FDone;
    fw_Handles::THandle FThread;
};

// Runs the message loop until Done answers true or Ms milliseconds passed;
// answers whether Done came true.
template <class F>
bool PumpUntil(F&& Done, DWORD Ms)
{
    const ULONGLONG End = GetTickCount64() + Ms;
    while (!Done()) {
        const ULONGLONG Now = GetTickCount64();
        if (Now >= End)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(End - Now), QS_ALLINPUT);
        Application->ProcessMessages();
    }
    return true;
}

// A form whose window procedure throws what Raise throws on WM_USER + 7.
struct TThrowing : TForm {
    using TForm::TForm;
    std::function<void()> Raise;
    LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L) override
    {
        if (Msg == WM_USER + 7)
            Raise();
        return TForm::WndProc(Msg, W, L);
    }
};

// The text written to the process's standard error handle while it lives.
class TStdErrCapture {
public:
    TStdErrCapture() : FDir("stderr"), FOld(GetStdHandle(STD_ERROR_HANDLE))
    {
        FFile.Reset(CreateFileA((FDir / "err.txt").c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        SetStdHandle(STD_ERROR_HANDLE, FFile.Get());
    }
    ~TStdErrCapture() { SetStdHandle(STD_ERROR_HANDLE, FOld); }
    std::string Text() const
    {
        std::string S(GetFileSize(FFile.Get(), nullptr), '\0');
        DWORD Read = 0;
        SetFilePointer(FFile.Get(), 0, nullptr, FILE_BEGIN);
        ReadFile(FFile.Get(), S.data(), DWORD(S.size()), &Read, nullptr);
        S.resize(Read);
        return S;
    }

private:
    TScratchDir FDir;
    HANDLE FOld;
    fw_Handles::THandle FFile;
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
    bool ActiveWhenTold = false;
    Form.OnActivate = [&](fw_Classes::TObject* Sender) {
        EXPECT_EQ(Sender, &Form);
        ActiveWhenTold = Form.Active();
        ++Activations;
    };
    Form.ShowForm();
    // The display is shared with the other tests' programs: the activation
    // may come late on a busy machine, and another program may take the
    // focus right after it. Wait for the event itself, not for a moment.
    EXPECT_TRUE(PumpUntil([&] { return Activations >= 1; }, 10000));
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
    EXPECT_TRUE(ActiveWhenTold);

    Form.SetWindowState(wsMaximized);
    Application->ProcessMessages();
    EXPECT_TRUE(IsZoomed(H));
    Form.SetCaption("Renamed");
    GetWindowTextA(H, Text, sizeof Text);
    EXPECT_STREQ(Text, "Renamed");
}

TEST(Forms, AFormWithoutWindowKeepsItsSizeThroughItsProject)
{
    fw_Classes::RegisterClass(&TProbeForm::StaticClass());
    std::string Text;
    {
        TProbeForm Form(nullptr);
        Form.SetName("Probe");
        Form.SetBounds(251, 181, 696, 480);
        Form.SetClientHeight(453);
        EXPECT_EQ(Form.ClientHeight(), 453);
        Form.SetClientWidth(688);
        EXPECT_EQ(Form.ClientWidth(), 688);
        Text = fw_Reader::WriteComponentText(&Form);
        EXPECT_FALSE(Form.HandleAllocated());
    }
    // Read and written again, the form is as large as before.
    TProbeForm Again(nullptr);
    fw_Reader::ReadComponentText(&Again, Text);
    EXPECT_EQ(fw_Reader::WriteComponentText(&Again), Text);
    EXPECT_EQ(Again.ClientHeight(), 453);
    EXPECT_EQ(Again.ClientWidth(), 688);
    // With its window the client area is the window's own.
    RECT R;
    GetClientRect(Again.Handle(), &R);
    EXPECT_EQ(Again.ClientHeight(), R.bottom);
    EXPECT_EQ(Again.ClientWidth(), R.right);
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
    TWatchdog Dog(Form.Handle(), 10000);
    EXPECT_EQ(Form.ShowModal(), mrCancel);
    EXPECT_FALSE(Dog.Fired()) << "the modal loop missed its WM_CLOSE and was ended by the watchdog";
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

    {
        std::string Seen;
        THookGuard<TExceptionEvent> Hook(
            Application->OnException,
            [&](fw_Classes::TObject*, const fw_SysUtils::Exception& E) { Seen = E.Message(); });
        try {
            throw fw_SysUtils::EConvertError("bad");
        } catch (...) {
            Application->HandleException(nullptr);
        }
        EXPECT_EQ(Seen, "bad");
    }
    EXPECT_EQ(Boxes.Texts.size(), 1u);

    // An exception inside a window's message handling reaches the hook too,
    // whatever its type, and the window goes on.
    TThrowing Form(nullptr);
    Form.Raise = [] { throw fw_SysUtils::Exception("from a message"); };
    EXPECT_EQ(SendMessageA(Form.Handle(), WM_USER + 7, 0, 0), 0);
    EXPECT_EQ(Boxes.Texts.back(), "from a message.");
    Form.Raise = [] { throw std::runtime_error("from the library"); };
    SendMessageA(Form.Handle(), WM_USER + 7, 0, 0);
    EXPECT_EQ(Boxes.Texts.back(), "from the library.");
    Form.Raise = [] { throw 42; };
    SendMessageA(Form.Handle(), WM_USER + 7, 0, 0);
    EXPECT_EQ(Boxes.Texts.back(), "Unknown exception.");
    Form.Raise = [] { throw fw_SysUtils::EAbort(); };
    SendMessageA(Form.Handle(), WM_USER + 7, 0, 0);
    EXPECT_EQ(Boxes.Texts.size(), 4u); // the silent abort shows nothing
    Form.SetCaption("still answering");
    char Text[32];
    GetWindowTextA(Form.Handle(), Text, sizeof Text);
    EXPECT_STREQ(Text, "still answering");
}

TEST(Application, AFailingExceptionDisplayEndsOnStandardError)
{
    TStdErrCapture Err;
    THookGuard<TMessageBoxHook> Boxes(
        Application->MessageBoxHook,
        [](const std::string&, const std::string&, UINT) -> int { throw std::runtime_error("no display"); });
    TThrowing Form(nullptr);
    Form.Raise = [] { throw fw_SysUtils::Exception("lost message"); };
    EXPECT_EQ(SendMessageA(Form.Handle(), WM_USER + 7, 0, 0), 0); // the neutral answer, nothing escapes
    std::string Text = Err.Text();
    EXPECT_NE(Text.find("lost message\n"), std::string::npos) << Text;
    EXPECT_NE(Text.find("no display\n"), std::string::npos) << Text;

    // A failing hook ends the same way.
    THookGuard<TExceptionEvent> Hook(Application->OnException, [](fw_Classes::TObject*, const fw_SysUtils::Exception&) {
        throw fw_SysUtils::Exception("hook failed");
    });
    SendMessageA(Form.Handle(), WM_USER + 7, 0, 0);
    EXPECT_NE(Err.Text().find("hook failed\n"), std::string::npos) << Err.Text();
}
