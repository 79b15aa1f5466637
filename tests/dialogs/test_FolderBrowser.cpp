// The folder browser shown for real and driven from a thread timer, which
// runs inside whichever modal loop is on: the browser's or the name box's.
#include "dialogs/routines_FileSystem.h"
#include "framework/fw_Forms.h"
#include "framework/fw_Handles.h"
#include "framework/fw_SysUtils.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using fw_SysUtils::DirectoryExists;
using fw_SysUtils::SameText;
using routines_FileSystem::TOFDResourceStrings;
using routines_FileSystem::TOpenFolderDialog;
using test_support::TScratchDir;

namespace {

// A step acts on the open windows and answers whether the next may start;
// one that waits for something answers false until it is there.
using TStep = std::function<bool()>;

// Runs steps one after the other from a timer. Past a bound every window of
// the thread is closed so that a test that goes wrong still ends; Done()
// then tells it.
class TDriver {
public:
    explicit TDriver(std::vector<TStep> Steps) : FSteps(std::move(Steps))
    {
        Current = this;
        FTimer = SetTimer(nullptr, 0, 50, &Tick);
    }
    ~TDriver()
    {
        KillTimer(nullptr, FTimer);
        Current = nullptr;
    }
    TDriver(const TDriver&) = delete;
    TDriver& operator=(const TDriver&) = delete;

    bool Done() const { return FNext == FSteps.size(); }
    size_t StepsDone() const { return FNext; }

private:
    static constexpr int MaxTicks = 2400;
    static inline TDriver* Current = nullptr;

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        fw_Forms::CallbackBarrier<int>(nullptr, 0, [] {
            if (Current)
                Current->Step();
            return 0;
        });
    }
    void Step()
    {
        // A step that presses a button may start a modal loop, where the
        // timer comes again.
        if (FBusy)
            return;
        fw_Handles::TRestore<bool> Busy(FBusy, true);
        if (++FTicks > MaxTicks) {
            EnumThreadWindows(
                GetCurrentThreadId(),
                [](HWND Wnd, LPARAM) -> BOOL {
                    if (IsWindowVisible(Wnd))
                        PostMessageW(Wnd, WM_CLOSE, 0, 0);
                    return TRUE;
                },
                0);
            return;
        }
        if (FNext < FSteps.size() && FSteps[FNext]())
            ++FNext;
    }

    std::vector<TStep> FSteps;
    size_t FNext = 0;
    int FTicks = 0;
    bool FBusy = false;
    UINT_PTR FTimer = 0;
};

std::string TextOf(HWND Wnd)
{
    char Buf[1024] = {};
    GetWindowTextA(Wnd, Buf, sizeof Buf);
    return Buf;
}

RECT RectIn(HWND Parent, HWND Child)
{
    RECT R{};
    GetWindowRect(Child, &R);
    MapWindowPoints(HWND_DESKTOP, Parent, reinterpret_cast<POINT*>(&R), 2);
    return R;
}

// Waits for a browser window other than the one seen last.
TStep Opened(TOpenFolderDialog& Dialog, HWND& Seen)
{
    return [&Dialog, &Seen] {
        if (!Dialog.Window || Dialog.Window == Seen || !IsWindowVisible(Dialog.Window))
            return false;
        Seen = Dialog.Window;
        return true;
    };
}

TStep Press(std::function<HWND()> Button)
{
    return [Button] {
        PostMessageW(Button(), BM_CLICK, 0, 0);
        return true;
    };
}

TStep PressOk(TOpenFolderDialog& Dialog)
{
    return Press([&Dialog] { return Dialog.OkButton; });
}

TStep PressCancel(TOpenFolderDialog& Dialog)
{
    return Press([&Dialog] { return Dialog.CancelButton; });
}

TStep PressCreate(TOpenFolderDialog& Dialog)
{
    return Press([&Dialog] { return Dialog.CreateButton->Handle(); });
}

TStep Paste(TOpenFolderDialog& Dialog, std::string Text)
{
    return [&Dialog, Text] {
        SendMessageA(Dialog.PathEdit->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Text.c_str()));
        return true;
    };
}

// Puts Text into the path edit as a paste would, the last character typed.
TStep Type(TOpenFolderDialog& Dialog, std::string Text)
{
    return [&Dialog, Text] {
        HWND Edit = Dialog.PathEdit->Handle();
        SendMessageA(Edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Text.substr(0, Text.size() - 1).c_str()));
        SendMessageA(Edit, EM_SETSEL, Text.size(), Text.size());
        PostMessageA(Edit, WM_CHAR, WPARAM(static_cast<unsigned char>(Text.back())), 1);
        return true;
    };
}

