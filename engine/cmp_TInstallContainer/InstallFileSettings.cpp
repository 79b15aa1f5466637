#include "Internal.h"

#include "framework/fw_Handles.h"
#include "routines/routines_Strings.h"

namespace cmp_TInstallContainer {

using cmp_TPathSpecifier::TpsCommonFiles;
using cmp_TPathSpecifier::TpsMainInstall;
using cmp_TPathSpecifier::TpsSystem;
using cmp_TPathSpecifier::TpsVDEDLL;
using cmp_TPathSpecifier::TpsWindow;
using fw_SysUtils::SameText;
using fw_SysUtils::UpperCase;

// How the settings of an install file steer one another. While a project is
// read the setters only store: the project holds the values as they were
// settled when it was made.

void TCustomInstallFile::ApplySettings(TInstallContainer* NewContainer, const std::string& NewIncludeFromDir,
                                       bool NewActiveX, TInstallFileType NewFileType,
                                       TCustomPathSpecifier* NewDestDirType, const std::string& NewDestName,
                                       const std::string& NewDestDir, const std::string& NewFileName)
{
    const bool ContainerChanged = NewContainer != FContainer;
    const bool DestDirTypeChanged = NewDestDirType != FDestDirType;
    const bool FileNameChanged = !SameText(NewFileName, FFileName);
    const bool IncludeFromDirChanged = !SameText(NewIncludeFromDir, FIncludeFromDir);
    const std::string NewSource = routines_Strings::IncludeTrailingBackslash(NewIncludeFromDir) + NewFileName;

    if (ContainerChanged && NewContainer && !NewContainer->Is<TFileContainer>())
        throw IECustomInstallFile("The following TInstallFile component %s requires the Container property to be a "
                                  "component descended from the TFileContainer component",
                                  {Name()});
    if (NewContainer && (ContainerChanged || FileNameChanged || IncludeFromDirChanged)) {
        // The file itself does not count: its name may change only in case.
        TCustomInstallFile* Same = static_cast<TFileContainer*>(NewContainer)->FindFileBySource(NewSource);
        if (Same && Same != this)
            throw IEfcDuplicateFile("There is already a file with the name :%s", {NewSource});
    }

    // Everything below is worked out on copies first and stored only once
    // the checks of the specifiers and the move have passed.
    std::string DestName = NewDestName;
    bool ActiveX = NewActiveX;
    TInstallFileType FileType = NewFileType;
    bool RegisterAsHelp = FRegisterAsHelp;
    TOverwriteType OverwriteMode = FOverwriteMode;
    bool UpdateDLLCounter = FUpdateDLLCounter;
    const std::string Extension = UpperCase(fw_SysUtils::ExtractFileExt(NewFileName));

    if (FileNameChanged && !fw_SysUtils::Trim(NewFileName).empty())
        DestName = NewFileName;
    if (FileNameChanged || IncludeFromDirChanged) {
        RegisterAsHelp = Extension == ".HLP" || Extension == ".CNT";
        ActiveX = Extension == ".OCX" || cmp_TVersion::HasVersionString(NewSource, "OLESelfRegister");
    }
    if (ActiveX && ActiveX != FActiveX)
        FileType = iftSystemWideDLL;
    if (DestDirTypeChanged && NewDestDirType && Extension.size() == 4 &&
        std::string(".DLL,.OCX,.BLL,.EXE").find(Extension) != std::string::npos) {
        if (NewDestDirType->Is<TpsWindow>() || NewDestDirType->Is<TpsVDEDLL>())
            OverwriteMode = owVersionDate;
        else if (NewDestDirType->Is<TpsSystem>())
            FileType = iftSystemWideDLL;
    }
    if (FileType != FFileType) {
        switch (FileType) {
        case iftJustADLL:
        case iftApplicationSpecificDLL:
            OverwriteMode = owVersionDate;
            break;
        case iftVendorSharedDLL:
        case iftSystemWideDLL:
            UpdateDLLCounter = true;
            OverwriteMode = owVersionDate;
            break;
        default:
            break;
        }
    }

    // A library kind has its fixed place, whatever destination was given.
    TCustomPathSpecifier* KindDir = nullptr;
    std::string DestDir = NewDestDir;
    switch (FileType) {
    case iftApplicationSpecificDLL:
        KindDir = SharedSpecifier<TpsMainInstall>();
        DestDir = "\\System";
        break;
    case iftVendorSharedDLL:
        KindDir = SharedSpecifier<TpsCommonFiles>();
        DestDir = "\\System";
        break;
    case iftSystemWideDLL:
        KindDir = SharedSpecifier<TpsSystem>();
        DestDir.clear();
        break;
    default:
        break;
    }
    if (KindDir)
        KindDir->Validate(this);
    if (DestDirTypeChanged && NewDestDirType)
        NewDestDirType->Validate(this);

    fw_Handles::TRestore<bool> Applying(FApplyingSettings, true);
    if (DestDirTypeChanged)
        TInstallContainer::SetDestDirType(NewDestDirType);
    TFileRelated::SetContainer(NewContainer);
    if (KindDir)
        TInstallContainer::SetDestDirType(KindDir);
    FIncludeFromDir = NewIncludeFromDir;
    FFileName = NewFileName;
    FDestDir = DestDir;
    FDestName = DestName;
    FFileType = FileType;
    FActiveX = ActiveX;
    FRegisterAsHelp = RegisterAsHelp;
    FOverwriteMode = OverwriteMode;
    FUpdateDLLCounter = UpdateDLLCounter;
}

// A setter only stores while a project is read, and for the calls that the
// base classes make while ApplySettings moves the file.

void TCustomInstallFile::SetContainer(TInstallContainer* Value)
{
    if (OnlyStores()) {
        inherited::SetContainer(Value);
        return;
    }
    ApplySettings(Value, FIncludeFromDir, FActiveX, FFileType, FDestDirType, FDestName, FDestDir, FFileName);
}

void TCustomInstallFile::SetDestDirType(TCustomPathSpecifier* Value)
{
    if (OnlyStores()) {
        inherited::SetDestDirType(Value);
        return;
    }
    ApplySettings(FContainer, FIncludeFromDir, FActiveX, FFileType, Value, FDestName, FDestDir, FFileName);
}

void TCustomInstallFile::SetDestDir(const std::string& Value)
{
    if (OnlyStores()) {
        inherited::SetDestDir(Value);
        return;
    }
    ApplySettings(FContainer, FIncludeFromDir, FActiveX, FFileType, FDestDirType, FDestName, Value, FFileName);
}

void TCustomInstallFile::SetActiveX(bool Value)
{
    if (OnlyStores()) {
        FActiveX = Value;
        return;
    }
    ApplySettings(FContainer, FIncludeFromDir, Value, FFileType, FDestDirType, FDestName, FDestDir, FFileName);
}

void TCustomInstallFile::SetDestName(const std::string& Value)
{
    if (OnlyStores()) {
        FDestName = Value;
        return;
    }
    ApplySettings(FContainer, FIncludeFromDir, FActiveX, FFileType, FDestDirType, Value, FDestDir, FFileName);
}

void TCustomInstallFile::SetFileName(const std::string& Value)
{
    if (OnlyStores()) {
        FFileName = Value;
        return;
    }
    ApplySettings(FContainer, FIncludeFromDir, FActiveX, FFileType, FDestDirType, FDestName, FDestDir, Value);
}

void TCustomInstallFile::SetFileType(TInstallFileType Value)
{
    if (OnlyStores()) {
        FFileType = Value;
        return;
    }
    ApplySettings(FContainer, FIncludeFromDir, FActiveX, Value, FDestDirType, FDestName, FDestDir, FFileName);
}

void TCustomInstallFile::SetIncludeFromDir(const std::string& Value)
{
    if (OnlyStores()) {
        FIncludeFromDir = Value;
        return;
    }
    ApplySettings(FContainer, Value, FActiveX, FFileType, FDestDirType, FDestName, FDestDir, FFileName);
}

} // namespace cmp_TInstallContainer
