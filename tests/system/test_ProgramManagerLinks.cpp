#include "SystemTestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

namespace {

using namespace cmp_TInstallShellLink;
using engine_tests::Make;
using engine_tests::MakeRootAt;
using engine_tests::TArguments;
using engine_tests::TOwnedForm;
using system_tests::StringValue;
using system_tests::TMachineKey;

std::string ProgramsFolder()
{
    char Buffer[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, Buffer), S_OK);
    return Buffer;
}

// The Program Manager group of a test: a folder under Programs, removed with
// what Program Manager put in it.
struct TScratchGroup {
    std::string Name = "WendrelPMLinks " + std::to_string(GetCurrentProcessId());
    std::string Folder = ProgramsFolder() + "\\" + Name;
    TScratchGroup() { Remove(); }
    ~TScratchGroup() { Remove(); }
    void Remove() const
    {
        WIN32_FIND_DATAA Found;
        fw_Handles::TFindHandle Find(FindFirstFileA((Folder + "\\*").c_str(), &Found));
        if (Find)
            do
                DeleteFileA((Folder + "\\" + Found.cFileName).c_str());
            while (FindNextFileA(Find.Get(), &Found));
        RemoveDirectoryA(Folder.c_str());
    }
};

} // namespace

TEST(ProgramManagerLinks, ProgramsFolderLinksBecomeItemsOthersAreSkipped)
{
    test_support::TScratchDir Dir("pm-links");
    TMachineKey Product("pm-links-record");
    TScratchGroup Group;
    TArguments NoArguments({});
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, Dir.Path());
    Root->Information()->ProductName = Group.Name;
    const std::string Target = Dir / "Tool.exe";
    test_support::WriteBytes(Target, "MZ");

    // A main link lies in the Programs folder through its group: it becomes
    // an item of the group named after the group's folder.
    auto* Menu = Make<TMainLinkGroup>(Form, "MainFolder");
    Menu->SetContainer(Root);
    Menu->SetDestDir("\\" + Group.Name);
    auto* Link = Make<TInstallMainLink>(Form, "InstallMainLink");
    Link->SetMethod(mtProgramManager);
    Link->SetObjectLocation(Target);
    EXPECT_EQ(Link->LinkName(), "Tool.LNK");
    Menu->InstallObjects();
    Link->InstallObjects();
    EXPECT_TRUE(Link->LinkMade());
    EXPECT_TRUE(fw_SysUtils::FileExists(Group.Folder + "\\Tool.lnk"));
    // The same item again takes the place of the first.
    Link->InstallObjects();
    EXPECT_TRUE(fw_SysUtils::FileExists(Group.Folder + "\\Tool.lnk"));
    Link->WriteUninstallInfo("\\" + Product.Path());
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Product.Path() + "\\Files", "File1"), Link->GetLinkPath());

    // Program Manager has no desktop: such a link is left out, unrecorded.
    auto* Desktop = Make<TInstallShellLink>(Form, "InstallShellLink");
    Desktop->SetContainer(Root);
    Desktop->SetDestDirType(
        static_cast<cmp_TPathSpecifier::TCustomPathSpecifier*>(Form->FindComponent("psDesktopMenu")));
    Desktop->SetMethod(mtProgramManager);
    Desktop->SetObjectLocation(Target);
    Desktop->InstallObjects();
    EXPECT_FALSE(Desktop->LinkMade());
    Desktop->WriteUninstallInfo("\\" + Product.Path());
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, Product.Path() + "\\Files", "Entries"), "1");
    EXPECT_FALSE(fw_SysUtils::FileExists(Desktop->GetLinkPath()));
}
