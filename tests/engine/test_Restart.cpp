// The restart and what waits for it: which Windows is asked to restart and
// what the user sees when it cannot be, the language kept over it, the
// resumed run, and one run of a product at a time.
#include "EngineTestSupport.h"

#include "routines/routines_Registry.h"

#include <memory>
#include <optional>

namespace engine_tests {

namespace {

using cmp_TInstall::TCustomInstall;
using exceptions_Wendrel::IEInstall;

// The machine's install records as the test found them, put back at its end.
struct TNoRecords {
    TNoRecords() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wendrel"); }
    ~TNoRecords() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wendrel"); }
    THookGuard<std::string> Key{cmp_TInstallContainer::InstallKey, ""};
};

bool KeyExists(const std::string& Key)
{
    HKEY K = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Key.c_str() + (Key[0] == '\\'), 0, KEY_READ, &K) != ERROR_SUCCESS)
        return false;
    RegCloseKey(K);
    return true;
}

// A directory that counts the work it is given after the restart.
class TResumingDirectory : public TInstallDirectory {
    FW_CLASS(TResumingDirectory, TInstallDirectory)

public:
    explicit TResumingDirectory(TComponent* AOwner) : TInstallDirectory(AOwner) {}
    void CompleteAfterReboot() override { ++Completed; }
    int Completed = 0;
};

FW_DEFINE_CLASS(TResumingDirectory, TInstallDirectory, nullptr, nullptr)

// Hears the information codes the root sends.
struct TListener : TInstallObject {
    using TInstallObject::TInstallObject;
    int RegisteredType() const override { return 8500; }
    void HandleInformation(TObject*, int Code, TObject*) override { Codes.push_back(Code); }
    std::vector<int> Codes;
};

} // namespace

TEST(Restart, TheRestartIsAskedOnlyWhereWindowsCanDoIt)
{
    std::vector<std::string> Shown;
    THookGuard<fw_Forms::TMessageBoxHook> Boxes(fw_Forms::Application->MessageBoxHook,
                                                [&](const std::string& Text, const std::string&, UINT) {
                                                    Shown.push_back(Text);
                                                    return IDOK;
                                                });
    int Version = 0;
    BOOL Answer = TRUE;
    std::vector<UINT> Asked;
    THookGuard<std::function<int()>> Versions(TCustomInstall::WindowsVersionOf, [&] { return Version; });
    THookGuard<std::function<BOOL(UINT, DWORD)>> Exit(TCustomInstall::RequestRestart, [&](UINT Flags, DWORD Reason) {
        EXPECT_EQ(Reason, 0u);
        Asked.push_back(Flags);
        return Answer;
    });
    TOwnedForm Form;
    auto* Root = Make<TInstall>(Form, "Install1");
    const std::string Manual = "Could not reboot windows. Please manually reboot windows.";
    // The 95 family and NT (with the shutdown privilege) are asked.
    for (int V : {1, 2}) {
        Version = V;
        Asked.clear();
        Root->RebootWindows();
        EXPECT_EQ(Asked, std::vector<UINT>{EWX_REBOOT}) << V;
        EXPECT_TRUE(Shown.empty()) << V;
    }
    // Win32s, NT 3.5 and the unknown are not; the user is told instead.
    for (int V : {0, 3, 4}) {
        Version = V;
        Asked.clear();
        Shown.clear();
        Root->RebootWindows();
        EXPECT_TRUE(Asked.empty()) << V;
        EXPECT_EQ(Shown, std::vector<std::string>{Manual}) << V;
    }
    // A refused request: the handler hears of it instead of the message.
    Version = 2;
    Answer = FALSE;
    Shown.clear();
    int Failed = 0;
    Root->OnFailedReboot = [&](TCustomInstall* Sender) {
        EXPECT_EQ(Sender, Root);
        ++Failed;
    };
    Root->RebootWindows();
    EXPECT_EQ(Failed, 1);
    EXPECT_TRUE(Shown.empty());
}

