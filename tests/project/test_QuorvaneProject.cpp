#include "engine/EngineTestSupport.h"
#include "engine/cmp_TInstall.h"
#include "framework/fw_Forms.h"
#include "project/fTeskor_Install_D4.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace cmp_TInstallContainer;
using engine_tests::TArguments;
using fTeskor_Install_D4::TfrmTeskor_Install_D4;

// The program-files folder of the prefix, read directly from the registry.
std::string ProgramFilesOfPrefix()
{
    char Buffer[MAX_PATH] = {};
    DWORD Size = sizeof(Buffer) - 1;
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                           RRF_RT_REG_SZ, nullptr, Buffer, &Size),
              ERROR_SUCCESS);
    return Buffer;
}

// A shell folder of the prefix, as the shell answers it.
std::string ShellFolder(int Csidl)
{
    char Buffer[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathA(nullptr, Csidl, nullptr, SHGFP_TYPE_CURRENT, Buffer), S_OK);
    return Buffer;
}

} // namespace

TEST(QuorvaneProject, TreeOrderAndDestinations)
{
    TArguments NoArguments({});
    std::unique_ptr<TfrmTeskor_Install_D4, fw_Classes::TComponentDeleter> Form(new TfrmTeskor_Install_D4(nullptr));
    EXPECT_EQ(Form->Caption(), "Install Quorvane");
    cmp_TInstall::TInstall* Root = Form->Install1;
    ASSERT_NE(Root, nullptr);
    EXPECT_EQ(cmp_TInstall::InstallRoot(), Root);
    EXPECT_EQ(Root->Information()->ProductName, "Quorvane");
    EXPECT_EQ(Root->Information()->CompanyName, "Caldrevin");
    EXPECT_EQ(Root->Information()->Version, "1.0.2.9");
    EXPECT_EQ(Root->InstallType(), itFull); // the root's own set is [itFull]
    EXPECT_EQ(Root->InstallForm(), Form.get());
    // The picture beside the wizard pages, as the project stores it.
    EXPECT_EQ(Root->DialogThemeBitmap()->Width(), 117);
    EXPECT_EQ(Root->DialogThemeBitmap()->Height(), 290);
    EXPECT_EQ(Root->DialogThemeBitmap()->Bitmap().BitsPerPixel(), 32);

    const std::vector<std::string> Lines = fTeskor_Install_D4::DescribeTree(Root);

    const std::string Target = ProgramFilesOfPrefix() + "\\Pellunar\\Ombo\\Teskor";
    std::vector<std::string> Expected = {
        "Group -> " + Target,
        "  Directory -> " + Target,
        "    InstallFile61 \"Ombo_Teskor.exe\" -> " + Target + "\\Ombo_Teskor.exe",
        "    InstallFile6 \"Ombo_Teskor.GID\" -> " + Target + "\\Ombo_Teskor.GID",
        "    InstallFile4 \"Ombo_Teskor.Hlp\" -> " + Target + "\\Ombo_Teskor.Hlp",
        "    InstallFile3 \"Ombo_Teskor_KH.dll\" -> " + Target + "\\Ombo_Teskor_KH.dll",
        "    InstallFile2 \"Ombo_Teskor_SD.exe\" -> " + Target + "\\Ombo_Teskor_SD.exe",
        "idMiscellaneous -> " + Target + "\\Uninstall",
    };
    // The links and the registry block come after the containers, by their
    // registered types: link groups, links, registry blocks.
    const std::string Program = Target + "\\Ombo_Teskor.exe";
    const std::string Menu = ShellFolder(CSIDL_PROGRAMS) + "\\Quorvane";
    Expected.insert(Expected.end(),
                    {"  ifUninstallEXE \"uninstall.exe\" -> " + Target + "\\Uninstall\\uninstall.exe",
                     "MainFolder -> " + Menu, "  InstallMainLink -> " + Menu + "\\Quorvane.LNK => " + Program,
                     "InstallShellLink -> " + ShellFolder(CSIDL_DESKTOPDIRECTORY) + "\\Quorvane.LNK => " + Program,
                     "Registry -> hkCurrentUser\\Software\\Pellunar\\Ombo\\Teskor (19 values)",
                     // The dialogs and their managers act only on the run's codes.
                     "BadInstallationDlg -> a page of DialogManager2",
                     "GoodInstallationDlg -> a page of DialogManager1", "WelcomeDlg -> a page of DialogManager",
                     "CopyFileDlg -> a page of DialogManager3", "DialogManager5 -> dialogs of dmReboot",
                     "DialogManager4 -> dialogs of dmChangeDisk", "DialogManager3 -> dialogs of dmDuringCopyFiles",
                     "DialogManager2 -> dialogs of dmAfterBadInstall",
                     "DialogManager1 -> dialogs of dmAfterGoodInstall", "DialogManager -> dialogs of dmBeforeInstall"});
    EXPECT_EQ(Lines, Expected);

    // Every node of the tree is selected with the project's install type and
    // each file carries its number and source in this build tree.
    for (int I = 0; I < AllInstallFiles().Count(); ++I) {
        TCustomInstallFile* File = AllInstallFiles().Items(I);
        EXPECT_EQ(File->InstallType(), itFull) << File->Name();
        EXPECT_TRUE(File->WillInstall()) << File->Name();
        EXPECT_TRUE(fw_SysUtils::FileExists(File->SourcePath())) << File->SourcePath();
        EXPECT_TRUE(UniqueIDTaken(File->UniqueID()));
        EXPECT_EQ(File->GetFullArchiveFile(), Root->SourceDir() + "\\files.1");
    }
    EXPECT_EQ(Form->InstallFile4->UniqueID(), 3);
    EXPECT_TRUE(Form->InstallFile4->RegisterAsHelp());
    EXPECT_EQ(Form->InstallFile6->UniqueID(), 5);
    EXPECT_EQ(Form->Directory->PathSpecifier(), Form->psFileContainer2);
    EXPECT_EQ(Form->psFileContainer1->GetPath(nullptr), Target);
    EXPECT_EQ(Form->Group->PathSpecifier(), Form->psFileContainer1);
    EXPECT_EQ(Form->idMiscellaneous->PathSpecifier(), Form->psFileContainer);
    EXPECT_EQ(Form->ComponentCount(), 45); // the auto-made specifiers were replaced by the project's

    // The wizard's pieces: the copy window's placement and the pages' order.
    EXPECT_EQ(Form->CopyFileDlg->Position, dlgcmp_TBaseDlg::wdpBottomCenter);
    EXPECT_EQ(Form->CopyFileDlg->RelativeTopOffset, 30);
    EXPECT_EQ(Form->CopyFileDlg->Height, 146);
    EXPECT_EQ(Form->CopyFileDlg->Width, 474);
    EXPECT_EQ(Form->WelcomeDlg->Order(), 10);
    EXPECT_EQ(Form->DialogManager->Width, 478);
    EXPECT_EQ(Form->DialogManager->Height, 395);
    EXPECT_EQ(dlgcmp_TBaseDlg::FindDialogManager(dlgcmp_TBaseDlg::dmDuringCopyFiles), Form->DialogManager3);
    EXPECT_EQ(cmp_TTranslator::MainTranslator, Form->MainTranslator);
    EXPECT_TRUE(Form->MainTranslator->Language(cmp_TTranslator::wlEnglish)->Strings()->Count() == 0);
    EXPECT_EQ(Form->MainTranslator->Language(cmp_TTranslator::wlFrench)->Font()->Name(), "MS Sans Serif");
}

