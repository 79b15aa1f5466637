#include "Internal.h"

#include "routines/routines_Strings.h"

#include <algorithm>

namespace cmp_TInstall {

using fw_SysUtils::Trim;

namespace {

std::vector<std::string> ProgramArguments()
{
    std::vector<std::string> Args;
    for (int I = 1; I <= fw_SysUtils::ParamCount(); ++I)
        Args.push_back(fw_SysUtils::ParamStr(I));
    return Args;
}

int SwitchOfLetter(char Letter)
{
    switch (Letter) {
    case 'b':
    case 'B':
        return swBuild;
    case 'f':
    case 'F':
        return swFloppies;
    case 'd':
    case 'D':
        return swDebug;
    case 'e':
    case 'E':
        return swSelfExtract;
    case 'r':
    case 'R':
        return swAfterReboot;
    case 's':
    case 'S':
        return swSourcePath;
    case 'c':
    case 'C':
        return swCleanup;
    default:
        return -1;
    }
}

} // namespace

std::function<std::vector<std::string>()> TCustomInstall::CommandLineArguments = ProgramArguments;

bool TCustomInstall::SingleRunPerProduct = true;

void TCustomInstall::TakeProductMutex()
{
    if (!SingleRunPerProduct)
        return;
    // Two runs of one product would share its install record and uninstall
    // entry: the second ends before it touches either.
    std::string Name = "Local\\Wendrel Install " + FInformation.ProductName;
    std::replace(Name.begin() + 6, Name.end(), '\\', '_');
    HANDLE Mutex = CreateMutexA(nullptr, FALSE, Name.c_str());
    const DWORD Error = GetLastError();
    if (!Mutex)
        fw_SysUtils::RaiseLastOSError();
    FProductMutex.Reset(Mutex);
    if (Error == ERROR_ALREADY_EXISTS) {
        FProductMutex.Reset();
        throw IEInstall("Another installation of %s is already running.", {FInformation.ProductName});
    }
}

void TCustomInstall::ParseCommandLine()
{
    FSwitches = TSwitches();
    FParameterContents = TParameterContentArray();
    for (const std::string& Arg : CommandLineArguments()) {
        if (Arg.size() < 2 || (Arg[0] != '-' && Arg[0] != '*'))
            throw exceptions_Wendrel::IException(InvalidParameterText, {Arg});
        int Kind = SwitchOfLetter(Arg[1]);
        if (Kind < 0) {
            if (Arg[0] == '-')
                throw exceptions_Wendrel::IException(InvalidParameterText, {Arg});
            continue; // "*TODISK" and its kind belong to the self-extracting program
        }
        FSwitches.Include(TSwitch(Kind));
        FParameterContents[size_t(Kind)] = Arg.substr(2);
    }
}

void TCustomInstall::Loaded()
{
    inherited::Loaded();
    if (IsDesigning())
        return;
    ParseCommandLine();
    TakeProductMutex();
    if (FSwitches.Contains(swDebug) &&
        (!FSwitches.Contains(swSourcePath) || Trim(FParameterContents[swSourcePath]).empty()))
        throw IEInstall("You forgot to pass in the build directory. In Run | Parameters, follow this format: -d "
                        "\"-sC:\\My Build\"");
    FSourceDir =
        FSwitches.Contains(swSourcePath)
            ? FParameterContents[swSourcePath]
            : routines_Strings::ExcludeTrailingBackslash(fw_SysUtils::ExtractFilePath(fw_SysUtils::ModuleFileName()));
    cmp_TInstallContainer::InstallKey = FindInstallRecord(false);
    std::string Archive;
    if (FindLocalArchive(Archive))
        FLocalArchive = Archive;
    if (fw_Forms::Application && fw_Forms::Application->MainForm())
        FInstallForm = fw_Forms::Application->MainForm();
    else if (IsForm(Owner()))
        FInstallForm = Owner();
    else if (FRunAutomatic)
        throw IEInstall("Application.MainForm is undefined and the TInstall is not on a form. Therefore, therefore "
                        "the TInstall can't run the installation automatically");
    if (FInstallForm)
        FInstallForm->FreeNotification(this);

    SetInstallType(cmp_TInstallContainer::itFull);
    if (FInstallTypes.Contains(cmp_TInstallContainer::itDefault))
        SetInstallType(cmp_TInstallContainer::itDefault);
    else if (FInstallTypes.Contains(cmp_TInstallContainer::itCompact))
        SetInstallType(cmp_TInstallContainer::itCompact);
    else if (FInstallTypes.Contains(cmp_TInstallContainer::itFull))
        SetInstallType(cmp_TInstallContainer::itFull);

    if (FSwitches.Contains(swBuild))
        BuildFromInfFile();
    else if (FSwitches.Contains(swFloppies))
        TransferToFloppies("a:");
    else if (FSwitches.Contains(swAfterReboot))
        CompleteAfterReboot();
    else if (FInstallForm) {
        if (IsForm(FInstallForm)) {
            auto* Form = static_cast<fw_Forms::TCustomForm*>(FInstallForm);
            FPreviousOnActivate = Form->OnActivate;
            FPreviousOnActivateSaved = true;
            Form->OnActivate = [this](TObject* Sender) { FormActivate(Sender); };
            if (FHideMainForm)
                Form->SetBounds(-2 * Form->Width(), -2 * Form->Height(), Form->Width(), Form->Height());
        }
    }
}

} // namespace cmp_TInstall
