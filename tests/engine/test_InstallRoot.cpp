#include "EngineTestSupport.h"

#include "engine/routines_ExpandPaths.h"

#include <vector>

namespace engine_tests {

using cmp_TInstall::TCustomInstall;

namespace {

const char* const SmallProject = R"(object Setup: TForm
  object psProgramFiles: TpsProgramFiles
  end
  object Install1: TInstall
    DestDir = '\Pellunar'
    DestDirType = psProgramFiles
    InstallTypes = [itFull, itCompact]
  end
  object Dir: TInstallDirectory
    Container = Install1
    InstallTypes = [itFull, itDefault, itCompact]
  end
end)";

} // namespace

TEST(InstallRoot, CommandLineSwitches)
{
    TOwnedForm Form;
    auto* Root = Make<TInstall>(Form, "Install1");
    auto Parse = [&](std::vector<std::string> Args) {
        TArguments Given(std::move(Args));
        Root->ParseCommandLine();
    };
    Parse({});
    EXPECT_TRUE(Root->Switches().Empty());
    Parse({"*TODISK"});
    EXPECT_TRUE(Root->Switches().Empty());

    for (std::string Bad : {"-x", "-", "*", "word", "/b", "-Q1"})
        EXPECT_EQ(MessageOf<exceptions_Wendrel::IException>([&] {
                      Parse({"-b", Bad});
                  }),
                  fw_SysUtils::Format(cmp_TInstall::InvalidParameterText, {Bad}))
            << Bad;

    Parse({"-B", "*R", "-sC:\\My Build\\", "-eSetup.exe", "-cx", "-S D:\\Other "});
    EXPECT_EQ(Root->Switches(),
              (cmp_TInstall::TSwitches{cmp_TInstall::swBuild, cmp_TInstall::swAfterReboot, cmp_TInstall::swSourcePath,
                                       cmp_TInstall::swSelfExtract, cmp_TInstall::swCleanup}));
    EXPECT_EQ(Root->ParameterContents()[cmp_TInstall::swSourcePath], " D:\\Other "); // the later one, as given
    EXPECT_EQ(Root->ParameterContents()[cmp_TInstall::swSelfExtract], "Setup.exe");
    EXPECT_EQ(Root->ParameterContents()[cmp_TInstall::swBuild], "");
    Parse({"-d"});
    EXPECT_EQ(Root->Switches(), cmp_TInstall::TSwitches{cmp_TInstall::swDebug});
    EXPECT_EQ(Root->ParameterContents()[cmp_TInstall::swSourcePath], "");
}

TEST(InstallRoot, LoadingParsesChoosesTypeAndSourceDir)
{
    {
        TArguments Given({});
        TOwnedForm Form;
        ReadProject(Form.get(), SmallProject);
        auto* Root = static_cast<TCustomInstall*>(Form->FindComponent("Install1"));
        EXPECT_EQ(cmp_TInstall::InstallRoot(), Root);
        EXPECT_EQ(Root->SourceDir(),
                  fw_SysUtils::ExtractFileDir(fw_SysUtils::ModuleFileName())); // the program's folder
        EXPECT_EQ(Root->InstallType(), itCompact); // [itFull, itCompact]: compact before full
        EXPECT_EQ(static_cast<TInstallDirectory*>(Form->FindComponent("Dir"))->InstallType(), itCompact);
        EXPECT_EQ(Root->InstallForm(), Form.get());
        EXPECT_TRUE(bool(Form->OnActivate)); // the normal installation waits for the activation
        EXPECT_EQ(Root->GetFullDestDir(), routines_ExpandPaths::ProgramFilesDir() + "\\Pellunar");
    }
    EXPECT_EQ(cmp_TInstall::InstallRoot(), nullptr);
    {
        TArguments Given({"-d", "-sC:\\My Build\\"});
        TOwnedForm Form;
        ReadProject(Form.get(), SmallProject);
        EXPECT_EQ(cmp_TInstall::InstallRoot()->SourceDir(), "C:\\My Build\\");
        EXPECT_FALSE(cmp_TInstall::InstallRoot()->Switches().Contains(cmp_TInstall::swBuild));
        // The folder kind drops the backslash that the switch kept.
        auto* Source = static_cast<cmp_TPathSpecifier::TCustomPathSpecifier*>(Form->FindComponent("psInstallSource"));
        EXPECT_EQ(Source->GetPath(cmp_TInstall::InstallRoot()), "C:\\My Build");
    }
    // Started by the self-extracting setup, the archive is that program.
    for (const char* Program : {"-eSetup.exe", "-e", "-e  "}) {
        TArguments Given({"-sD:\\Dist", Program});
        TOwnedForm Form;
        ReadProject(Form.get(), SmallProject);
        auto* Archive =
            static_cast<cmp_TPathSpecifier::TCustomPathSpecifier*>(Form->FindComponent("psMainArchiveFile"));
        auto* Dir = static_cast<TInstallDirectory*>(Form->FindComponent("Dir"));
        if (std::string(Program) == "-eSetup.exe")
            EXPECT_EQ(Archive->GetPath(Dir), "D:\\Dist\\Setup.exe");
        else
            EXPECT_EQ(MessageOf<exceptions_Wendrel::IEInstall>([&] { Archive->GetPath(Dir); }),
                      "You forgot to pass in the name of the self-extracting executable. Usage example: "
                      "\"-eSetup.exe\"")
                << Program;
    }
    for (std::vector<std::string> Args : {std::vector<std::string>{"-d"}, {"-D", "-s  "}}) {
        TArguments Given(Args);
        TOwnedForm Form;
        EXPECT_EQ(MessageOf<exceptions_Wendrel::IEInstall>([&] { ReadProject(Form.get(), SmallProject); }),
                  "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d "
                  "\"-sC:\\My Build\"");
    }
    TArguments Given({"-q"});
    TOwnedForm Form;
    EXPECT_EQ(MessageOf<exceptions_Wendrel::IException>([&] { ReadProject(Form.get(), SmallProject); }),
              fw_SysUtils::Format(cmp_TInstall::InvalidParameterText, {"-q"}));
}