// The window asking for the new folder's name.
HWND NameBox()
{
    std::string Caption = TOFDResourceStrings::CreateFolderCaption();
    std::erase(Caption, '&');
    struct TSearch {
        std::string Caption;
        HWND Found = nullptr;
    } Search{Caption};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND Wnd, LPARAM Data) -> BOOL {
            auto& S = *reinterpret_cast<TSearch*>(Data);
            if (IsWindowVisible(Wnd) && TextOf(Wnd) == S.Caption)
                S.Found = Wnd;
            return !S.Found;
        },
        reinterpret_cast<LPARAM>(&Search));
    return Search.Found;
}

// Answers the name box with Name and OK, once it is there.
TStep AnswerName(std::string Name)
{
    return [Name] {
        HWND Box = NameBox();
        if (!Box)
            return false;
        HWND Edit = FindWindowExA(Box, nullptr, "Edit", nullptr);
        HWND Ok = FindWindowExA(Box, nullptr, "Button", "OK");
        EXPECT_TRUE(Edit && Ok);
        SendMessageA(Edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Name.c_str()));
        PostMessageW(Ok, BM_CLICK, 0, 0);
        return true;
    };
}

// The text of the tree's selected item.
std::string SelectedItemText(HWND Tree)
{
    char Text[MAX_PATH] = {};
    TVITEMA Item{};
    Item.mask = TVIF_TEXT;
    Item.hItem = reinterpret_cast<HTREEITEM>(SendMessageA(Tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    Item.pszText = Text;
    Item.cchTextMax = MAX_PATH;
    SendMessageA(Tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Item));
    return Text;
}

// Whether Dir holds nothing.
bool Empty(const std::string& Dir)
{
    WIN32_FIND_DATAA FD;
    fw_Handles::TFindHandle H(FindFirstFileA((Dir + "\\*").c_str(), &FD));
    if (H)
        do {
            if (std::string(FD.cFileName) != "." && std::string(FD.cFileName) != "..")
                return false;
        } while (FindNextFileA(H.Get(), &FD));
    return true;
}

std::string EditText(TOpenFolderDialog& Dialog)
{
    return Dialog.PathEdit && Dialog.PathEdit->HandleAllocated() ? TextOf(Dialog.PathEdit->Handle()) : "";
}

} // namespace

TEST(FolderBrowser, OpensOnTheStartFolderWithAPathEditAndACreateButton)
{
    TScratchDir Root("browse");

    // Without the edit: the tree's own height, and the folder from the browser.
    TOpenFolderDialog Plain(nullptr);
    Plain.ShowPathEdit = false;
    Plain.Directory = Root.Path();
    HWND Seen = nullptr;
    int PlainTree = 0;
    bool PlainResult = false;
    {
        TDriver Driver({Opened(Plain, Seen),
                        [&] {
                            PlainTree = RectIn(Plain.Window, Plain.Tree).bottom;
                            return SameText(Plain.CurrentPath, Root.Path());
                        },
                        PressOk(Plain)});
        PlainResult = Plain.Execute();
        EXPECT_TRUE(Driver.Done()) << Driver.StepsDone();
    }
    EXPECT_TRUE(PlainResult) << Plain.CurrentPath;
    EXPECT_TRUE(SameText(Plain.Directory, Root.Path())) << Plain.Directory;

    TOpenFolderDialog Dialog(nullptr);
    Dialog.Directory = Root.Path();
    std::string Shown;
    RECT Tree{}, Edit{}, Create{};
    bool TreeKeepsSelection = false, CreateOnBrowser = false;
    bool Result = false;
    {
        TDriver Driver({Opened(Dialog, Seen),
                        [&] {
                            Shown = EditText(Dialog);
                            Tree = RectIn(Dialog.Window, Dialog.Tree);
                            Edit = RectIn(Dialog.Window, Dialog.PathEdit->Handle());
                            HWND Button = Dialog.CreateButton->Handle();
                            Create = RectIn(Dialog.Window, Button);
                            CreateOnBrowser = GetParent(Button) == Dialog.Window && IsWindowVisible(Button);
                            TreeKeepsSelection = GetWindowLongW(Dialog.Tree, GWL_STYLE) & TVS_SHOWSELALWAYS;
                            return true;
                        },
                        PressOk(Dialog)});
        Result = Dialog.Execute();
        EXPECT_TRUE(Driver.Done()) << Driver.StepsDone();
    }
    EXPECT_TRUE(Result);
    EXPECT_TRUE(SameText(Dialog.Directory, Root.Path())) << Dialog.Directory;
    EXPECT_TRUE(SameText(Shown, Root.Path())) << Shown;
    EXPECT_EQ(PlainTree - Tree.bottom, 60);
    EXPECT_EQ(Edit.top, Tree.bottom + 15);
    EXPECT_EQ(Edit.left, Tree.left);
    EXPECT_EQ(Edit.right, Tree.right);
    EXPECT_TRUE(CreateOnBrowser);
    EXPECT_EQ(Create.left, Tree.left);
    EXPECT_TRUE(TreeKeepsSelection);
    EXPECT_TRUE(Dialog.CreatedFolders().empty());
    // Nothing of the closed browser is kept.
    EXPECT_EQ(Dialog.PathEdit, nullptr);
    EXPECT_EQ(Dialog.CreateButton, nullptr);
    EXPECT_EQ(Dialog.Window, nullptr);
}

