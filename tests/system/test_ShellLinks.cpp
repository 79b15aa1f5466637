#include "SystemTestSupport.h"

#include "framework/fw_Handles.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

namespace {

using namespace cmp_TInstallShellLink;
using cmp_TInstallContainer::TInstallDirectory;
using cmp_TInstallContainer::TInstallFile;
using engine_tests::Make;
using engine_tests::MakeFileIn;
using engine_tests::MakeRootAt;
using engine_tests::TArguments;
using engine_tests::TOwnedForm;
using system_tests::StringValue;
using system_tests::TMachineKey;
using test_support::Raises;

// An install file that the run has handled, as far as its links can tell.
template <class File>
class TProcessed : public File {
public:
    using File::File;
    void MarkProcessed() { this->FProcessStarted = true; }
};
using TProcessedFile = TProcessed<TInstallFile>;

// COM for the length of a test: the application object initialises it in
// the program, a test program does it itself.
struct TComScope {
    TComScope() { CoInitialize(nullptr); }
    ~TComScope() { CoUninitialize(); }
};

// What the shell reads back from a link file.
struct TLinkInfo {
    std::string Path, Arguments, WorkingDirectory;
    WORD HotKey = 0;
};

TLinkInfo ReadLink(const std::string& File)
{
    TLinkInfo Info;
    fw_Handles::TComPtr<IShellLinkA> Link;
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, Link.Receive()), S_OK);
    fw_Handles::TComPtr<IPersistFile> Persist;
    EXPECT_EQ(Link->QueryInterface(IID_IPersistFile, Persist.Receive()), S_OK);
    wchar_t Wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, File.c_str(), -1, Wide, MAX_PATH);
    if (Persist->Load(Wide, STGM_READ) != S_OK) {
        ADD_FAILURE() << "the shell cannot read " << File;
        return Info;
    }
    char Buffer[MAX_PATH * 2] = {};
    Link->GetPath(Buffer, sizeof Buffer, nullptr, SLGP_RAWPATH);
    Info.Path = Buffer;
    Link->GetArguments(Buffer, sizeof Buffer);
    Info.Arguments = Buffer;
    Link->GetWorkingDirectory(Buffer, sizeof Buffer);
    Info.WorkingDirectory = Buffer;
    Link->GetHotkey(&Info.HotKey);
    return Info;
}

// A destination folder the links of a test go to, by a project-defined kind.
cmp_TPathSpecifier::TPathSpecifier* FolderKind(const TOwnedForm& Form, const std::string& Name,
                                               const std::string& Folder)
{
    auto* Kind = Make<cmp_TPathSpecifier::TPathSpecifier>(Form, Name);
    Kind->OnGetPath = [Folder](const fw_Classes::TComponent*, std::string& P) { P = Folder; };
    return Kind;
}

} // namespace

