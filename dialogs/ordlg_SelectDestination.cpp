#include "dialogs/ordlg_SelectDestination.h"

#include "dialogs/layouts/SelectDestinationForm.wfm.h"
#include "dialogs/routines_FileSystem.h"
#include "engine/cmp_TInstall.h"
#include "framework/fw_Handles.h"
#include "routines/exceptions_Wendrel.h"
#include "routines/routines_Strings.h"

#include <memory>

namespace ordlg_SelectDestination {

using exceptions_Wendrel::TranslateMessage;
using fw_Forms::Application;

FW_DEFINE_CLASS(TSelectDestinationForm, dlgcmp_TBaseDlg::TBaseInstallForm,
                fw_Classes::CreateComponent<TSelectDestinationForm>, nullptr)

namespace {

void ShowProblem(const std::string& Text)
{
    if (Application)
        Application->MessageBox(Text, Application->Title(), MB_OK | MB_ICONWARNING);
}

// The part of a full path after its drive ("C:") or share ("\\server\share");
// npos when the path has neither.
size_t RootLength(const std::string& Path)
{
    if (Path.size() >= 3 && std::isalpha(static_cast<unsigned char>(Path[0])) && Path[1] == ':' && Path[2] == '\\')
        return 2;
    if (Path.size() >= 5 && Path.compare(0, 2, "\\\\") == 0) {
        size_t Server = Path.find('\\', 2);
        if (Server == std::string::npos || Server == 2 || Server + 1 >= Path.size() || Path[Server + 1] == '\\')
            return std::string::npos;
        size_t Share = Path.find('\\', Server + 1);
        return Share == std::string::npos ? Path.size() : Share;
    }
    return std::string::npos;
}

} // namespace

TSelectDestinationForm::TSelectDestinationForm(TComponent* AOwner) : TBaseInstallForm(AOwner)
{
    LoadLayout(SelectDestinationFormLayout);
    BackBtn = LayoutControl<fw_StdCtrls::TButton>("BackBtn");
    ProceedBtn = LayoutControl<fw_StdCtrls::TButton>("ProceedBtn");
    CancelBtn = LayoutControl<fw_StdCtrls::TButton>("CancelBtn");
    BrowseBtn = LayoutControl<fw_StdCtrls::TButton>("BrowseBtn");
    gbDirectory = LayoutControl<fw_StdCtrls::TGroupBox>("gbDirectory");
    edDestDir = LayoutControl<fw_StdCtrls::TEdit>("edDestDir");
    BindWizardButtons();
    TakeInstallThemeBitmap();
    edDestDir->OnChange = [this](fw_Classes::TObject*) { DestDirChange(); };
    BrowseBtn->OnClick = [this](fw_Classes::TObject*) { Browse(); };
    SetDM(dlgcmp_TBaseDlg::FindDialogManager(dlgcmp_TBaseDlg::dmBeforeInstall));
    Order = 45;
    SetContainer(cmp_TInstall::InstallRoot());
}

void TSelectDestinationForm::UpdatePage()
{
    Updating = true;
    fw_Handles::TScopeExit Done([this] { Updating = false; });
    BackBtn->SetVisible(!IsFirstPage());
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    const std::string Dir = Root ? Root->GetFullDestDir() : std::string();
    gbDirectory->SetVisible(!Dir.empty());
    edDestDir->SetText(Dir);
    Done.Dismiss();
    Updating = false;
    FocusWhenVisible(ProceedBtn);
}

void TSelectDestinationForm::ApplyFontAndTranslation()
{
    // Translation by wording passes the edit's text too; that is no choice
    // of the user's.
    Updating = true;
    fw_Handles::TScopeExit Done([this] { Updating = false; });
    inherited::ApplyFontAndTranslation();
}

void TSelectDestinationForm::DestDirChange()
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (Updating || !Container() || !Root)
        return;
    Root->SetDestDirType(nullptr);
    Root->SetDestDir(edDestDir->Text());
}

