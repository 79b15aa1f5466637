#include "EngineTestSupport.h"

#include "engine/cmp_TPathSpecifier.h"
#include "engine/routines_ExpandPaths.h"
#include "routines/routines_API.h"

#include <shlobj.h>

namespace engine_tests {

using namespace cmp_TPathSpecifier;

namespace {

// A value of the machine's registry, read directly ("" when missing).
std::string RegValue(HKEY Root, const char* Key, const char* Name)
{
    char Buffer[MAX_PATH * 2] = {};
    DWORD Size = sizeof(Buffer) - 1;
    if (RegGetValueA(Root, Key, Name, RRF_RT_REG_SZ, nullptr, Buffer, &Size) != ERROR_SUCCESS)
        return "";
    return Buffer;
}

std::string Desktop()
{
    std::string Value =
        RegValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Desktop");
    return Value.empty() ? routines_API::WindowsDirectory() + "\\Desktop" : Value;
}

} // namespace

TEST(PathSpecifiers, BuiltInKindsAndTheirTexts)
{
    struct TExpected {
        const char* Kind;
        const char* Description;
        const char* DisplayName;
    };
    const TExpected Expected[] = {
        {"psVDEDLL", "Vellmark Database Engine DLL Path", "VDE DLL"},
        {"psCommonFiles", "Path of the common files directory under the program files directory", "Common files"},
        {"psContainerArchiveFile", "Path to the archive file of the container", "Container archive file"},
        {"psContainerDestDir", "Path of the group (container)", "Path of the group (container)"},
        {"psDesktopMenu", "Path of the Desktop", "Desktop"},
        {"psInstallSource", "Path from which the user ran the install", "Install source"},
        {"psMainArchiveFile", "Archive containing most or all non-internet installation files", "Main archive"},
        {"psMainInstall", "Main installation directory", "Main install dir"},
        {"psProgramFiles", "Path of the program files directory", "Program files"},
        {"psProgramMenu", "Path of the Programs folder under the Start Menu", "Program menu"},
        {"psStartMenu", "Path of Start Menu", "Start menu"},
        {"psStartupMenu", "Path of the Startup folder in the Programs folder under the Start Menu", "Startup menu"},
        {"psSystem", "Path of system directory", "System dir"},
        {"psWindow", "Path of the Windows directory", "Windows dir"},
    };
    TOwnedForm Form;
    EnsureStandardSpecifiers(Form.get());
    ASSERT_EQ(StandardKinds().size(), std::size(Expected));
    for (const TExpected& E : Expected) {
        auto* S = dynamic_cast<TCustomPathSpecifier*>(Form->FindComponent(E.Kind));
        ASSERT_NE(S, nullptr) << E.Kind;
        EXPECT_EQ(S->KindName(), E.Kind);
        EXPECT_EQ("T" + S->KindName(), S->ClassName());
        EXPECT_EQ(S->GetDescription(), E.Description);
        EXPECT_EQ(S->GetDisplayName(), E.DisplayName);
    }
    const int Count = Form->ComponentCount();
    EnsureStandardSpecifiers(Form.get()); // creates nothing more
    EXPECT_EQ(Form->ComponentCount(), Count);

    // Folder kinds answer the registry's folders without trailing backslash.
    auto Path = [&](const char* Kind) {
        return static_cast<TCustomPathSpecifier*>(Form->FindComponent(Kind))->GetPath(nullptr);
    };
    const std::string ProgramFiles =
        RegValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    char ShellProgramFiles[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, ShellProgramFiles), S_OK);
    EXPECT_EQ(Path("psProgramFiles"), ProgramFiles);
    EXPECT_TRUE(fw_SysUtils::SameText(Path("psProgramFiles"), ShellProgramFiles));
    EXPECT_EQ(Path("psCommonFiles"),
              RegValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir"));
    EXPECT_EQ(Path("psDesktopMenu"), Desktop());
    EXPECT_EQ(Path("psVDEDLL"), ProgramFiles + "\\Vellmark\\Common Files\\VDE");
    for (const char* Kind : {"psCommonFiles", "psDesktopMenu", "psProgramFiles", "psProgramMenu", "psStartMenu",
                             "psStartupMenu", "psSystem", "psWindow"}) {
        EXPECT_FALSE(Path(Kind).empty()) << Kind;
        EXPECT_NE(Path(Kind).back(), '\\') << Kind;
    }

    EXPECT_EQ(MessageOf<IEPathSpecifierList>([] { PathSpecifiers().Add(nullptr); }),
              "Tried to add a nil object to the path specifier list");
    EXPECT_EQ(MessageOf<IEPathSpecifierList>([] { StandardPathSpecifiers().Add(nullptr); }),
              "Tried to add a nil object to the path specifier list");
    EXPECT_EQ(MessageOf<IEPathSpecifier>([] { PathSpecifiers().FindSpecifier(&TPathSpecifier::StaticClass()); }),
              "Could not find the path specifier");
    TPathSpecifier Own(nullptr);
    EXPECT_EQ(Own.Description(), "My cool new path specifier");
    Own.OnGetPath = [](const TComponent*, std::string& P) { P = "D:\\Own"; };
    EXPECT_EQ(Own.GetPath(nullptr), "D:\\Own");
    EXPECT_EQ(PathSpecifiers().FindSpecifier(&TPathSpecifier::StaticClass()), &Own);
}

TEST(PathSpecifiers, ValidationOfContainerAndRootKinds)
{
    TOwnedForm Form;
    EnsureStandardSpecifiers(Form.get());
    auto* DestDir = static_cast<TpsContainerDestDir*>(Form->FindComponent("psContainerDestDir"));
    auto* Archive = static_cast<TpsContainerArchiveFile*>(Form->FindComponent("psContainerArchiveFile"));
    auto* Source = static_cast<TpsInstallSource*>(Form->FindComponent("psInstallSource"));
    auto* MainInstall = static_cast<TpsMainInstall*>(Form->FindComponent("psMainInstall"));
    fw_Classes::TComponent Plain(Form.get());
    Plain.SetName("Plain");
    auto* Loose = Make<TInstallDirectory>(Form, "Loose");

    EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { DestDir->GetPath(&Plain); }),
              "Plain must be a TInstallObject to use the psContainerDestDir path specifier");
    EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { Archive->Validate(&Plain); }),
              "Plain must be a TInstallObject to use the psContainerArchiveFile path specifier");
    EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { Loose->SetDestDirType(DestDir); }),
              "Cannot use ddContainerDestDir for Loose unless you assign a Container");
    EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { Loose->SetArchiveFileType(Archive); }),
              "Cannot use ddContainerArchiveFile for Loose unless you assign a Container");
    EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { Source->GetPath(Loose); }),
              "There is no TInstall component so the path specifier could not be expanded for Loose");
    EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { MainInstall->Validate(Loose); }),
              "There is no TInstall component so the path specifier could not be expanded for Loose");
    EXPECT_EQ(Loose->DestDirType(), nullptr); // refused assignments store nothing

    auto* Root = Make<TInstall>(Form, "Install1");
    Root->SetDestDir("\\Pellunar");
    EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { Root->SetDestDirType(MainInstall); }),
              "Cannot use the ddMainInstallDir path specifier for a TInstall component");
    EXPECT_TRUE(Root->DestDirType()->Is<TpsProgramFiles>());

    auto* Group = Make<TInstallGroup>(Form, "Group");
    Group->SetDescription("Teskor");
    Group->SetContainer(Root);
    Loose->SetDescription("Teskor_1");
    Loose->SetContainer(Group);
    auto* Probe = new TInstallObject(Form.get());
    Probe->SetName("Probe");
    EXPECT_EQ(MessageOf<IEInstallContainer>([&] { Probe->SetContainer(Group); }),
              "Class must declare a registered type");
    EXPECT_EQ(Probe->Container(), nullptr);
    EXPECT_EQ(DestDir->GetDescriptionFor(Group), "Main installation directory");
    EXPECT_EQ(DestDir->GetDisplayNameFor(Group), "Main installation directory");
    EXPECT_EQ(DestDir->GetDescriptionFor(Loose), "Path of the <Teskor> group");
    EXPECT_EQ(DestDir->GetDisplayNameFor(Loose), "<Teskor>");
    auto* File = Make<TInstallFile>(Form, "File");
    File->SetContainer(Loose);
    EXPECT_EQ(DestDir->GetDescriptionFor(File), "Path of the <Teskor_1> directory");
    EXPECT_EQ(DestDir->GetDisplayNameFor(File), "<Teskor_1>");
    EXPECT_EQ(MainInstall->GetPath(File), Root->GetFullDestDir());
    EXPECT_EQ(File->GetFullDestDir(), routines_ExpandPaths::ProgramFilesDir() + "\\Pellunar");

    // Archive names: a container-archive node clears its own name; all read
    // the root's main archive beside the program.
    File->SetArchiveFile("other.1");
    EXPECT_EQ(File->ArchiveFile(), "");
    EXPECT_EQ(File->GetFullArchiveFile(), Root->SourceDir() + "\\files.1");
    auto* MainArchive = static_cast<TpsMainArchiveFile*>(Form->FindComponent("psMainArchiveFile"));
    MainArchive->ArchiveDir = "E:\\Disk2";
    EXPECT_EQ(File->GetFullArchiveFile(), "E:\\Disk2\\files.1");
    MainArchive->ArchiveDir.clear();
}

