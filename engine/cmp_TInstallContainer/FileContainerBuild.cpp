#include "Internal.h"

#include "framework/fw_Handles.h"
#include "routines/routines_Strings.h"

namespace cmp_TInstallContainer {

using cmp_TPathSpecifier::TpsContainerArchiveFile;
using cmp_TPathSpecifier::TpsMainArchiveFile;
using cmp_TWdrlCompress::lzcOnlyAdd;
using cmp_TWdrlCompress::lzcOverwrite;

// Build time: compressing a container's files into its archive and copying
// them uncompressed.

namespace {

// The hourglass for the length of a scope.
class THourglass {
public:
    THourglass() : FOld(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
    ~THourglass() { SetCursor(FOld); }
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;

private:
    HCURSOR FOld;
};

// An archive of this folder's: deleted before a new one is built in its
// place, or the build stops.
void DeleteOldArchive(const TFileContainer& Container, const std::string& Path)
{
    if (!Path.empty() && fw_SysUtils::FileExists(Path) && !fw_SysUtils::DeleteFile(Path))
        throw IEFileContainer("%s cannot delete the archive file %s", {Container.Name(), Path});
}

// The relative folder of Object's net archives, or "" when it has no net
// location to mirror.
std::string NetPathOrBlank(const TFileRelated& Object)
{
    try {
        return Object.GetNetPath();
    } catch (const IEFileRelated&) {
        return ""; // no net location: nothing to place under it
    }
}

bool NamesMainOrNoArchive(const TFileRelated& Helper)
{
    return !Helper.ArchiveFileType() || Helper.ArchiveFileType()->Is<TpsMainArchiveFile>();
}

} // namespace

void TFileContainer::ReadInfoFromFiles()
{
    THourglass Busy;
    for (int I = 0; I < FileCount(); ++I)
        Files(I)->ReadInfoFromFiles();
    for (int I = 0; I < FileContainerCount(); ++I)
        FileContainers(I)->ReadInfoFromFiles();
}

void TFileContainer::RunBuildOperation(TInstallFileState Operation, bool IncludeAll, const std::function<void()>& Work)
{
    FState = Operation;
    TryFinally(
        [&] {
            if (OnBeforeProcess)
                OnBeforeProcess(this);
            if (!FInclude)
                return;
            if (FContainer)
                FContainer->DoInformationEventControl(this, ecOperationStarts, this);
            ReadInfoFromFiles();
            FOperationTotal = GetTotalSize(IncludeAll);
            FOperationDone = 0;
            Work();
            if (OnAfterProcess)
                OnAfterProcess(this);
            if (FContainer)
                FContainer->DoInformationEventControl(this, ecOperationEnds, this);
        },
        [this] {
            FState = ifsNone;
            SendInformation(this, icOperationEnded, nullptr);
        });
}

void TFileContainer::CopyFiles()
{
    RunBuildOperation(ifsCopying, false, [this] {
        for (int I = 0; I < FileCount(); ++I) {
            // A file that is not included, or that a handler leaves out, ends
            // its copy with the silent abort: only that file is skipped, the
            // others are still copied.
            try {
                Files(I)->CopyToDestination();
            } catch (const fw_SysUtils::EAbort&) {
            }
        }
        for (int I = 0; I < FileContainerCount(); ++I)
            FileContainers(I)->CopyFiles();
    });
}

// What Compress changes on a helper for the length of its compress.
struct TFileContainer::TArchiveSettings {
    TlzhCommand AddToArchive;
    std::string ArchiveFile;
    TCustomPathSpecifier* ArchiveFileType;
    bool Include;
};

void TFileContainer::PutArchiveSettings(TFileRelated* Helper, const TArchiveSettings& Settings) noexcept
{
    // Straight into the fields: the setters would check the specifier again
    // and clear ArchiveFile beside a container's or the main archive.
    auto Put = [&Settings](auto* Object) {
        Object->FAddToArchive = Settings.AddToArchive;
        Object->FArchiveFile = Settings.ArchiveFile;
        Object->FArchiveFileType = Settings.ArchiveFileType;
        Object->FInclude = Settings.Include;
    };
    if (Helper->Is<TCustomInstallFile>())
        Put(static_cast<TCustomInstallFile*>(Helper));
    else if (Helper->Is<TFileContainer>())
        Put(static_cast<TFileContainer*>(Helper));
}

void TFileContainer::Compress(uint8_t Options)
{
    AppendCompressOrder("FILECONTAINER: " + FDescription);
    const bool ForceLocal = HasCompressOption(Options, coForceNetFilesLocal);
    const bool ForceNet = HasCompressOption(Options, coForceFilesNet);
    const bool IncludeAll = HasCompressOption(Options, coIncludeAll);
    if (ForceLocal && ForceNet)
        throw IEFileContainer("Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress");

    RunBuildOperation(ifsCompress, IncludeAll, [&] {
        const std::string Archive = GetFullArchiveFile();
        const std::string ArchiveDir = fw_SysUtils::ExtractFileDir(Archive);
        // The net archive of the files without one of their own, when
        // this container has a net location to mirror.
        if (const std::string NetPath = NetPathOrBlank(*this); !NetPath.empty())
            FLocalArchive = ArchiveDir + "\\" + NetPath + "\\" + Name() + ".1";
        if (FAddToArchive == lzcOverwrite)
            DeleteOldArchive(*this, fw_SysUtils::ChangeFileExt(Archive, ".1"));
        if (HasNetFiles() || (ForceNet && FileCount() > 0))
            DeleteOldArchive(*this, FLocalArchive);

        for (int I = 0; I < HelperCount(); ++I) {
            if (!Helpers(I)->Is<TFileRelated>())
                continue;
            auto* Helper = static_cast<TFileRelated*>(Helpers(I));
            auto* File = Helper->Is<TCustomInstallFile>() ? static_cast<TCustomInstallFile*>(Helper) : nullptr;
            const bool NetFile = File && !ForceLocal && (File->Net() || ForceNet);
            const TArchiveSettings Saved{Helper->AddToArchive(), Helper->ArchiveFile(), Helper->ArchiveFileType(),
                                         Helper->Include()};
            fw_Handles::TScopeExit PutBack([Helper, &Saved] { PutArchiveSettings(Helper, Saved); });
            if (!Saved.Include && IncludeAll)
                Helper->SetInclude(true);

            const bool MainOrNone = NamesMainOrNoArchive(*Helper);
            // A file's own net archive, named after it, in the folder that
            // mirrors the server (or beside this container's archive).
            auto OwnNetArchive = [&] {
                if (MainOrNone && HasCompressOption(Options, coNetBesideContainer))
                    return ArchiveDir + "\\" + File->Name() + ".1";
                return ArchiveDir + "\\" + File->GetNetPath() + "\\" + File->Name() + ".1";
            };
            TCustomPathSpecifier* const NoKind = nullptr;
            if (NetFile && File->HasOwnArchive()) {
                // One file per archive: built anew, never appended to the
                // copy of an earlier build.
                File->SetAddToArchive(lzcOverwrite);
                File->SetArchiveFileType(NoKind);
                File->SetArchiveFile(OwnNetArchive());
                File->FCompressInfo.NetArchive = 1;
            } else if (NetFile) {
                File->SetAddToArchive(lzcOnlyAdd);
                File->SetArchiveFileType(NoKind);
                File->SetArchiveFile(FLocalArchive);
                File->FCompressInfo.NetArchive = 1;
            } else if (Helper->ArchiveFileType() && Helper->ArchiveFileType()->Is<TpsContainerArchiveFile>()) {
                Helper->SetAddToArchive(lzcOnlyAdd);
            } else if (MainOrNone && HasCompressOption(Options, coMainToContainer)) {
                Helper->SetAddToArchive(lzcOnlyAdd);
                Helper->SetArchiveFileType(NoKind);
                Helper->SetArchiveFile(Archive);
            }

            if (File)
                File->CompressFile();
            else if (Helper->Is<TFileContainer>())
                static_cast<TFileContainer*>(Helper)->Compress(Options);
        }
    });
}

} // namespace cmp_TInstallContainer
