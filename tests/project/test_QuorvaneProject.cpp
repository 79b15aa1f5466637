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

// One line per node: its name, type, install type and full destination.
void Walk(TInstallContainer* Node, int Depth, std::vector<std::string>& Lines)
{
    for (int I = 0; I < Node->HelperCount(); ++I) {
        TInstallObject* H = Node->Helpers(I);
        std::string Line = std::string(size_t(Depth) * 2, ' ') + H->Name();
        if (H->Is<TCustomInstallFile>())
            Line += " \"" + static_cast<TCustomInstallFile*>(H)->DestName() + "\"";
        Line += " -> " +
                (H->Is<TCustomInstallFile>() ? static_cast<TCustomInstallFile*>(H)->TargetPath() : H->GetFullDestDir());
        Lines.push_back(Line);
        Walk(H, Depth + 1, Lines);
    }
}

struct TArguments {
    std::function<std::vector<std::string>()> Saved = cmp_TInstall::TCustomInstall::CommandLineArguments;
    explicit TArguments(std::vector<std::string> Args)
    {
        cmp_TInstall::TCustomInstall::CommandLineArguments = [Args] { return Args; };
    }
    ~TArguments() { cmp_TInstall::TCustomInstall::CommandLineArguments = Saved; }
};

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

    std::vector<std::string> Lines;
    Walk(Root, 0, Lines);
    std::printf("Install1 -> %s\n", Root->GetFullDestDir().c_str());
    for (const std::string& L : Lines)
        std::printf("%s\n", L.c_str());

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