TEST(ShellLinks, NamesAndTargetsFollowTheirSetters)
{
    TArguments NoArguments({});
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, "C:\\Program Files\\Pellunar\\Ombo\\Teskor");
    auto* Link = Make<TInstallShellLink>(Form, "Link");
    // The owner got the object-link specifier before the link joined it.
    auto* ObjectLinkKind = static_cast<TpsObjectLink*>(Form->FindComponent("psObjectLink"));
    ASSERT_NE(ObjectLinkKind, nullptr);
    auto IndexOf = [&](fw_Classes::TComponent* C) {
        for (int I = 0; I < Form->ComponentCount(); ++I)
            if (Form->Components(I) == C)
                return I;
        return -1;
    };
    EXPECT_LT(IndexOf(ObjectLinkKind), IndexOf(Link));

    Link->SetLinkName("Quorvane");
    EXPECT_EQ(Link->LinkName(), "Quorvane.LNK");
    Link->SetLinkName("Readme.txt"); // the previous name's extension
    EXPECT_EQ(Link->LinkName(), "Readme.LNK");
    Link->SetLinkName("Site.url");
    EXPECT_TRUE(Link->IsInternetShortcut());
    Link->SetLinkName("Other.doc");
    EXPECT_EQ(Link->LinkName(), "Other.URL");

    // A blank name (or ".LNK" alone) is named after the target.
    Link->SetLinkName("");
    Link->SetObjectLocation("http://www.caldrevin.example/quorvane/news?page=1");
    EXPECT_EQ(Link->LinkName(), "www.caldrevin.example-quorvane-newspage=1.URL");
    Link->SetLinkName(".LNK");
    Link->SetObjectLocation("ftp://files.example/pub");
    EXPECT_EQ(Link->LinkName(), "files.example-pub.URL");
    Link->SetLinkName("");
    Link->SetObjectLocation("C:\\Tools\\Viewer.exe\\");
    EXPECT_EQ(Link->LinkName(), "Viewer.LNK");
    EXPECT_EQ(Link->GetObjectLocation(), "C:\\Tools\\Viewer.exe");
    Link->SetObjectLocation("C:\\Other\\Tool.exe"); // a name of its own stays
    EXPECT_EQ(Link->LinkName(), "Viewer.LNK");

    // The object-link specifier serves only a link with an ObjectLink.
    EXPECT_TRUE(Raises<cmp_TPathSpecifier::IEPathSpecifier>(
        [&] { Link->SetObjectLocationType(ObjectLinkKind); },
        "Cannot use ddObjectLink for Link unless you assign a value to ObjectLink"));
    EXPECT_TRUE(Raises<cmp_TPathSpecifier::IEPathSpecifier>(
        [&] { Root->SetDestDirType(ObjectLinkKind); },
        "Install1 must be a TCustomInstallShellLink to use the psObjectLink path specifier"));

    // Linking a component names the link after it and points it there.
    auto* Directory = Make<TInstallDirectory>(Form, "Directory");
    Directory->SetContainer(Root);
    auto* File = MakeFileIn(Form, Directory, "InstallFile61", "Ombo_Teskor.exe");
    auto* Loose = Make<TInstallShellLink>(Form, "Loose");
    Loose->SetObjectLink(File);
    EXPECT_EQ(Loose->LinkName(), "Ombo_Teskor.lnk");
    EXPECT_EQ(Loose->ObjectLocationType(), ObjectLinkKind);
    EXPECT_EQ(Loose->Container(), File); // it had none
    EXPECT_EQ(Loose->GetObjectLocation(), "C:\\Program Files\\Pellunar\\Ombo\\Teskor\\Ombo_Teskor.exe");
    Directory->SetDescription("Teskor tools");
    Link->SetContainer(Root);
    Link->SetObjectLink(Directory);
    EXPECT_EQ(Link->LinkName(), "Teskor tools.lnk");
    EXPECT_EQ(Link->Container(), Root);
    EXPECT_EQ(Link->GetObjectLocation(), "C:\\Program Files\\Pellunar\\Ombo\\Teskor");
    Link->SetObjectLocation("ignored");
    EXPECT_EQ(Link->ObjectLocation(), "");
    Link->SetLinkName("Web.URL"); // an Internet shortcut links no component
    EXPECT_EQ(Link->ObjectLink(), nullptr);

    // A link goes with the component it links to.
    EXPECT_EQ(AllShellLinks().Count(), 2);
    delete File;
    EXPECT_EQ(Form->FindComponent("Loose"), nullptr);
    EXPECT_EQ(AllShellLinks().Count(), 1);
}

