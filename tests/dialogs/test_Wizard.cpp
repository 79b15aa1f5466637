// The dialog managers, the wizard window and the installer's pages, shown as
// real windows and driven from a timer the way a user would: clicks, typed
// characters, Escape and the system's close.
#include "dialogs/dialogs_Start.h"
#include "dialogs/dlgcmp_TBaseContainer.h"
#include "dialogs/dlgcmp_TBaseDlg.h"
#include "dialogs/ordlg_CopyFile.h"
#include "dialogs/ordlg_SelectDestination.h"
#include "dialogs/ordlg_WelcomeDlg.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TPathSpecifier.h"
#include "framework/fw_Reader.h"
#include "routines/exceptions_Wendrel.h"
#include "test_support.h"
#include "translate/cmp_TTranslator.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <set>

namespace {

using namespace dlgcmp_TBaseDlg;
using dlgcmp_TBaseContainer::TBaseFormContainer;
using exceptions_Wendrel::EAIUserAbort;
using fw_Forms::Application;
using test_support::Raises;
using test_support::THookGuard;

template <class T>
using TOwned = std::unique_ptr<T, fw_Classes::TComponentDeleter>;

// The wizard window shown now, nil when none.
TBaseFormContainer* ShownWizard()
{
    for (int I = 0; I < Application->ComponentCount(); ++I)
        if (auto* W = dynamic_cast<TBaseFormContainer*>(Application->Components(I)))
            if (W->HandleAllocated() && IsWindowVisible(W->Handle()))
                return W;
    return nullptr;
}

TBaseInstallForm* CurrentPage()
{
    TBaseFormContainer* W = ShownWizard();
    if (!W || W->Tabs->TabIndex() < 0)
        return nullptr;
    return W->Pages().at(size_t(W->Tabs->TabIndex()));
}

HWND ButtonOf(TComponent* Form, const char* Name)
{
    return static_cast<fw_Forms::TWinControl*>(Form->FindComponent(Name))->Handle();
}

bool Shown(TComponent* Form, const char* Name) { return IsWindowVisible(ButtonOf(Form, Name)) != FALSE; }

// Steps run one after the other from a timer while a modal window runs; a
// step answers True when it is done. A script that hangs aborts the wizard.
class TScript {
public:
    using TStep = std::function<bool()>;
    explicit TScript(std::deque<TStep> Steps) : FSteps(std::move(Steps))
    {
        Current = this;
        FTimer = SetTimer(nullptr, 0, 30, Tick);
    }
    ~TScript()
    {
        KillTimer(nullptr, FTimer);
        Current = nullptr;
    }
    bool Finished() const { return FSteps.empty(); }
    bool TimedOut = false;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        TScript* S = Current;
        if (!S || S->FBusy || S->FSteps.empty())
            return;
        S->FBusy = true;
        if (S->FSteps.front()()) {
            S->FSteps.pop_front();
            S->FTicks = 0;
        } else if (++S->FTicks > 400) {
            S->TimedOut = true;
            S->FSteps.clear();
            if (TBaseFormContainer* W = ShownWizard())
                W->SetModalResult(dlgcmp_TBaseContainer::mrWizardAbort);
        }
        S->FBusy = false;
    }
    static inline TScript* Current = nullptr;
    std::deque<TStep> FSteps;
    UINT_PTR FTimer = 0;
    int FTicks = 0;
    bool FBusy = false;
};

// A step that waits for the wizard to show the page with Caption.
TScript::TStep PageIs(std::string Caption)
{
    return [Caption] {
        TBaseFormContainer* W = ShownWizard();
        return W && W->Caption() == Caption;
    };
}

TScript::TStep Click(const char* Name)
{
    return [Name] {
        if (TBaseInstallForm* Page = CurrentPage())
            PostMessageW(ButtonOf(Page, Name), BM_CLICK, 0, 0);
        return true;
    };
}

