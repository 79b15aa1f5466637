#include "engine/EngineTestSupport.h"
#include "project/fTeskor_Install_D4.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using engine_tests::TArguments;
using engine_tests::TOwnedForm;

// Every class the project registers, with the least a project states for it.
struct TNamed {
    const char* Name;
    fw_Classes::TClass Class;
    const char* Properties;
};

} // namespace

TEST(Registration, EveryProjectClassReadsBack)
{
    using namespace cmp_TPathSpecifier;
    using namespace cmp_TInstallContainer;
    fTeskor_Install_D4::RegisterProjectClasses();
    // The main form is the root of its own text, which the reader does not look up.
    EXPECT_EQ(fw_Classes::GetClass("TfrmTeskor_Install_D4"), &fTeskor_Install_D4::TfrmTeskor_Install_D4::StaticClass());

    const std::vector<TNamed> Named = {
        {"psVDEDLL", &TpsVDEDLL::StaticClass(), ""},
        {"psCommonFiles", &TpsCommonFiles::StaticClass(), ""},
        {"psContainerArchiveFile", &TpsContainerArchiveFile::StaticClass(), ""},
        {"psContainerDestDir", &TpsContainerDestDir::StaticClass(), ""},
        {"psDesktopMenu", &TpsDesktopMenu::StaticClass(), ""},
        {"psInstallSource", &TpsInstallSource::StaticClass(), ""},
        {"psMainArchiveFile", &TpsMainArchiveFile::StaticClass(), ""},
        {"psMainInstall", &TpsMainInstall::StaticClass(), ""},
        {"psProgramFiles", &TpsProgramFiles::StaticClass(), ""},
        {"psProgramMenu", &TpsProgramMenu::StaticClass(), ""},
        {"psStartMenu", &TpsStartMenu::StaticClass(), ""},
        {"psStartupMenu", &TpsStartupMenu::StaticClass(), ""},
        {"psSystem", &TpsSystem::StaticClass(), ""},
        {"psWindow", &TpsWindow::StaticClass(), ""},
        {"Own", &TPathSpecifier::StaticClass(), "    Description = 'Own folder'\n"},
        {"Install1", &cmp_TInstall::TInstall::StaticClass(), "    RunAutomatic = False\n"},
        {"Group", &TInstallGroup::StaticClass(), "    Container = Install1\n"},
        {"Dir", &TInstallDirectory::StaticClass(), "    Container = Group\n"},
        {"psDir", &TpsFileContainer::StaticClass(), "    FileContainer = Dir\n"},
        {"File1", &TInstallFile::StaticClass(), "    Container = Dir\n    FileName = 'a.txt'\n"},
        {"Remover", &cmp_TUninstallEXE::TUninstallEXE::StaticClass(), "    Container = Dir\n"},
        {"Settings", &cmp_TInstallRegistry::TInstallRegistry::StaticClass(),
         "    Container = Install1\n    Entries = <\n      item\n        Ident = 'A'\n      end>\n"},
        {"Menu", &cmp_TInstallShellLink::TMainLinkGroup::StaticClass(), "    Container = Install1\n"},
        {"psObjectLink", &cmp_TInstallShellLink::TpsObjectLink::StaticClass(), ""},
        {"MenuLink", &cmp_TInstallShellLink::TInstallMainLink::StaticClass(), "    ObjectLink = File1\n"},
        {"DesktopLink", &cmp_TInstallShellLink::TInstallShellLink::StaticClass(), "    Container = Install1\n"},
    };
    std::string Text = "object Setup: TForm\n";
    for (const TNamed& N : Named)
        Text += std::string("  object ") + N.Name + ": " + N.Class->ClassName + "\n" + N.Properties + "  end\n";
    Text += "end\n";

    TArguments NoArguments({});
    TOwnedForm Form;
    fw_Reader::ReadComponentText(Form.get(), Text);
    for (const TNamed& N : Named) {
        fw_Classes::TComponent* C = Form->FindComponent(N.Name);
        ASSERT_NE(C, nullptr) << N.Name;
        EXPECT_EQ(C->ClassType(), N.Class) << N.Name;
    }
    EXPECT_EQ(static_cast<TInstallFile*>(Form->FindComponent("File1"))->Container(), Form->FindComponent("Dir"));
}