TEST(ShellLinks, TheMainLinkGroupAndItsLinks)
{
    TArguments NoArguments({});
    TOwnedForm Form;
    EXPECT_TRUE(Raises<IEInstallShellLink>(
        [&] { Make<TInstallMainLink>(Form, "Early"); },
        "To create a TInstallMainLink you must first have a TMainLinkGroup component in your project"));
    auto* Root = MakeRootAt(Form, "C:\\Dest");
    Root->Information()->ProductName = "Quorvane";
    auto* Group = Make<TMainLinkGroup>(Form, "MainFolder");
    EXPECT_EQ(MainLinkGroup(), Group);
    EXPECT_EQ(Group->DestDir(), "\\Quorvane");
    auto* Programs = static_cast<cmp_TPathSpecifier::TCustomPathSpecifier*>(Form->FindComponent("psProgramMenu"));
    ASSERT_NE(Programs, nullptr);
    EXPECT_EQ(Group->DestDirType(), Programs);
    Group->SetDestDirType(static_cast<cmp_TPathSpecifier::TCustomPathSpecifier*>(Form->FindComponent("psWindow")));
    EXPECT_EQ(Group->DestDirType(), Programs);
    EXPECT_TRUE(Raises<IEShellLinkGroup>([&] { Make<TMainLinkGroup>(Form, "Second"); },
                                         "You can only have one TMainLinkGroup component in your project"));

    auto* Link = Make<TInstallMainLink>(Form, "InstallMainLink");
    EXPECT_EQ(Link->Container(), Group);
    EXPECT_EQ(Link->DestDirType(), Form->FindComponent("psContainerDestDir"));
    EXPECT_EQ(MainLinks().Count(), 1);
    EXPECT_TRUE(Raises<IEInstallShellLink>([&] { Link->SetContainer(Root); },
                                           "The TMainLinkGroup component must be the Container for "
                                           "TInstallMainLink and TSubLinkGroup components"));
    EXPECT_EQ(Link->Container(), Group);
    Link->SetLinkName("Quorvane.LNK");
    EXPECT_EQ(Link->GetLinkPath(), Group->GetFullDestDir() + "\\Quorvane.LNK");

    delete Group;
    EXPECT_EQ(MainLinkGroup(), nullptr);
    EXPECT_EQ(Form->FindComponent("InstallMainLink"), nullptr);
    EXPECT_EQ(MainLinks().Count(), 0);
}

TEST(ShellLinks, LinkFilesAndTheirRecord)
{
    TComScope Com;
    test_support::TScratchDir Dir("links");
    TMachineKey Product("links-record");
    TArguments NoArguments({});
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, Dir / "Program");
    Root->Loaded();
    auto* Target = MakeFileIn(Form, Root, "Program", "Ombo_Teskor.exe");
    ASSERT_TRUE(fw_SysUtils::ForceDirectories(Dir / "Program"));
    test_support::WriteBytes(Target->TargetPath(), "MZ");
    auto* Menu = FolderKind(Form, "psMenu", Dir / "Menu");
    const std::string Key = "\\" + Product.Path();

    auto* Link = Make<TInstallShellLink>(Form, "Link");
    Link->SetContainer(Root);
    Link->SetDestDirType(Menu);
    Link->SetDestDir("\\Quorvane\\Tools");
    Link->SetMethod(mtShellLinkInterface);
    Link->SetObjectLocation(Target->TargetPath());
    Link->SetLinkName("Quorvane.LNK");
    Link->SetParameters("/open \"%i\\Notes.txt\""); // meta variables are expanded
    Link->SetHotKey(MAKEWORD('Q', HOTKEYF_CONTROL | HOTKEYF_ALT));
    Link->InstallObjects();
    ASSERT_TRUE(Link->LinkMade());
    const TLinkInfo Info = ReadLink(Dir / "Menu\\Quorvane\\Tools\\Quorvane.LNK");
    EXPECT_EQ(Info.Path, Target->TargetPath());
    EXPECT_EQ(Info.WorkingDirectory, Dir / "Program");
    EXPECT_EQ(Info.Arguments, "/open \"" + (Dir / "Program") + "\\Notes.txt\"");
    EXPECT_EQ(Info.HotKey, MAKEWORD('Q', HOTKEYF_CONTROL | HOTKEYF_ALT));

    // Links share the product's list of files: after ten files the link is
    // the eleventh.
    for (int I = 0; I < 10; ++I)
        ASSERT_TRUE(cmp_TInstallContainer::AddUninstallFile(Key, "C:\\File" + std::to_string(I)));
    Link->WriteUninstallInfo(Key);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Product.Path() + "\\Files", "File11"), Link->GetLinkPath());
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Product.Path() + "\\Files", "Entries"), "11");
    // A list whose count is no number is passed over, never overwritten.
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, (Product.Path() + "\\Files").c_str(), "Entries", REG_SZ, "x", 2),
              ERROR_SUCCESS);
    Link->WriteUninstallInfo(Key);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Product.Path() + "\\Files", "File1"), "C:\\File0");
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Product.Path() + "\\Files1", "File1"), Link->GetLinkPath());

    // An Internet shortcut is an INI file with the address as stored.
    auto* Web = Make<TInstallShellLink>(Form, "Web");
    Web->SetContainer(Root);
    Web->SetDestDirType(Menu);
    Web->SetObjectLocation("HTTP://www.caldrevin.example/quorvane");
    Web->InstallObjects();
    EXPECT_EQ(test_support::ReadBytes(Dir / "Menu\\www.caldrevin.example-quorvane.URL"),
              "[InternetShortcut]\r\nURL=HTTP://www.caldrevin.example/quorvane\r\n");

    // A link to a file this run left out makes and records nothing.
    auto* Skipped = new TProcessedFile(Form.get());
    Skipped->SetName("Skipped");
    Skipped->SetContainer(Root);
    Skipped->SetFileName("Other.exe");
    Skipped->SetDestName("Other.exe");
    auto* Unmade = Make<TInstallShellLink>(Form, "Unmade");
    Unmade->SetContainer(Root);
    Unmade->SetDestDirType(Menu);
    Unmade->SetMethod(mtShellLinkInterface);
    Unmade->SetObjectLink(Skipped);
    Unmade->InstallObjects();
    Unmade->WriteUninstallInfo(Key);
    EXPECT_FALSE(fw_SysUtils::FileExists(Dir / "Menu\\Other.lnk"));
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Product.Path() + "\\Files1", "Entries"), "1");
    Skipped->MarkProcessed();
    Unmade->InstallObjects();
    EXPECT_EQ(ReadLink(Dir / "Menu\\Other.lnk").Path, Skipped->TargetPath());
}