TEST(PathSpecifiers, FileContainerSpecifierNamingAndUse)
{
    TOwnedForm Form;
    auto* D1 = Make<TInstallDirectory>(Form, "D1");
    auto* D2 = Make<TInstallDirectory>(Form, "D2");
    auto* D3 = Make<TInstallDirectory>(Form, "D3");
    EXPECT_EQ(D1->PathSpecifier()->Name(), "psFileContainer");
    EXPECT_EQ(D2->PathSpecifier()->Name(), "psFileContainer1");
    EXPECT_EQ(D3->PathSpecifier()->Name(), "psFileContainer2");
    EXPECT_EQ(D3->PathSpecifier()->FileContainer(), D3);

    TpsFileContainer* Specifier = D1->PathSpecifier();
    D1->SetDestDir("C:\\Target\\");
    D1->SetDescription("Teskor_1");
    EXPECT_EQ(Specifier->GetDescription(), "Path into which Teskor_1 will be installed");
    EXPECT_EQ(Specifier->GetDisplayName(), "<Teskor_1>");
    fw_Classes::TComponent Link(Form.get());
    EXPECT_EQ(Specifier->GetPath(&Link), "C:\\Target");
    for (TComponent* Refused :
         std::initializer_list<TComponent*>{D2, Make<TInstallGroup>(Form, "G"), Make<TInstallFile>(Form, "F")})
        EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { Specifier->Validate(Refused); }),
                  "A file container cannot reference another file container or group");

    EXPECT_EQ(MessageOf<IEPathSpecifier>([&] { D2->SetDestDirType(Specifier); }),
              "A file container cannot reference another file container or group");
    delete D1; // its specifier goes with it
    EXPECT_EQ(Form->FindComponent("psFileContainer"), nullptr);
    delete D3->PathSpecifier();
    EXPECT_EQ(D3->PathSpecifier(), nullptr);
    auto* Orphan = new TpsFileContainer(Form.get());
    EXPECT_EQ(Orphan->GetDescription(), "Path specifier for unknown file container");
    EXPECT_EQ(Orphan->GetPath(&Link), "");
}