TEST(InstallRoot, CreationDefaultsAndSetters)
{
    EXPECT_EQ(cmp_TInstall::CurrentDistributeType(), cmp_TInstall::dtTraditionalNet);
    fw_Classes::TComponent NotAForm(nullptr);
    EXPECT_EQ(MessageOf<exceptions_Wendrel::IEInstall>([&] { TInstall Orphan(&NotAForm); }),
              "The owner of the TInstall component must be a form");
    EXPECT_EQ(NotAForm.ComponentCount(), 0);

    TOwnedForm Form;
    auto* Root = Make<TInstall>(Form, "Install1");
    const int Components = Form->ComponentCount();
    EXPECT_EQ(MessageOf<exceptions_Wendrel::IEInstall>([&] { new TInstall(Form.get()); }),
              "The TInstall component does not currently support the use of 2 TInstall components in the same "
              "project");
    EXPECT_EQ(Form->ComponentCount(), Components);
    EXPECT_EQ(cmp_TInstall::InstallRoot(), Root);

    EXPECT_EQ(Root->DestDir(), "\\MyApplication");
    EXPECT_EQ(Root->DestDirType(), Form->FindComponent("psProgramFiles"));
    EXPECT_EQ(Root->ArchiveFileType(), Form->FindComponent("psMainArchiveFile"));
    EXPECT_EQ(Root->PathSpecifier(), nullptr);
    EXPECT_EQ(Root->InstallTypes(), TInstallTypeSet{itFull});
    EXPECT_EQ(Root->Description(), "TInstall component");
    EXPECT_EQ(Root->Information()->CompanyName, "My Company");
    EXPECT_EQ(Root->Information()->ProductName, "My product");
    EXPECT_EQ(Root->Information()->Version, "1.0");
    EXPECT_EQ(Root->BuildInfo()->BuildDirectory, "c:\\build");
    EXPECT_TRUE(Root->AutoMaximizeWindow());
    EXPECT_FALSE(Root->HideMainForm());
    EXPECT_TRUE(Root->RunAutomatic());
    EXPECT_TRUE(Root->UseLoadingProgram());
    EXPECT_EQ(Root->RegisteredType(), 1000);
    EXPECT_EQ(cmp_TInstall::CurrentDistributeType(), cmp_TInstall::dtTraditional);

    Root->SetHideMainForm(true);
    EXPECT_FALSE(Root->AutoMaximizeWindow());
    Root->SetAutoMaximizeWindow(true);
    EXPECT_FALSE(Root->HideMainForm());
    Root->SetLoading(true); // as while a project is read: values are only stored
    Root->SetHideMainForm(true);
    EXPECT_TRUE(Root->AutoMaximizeWindow());
    Root->SetLoading(false);

    Root->SetPresetupFiles({"  ", "a.dll", "", "b.dll", "\t"});
    EXPECT_EQ(Root->PresetupFiles(), (std::vector<std::string>{"a.dll", "b.dll"}));
    EXPECT_EQ(MessageOf<exceptions_Wendrel::IEInstall>([&] { Root->SetDistributeType(cmp_TInstall::dtWeb); }),
              "DistributeType can only be set at design-time");
    Root->SetDistributeType(Root->DistributeType()); // no change, nothing to refuse
    Root->SetLoading(true);                          // a stored type stands until the net location goes
    Root->SetDistributeType(cmp_TInstall::dtWeb);
    Root->SetLoading(false);
    EXPECT_EQ(cmp_TInstall::CurrentDistributeType(), cmp_TInstall::dtWeb);
    Root->SetNetLocation(nullptr);
    EXPECT_EQ(Root->DistributeType(), cmp_TInstall::dtTraditional);
    Root->SetArchiveFileType(nullptr);
    Root->SetArchiveFile("x.1");
    Root->SetUseLoadingProgram(true);
    EXPECT_EQ(Root->ArchiveFileType(), Form->FindComponent("psMainArchiveFile"));
    EXPECT_EQ(Root->ArchiveFile(), "");
}

