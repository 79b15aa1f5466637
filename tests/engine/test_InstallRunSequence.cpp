#include "EngineTestSupport.h"

#include "framework/fw_SysUtils.h"

#include <string>
#include <vector>

namespace engine_tests {

TEST(InstallRoot, AFailedRunIsShownAndEndsTheProgram)
{
    std::vector<std::string> Shown;
    THookGuard<fw_Forms::TMessageBoxHook> Boxes(fw_Forms::Application->MessageBoxHook,
                                                [&](const std::string& Text, const std::string&, UINT) {
                                                    Shown.push_back(Text);
                                                    return IDOK;
                                                });
    THookGuard<fw_Forms::TExceptionEvent> Hook(fw_Forms::Application->OnException);
    THookGuard<int> ExitCode(fw_Forms::Application->ExitCode, 0);
    TArguments Given({});
    TOwnedForm Form;
    auto* Root = Make<TInstall>(Form, "Install1");
    std::vector<int> Codes;
    struct TListener : TInstallObject {
        using TInstallObject::TInstallObject;
        int RegisteredType() const override { return 8500; }
        void HandleInformation(TObject*, int Code, TObject*) override
        {
            Seen->push_back(Code);
            if (Code == AbortAt)
                throw exceptions_Wendrel::EAIUserAbort();
        }
        std::vector<int>* Seen = nullptr;
        int AbortAt = 0;
    };
    auto* Listener = new TListener(Form.get());
    Listener->Seen = &Codes;
    Listener->SetContainer(Root);
    int Shutdowns = 0;
    Root->OnBeforeShutdown = [&](cmp_TInstall::TCustomInstall*, bool& QuitOut) {
        ++Shutdowns;
        QuitOut = false; // the test's own message queue stays as it is
    };

    // Outside a run an error is only shown.
    fw_Forms::Application->OnException(nullptr, fw_SysUtils::Exception("Outside"));
    EXPECT_EQ(Shown, std::vector<std::string>{"Outside."});
    EXPECT_TRUE(Codes.empty());
    EXPECT_EQ(Shutdowns, 0);

    // Started without the loading program, the run fails at once.
    Shown.clear();
    const std::string Loader =
        "The path of the loading program was not passed correctly. If you are running your install project in the "
        "IDE, then you need to add two command line parameters. In Run | Parameters | \"Run Parameters\", type in: -d "
        "\"-sBUILDPATH\" where BUILDPATH is the path into which you built the distributables. Example: -d "
        "\"-sC:\\My Build\".";
    try {
        Root->Process();
        ADD_FAILURE() << "the run did not fail";
    } catch (const fw_SysUtils::Exception& E) {
        EXPECT_EQ(E.Message(), Loader);
        EXPECT_TRUE(Root->Running());
        fw_Forms::Application->OnException(nullptr, E);
    }
    EXPECT_FALSE(Root->Running());
    EXPECT_TRUE(Root->Aborted());
    EXPECT_EQ(Codes, (std::vector<int>{icBadInstall, icAfterBadInstallPages}));
    EXPECT_EQ(Shown, std::vector<std::string>{Loader});
    EXPECT_EQ(Shutdowns, 1);
    EXPECT_EQ(fw_Forms::Application->ExitCode, cmp_TInstall::ExitFailure); // the program ends with code 1

    // A user abort shows nothing.
    Codes.clear();
    Shown.clear();
    {
        TArguments Loaded({"-sC:\\Dist"});
        Root->ParseCommandLine();
    }
    // The user cancels the wizard.
    Listener->AbortAt = -980;
    EXPECT_TRUE(Raises<exceptions_Wendrel::EAIUserAbort>([&] { Root->Process(); }, "Installation aborted by the user"));
    fw_Forms::Application->OnException(nullptr, exceptions_Wendrel::EAIUserAbort());
    EXPECT_EQ(std::vector<int>(Codes.end() - 3, Codes.end()),
              (std::vector<int>{-980, icBadInstall, icAfterBadInstallPages}));
    // ... and the install record goes with the aborted run.
    EXPECT_TRUE(Root->FindInstallRecord(false).empty());
    EXPECT_TRUE(Shown.empty());
    EXPECT_EQ(Shutdowns, 2);
    EXPECT_EQ(fw_Forms::Application->ExitCode, cmp_TInstall::ExitUserAbort);
    EXPECT_TRUE(Root->QueryUserAbort());
    Root->OnUserAbort = [](cmp_TInstall::TCustomInstall*, bool& QuitOut) { QuitOut = false; };
    EXPECT_FALSE(Root->QueryUserAbort());
}

TEST(InstallRoot, FilesMarkedToRunStartAfterTheInstallation)
{
    test_support::TScratchDir Scratch("runafter");
    const std::string Folder = Scratch / "Run After Install"; // a blank in the path, as below "Program Files"
    ASSERT_TRUE(fw_SysUtils::ForceDirectories(Folder));
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, Folder);
    MakeFileIn(Form, Root, "A", "first.exe")->SetRunAfterInstall(true);
    MakeFileIn(Form, Root, "B", "second.exe");
    MakeFileIn(Form, Root, "C", "third.exe")->SetRunAfterInstall(true);
    for (const char* Name : {"first.exe", "second.exe", "third.exe"})
        ASSERT_TRUE(CopyFileA(RUN_MARKER, (Folder + "\\" + Name).c_str(), FALSE)) << Name;

    std::vector<std::string> Asked;
    Root->OnBeforeRunFile = [&](cmp_TInstall::TCustomInstall* Install, TCustomInstallFile* F, bool& DefaultAction) {
        EXPECT_EQ(Install, Root);
        EXPECT_TRUE(DefaultAction);
        Asked.push_back(F->Name());
        DefaultAction = F->Name() != "C"; // the project may start one itself
    };
    Root->RunFilesAfterInstall();
    EXPECT_EQ(Asked, (std::vector<std::string>{"A", "C"}));

    // The started program leaves its marker; wait for it, not for a moment.
    EXPECT_EQ(WaitForMarker(Folder + "\\first.exe.ran"), "\"" + Folder + "\\first.exe\""); // the whole path, quoted
    EXPECT_FALSE(fw_SysUtils::FileExists(Folder + "\\second.exe.ran"));
    EXPECT_FALSE(fw_SysUtils::FileExists(Folder + "\\third.exe.ran"));
}

} // namespace engine_tests