TEST(PathSpecifiers, AContainerReadWithoutItsSpecifierWritesBackReadable)
{
    // A project that names no specifier for Loose, and one for Kept.
    const std::string Text = "object Setup: TForm\n"
                             "  object Loose: TInstallDirectory\n  end\n"
                             "  object Kept: TInstallDirectory\n  end\n"
                             "  object psKept: TpsFileContainer\n    FileContainer = Kept\n  end\n"
                             "end\n";
    std::string Written;
    {
        TOwnedForm Form;
        ReadProject(Form.get(), Text);
        auto* Loose = static_cast<TInstallDirectory*>(Form->FindComponent("Loose"));
        auto* Kept = static_cast<TInstallDirectory*>(Form->FindComponent("Kept"));
        ASSERT_TRUE(Loose && Kept && Loose->PathSpecifier());
        EXPECT_EQ(Loose->PathSpecifier()->Name(), "psFileContainer");
        EXPECT_EQ(Loose->PathSpecifier()->FileContainer(), Loose);
        EXPECT_EQ(Kept->PathSpecifier(), Form->FindComponent("psKept"));
        int Specifiers = 0;
        for (int I = 0; I < Form->ComponentCount(); ++I)
            Specifiers += Form->Components(I)->Is<TpsFileContainer>() ? 1 : 0;
        EXPECT_EQ(Specifiers, 2);
        Written = fw_Reader::WriteComponentText(Form.get());
    }
    TOwnedForm Again;
    ReadProject(Again.get(), Written);
    EXPECT_EQ(fw_Reader::WriteComponentText(Again.get()), Written);
    auto* Loose = static_cast<TInstallDirectory*>(Again->FindComponent("Loose"));
    ASSERT_NE(Loose, nullptr);
    EXPECT_EQ(Loose->PathSpecifier(), Again->FindComponent("psFileContainer"));
}

