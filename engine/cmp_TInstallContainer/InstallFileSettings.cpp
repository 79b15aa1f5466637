#include "Internal.h"

namespace cmp_TInstallContainer {

void TCustomInstallFile::SetContainer(TInstallContainer* Value)
{
    if (IsLoading() || Value == FContainer) {
        inherited::SetContainer(Value);
        return;
    }
    if (Value) {
        if (!Value->Is<TFileContainer>())
            throw IECustomInstallFile("The following TInstallFile component %s requires the Container property to be "
                                      "a component descended from the TFileContainer component",
                                      {Name()});
        if (static_cast<TFileContainer*>(Value)->FindFileBySource(SourcePath()))
            throw IEfcDuplicateFile("There is already a file with the name :%s", {SourcePath()});
    }
    // A moved file keeps its own subfolder; a DLL kind keeps its fixed place.
    // Both are settled before the move, so that a refusal changes nothing.
    TCustomPathSpecifier* KindDir = nullptr;
    std::string KindDestDir = FDestDir;
    switch (FFileType) {
    case iftApplicationSpecificDLL:
        KindDir = SharedSpecifier<cmp_TPathSpecifier::TpsMainInstall>();
        KindDestDir = "\\System";
        break;
    case iftVendorSharedDLL:
        KindDir = SharedSpecifier<cmp_TPathSpecifier::TpsCommonFiles>();
        KindDestDir = "\\System";
        break;
    case iftSystemWideDLL:
        KindDir = SharedSpecifier<cmp_TPathSpecifier::TpsSystem>();
        KindDestDir.clear();
        break;
    default:
        break;
    }
    if (KindDir)
        KindDir->Validate(this);
    inherited::SetContainer(Value);
    if (KindDir)
        TInstallContainer::SetDestDirType(KindDir);
    FDestDir = KindDestDir;
}

// While a project is read the setters only store. What a value set later
// changes in the others (destination name, help and ActiveX marks, overwrite
// mode by kind) is not applied yet; the kind's destination is, on SetContainer.
void TCustomInstallFile::SetActiveX(bool Value) { FActiveX = Value; }
void TCustomInstallFile::SetDestName(const std::string& Value) { FDestName = Value; }
void TCustomInstallFile::SetFileName(const std::string& Value) { FFileName = Value; }
void TCustomInstallFile::SetFileType(TInstallFileType Value) { FFileType = Value; }
void TCustomInstallFile::SetIncludeFromDir(const std::string& Value) { FIncludeFromDir = Value; }

} // namespace cmp_TInstallContainer