TEST(Restart, TheResumedRunWorksThroughTheUnfinishedList)
{
    TNoRecords Records;
    test_support::TScratchDir Scratch("resume");
    THookGuard<int> ExitCode(fw_Forms::Application->ExitCode, 0);
    int Language = 4;
    std::optional<THookGuard<cmp_TInstall::TLanguageHooks>> Hooks;
    Hooks.emplace(cmp_TInstall::MainLanguage,
                  cmp_TInstall::TLanguageHooks{[&] { return Language; }, [&](int L) { Language = L; }});
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, Scratch.Path());
    Root->SetRunAutomatic(false);
    auto* Listener = Make<TListener>(Form, "Listener");
    Listener->SetContainer(Root);
    auto* Dir = Make<TResumingDirectory>(Form, "LibrariesDir");
    Dir->SetContainer(Root);
    auto* Other = Make<TResumingDirectory>(Form, "Other");
    Other->SetContainer(Root);

    // A resume without the record it belongs to has nothing to go on.
    EXPECT_EQ(MessageOf<IEInstall>([&] { Root->CompleteAfterReboot(); }),
              "The TInstall could not either write or read unfinished business from the registry");

    // The run before the restart: its record, its work and its language.
    cmp_TInstallContainer::InstallKey = Root->FindInstallRecord(true);
    const std::string Record = cmp_TInstallContainer::InstallKey;
    const std::string Old = Scratch / "old.dll";
    test_support::WriteBytes(Old, "old");
    Root->AddUnfinished(Old, 1);
    Root->AddUnfinished(Scratch / "gone already.dll", 1);
    Root->AddUnfinished("librariesdir", 0);
    Root->AddUnfinished("NoSuchComponent", 0);
    Root->AddUnfinished("Other", 7);
    Root->WriteLanguage();
    EXPECT_EQ(routines_Registry::ReadRegistryInteger(routines_Registry::hkLocalMachine, Record, "Language", -1), 4);
    Language = 11;

    Root->CompleteAfterReboot();

    EXPECT_EQ(Language, 4); // the pages come up as before the restart
    EXPECT_FALSE(fw_SysUtils::FileExists(Old));
    EXPECT_EQ(Dir->Completed, 1); // its name in another case
    EXPECT_EQ(Other->Completed, 0);
    EXPECT_EQ(Listener->Codes, (std::vector<int>{icGoodInstall, icAfterGoodInstallPages}));
    EXPECT_FALSE(KeyExists(Record));
    EXPECT_TRUE(cmp_TInstallContainer::InstallKey.empty());
    EXPECT_FALSE(Root->Running());

    // An entry that is no work: the list is dropped, the resume fails.
    cmp_TInstallContainer::InstallKey = Root->FindInstallRecord(true);
    routines_Registry::WriteRegistryString(routines_Registry::hkLocalMachine,
                                           cmp_TInstallContainer::InstallKey + "\\Unfinished", "Subject", "one");
    EXPECT_EQ(MessageOf<IEInstall>([&] { Root->CompleteAfterReboot(); }),
              "There is an invalid entry for the unfinished install list Subject;one");
    EXPECT_FALSE(KeyExists(cmp_TInstallContainer::InstallKey + "\\Unfinished"));
    // Without a translator the language falls back to the user's.
    Hooks.reset();
    Hooks.emplace(cmp_TInstall::MainLanguage, cmp_TInstall::TLanguageHooks());
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, cmp_TInstallContainer::InstallKey.c_str() + 1, "Language");
    EXPECT_EQ(Root->ReadLanguage(), cmp_TInstall::UserLanguageOrdinal);
}

TEST(Restart, OneRunOfAProductAtATime)
{
    THookGuard<bool> Single(TCustomInstall::SingleRunPerProduct, true);
    const std::string Project = "object Setup: TForm\n  object Install1: TInstall\n    Information.ProductName = "
                                "'Mutex Test\\Product'\n    RunAutomatic = False\n  end\nend";
    TArguments Given({"-sC:\\Dist"});
    auto Load = [&](const TOwnedForm& Form) { ReadProject(Form.get(), Project); };
    // Another copy of the setup is running: it holds the product's mutex.
    {
        fw_Handles::THandle Running(CreateMutexA(nullptr, FALSE, "Local\\Wendrel Install Mutex Test_Product"));
        ASSERT_TRUE(Running);
        TOwnedForm Form;
        EXPECT_EQ(MessageOf<IEInstall>([&] { Load(Form); }),
                  "Another installation of Mutex Test\\Product is already running.");
    }
    // Once it has ended, this one runs, and holds the mutex while it lives.
    TOwnedForm Form;
    EXPECT_NO_THROW(Load(Form));
    fw_Handles::THandle Probe(CreateMutexA(nullptr, FALSE, "Local\\Wendrel Install Mutex Test_Product"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
}

} // namespace engine_tests