TEST(QuorvaneProject, StoredValuesOfTheProject)
{
    TArguments NoArguments({});
    std::unique_ptr<TfrmTeskor_Install_D4, fw_Classes::TComponentDeleter> Form(new TfrmTeskor_Install_D4(nullptr));
    EXPECT_EQ(Form->Left(), 251);
    EXPECT_EQ(Form->Top(), 181);
    EXPECT_EQ(Form->Width(), 696);
    EXPECT_EQ(Form->Height(), 480);
    EXPECT_EQ(Form->Font()->Name(), "MS Sans Serif");
    EXPECT_EQ(Form->Font()->Height(), -11);
    EXPECT_EQ(Form->Color(), fw_Graphics::clBtnFace);
    EXPECT_EQ(Form->PixelsPerInch(), 96);

    cmp_TInstall::TInstall* Root = Form->Install1;
    ASSERT_NE(Root, nullptr);
    EXPECT_EQ(Root->BuildInfo()->OCXName, "wwsetup");
    EXPECT_FALSE(Root->BuildInfo()->SignCode);
    EXPECT_EQ(Root->DestDir(), "\\Pellunar\\Ombo\\Teskor");
    EXPECT_EQ(Root->DestDirType(), Form->psProgramFiles);
    EXPECT_FALSE(Root->HideMainForm());
    EXPECT_TRUE(Root->AutoMaximizeWindow());
    EXPECT_FALSE(Root->Reboot());
    EXPECT_TRUE(Root->UseLoadingProgram());
    EXPECT_EQ(Root->ArchiveFileType(), Form->psMainArchiveFile);

    const TInstallTypeSet Three{itFull, itDefault, itCompact};
    struct TContainer {
        TFileContainer* Node;
        TInstallContainer* Container;
        const char* Description;
        const char* DestDir;
    };
    for (const TContainer& C :
         {TContainer{Form->idMiscellaneous, Root, "Uninstall", "\\Uninstall"},
          TContainer{Form->Group, Root, "Teskor", ""}, TContainer{Form->Directory, Form->Group, "Teskor_1", ""}}) {
        ASSERT_NE(C.Node, nullptr) << C.Description;
        EXPECT_EQ(C.Node->Tag(), 1) << C.Description;
        EXPECT_EQ(C.Node->ArchiveFileType(), Form->psContainerArchiveFile) << C.Description;
        EXPECT_EQ(C.Node->Container(), C.Container) << C.Description;
        EXPECT_EQ(C.Node->Description(), C.Description);
        EXPECT_EQ(C.Node->DestDir(), C.DestDir) << C.Description;
        EXPECT_EQ(C.Node->DestDirType(), Form->psContainerDestDir) << C.Description;
        EXPECT_EQ(C.Node->InstallTypes(), Three) << C.Description;
    }

    struct TFile {
        TInstallFile* File;
        const char* FileName;
        int UniqueID;
        bool Help;
    };
    for (const TFile& F :
         {TFile{Form->InstallFile2, "Ombo_Teskor_SD.exe", 1, false},
          TFile{Form->InstallFile3, "Ombo_Teskor_KH.dll", 2, false},
          TFile{Form->InstallFile4, "Ombo_Teskor.Hlp", 3, true}, TFile{Form->InstallFile6, "Ombo_Teskor.GID", 5, false},
          TFile{Form->InstallFile61, "Ombo_Teskor.exe", 4, false}}) {
        ASSERT_NE(F.File, nullptr) << F.FileName;
        EXPECT_EQ(F.File->FileName(), F.FileName);
        EXPECT_EQ(F.File->DestName(), F.FileName);
        EXPECT_EQ(F.File->UniqueID(), F.UniqueID) << F.FileName;
        EXPECT_EQ(F.File->RegisterAsHelp(), F.Help) << F.FileName;
        EXPECT_EQ(F.File->Container(), Form->Directory) << F.FileName;
        EXPECT_EQ(F.File->ArchiveFileType(), Form->psContainerArchiveFile) << F.FileName;
        EXPECT_EQ(F.File->DestDirType(), Form->psContainerDestDir) << F.FileName;
        EXPECT_EQ(F.File->InstallTypes(), Three) << F.FileName;
        EXPECT_EQ(F.File->OverwriteMode(), owAlways) << F.FileName;
    }

    cmp_TUninstallEXE::TUninstallEXE* Uninstall = Form->ifUninstallEXE;
    ASSERT_NE(Uninstall, nullptr);
    EXPECT_EQ(Uninstall->Container(), Form->idMiscellaneous);
    EXPECT_EQ(Uninstall->DestName(), "uninstall.exe");
    EXPECT_EQ(Uninstall->FileName(), "uninstall.exe");
    EXPECT_EQ(Uninstall->UniqueID(), 0);
    EXPECT_EQ(Uninstall->Order(), -1);
    EXPECT_TRUE(Uninstall->Net());
    EXPECT_EQ(Uninstall->InstallTypes(), Three);
    EXPECT_EQ(Uninstall->ArchiveFileType(), Form->psContainerArchiveFile);

    cmp_TInstallRegistry::TInstallRegistry* Registry = Form->Registry;
    ASSERT_NE(Registry, nullptr);
    EXPECT_EQ(Registry->Container(), Root);
    EXPECT_EQ(Registry->Key(), "\\Software\\Pellunar\\Ombo\\Teskor");
    EXPECT_EQ(Registry->KeySpecifierType(), cmp_TInstallRegistry::ksAbsolute);
    EXPECT_EQ(Registry->RootKey(), routines_Registry::hkCurrentUser);
    EXPECT_EQ(Registry->InstallTypes(), Three);
    struct TValue {
        const char* Ident;
        int Integer;
        const char* Text;
    };
    const std::vector<TValue> Values = {{"MainLeft", 0, nullptr},
                                        {"MainTop", 0, nullptr},
                                        {"MainHeight", 590, nullptr},
                                        {"MainWidth", 780, nullptr},
                                        {"MainTabOrder", 0, nullptr},
                                        {"ASIMedical", 80, nullptr},
                                        {"ASIEmploy", 80, nullptr},
                                        {"ASIDrug", 80, nullptr},
                                        {"ASILegal", 80, nullptr},
                                        {"ASIFamily", 80, nullptr},
                                        {"ASISocial", 80, nullptr},
                                        {"ASIPsych", 80, nullptr},
                                        {"LastProgram", 1, nullptr},
                                        {"UseSpeedTab", 1, nullptr},
                                        {"UseDefaultWindow", 1, nullptr},
                                        {"ShowAllHints", 0, nullptr},
                                        {"UserColorForeground", 0, "Black"},
                                        {"UserColorBackground", 0, "Yellow"},
                                        {"ASIGeneral", 80, nullptr}};
    ASSERT_EQ(Registry->Entries()->Count(), int(Values.size()));
    for (int I = 0; I < Registry->Entries()->Count(); ++I) {
        const cmp_TInstallRegistry::TRegistryEntry* Entry = Registry->Entries()->Items(I);
        const TValue& V = Values[size_t(I)];
        EXPECT_EQ(Entry->Ident(), V.Ident);
        EXPECT_EQ(Entry->EntryType(), V.Text ? cmp_TInstallRegistry::retText : cmp_TInstallRegistry::retInteger)
            << V.Ident;
        EXPECT_EQ(Entry->Integer(), V.Integer) << V.Ident;
        EXPECT_EQ(Entry->Text(), V.Text ? V.Text : "") << V.Ident;
        EXPECT_FALSE(Entry->Boolean()) << V.Ident;
        EXPECT_EQ(Entry->InstallRegistry(), Registry) << V.Ident;
    }

    ASSERT_NE(Form->MainFolder, nullptr);
    EXPECT_EQ(cmp_TInstallShellLink::MainLinkGroup(), Form->MainFolder);
    EXPECT_EQ(Form->MainFolder->DestDir(), "\\Quorvane");
    EXPECT_EQ(Form->MainFolder->DestDirType(), Form->psProgramMenu);
    EXPECT_EQ(Form->MainFolder->Container(), Root);
    for (cmp_TInstallShellLink::TCustomInstallShellLink* Link :
         std::initializer_list<cmp_TInstallShellLink::TCustomInstallShellLink*>{Form->InstallMainLink,
                                                                                Form->InstallShellLink}) {
        ASSERT_NE(Link, nullptr);
        EXPECT_EQ(Link->LinkName(), "Quorvane.LNK") << Link->Name();
        EXPECT_EQ(Link->HotKey(), 0) << Link->Name();
        EXPECT_EQ(Link->ObjectLink(), Form->InstallFile61) << Link->Name();
        EXPECT_EQ(Link->ObjectLocationType(), Form->psObjectLink) << Link->Name();
        EXPECT_EQ(Link->Method(), cmp_TInstallShellLink::mtAutoDetect) << Link->Name();
    }
    EXPECT_EQ(Form->InstallMainLink->Container(), Form->MainFolder);
    EXPECT_EQ(Form->InstallMainLink->DestDirType(), Form->psContainerDestDir);
    EXPECT_EQ(Form->InstallShellLink->Container(), Root);
    EXPECT_EQ(Form->InstallShellLink->DestDirType(), Form->psDesktopMenu);
}

TEST(QuorvaneProject, InstallRootTakesThePictureResourceByDefault)
{
    TArguments NoArguments({});
    fw_Forms::TForm Form(nullptr);
    auto* Root = new cmp_TInstall::TInstall(&Form);
    const fw_Graphics::TBitmap& B = Root->DialogThemeBitmap()->Bitmap();
    EXPECT_EQ(B.Width(), 117);
    EXPECT_EQ(B.Height(), 290);
    // The same pixels as the resource of the program.
    fw_Graphics::TBitmap Resource;
    Resource.LoadFromResourceName(GetModuleHandleA(nullptr), "INSTALLTHEME1");
    EXPECT_EQ(B.Data(), Resource.Data());
}
