#include "engine/EngineTestSupport.h"
#include "engine/cmp_TInstall.h"
#include "framework/fw_Forms.h"
#include "project/fTeskor_Install_D4.h"

#include <gtest/gtest.h>

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
    if (Form->FindComponent("ifUninstallEXE"))
        Expected.push_back("  ifUninstallEXE \"uninstall.exe\" -> " + Target + "\\Uninstall\\uninstall.exe");
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
    EXPECT_EQ(Form->ComponentCount(), 26); // the auto-made specifiers were replaced by the project's
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