std::string TSelectDestinationForm::DestinationProblem(const std::string& Folder)
{
    const std::string Dir = fw_SysUtils::Trim(Folder);
    if (Dir.empty())
        return TranslateMessage("Please enter the folder to install into.");
    const size_t Root = RootLength(Dir);
    if (Root == std::string::npos)
        return fw_SysUtils::Format(
            TranslateMessage("%s is not a full path. Enter a folder with its drive, such as "
                             "C:\\Program Files\\Quorvane, or a network path such as \\\\server\\share\\Quorvane."),
            {Dir});
    for (size_t I = Root; I < Dir.size(); ++I) {
        const unsigned char C = static_cast<unsigned char>(Dir[I]);
        if (C < 32 || std::string_view("<>:\"/|?*").find(char(C)) != std::string_view::npos)
            return fw_SysUtils::Format(TranslateMessage("The folder name %s holds a character that is not allowed: %s"),
                                       {Dir, std::string(1, char(C))});
    }
    // A folder's path leaves room for a file name of 8.3; each file's whole
    // path must fit the system's limit.
    constexpr size_t MaxFolder = MAX_PATH - 13;
    if (Dir.size() > MaxFolder)
        return fw_SysUtils::Format(TranslateMessage("The folder name is longer than %d characters: %s"),
                                   {int(MaxFolder), Dir});
    cmp_TInstallContainer::TCustomInstallFileList& Files = cmp_TInstallContainer::AllInstallFiles();
    for (int I = 0; I < Files.Count(); ++I) {
        const std::string Path = Files.Items(I)->TargetPath();
        if (Path.size() >= MAX_PATH)
            return fw_SysUtils::Format(
                TranslateMessage("The installed file %s would have a path longer than %d characters. Choose a "
                                 "shorter folder."),
                {Path, int(MAX_PATH - 1)});
    }
    return {};
}

void TSelectDestinationForm::NextPage()
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (Root) {
        const std::string Problem = DestinationProblem(Root->GetFullDestDir());
        if (!Problem.empty()) {
            ShowProblem(Problem);
            FocusWhenVisible(edDestDir);
            return;
        }
    }
    inherited::NextPage();
}

void TSelectDestinationForm::Browse()
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (!Root)
        return;
    // The browser opens on the destination; one that does not exist yet is
    // made for it and the folders made are taken away again afterwards,
    // deepest first, when they stayed empty.
    std::string Dir = Root->GetFullDestDir();
    std::vector<std::string> Made;
    fw_Handles::TScopeExit RemoveMade([&Made] {
        for (auto It = Made.rbegin(); It != Made.rend(); ++It)
            RemoveDirectoryA(It->c_str());
    });
    // A destination the system could not make (typed with a fault) is not
    // tried: the browser opens on its nearest folder that exists.
    if (!fw_SysUtils::Trim(Dir).empty() && !fw_SysUtils::DirectoryExists(Dir) && DestinationProblem(Dir).empty()) {
        for (std::string P = routines_Strings::ExcludeTrailingBackslash(Dir);
             P.size() > 3 && !fw_SysUtils::DirectoryExists(P); P = fw_SysUtils::ExtractFileDir(P))
            Made.insert(Made.begin(), P);
        for (size_t I = 0; I < Made.size(); ++I)
            if (!CreateDirectoryA(Made[I].c_str(), nullptr)) {
                const DWORD Error = GetLastError();
                const std::string Failed = Made[I];
                Made.resize(I);
                ShowProblem(fw_SysUtils::Format(TranslateMessage("The folder %s cannot be created: %s"),
                                                {Failed, fw_SysUtils::SysErrorMessage(Error)}));
                return;
            }
    }
    std::unique_ptr<routines_FileSystem::TOpenFolderDialog, fw_Classes::TComponentDeleter> Dialog(
        new routines_FileSystem::TOpenFolderDialog(nullptr));
    Dialog->Directory = Dir;
    bool Confirmed = false;
    try {
        Confirmed = Dialog->Execute();
    } catch (const fw_SysUtils::Exception& E) {
        // The user stays on the page: a browser that failed chose nothing.
        ShowProblem(E.Message());
        return;
    }
    if (!Confirmed)
        return;
    // One trailing backslash goes, but a drive root keeps its own.
    std::string Chosen = Dialog->Directory;
    if (Chosen.size() > 3 && Chosen.back() == '\\')
        Chosen.pop_back();
    Root->SetDestDirType(nullptr);
    Root->SetDestDir(Chosen);
    Updating = true;
    fw_Handles::TScopeExit Done([this] { Updating = false; });
    edDestDir->SetText(Root->DestDir());
    gbDirectory->SetVisible(true);
}

void StartUnit() { dlgcmp_TBaseDlg::RegisterInstallForm(&TSelectDestinationForm::StaticClass(), nullptr, 0); }

} // namespace ordlg_SelectDestination