TScript::TStep Check(std::function<void()> Body)
{
    return [Body] {
        Body();
        return true;
    };
}

// A page of the tests' own: its caption names it; the test chooses its
// order and whether it is skipped.
const char* TestPageText = R"(object TestPage: TTestPage
  BorderStyle = bsDialog
  ClientHeight = 368
  ClientWidth = 470
  object BackBtn: TButton
    Left = 208
    Top = 331
    Caption = '< Previous'
  end
  object ProceedBtn: TButton
    Left = 288
    Top = 331
    Caption = 'Next >'
  end
  object CancelBtn: TButton
    Left = 368
    Top = 331
    Caption = 'Cancel'
    Cancel = True
  end
end
)";

class TTestPage : public TBaseInstallForm {
    FW_CLASS(TTestPage, TBaseInstallForm)

public:
    explicit TTestPage(TComponent* AOwner) : TBaseInstallForm(AOwner)
    {
        LoadLayout(TestPageText);
        BindWizardButtons();
        SetDM(FindDialogManager(dmReboot));
        SetCaption(Made.front().first);
        Order = Made.front().second;
        Made.push_back(Made.front());
        Made.pop_front();
    }
    bool SkipPage() override { return Skipped.count(Caption()) > 0; }
    void UpdatePage() override
    {
        static_cast<fw_Forms::TControl*>(FindComponent("BackBtn"))->SetVisible(!IsFirstPage());
    }

    // The captions and orders of the pages in the order they are made.
    static inline std::deque<std::pair<std::string, int>> Made;
    static inline std::set<std::string> Skipped;
};

FW_DEFINE_CLASS(TTestPage, TBaseInstallForm, fw_Classes::CreateComponent<TTestPage>, nullptr)

class Wizard : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialogs_Start::StartDialogUnits();
        fw_Classes::RegisterClass(&TTestPage::StaticClass());
        auto* Own = Make<cmp_TPathSpecifier::TPathSpecifier>("psOwn");
        std::string Folder = Dir.Path();
        Own->OnGetPath = [Folder](const fw_Classes::TComponent*, std::string& P) { P = Folder; };
        Root = Make<cmp_TInstall::TInstall>("Install1");
        Root->SetDestDirType(Own);
        Root->SetDestDir("\\Quorvane");
        Root->OnUserAbort = [this](fw_Classes::TObject*, bool& Quit) {
            ++AbortQuestions;
            Quit = AbortAnswer;
        };
    }

    template <class T>
    T* Make(const std::string& Name)
    {
        T* C = new T(Owner.get());
        C->SetName(Name);
        return C;
    }

    TDialogManager* Manager(TManagerType Type, const std::string& Name)
    {
        auto* M = Make<TDialogManager>(Name);
        M->ManagerType = Type;
        M->SetContainer(Root);
        return M;
    }

    test_support::TScratchDir Dir{"wizard"};
    TOwned<fw_Forms::TForm> Owner{new fw_Forms::TForm(nullptr)};
    cmp_TInstall::TInstall* Root = nullptr;
    int AbortQuestions = 0;
    bool AbortAnswer = false;
};

} // namespace