TEST(FolderBrowser, AMissingStartFolderSelectsItsDeepestFolderAndCancelKeepsIt)
{
    TScratchDir Root("browse");
    TOpenFolderDialog Dialog(nullptr);
    const std::string Start = Root / "gone\\deeper\\";
    Dialog.Directory = Start;
    HWND Seen = nullptr;
    std::string Selected, Shown;
    bool Result = true;
    {
        TDriver Driver({Opened(Dialog, Seen),
                        [&] {
                            Selected = Dialog.CurrentPath;
                            Shown = EditText(Dialog);
                            return true;
                        },
                        PressCancel(Dialog)});
        Result = Dialog.Execute();
        EXPECT_TRUE(Driver.Done()) << Driver.StepsDone();
    }
    EXPECT_FALSE(Result);
    EXPECT_EQ(Dialog.Directory, Start);
    EXPECT_TRUE(SameText(Selected, Root.Path())) << Selected;
    EXPECT_TRUE(SameText(Shown, Root.Path())) << Shown;
    EXPECT_FALSE(DirectoryExists(Root / "gone"));
    EXPECT_TRUE(Dialog.CreatedFolders().empty());
}

TEST(FolderBrowser, ATypedFolderIsMadeWhenConfirmed)
{
    TScratchDir Root("browse");
    TOpenFolderDialog Dialog(nullptr);
    ASSERT_TRUE(CreateDirectoryA((Root / "Sub").c_str(), nullptr));
    Dialog.Directory = Root / "Sub";
    const std::string Target = Root / "typed\\deep";
    HWND Seen = nullptr;
    std::string Shown, OnRoot, RootSelected;
    bool Result = false;
    {
        TDriver Driver({Opened(Dialog, Seen),
                        // An existing folder pasted moves the selection, and the
                        // browser's answer (without the backslash) leaves the
                        // text as it is.
                        Paste(Dialog, Root.Path() + "\\"), [&] { return Dialog.CurrentPath == Root.Path() + "\\"; },
                        [&] {
                            OnRoot = EditText(Dialog);
                            RootSelected = SelectedItemText(Dialog.Tree);
                            return true;
                        },
                        Type(Dialog, Target), [&] { return Dialog.CurrentPath == Target; },
                        [&] {
                            // The browser's answer to the typing left the text alone.
                            Shown = EditText(Dialog);
                            return true;
                        },
                        PressOk(Dialog)});
        Result = Dialog.Execute();
        EXPECT_TRUE(Driver.Done()) << Driver.StepsDone();
    }
    EXPECT_TRUE(Result);
    EXPECT_EQ(OnRoot, Root.Path() + "\\");
    EXPECT_TRUE(SameText(RootSelected, fw_SysUtils::ExtractFileName(Root.Path()))) << RootSelected;
    EXPECT_EQ(Shown, Target);
    EXPECT_EQ(Dialog.Directory, Target);
    EXPECT_TRUE(DirectoryExists(Target));
    EXPECT_EQ(Dialog.CreatedFolders(), (std::vector<std::string>{Root / "typed", Target}));
    EXPECT_TRUE(DirectoryExists(Root / "Sub"));
}