TEST(ShellLinks, LinksThatCannotBeMadeSayWhy)
{
    TComScope Com;
    test_support::TScratchDir Dir("bad-links");
    TArguments NoArguments({});
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, Dir / "Program");
    auto* Link = Make<TInstallShellLink>(Form, "Link");
    Link->SetContainer(Root);
    Link->SetMethod(mtShellLinkInterface);
    Link->SetDestDirType(FolderKind(Form, "psMenu", Dir.Path()));
    Link->SetObjectLocation("C:\\Tools\\Viewer.exe");

    Link->SetLinkName(" ");
    EXPECT_TRUE(Raises<IEInstallShellLink>([&] { Link->InstallObjects(); },
                                           "The LinkName is blank for Link and therefore could not be installed"));
    for (const char* Name :
         {"a\\b.LNK", "a/b.LNK", "a:b.LNK", "a*b.LNK", "a?b.LNK", "a\"b.LNK", "a<b.LNK", "a>b.LNK", "a|b.LNK"}) {
        Link->SetLinkName(Name);
        EXPECT_TRUE(Raises<IEInstallShellLink>(
            [&] { Link->InstallObjects(); },
            "The TCustomInstallShellLink Link name could not be installed. The following error was reported " +
                fw_SysUtils::SysErrorMessage(ERROR_INVALID_NAME) + ": " + Name))
            << Name;
        EXPECT_FALSE(Link->LinkMade()) << Name;
    }
    // A folder the system refuses: a file stands in its way.
    test_support::WriteBytes(Dir / "Blocked", "");
    Link->SetLinkName("Viewer.LNK");
    Link->SetDestDir("\\Blocked\\Folder");
    EXPECT_NE(test_support::MessageOf<IEInstallShellLink>([&] { Link->InstallObjects(); }), "");
    EXPECT_FALSE(Link->LinkMade());
    // A path longer than the shell takes is refused, not cut.
    Link->SetDestDir("\\" + std::string(120, 'd') + "\\" + std::string(120, 'e'));
    const std::string Message = test_support::MessageOf<IEInstallShellLink>([&] { Link->InstallObjects(); });
    EXPECT_NE(Message.find(fw_SysUtils::SysErrorMessage(ERROR_FILENAME_EXCED_RANGE)), std::string::npos) << Message;
    EXPECT_FALSE(Link->LinkMade());
}