TEST(WizardPlacement, DialogsRoundTheCentreAndTheWizardTruncatesIt)
{
    auto Place = [](TWendrelDialogPosition P, int L, int T, int W, int H, int SW, TCentreRounding R) {
        RECT Rect = PlaceWindow(P, L, T, W, H, SW, 768, 19, R);
        return std::make_pair(Rect.left, Rect.top);
    };
    using R = TCentreRounding;
    // Offsets count inward from the anchoring edges.
    EXPECT_EQ(Place(wdpBottomRight, 10, 20, 474, 146, 1024, R::Round), std::make_pair(540L, 583L));
    EXPECT_EQ(Place(wdpTopLeft, 10, 20, 474, 146, 1024, R::Round), std::make_pair(10L, 20L));
    EXPECT_EQ(Place(wdpCenterRight, 10, 20, 474, 146, 1024, R::Round), std::make_pair(540L, 331L));
    EXPECT_EQ(Place(wdpBottomCenter, 0, 30, 474, 146, 1024, R::Round), std::make_pair(275L, 573L));
    // Halves go to the even neighbour for dialogs, toward zero for the wizard.
    EXPECT_EQ(Place(wdpCenter, 0, 0, 475, 146, 1025, R::Round).first, 275);
    EXPECT_EQ(Place(wdpCenter, 0, 0, 474, 146, 1025, R::Round).first, 276);
    EXPECT_EQ(Place(wdpCenter, 0, 0, 474, 146, 1025, R::Truncate).first, 275);
    EXPECT_EQ(Place(wdpCenter, 0, 0, 478, 395, 1024, R::Truncate), std::make_pair(273L, 186L));
}