TEST(InstallRoot, ActivationHandlerAndHiddenForm)
{
    TArguments Given({});
    TOwnedForm Form;
    Form->SetBounds(10, 20, 300, 200);
    std::vector<fw_Classes::TObject*> Senders;
    Form->OnActivate = [&](fw_Classes::TObject* Sender) { Senders.push_back(Sender); };
    ReadProject(Form.get(), R"(object Setup: TForm
  object Install1: TInstall
    HideMainForm = True
    RunAutomatic = False
  end
end)");
    TCustomInstall* Root = cmp_TInstall::InstallRoot();
    ASSERT_NE(Root, nullptr);
    EXPECT_TRUE(Root->AutoMaximizeWindow()); // read values are only stored
    EXPECT_EQ(Form->Left(), -600);
    EXPECT_EQ(Form->Top(), -400);
    ASSERT_TRUE(bool(Form->OnActivate));

    Form->OnActivate(Form.get());
    EXPECT_EQ(Senders, std::vector<fw_Classes::TObject*>{Form.get()}); // the earlier handler, with the owner
    EXPECT_TRUE(Root->Activated());
    EXPECT_EQ(Form->WindowState(), fw_Forms::wsMaximized);
    Form->OnActivate(Form.get()); // only the first activation counts
    EXPECT_EQ(Senders.size(), 1u);

    Senders.clear();
    delete Root; // gives the form its own handler back
    ASSERT_TRUE(bool(Form->OnActivate));
    Form->OnActivate(Form.get());
    EXPECT_EQ(Senders.size(), 1u);
}

TEST(InstallRoot, RunningAutomaticallyNeedsAForm)
{
    TArguments Given({});
    const char* const OnADataModule = R"(object Data: TDataModule
  object Install1: TInstall
    RunAutomatic = %s
  end
end)";
    {
        fw_Forms::TDataModule Data(nullptr);
        EXPECT_EQ(MessageOf<exceptions_Wendrel::IEInstall>(
                      [&] { ReadProject(&Data, fw_SysUtils::Format(OnADataModule, {"True"})); }),
                  "Application.MainForm is undefined and the TInstall is not on a form. Therefore, therefore the "
                  "TInstall can't run the installation automatically");
    }
    EXPECT_EQ(cmp_TInstall::InstallRoot(), nullptr);
    fw_Forms::TDataModule Data(nullptr);
    ReadProject(&Data, fw_SysUtils::Format(OnADataModule, {"False"}));
    ASSERT_NE(cmp_TInstall::InstallRoot(), nullptr);
    EXPECT_EQ(cmp_TInstall::InstallRoot()->InstallForm(), nullptr);
}

TEST(InstallRoot, PublishesOnlyItsOwnProperties)
{
    TArguments Given({});
    for (const char* Property : {"Include = False", "ArchiveFile = 'x.1'", "ArchiveFileType = psMainArchiveFile"}) {
        TOwnedForm Form;
        const std::string Name = fw_SysUtils::Trim(std::string(Property).substr(0, std::string(Property).find('=')));
        EXPECT_TRUE(Raises<fw_Reader::EParserError>(
            [&] {
                ReadProject(Form.get(), std::string("object Setup: TForm\n  object Install1: TInstall\n    ") +
                                            Property + "\n  end\nend");
            },
            "Line 3: Property " + Name + " does not exist in TInstall"));
    }
}

} // namespace engine_tests