TEST(FolderBrowser, TheCreateButtonMakesAFolderAndOpensTheBrowserOnIt)
{
    TScratchDir Root("browse");
    TOpenFolderDialog Dialog(nullptr);
    Dialog.Directory = Root.Path();
    HWND Seen = nullptr;
    std::string Reopened, Shown, Typed;
    bool Result = false;
    {
        TDriver Driver({// An existing folder in the edit: a name is asked for the new one below it.
                        Opened(Dialog, Seen), PressCreate(Dialog), AnswerName("Made"), Opened(Dialog, Seen),
                        [&] {
                            Reopened = Dialog.CurrentPath;
                            Shown = EditText(Dialog);
                            return true;
                        },
                        // A folder typed that does not exist yet is made as it is.
                        Type(Dialog, Root / "Made\\Typed"), PressCreate(Dialog), Opened(Dialog, Seen),
                        [&] {
                            Typed = Dialog.CurrentPath;
                            EXPECT_EQ(NameBox(), nullptr);
                            return true;
                        },
                        PressOk(Dialog)});
        Result = Dialog.Execute();
        EXPECT_TRUE(Driver.Done()) << Driver.StepsDone();
    }
    EXPECT_TRUE(SameText(Reopened, Root / "Made")) << Reopened;
    EXPECT_TRUE(SameText(Shown, Root / "Made")) << Shown;
    EXPECT_TRUE(SameText(Typed, Root / "Made\\Typed")) << Typed;
    EXPECT_TRUE(Result);
    EXPECT_TRUE(SameText(Dialog.Directory, Root / "Made\\Typed")) << Dialog.Directory;
    EXPECT_TRUE(DirectoryExists(Root / "Made\\Typed"));
    ASSERT_EQ(Dialog.CreatedFolders().size(), 2u);
    EXPECT_TRUE(SameText(Dialog.CreatedFolders()[0], Root / "Made")) << Dialog.CreatedFolders()[0];
    EXPECT_TRUE(SameText(Dialog.CreatedFolders()[1], Root / "Made\\Typed")) << Dialog.CreatedFolders()[1];
}

TEST(FolderBrowser, ARefusedFolderIsNotMade)
{
    TScratchDir Root("browse");
    TOpenFolderDialog Dialog(nullptr);
    Dialog.Directory = Root.Path();
    int Asked = 0;
    fw_Classes::TObject* AskedBy = nullptr;
    Dialog.OnCreateFolder = [&](fw_Classes::TObject* Sender, bool& Allow) {
        ++Asked;
        AskedBy = Sender;
        Allow = false;
    };
    HWND Seen = nullptr, First = nullptr;
    bool StillOpen = false, Result = true;
    {
        TDriver Driver({Opened(Dialog, Seen), PressCreate(Dialog), [&] { return Asked == 1; },
                        [&] {
                            First = Seen;
                            StillOpen = Dialog.Window == First && IsWindowVisible(First) && !NameBox();
                            return true;
                        },
                        PressCancel(Dialog)});
        Result = Dialog.Execute();
        EXPECT_TRUE(Driver.Done()) << Driver.StepsDone();
    }
    EXPECT_EQ(Asked, 1);
    EXPECT_NE(AskedBy, nullptr);
    EXPECT_TRUE(StillOpen);
    EXPECT_FALSE(Result);
    EXPECT_EQ(Dialog.Directory, Root.Path());
    EXPECT_TRUE(Empty(Root.Path()));
    EXPECT_TRUE(Dialog.CreatedFolders().empty());
}

TEST(FolderBrowser, AFolderThatCannotBeMadeIsToldAndTheUserGoesOnChoosing)
{
    TScratchDir Root("browse");
    std::vector<std::string> Messages;
    fw_Handles::TRestore<fw_Forms::TMessageBoxHook> Hook(fw_Forms::Application->MessageBoxHook,
                                                         [&](const std::string& Text, const std::string&, UINT) {
                                                             Messages.push_back(Text);
                                                             return IDOK;
                                                         });
    TOpenFolderDialog Dialog(nullptr);
    Dialog.Directory = Root.Path();
    HWND Seen = nullptr, First = nullptr;
    bool StayedOpen = false;
    std::string Reopened;
    bool Result = true;
    {
        TDriver Driver({// A bad name from the create button: the same browser stays.
                        Opened(Dialog, Seen), PressCreate(Dialog), AnswerName("a|b"),
                        [&] { return Messages.size() == 1; },
                        [&] {
                            First = Seen;
                            StayedOpen = Dialog.Window == First && IsWindowVisible(First) && !Dialog.Restart;
                            return true;
                        },
                        // A bad typed path confirmed: the browser comes again.
                        Type(Dialog, Root / "x|y"), PressOk(Dialog), Opened(Dialog, Seen),
                        [&] {
                            Reopened = Dialog.CurrentPath;
                            return true;
                        },
                        PressCancel(Dialog)});
        Result = Dialog.Execute();
        EXPECT_TRUE(Driver.Done()) << Driver.StepsDone();
    }
    ASSERT_EQ(Messages.size(), 2u);
    EXPECT_NE(Messages[0].find("\\a|b\""), std::string::npos) << Messages[0];
    EXPECT_NE(Messages[1].find(Root / "x|y"), std::string::npos) << Messages[1];
    EXPECT_TRUE(StayedOpen);
    EXPECT_TRUE(SameText(Reopened, Root.Path())) << Reopened;
    EXPECT_FALSE(Result);
    EXPECT_EQ(Dialog.Directory, Root.Path());
    EXPECT_TRUE(Empty(Root.Path()));
    EXPECT_TRUE(Dialog.CreatedFolders().empty());
}