TEST_F(Wizard, PagesComeSortedSkippedPagesArePassedAndCancelAsksFirst)
{
    TDialogManager* M = Manager(dmReboot, "RebootManager");
    TTestPage::Made = {{"A", 5}, {"B", 5}, {"C", 1}};
    TTestPage::Skipped.clear();
    std::vector<TBIFEntry*> Entries;
    for (int I = 0; I < 3; ++I)
        Entries.push_back(RegisterInstallForm(&TTestPage::StaticClass(), nullptr, 0));
    fw_Handles::TScopeExit Unregister([&] {
        for (TBIFEntry* E : Entries)
            RemoveInstallForm(E);
    });

    // The exchange sort gives C, B, A; Next past the last page confirms.
    std::vector<std::string> Seen;
    auto Record = [&](const char* Caption) {
        return [&Seen, Caption, Wait = PageIs(Caption)] {
            if (!Wait())
                return false;
            Seen.push_back(Caption);
            return true;
        };
    };
    {
        TScript S({Record("C"), Check([] {
                       EXPECT_TRUE(ShownWizard()->IsFirstPage());
                       // The system's close and Alt+F4 do nothing.
                       PostMessageW(ShownWizard()->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
                       PostMessageW(ShownWizard()->Handle(), WM_CLOSE, 0, 0);
                   }),
                   Click("ProceedBtn"), Record("B"), Click("BackBtn"), Record("C"), Click("ProceedBtn"), Record("B"),
                   Click("ProceedBtn"), Record("A"), Check([] { EXPECT_TRUE(ShownWizard()->IsLastPage()); }),
                   Click("ProceedBtn")});
        EXPECT_NO_THROW(M->HandleInformation(Root, -987, nullptr));
        EXPECT_TRUE(S.Finished() && !S.TimedOut);
    }
    EXPECT_EQ(Seen, (std::vector<std::string>{"C", "B", "C", "B", "A"}));
    EXPECT_EQ(ShownWizard(), nullptr);
    EXPECT_EQ(CurrentDialogManager, nullptr);

    // A skipped page is passed over both ways and does not count as a first
    // page; Cancel asks the install root, and "no" keeps the page.
    TTestPage::Skipped = {"C"};
    Seen.clear();
    {
        TScript S({Record("B"), Check([] { EXPECT_TRUE(ShownWizard()->IsFirstPage()); }), Click("BackBtn"),
                   Click("ProceedBtn"), Record("A"), Click("BackBtn"), Record("B"), Click("CancelBtn"),
                   Check([&] { EXPECT_EQ(AbortQuestions, 1); }), PageIs("B"), Check([&] { AbortAnswer = true; }),
                   Click("CancelBtn")});
        EXPECT_THROW(M->ShowDialogs(), EAIUserAbort);
        EXPECT_TRUE(S.Finished() && !S.TimedOut);
    }
    EXPECT_EQ(Seen, (std::vector<std::string>{"B", "A", "B"}));
    EXPECT_EQ(AbortQuestions, 2);
    EXPECT_EQ(ShownWizard(), nullptr);
    EXPECT_EQ(CurrentDialogManager, nullptr);

    // A moment without pages shows nothing; a page of another manager stays out.
    TDialogManager* Other = Manager(dmAfterGoodInstall, "GoodManager");
    EXPECT_NO_THROW(Other->ShowDialogs());
    EXPECT_TRUE(Raises<fw_SysUtils::Exception>(
        [] {
            TOwned<TBaseFormContainer> W(new TBaseFormContainer(Application));
            W->LoadPages();
        },
        "The current dialog manager is not defined"));
}

TEST_F(Wizard, WelcomeAndDestinationWriteTheTypedFolderBack)
{
    TDialogManager* M = Manager(dmBeforeInstall, "DialogManager");
    auto* Welcome = Make<ordlg_WelcomeDlg::TWelcomeDlg>("WelcomeDlg");
    Welcome->SetContainer(Root);
    Welcome->SetDialogManager(M);
    const std::string Start = Root->GetFullDestDir();
    std::vector<std::string> Problems;
    THookGuard<fw_Forms::TMessageBoxHook> Boxes(Application->MessageBoxHook,
                                                [&](const std::string& Text, const std::string&, UINT) {
                                                    Problems.push_back(Text);
                                                    return IDOK;
                                                });
    auto Edit = [] { return static_cast<fw_StdCtrls::TEdit*>(CurrentPage()->FindComponent("edDestDir")); };
    auto Type = [](const std::wstring& Text) {
        return [Text] {
            HWND E = static_cast<fw_Forms::TWinControl*>(CurrentPage()->FindComponent("edDestDir"))->Handle();
            SendMessageW(E, EM_SETSEL, 0, -1);
            for (wchar_t C : Text)
                SendMessageW(E, WM_CHAR, C, 1);
            return true;
        };
    };
    const std::string Typed = Dir / "Chosen Folder";
    {
        TScript S({PageIs("Welcome"),
                   Check([] {
                       EXPECT_FALSE(Shown(CurrentPage(), "BackBtn"));
                       EXPECT_EQ(GetFocus(), ButtonOf(CurrentPage(), "ProceedBtn"));
                   }),
                   Click("ProceedBtn"),
                   PageIs("Choose Destination Location"),
                   Check([&] {
                       TBaseInstallForm* Page = CurrentPage();
                       EXPECT_TRUE(Shown(Page, "BackBtn"));
                       EXPECT_EQ(Edit()->Text(), Start);
                       // Filling the edit is no choice of the user's.
                       EXPECT_NE(Root->DestDirType(), nullptr);
                       std::vector<fw_Forms::TWinControl*> Stops;
                       Page->GetTabOrderList(Stops);
                       std::vector<std::string> Names;
                       for (auto* C : Stops)
                           Names.push_back(C->Name());
                       EXPECT_EQ(Names, (std::vector<std::string>{"edDestDir", "BrowseBtn", "BackBtn", "ProceedBtn",
                                                                  "CancelBtn"}));
                   }),
                   Type(L"Quorvane"),
                   Check([&] {
                       EXPECT_EQ(Root->DestDirType(), nullptr);
                       EXPECT_EQ(Root->DestDir(), "Quorvane");
                   }),
                   Click("ProceedBtn"),
                   PageIs("Choose Destination Location"),
                   Check([&] {
                       ASSERT_EQ(Problems.size(), 1u);
                       EXPECT_NE(Problems[0].find("is not a full path"), std::string::npos) << Problems[0];
                   }),
                   Type(L"C:\\a|b"),
                   Click("ProceedBtn"),
                   PageIs("Choose Destination Location"),
                   Type(std::wstring(Typed.begin(), Typed.end())),
                   Check([&] {
                       EXPECT_EQ(Problems.size(), 2u);
                       EXPECT_EQ(Root->GetFullDestDir(), Typed);
                   }),
                   Click("BackBtn"),
                   PageIs("Welcome"),
                   Click("ProceedBtn"),
                   PageIs("Choose Destination Location"),
                   Check([&] { EXPECT_EQ(Edit()->Text(), Typed); }),
                   Click("ProceedBtn")});
        EXPECT_NO_THROW(M->HandleInformation(Root, -980, nullptr));
        EXPECT_TRUE(S.Finished() && !S.TimedOut);
    }
    EXPECT_EQ(Root->GetFullDestDir(), Typed);
    EXPECT_EQ(ordlg_SelectDestination::TSelectDestinationForm::DestinationProblem(""),
              "Please enter the folder to install into.");
    EXPECT_EQ(ordlg_SelectDestination::TSelectDestinationForm::DestinationProblem("\\\\server\\share\\Quorvane"), "");
    EXPECT_NE(ordlg_SelectDestination::TSelectDestinationForm::DestinationProblem("C:\\" + std::string(250, 'x')), "");

    // Escape on the destination page is its Cancel.
    AbortAnswer = true;
    {
        TScript S({PageIs("Welcome"), Click("ProceedBtn"), PageIs("Choose Destination Location"), [] {
                       PostMessageW(ButtonOf(CurrentPage(), "ProceedBtn"), WM_KEYDOWN, VK_ESCAPE, 1);
                       return true;
                   }});
        EXPECT_THROW(M->ShowDialogs(), EAIUserAbort);
        EXPECT_TRUE(S.Finished() && !S.TimedOut);
    }
}

TEST_F(Wizard, PagesShownByThemselvesEndByTheirButtons)
{
    auto* Welcome = Make<ordlg_WelcomeDlg::TWelcomeDlg>("WelcomeDlg");
    auto* Good = Make<ordlg_WelcomeDlg::TGoodInstallationDlg>("GoodInstallationDlg");
    Welcome->SetContainer(Root);
    Good->SetContainer(Root);
    auto Standalone = [](const char* Caption) {
        return [Caption] {
            HWND W = FindWindowW(nullptr, std::wstring(Caption, Caption + strlen(Caption)).c_str());
            return W && IsWindowVisible(W);
        };
    };
    auto PressIn = [](const char* Caption, UINT Msg, WPARAM Key) {
        return [Caption, Msg, Key] {
            HWND W = FindWindowW(nullptr, std::wstring(Caption, Caption + strlen(Caption)).c_str());
            HWND Focus = GetFocus();
            PostMessageW(Focus && IsChild(W, Focus) ? Focus : W, Msg, Key, 1);
            return true;
        };
    };
    // Without a manager the dialog shows its page on its own code; Next ends it.
    {
        TScript S({Standalone("Welcome"), PressIn("Welcome", WM_KEYDOWN, VK_RETURN)});
        EXPECT_NO_THROW(Welcome->HandleInformation(Root, ordlg_WelcomeDlg::WelcomeCode, nullptr));
        EXPECT_TRUE(S.Finished() && !S.TimedOut);
    }
    // Escape cancels once the install root agrees.
    AbortAnswer = true;
    {
        TScript S({Standalone("Welcome"), PressIn("Welcome", WM_KEYDOWN, VK_ESCAPE)});
        EXPECT_THROW(Welcome->HandleInformation(Root, ordlg_WelcomeDlg::WelcomeCode, nullptr), EAIUserAbort);
        EXPECT_TRUE(S.Finished() && !S.TimedOut);
    }
    EXPECT_EQ(Welcome->Form, nullptr);
    // After the outcome any close is as good as Finish.
    {
        TScript S({Standalone("Setup complete"), [] {
                       PostMessageW(FindWindowW(nullptr, L"Setup complete"), WM_CLOSE, 0, 0);
                       return true;
                   }});
        EXPECT_NO_THROW(Good->HandleInformation(Root, ordlg_WelcomeDlg::GoodInstallCode, nullptr));
        EXPECT_TRUE(S.Finished() && !S.TimedOut);
    }
}

TEST_F(Wizard, CopyWindowFollowsTheStatusesAndCancelStopsTheExtraction)
{
    TDialogManager* M = Manager(dmDuringCopyFiles, "DialogManager3");
    cmp_TInstallContainer::TFileStatusParameter File;
    cmp_TInstallContainer::TDownloadStatusParameter Download;
    // Wrong parameters name the manager.
    EXPECT_TRUE(Raises<exceptions_Wendrel::IException>([&] { M->HandleInformation(Root, -998, nullptr); },
                                                       "DialogManager3 got a nil PO parameter"));
    EXPECT_TRUE(Raises<exceptions_Wendrel::IException>(
        [&] { M->HandleInformation(Root, -998, &Download); },
        "The PO object passed to DialogManager3 is not a TFileStatusParameter object"));
    EXPECT_TRUE(Raises<exceptions_Wendrel::IException>(
        [&] { M->HandleInformation(Root, -988, &File); },
        "The PO object passed to DialogManager3 is not a TDownloadStatusParameter object"));
    EXPECT_TRUE(Raises<fw_SysUtils::Exception>([&] { M->AddDialog(nullptr); },
                                               "Cannot add a NIL Dialog to the Dialog Manager DialogManager3"));

    auto* Copy = Make<ordlg_CopyFile::TCopyFileDlg>("CopyFileDlg");
    Copy->SetContainer(Root);
    Copy->SetDialogManager(M);
    File.FileName = "Ombo_Teskor.exe";
    File.PercentDone = 10;
    File.TotalPercentDone = 5;
    M->HandleInformation(Root, -998, &File);
    ASSERT_EQ(M->DuringCopyForms().size(), 1u);
    auto* Form = static_cast<ordlg_CopyFile::TCopyFileForm*>(M->DuringCopyForms()[0]);
    EXPECT_TRUE(IsWindowVisible(Form->Handle()));
    EXPECT_EQ(Form->Caption(), "Copying installation files");
    RECT R;
    GetWindowRect(Form->Handle(), &R);
    const int W = GetSystemMetrics(SM_CXSCREEN), H = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(R.left, PlaceWindow(wdpBottomCenter, 0, 30, 474, 146, W, H, GetSystemMetrics(SM_CYCAPTION),
                                  TCentreRounding::Round)
                          .left);
    EXPECT_EQ(R.bottom - R.top, 146);
    EXPECT_EQ(Form->lblCopyingFile->Caption(), "Ombo_Teskor.exe");
    EXPECT_EQ(SendMessageW(Form->ProgressBar1->Handle(), PBM_GETPOS, 0, 0), 10);
    EXPECT_EQ(SendMessageW(Form->ProgressBar2->Handle(), PBM_GETPOS, 0, 0), 5);
    EXPECT_EQ(Form->Repaints(), 1); // a new file shows at once

    // A download moves only the file bar and shows the transfer picture.
    Download.FileName = "files.1";
    Download.PercentDone = 40;
    M->HandleInformation(Root, -988, &Download);
    EXPECT_TRUE(IsWindowVisible(Form->TransferBitmap->Handle()));
    EXPECT_EQ(SendMessageW(Form->ProgressBar1->Handle(), PBM_GETPOS, 0, 0), 40);
    EXPECT_EQ(SendMessageW(Form->ProgressBar2->Handle(), PBM_GETPOS, 0, 0), 5);
    M->HandleInformation(Root, -998, &File);
    EXPECT_FALSE(IsWindowVisible(Form->TransferBitmap->Handle()));

    // Statuses of one file do not each repaint; its end does.
    const int Before = Form->Repaints();
    for (int I = 0; I < 200; ++I) {
        File.PercentDone = 11 + I % 80;
        M->HandleInformation(Root, -998, &File);
    }
    EXPECT_LT(Form->Repaints() - Before, 200);
    const int AtEnd = Form->Repaints();
    File.PercentDone = 100;
    M->HandleInformation(Root, -998, &File);
    EXPECT_EQ(Form->Repaints(), AtEnd + 1);
    // Past the interval, a status that changes nothing on screen paints nothing.
    Sleep(2 * ordlg_CopyFile::RepaintIntervalMs);
    M->HandleInformation(Root, -998, &File);
    EXPECT_EQ(Form->Repaints(), AtEnd + 1);

    // Alt+F4 is Cancel: the abort flags are set when the root agrees.
    AbortAnswer = false;
    SendMessageW(Form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(AbortQuestions, 1);
    EXPECT_FALSE(exceptions_Wendrel::UserAbortRequested);
    AbortAnswer = true;
    SendMessageW(Form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(exceptions_Wendrel::UserAbortRequested);
    EXPECT_TRUE(cmp_TInstallContainer::SharedArchiveEngine().Abort);
    exceptions_Wendrel::UserAbortRequested = false;
    cmp_TInstallContainer::SharedArchiveEngine().Abort = false;
    EXPECT_TRUE(IsWindowVisible(Form->Handle()));

    // The end of the phase closes the window; the next phase has a new one.
    M->HandleInformation(Root, -996, nullptr);
    EXPECT_TRUE(M->DuringCopyForms().empty());
    M->HandleInformation(Root, -998, &File);
    EXPECT_EQ(M->DuringCopyForms().size(), 1u);
    M->HandleInformation(Root, -996, nullptr);
}

TEST_F(Wizard, PagesComeInTheLanguageOfTheTranslator)
{
    auto* Translator = Make<cmp_TTranslator::TTranslator>("MainTranslator");
    ASSERT_EQ(cmp_TTranslator::MainTranslator, Translator);
    Translator->Language(cmp_TTranslator::wlEnglish)->Strings()->SetText("5;Next >\n6;Cancel\n");
    // Russian in its own code page (CP1251), whatever the system's is.
    Translator->Language(cmp_TTranslator::wlRussian)
        ->Strings()
        ->SetText("5;\xC4\xE0\xEB\xE5\xE5 >\n6;\xCE\xF2\xEC\xE5\xED\xE0\n");
    Translator->SetTranslateIntoLanguage(cmp_TTranslator::wlRussian);
    TDialogManager* M = Manager(dmBeforeInstall, "DialogManager");
    auto* Welcome = Make<ordlg_WelcomeDlg::TWelcomeDlg>("WelcomeDlg");
    Welcome->SetContainer(Root);
    Welcome->SetDialogManager(M);
    auto TextOf = [](HWND W) {
        wchar_t Buffer[256] = {};
        GetWindowTextW(W, Buffer, 256);
        return std::wstring(Buffer);
    };
    for (int Round = 0; Round < 2; ++Round) { // a fresh page each time, from English
        TScript S({PageIs("Welcome"), Check([&] {
                       TBaseInstallForm* Page = CurrentPage();
                       EXPECT_EQ(TextOf(ButtonOf(Page, "ProceedBtn")), L"\u0414\u0430\u043B\u0435\u0435 >");
                       EXPECT_EQ(TextOf(ButtonOf(Page, "CancelBtn")), L"\u041E\u0442\u043C\u0435\u043D\u0430");
                       EXPECT_EQ(Page->Font()->Charset(), RUSSIAN_CHARSET);
                   }),
                   PageIs("Welcome"), Click("ProceedBtn"), PageIs("Choose Destination Location"), Check([&] {
                       EXPECT_EQ(TextOf(ButtonOf(CurrentPage(), "ProceedBtn")), L"\u0414\u0430\u043B\u0435\u0435 >");
                   }),
                   Click("ProceedBtn")});
        EXPECT_NO_THROW(M->ShowDialogs());
        EXPECT_TRUE(S.Finished() && !S.TimedOut);
        EXPECT_EQ(Welcome->FormLanguage, cmp_TTranslator::wlRussian);
    }
}