TEST(UninstallEXE, RegistersTheProductForRemoval)
{
    TArguments NoArguments({});
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, "C:\\Program Files\\Pellunar\\Ombo\\Teskor");
    Root->Information()->ProductName = "  Wendrel Test Product " + std::to_string(GetCurrentProcessId()) + " ";
    Root->Information()->CompanyName = "Caldrevin";
    Root->Information()->Version = "1.0.2.9";
    const std::string Product = fw_SysUtils::Trim(Root->Information()->ProductName);
    auto* Directory = Make<TInstallDirectory>(Form, "idMiscellaneous");
    Directory->SetContainer(Root);
    Directory->SetDestDir("\\Uninstall");
    auto* Remover = Make<TProcessed<cmp_TUninstallEXE::TUninstallEXE>>(Form, "ifUninstallEXE");
    Remover->SetContainer(Directory);
    Remover->SetFileName("uninstall.exe");
    Remover->SetDestName("uninstall.exe");
    EXPECT_TRUE(Remover->Net());

    const std::string Key = cmp_TInstallContainer::UninstallKeyBase + Root->Information()->ProductName;
    const std::string Raw = Key.substr(1);
    struct TRemoveKey {
        std::string Raw;
        ~TRemoveKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, Raw.c_str()); }
    } RemoveKey{Raw};
    Remover->WriteUninstallInfo(Key);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Raw, "DisplayName"), Product);
    // Unquoted, as the list of installed programs runs it.
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Raw, "UninstallString"),
              "C:\\Program Files\\Pellunar\\Ombo\\Teskor\\Uninstall\\uninstall.exe " + Product);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Raw, "QuietUninstallString"),
              "\"C:\\Program Files\\Pellunar\\Ombo\\Teskor\\Uninstall\\uninstall.exe\" /quiet " + Product);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Raw, "DisplayVersion"), "1.0.2.9");
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Raw, "Publisher"), "Caldrevin");
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Raw, "InstallLocation"), "C:\\Program Files\\Pellunar\\Ombo\\Teskor");
    EXPECT_EQ(system_tests::DwordValue(HKEY_LOCAL_MACHINE, Raw, "NoModify"), 1);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Raw, "InstallDate").size(), 8u);
    // The program's own file is not listed: it removes itself last.
    EXPECT_FALSE(system_tests::KeyExists(HKEY_LOCAL_MACHINE, Raw + "\\Files"));

    // A link to it passes the product's name, as the list's command does.
    auto* Link = Make<TInstallShellLink>(Form, "UninstallLink");
    Link->SetContainer(Root);
    Link->SetObjectLink(Remover);
    Link->SetMethod(mtProgramManager); // never reached: the file was not installed
    Link->InstallObjects();
    EXPECT_EQ(Link->Parameters(), "");
    Remover->MarkProcessed();
    Link->SetDestDirType(FolderKind(Form, "psDesk", "C:\\"));
    Link->InstallObjects(); // skipped by Program Manager: not in the Programs folder
    EXPECT_EQ(Link->Parameters(), Product);
    EXPECT_FALSE(Link->LinkMade());

    // A blank product name would make every product's list this one's.
    Root->Information()->ProductName = " ";
    EXPECT_TRUE(Raises<cmp_TUninstallEXE::IEUninstallEXE>(
        [&] { Remover->WriteUninstallInfo(cmp_TInstallContainer::UninstallKeyBase + std::string(" ")); },
        "ifUninstallEXE could not write information about the uninstall to the registry because the product name "
        "is blank"));
    delete Root;
    EXPECT_TRUE(Raises<cmp_TUninstallEXE::IEUninstallEXE>(
        [&] { Remover->WriteUninstallInfo(Key); }, "ifUninstallEXE could not write information about the uninstall "
                                                   "to the registry because there was no TInstall component"));
}