TEST(ExpandPaths, MetaVariables)
{
    using cmp_TPathSpecifier::TCustomPathSpecifier;
    EXPECT_EQ(TCustomPathSpecifier::ExpandPathText("a%%b|%p|%P|%x|%", "C:\\Base"), "a%b|C:\\Base|C:\\Base|x|");
    EXPECT_EQ(TCustomPathSpecifier::ExpandPathText("", "C:\\Base"), "");

    using routines_ExpandPaths::ExpandPath;
    const std::string Desk = Desktop();
    EXPECT_EQ(ExpandPath("%%|%d|%D|%q|%7|%", nullptr), "%|" + Desk + "|" + Desk + "|||");
    EXPECT_EQ(ExpandPath("%p\\x", nullptr), routines_ExpandPaths::ProgramFilesDir() + "\\x");
    EXPECT_EQ(ExpandPath("%P%w%s", nullptr), routines_ExpandPaths::ProgramFilesDir() +
                                                 routines_API::WindowsDirectory() + routines_API::SystemDirectory());
    EXPECT_EQ(ExpandPath("%b", nullptr), routines_ExpandPaths::ProgramsDir());
    EXPECT_EQ(MessageOf<exceptions_Wendrel::EAICannotExpandContainerDirMV>([] { ExpandPath("%a", nullptr); }),
              "Cannot expand the %a meta variable because the component is Nil");
    EXPECT_EQ(MessageOf<exceptions_Wendrel::EAICannotExpandContainerDirMV>([] { ExpandPath("%C", nullptr); }),
              "Cannot expand the %c meta variable because the component is Nil");
    EXPECT_EQ(MessageOf<exceptions_Wendrel::EAICannotExpandInstallDirMV>([] { ExpandPath("%i", nullptr); }),
              "Cannot expand the %i meta variable because there is no TInstall component");

    TOwnedForm Form;
    auto* Loose = Make<TInstallDirectory>(Form, "Loose");
    Loose->SetDestDir("C:\\Loose\\");
    EXPECT_EQ(ExpandPath("%a\\f", Loose), "C:\\Loose\\f");
    EXPECT_EQ(MessageOf<exceptions_Wendrel::EAICannotExpandContainerDirMV>([&] { ExpandPath("%c", Loose); }),
              "Cannot expand the %c meta variable because the Container property is Nil");
    auto* Root = Make<TInstall>(Form, "Install1");
    Root->SetDestDir("\\Pellunar");
    Loose->SetContainer(Root);
    Loose->SetDestDir("\\Sub");
    EXPECT_EQ(ExpandPath("%c|%I|%A", Loose),
              Root->GetFullDestDir() + "|" + Root->GetFullDestDir() + "|" + Root->GetFullDestDir() + "\\Sub");
}

} // namespace engine_tests
