// The install component tree: containers and the helpers they hold, file
// containers, groups and directories, and the install file. Every node of an
// install project descends from TInstallContainer; every node under another
// from TInstallObject.
#pragma once

#include "archive/cmp_TVersion.h"
#include "archive/cmp_TWdrlCompress.h"
#include "engine/cmp_TPathSpecifier.h"
#include "framework/fw_Classes.h"
#include "framework/fw_Graphics.h"
#include "routines/exceptions_Wendrel.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cmp_TInstallContainer {

using cmp_TPathSpecifier::TCustomPathSpecifier;
using exceptions_Wendrel::IException;
using fw_Classes::TClass;
using fw_Classes::TComponent;
using fw_Classes::TObject;
using fw_Classes::TOperation;

enum TInstallType : uint8_t { itFull, itDefault, itCompact, itCustom };
using TInstallTypeSet = fw_Classes::TSet<TInstallType>;
extern const fw_Classes::TEnumInfo TInstallTypeInfo;
inline constexpr TInstallTypeSet AllInstallTypes{itFull, itDefault, itCompact, itCustom};
inline constexpr TInstallTypeSet DefaultInstallTypes{itFull, itDefault, itCompact};

enum TInstallFileType : uint8_t {
    iftNormal,
    iftJustADLL,
    iftApplicationSpecificDLL,
    iftVendorSharedDLL,
    iftSystemWideDLL
};
extern const fw_Classes::TEnumInfo TInstallFileTypeInfo;
enum TInstallFileState : uint8_t { ifsNone, ifsCompress, ifsInstall, ifsCopying };
extern const fw_Classes::TEnumInfo TInstallFileStateInfo;
using cmp_TVersion::owAlways;
using cmp_TVersion::owDate;
using cmp_TVersion::owNever;
using cmp_TVersion::owVersion;
using cmp_TVersion::owVersionDate;
using cmp_TVersion::TOverwriteType;
using cmp_TVersion::TOverwriteTypeInfo;
using cmp_TWdrlCompress::TlzhCommand;
using cmp_TWdrlCompress::TlzhCommandInfo;

FW_EXCEPTION(IEInstallContainer, IException);
FW_EXCEPTION(IEContainerList, IException);
FW_EXCEPTION(IECustomInstallFileList, IException);
FW_EXCEPTION(IEFileRelated, IException);
FW_EXCEPTION(IEFileRel_NoNetLocation, IEFileRelated);
FW_EXCEPTION(IEFileContainer, IException);
FW_EXCEPTION(IEInstallGroup, IEFileContainer);
FW_EXCEPTION(IECustomInstallFile, IException);
FW_EXCEPTION(IEfcDuplicateFile, IECustomInstallFile);

// The registry key under which the product's uninstall information goes.
inline constexpr const char* UninstallKeyBase = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The product's uninstall record lists the files and links an installation
// made as "File<n>" values under Key\Files; a key that cannot take one
// passes it to Key\Files1, Files2, ..., at most this many keys in all.
inline constexpr int UninstallFilesKeys = 100;
// Adds Data as the next "File<n>" value of the list under ListKey, which
// counts its values in the string "Entries". Raises when the key cannot be
// written or its count is no number (no earlier value is overwritten).
void AddUninstallEntry(const std::string& ListKey, const std::string& Data);
// Adds Path to the first of Key's "Files" lists that takes it; False when
// none did.
bool AddUninstallFile(const std::string& Key, const std::string& Path);
// False for the uninstall key of a blank product name, which is the list of
// every product: nothing may be recorded there.
bool NamesAProduct(const std::string& UninstallKey);

// Information codes sent down the tree.
enum : int {
    icContainerProcessStart = -990,
    icContainerIncluded = -999,
    icContainerProcessEnd = -989,
    icFileStatus = -998,
    icReplacing = -997,
    icOperationEnded = -996,
    icGoodInstall = -995,
    icBadInstall = -994,
    icAfterGoodInstallPages = -979,
    icAfterBadInstallPages = -978,
    icNewDisk = -993,
    icContainerInstallStart = -992,
    icDownloadStatus = -988,
    icDisplayMessage = -974,
    icClearMessage = -973,
};

class TInstallContainer;
class TInstallObject;
class TFileContainer;
class TCustomInstallFile;

using TInstallContainerNotifyEvent = std::function<void(TInstallContainer* Container)>;
using TAfterInstallObjectsEvent = std::function<void(TInstallContainer* Container, bool WasAborted)>;
using TInstallFileNotifyEvent = std::function<void(TCustomInstallFile* InstallFile)>;
using TInstallFileStatusEvent =
    std::function<void(TCustomInstallFile* InstallFile, int FilePercentDone, int TotalPercentDone)>;
using TInstallFileNewDiskEvent = std::function<void(TCustomInstallFile* InstallFile, int NewDisk, std::string& Path)>;
using TDataReceivedEvent = std::function<void(TObject* Sender, const std::string& FileName, int Bytes, int TotalBytes,
                                              int FileSize, const char* Buffer)>;

// Parameter objects of the information codes; the sender owns them.
class TMessageParameter : public TObject {
    FW_CLASS(TMessageParameter, TObject)

public:
    std::string Message;
};

class TDiskParameter : public TObject {
    FW_CLASS(TDiskParameter, TObject)

public:
    int Disk = 0;
    std::string Path;
};

class TFileStatusParameter : public TObject {
    FW_CLASS(TFileStatusParameter, TObject)

public:
    int Processed = 0;
    int PercentDone = 0;
    std::string FileName;
    cmp_TWdrlCompress::TlzhFileStats FileStats{};
    int TotalProcessed = 0;
    int TotalPercentDone = 0;
};

class TDownloadStatusParameter : public TObject {
    FW_CLASS(TDownloadStatusParameter, TObject)

public:
    int Bytes = 0;
    std::string FileName;
    int FileSize = 0;
    int TotalBytes = 0;
    int PercentDone = 0;
};

// What the tree needs of a net install location. The net unit's location
// components implement it; the tree holds them as components and asks for
// this face with NetSourceOf.
class TNetSource {
public:
    virtual ~TNetSource() = default;
    // The login information is filled in well enough to try a download.
    virtual bool LoginComplete() const = 0;
    virtual std::string LoginHostname() const = 0;
    virtual std::string LoginDirectory() const = 0;
    virtual bool LoginIsFTP() const = 0;
    // Fetches RemoteFileName into LocalFileName (created or overwritten).
    virtual void GetFile(const std::string& RemoteFileName, const std::string& LocalFileName) = 0;
    // The second receiver of the received blocks, set for one download.
    virtual void SetDataHandler(TDataReceivedEvent Handler) = 0;
};

// The net-source face of a component, or nil when it has none.
inline TNetSource* NetSourceOf(TComponent* Component) { return dynamic_cast<TNetSource*>(Component); }

// Appends one line to the order files in the Windows folder, which log the
// order in which containers and files were handled. A line that cannot be
// written is lost: the log never stops an installation.
void AppendInstallOrder(const std::string& Line);
void AppendCompressOrder(const std::string& Line);
inline constexpr const char* InstallOrderFile = "\\WdrlInstallOrder.txt";
inline constexpr const char* CompressOrderFile = "\\WdrlCompressOrder.txt";

// Reports that travel up the tree (DoInformationEventControl).
enum : int {
    ecFileInstalled = 1001,
    ecInstallStarting = 1002,
    ecReplacing = 1003,
    ecBeforeCompress = 1004,
    ecAfterCompress = 1005,
    ecBeforeCopy = 1006,
    ecAfterCopy = 1007,
    ecInstallStatus = 1008,
    ecCompressStatus = 1009,
    ecCopyStatus = 1010,
    ecNewDisk = 1011,
    ecOperationStarts = 1012,
    ecOperationEnds = 1013,
    ecDownloadStatus = 1014,
    ecFileLeftOut = 1015,
    ecFileNotExtracted = 1016,
};

// Plain lists of references.
class TInstallContainerList : public fw_Classes::TReferenceList<TInstallContainer> {
public:
    void Add(TInstallContainer* Item); // nil raises IEContainerList
};

class TCustomInstallFileList : public fw_Classes::TReferenceList<TCustomInstallFile> {
public:
    void Add(TCustomInstallFile* Item); // nil raises IECustomInstallFileList
    void Clear() { FItems.clear(); }
};

// Process-wide objects of the tree.
TInstallContainerList& AllInstallContainers();
TCustomInstallFileList& AllInstallFiles();
TCustomInstallFileList& FailedRegistrations();
extern bool RaiseRegistrationErrors;
// The process-wide archive engine without owner: it serves every file whose
// archive is the install root's, so the main archive's table is read once
// per run. Other archives get an engine of their own.
cmp_TWdrlCompress::TWdrlCompress& SharedArchiveEngine();
// The archive engine for the archive at Path: the shared one for the install
// root's archive, otherwise one per archive, kept until the run ends, so that
// each table is read once.
cmp_TWdrlCompress::TWdrlCompress& ArchiveEngineFor(const std::string& Path);
// Forgets the engines of other archives and the shared engine's table (a run
// starts and ends with the archives as they are on disk).
void ReleaseArchiveEngines();
// The installation's registry key, set by the install root when it loads.
extern std::string InstallKey;

// The UniqueID table: flag n is set while a live install file has number n;
// the numbers are those an archive can index.
using cmp_TWdrlCompress::UniqueIDCount;
bool UniqueIDTaken(int ID);

// Registered types of the tree's own nodes. A container keeps its helpers
// sorted by them, and only helpers from rtInstallFile up hear the information
// codes sent down the tree.
inline constexpr int rtInstallGroup = 500;
inline constexpr int rtFileContainer = 1000;
inline constexpr int rtInstallFile = 2000;

// Makes the tree's classes that a project may name known to the project reader.
void RegisterInstallContainerClasses();

class TInstallContainer : public TComponent {
    FW_CLASS(TInstallContainer, TComponent)

public:
    explicit TInstallContainer(TComponent* AOwner);
    ~TInstallContainer() override;
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    virtual int FileContainerCount() const;
    virtual TFileContainer* FileContainers(int Index) const;
    virtual void SetDestDir(const std::string& Value);
    virtual void SetDestDirType(TCustomPathSpecifier* Value);
    virtual void RemoveReferences(TComponent* Component);
    virtual void DisplayMessage(const std::string& Text);
    // Reports that travel up the tree (progress, new disks, downloads).
    virtual void DoInformationEventControl(TObject* Sender, int Code, TObject* Param);
    // Information codes that travel down the tree.
    virtual void HandleInformation(TObject* Sender, int Code, TObject* Param);
    // Whether the codes sent down reach this node: every node from the
    // install files' registered type up, except the install files, which
    // react to none.
    virtual bool HearsInformation() const;
    virtual std::string GetFullDestDir() const;
    virtual int RegisteredType() const;
    virtual void AddObject(TInstallObject* Obj);
    virtual void Process();
    virtual void InstallObjects();
    virtual bool WillInstall() const;
    virtual void CompleteAfterReboot();
    // Dialog components apply their font and translation here.
    virtual void DialogHook();
    virtual void RemoveObject(TInstallObject* Obj);
    virtual void WriteUninstallInfo(const std::string& Key);

    int HelperCount() const { return int(FHelpers.size()); }
    TInstallObject* Helpers(int Index) const;
    bool HasHelper(const TInstallObject* Obj) const;
    int CompCount(TClass ComponentClass) const;
    TInstallObject* Comp(int Index, TClass ComponentClass) const;
    void SendInformation(TObject* Sender, int Code, TObject* Param);
    void ClearMessage();
    void SetInstallType(TInstallType Value);
    void FreeHelpers(TClass ComponentClass);

    bool AutoProcess() const { return FAutoProcess; }
    bool Include() const { return FInclude; }
    void SetInclude(bool Value) { FInclude = Value; }
    bool ProcessStarted() const { return FProcessStarted; }
    TInstallType InstallType() const { return FInstallType; }
    bool Uninstall() const { return FUninstall; }
    void SetUninstall(bool Value) { FUninstall = Value; }
    const std::string& DestDir() const { return FDestDir; }
    TCustomPathSpecifier* DestDirType() const { return FDestDirType; }
    TInstallTypeSet InstallTypes() const { return FInstallTypes; }
    // The empty set is stored as [itFull].
    void SetInstallTypes(TInstallTypeSet Value);
    int Order() const { return FOrder; }
    void SetOrder(int Value) { FOrder = Value; }

    TInstallContainerNotifyEvent OnAfterProcess;
    TInstallContainerNotifyEvent OnBeforeProcess;

protected:
    // Stores a component reference and asks to hear when it goes.
    void StoreReference(TComponent* Value);

    bool FAutoProcess = false;
    std::vector<TInstallObject*> FHelpers;
    bool FInclude = true;
    bool FProcessStarted = false;
    TInstallType FInstallType = itFull;
    bool FUninstall = true;
    std::string FDestDir;
    TCustomPathSpecifier* FDestDirType = nullptr;
    TInstallTypeSet FInstallTypes = DefaultInstallTypes;
    int FOrder = -1;
    bool FDestDirTypeAssigned = false;
    bool FDefaultDestDirTypeMade = false;

private:
    std::vector<TInstallObject*> FListeners;
    bool FListenersStale = true;
    // Counts changes of the helper list, so that a walk over a copy checks
    // membership only after a handler changed the list.
    unsigned FHelpersChanges = 0;
};

// The registered type of a class of the tree, for messages (0 when none).
int RegisteredTypeOfClass(TClass Class);

class TInstallObject : public TInstallContainer {
    FW_CLASS(TInstallObject, TInstallContainer)

public:
    explicit TInstallObject(TComponent* AOwner);
    ~TInstallObject() override;
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void RemoveReferences(TComponent* Component) override;
    void Process() override;

    virtual void SetContainer(TInstallContainer* Value);
    TInstallContainer* Container() const { return FContainer; }

protected:
    // A node made while designing joins the install root. The root sorts it
    // by its registered type, which the base constructor cannot ask of a
    // descendant; each concrete constructor calls this at its end.
    void AttachToDesignRoot();
    // The references such a node starts with. They are not marked as stored,
    // so that Loaded drops those the project does not name.
    virtual void SetDesignDefaults();

    bool FContainerAssigned = false;
    bool FDefaultContainerMade = false;
    TInstallContainer* FContainer = nullptr;
};

// The archive part shared by file containers and install files.
class TFileRelated : public TInstallObject {
    FW_CLASS(TFileRelated, TInstallObject)

public:
    explicit TFileRelated(TComponent* AOwner);
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void SetContainer(TInstallContainer* Value) override;

    virtual void DataReceived(TObject* Sender, const std::string& FileName, int Bytes, int TotalBytes, int FileSize,
                              const char* Buffer);
    virtual void DownloadArchive();
    virtual bool HasLocalArchive() const;
    virtual void StoreLocalArchive(const std::string& Path);
    virtual void SetArchiveFile(const std::string& Value);
    virtual void SetArchiveFileType(TCustomPathSpecifier* Value);
    virtual void SetNet(bool Value);
    // The net location or nil; a component that is no net source (see
    // NetSourceOf) is refused with IEFileRelated.
    virtual void SetNetLocation(TComponent* Value);
    virtual std::string GetFullArchiveFile() const;

    // The downloaded copy of this object's archive recorded in the registry.
    // DownloadArchive uses it only while its table still reads, and forgets
    // it otherwise.
    bool FindLocalArchive(std::string& Path) const;
    // The net location this object's archive comes from, or nil.
    TComponent* GetNetSource() const;
    // The folder, relative to the build folder, that mirrors the server's
    // folder of this object's archive; the same routine names the folder of
    // a net distribution's file list.
    std::string GetNetPath() const;

    const std::string& LocalArchive() const { return FLocalArchive; }
    TlzhCommand AddToArchive() const { return FAddToArchive; }
    void SetAddToArchive(TlzhCommand Value) { FAddToArchive = Value; }
    bool ArchiveInfoRead() const { return FArchiveInfoRead; }
    const std::string& ArchiveFile() const { return FArchiveFile; }
    TCustomPathSpecifier* ArchiveFileType() const { return FArchiveFileType; }
    bool Net() const { return FNet; }
    TComponent* NetLocation() const { return FNetLocation; }

    TDataReceivedEvent OnDataReceived;

protected:
    void SetDesignDefaults() override;

    bool FArchiveFileTypeAssigned = false;
    bool FDefaultArchiveFileTypeMade = false;
    std::string FLocalArchive;
    TlzhCommand FAddToArchive = cmp_TWdrlCompress::lzcOverwrite;
    bool FArchiveInfoRead = false;
    std::string FArchiveFile;
    TCustomPathSpecifier* FArchiveFileType = nullptr;
    bool FNet = true;
    TComponent* FNetLocation = nullptr;
};

class TpsFileContainer;

// The options of TFileContainer::Compress; option n is bit n of its byte
// (CompressOptions makes one). Bit 2 is set by the build but read by nobody.
enum TCompressOption : uint8_t {
    // A net file (see below) that names the main archive or no archive kind
    // gets its archive of its own directly in the folder of this container's
    // archive, as "<Name>.1", instead of in the folder that mirrors the server.
    coNetBesideContainer = 0,
    // A file or container that is no net file and names the main archive or
    // no archive kind is appended to this container's archive. The build
    // sets it, so that such files land in the archive being built.
    coMainToContainer = 1,
    // Every install file goes into the local archives, Net or not.
    coForceNetFilesLocal = 3,
    // Every install file goes into a net archive, Net or not.
    coForceFilesNet = 4,
    // Every file takes part: the size total counts all, and an excluded
    // file or container is included while it is compressed.
    coIncludeAll = 5,
};
constexpr uint8_t CompressOptions(std::initializer_list<TCompressOption> Options)
{
    uint8_t Byte = 0;
    for (TCompressOption Option : Options)
        Byte |= uint8_t(1u << Option);
    return Byte;
}
constexpr bool HasCompressOption(uint8_t Options, TCompressOption Option) { return Options & (1u << Option); }

// A node with install files and an archive of its own.
class TFileContainer : public TFileRelated {
    FW_CLASS(TFileContainer, TFileRelated)

public:
    explicit TFileContainer(TComponent* AOwner);
    ~TFileContainer() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // Names the specifier made while the project was read when the project
    // gives none of its own for this container.
    void Loaded() override;
    int RegisteredType() const override { return rtFileContainer; }
    void InstallObjects() override;
    void DoInformationEventControl(TObject* Sender, int Code, TObject* PO) override;

    virtual bool MakesPathSpecifier() { return true; }
    virtual void DoNewDisk(TCustomInstallFile* File, TDiskParameter* DiskParameter);
    virtual void DoReplacing(TCustomInstallFile* File);
    virtual void DoStatus(TCustomInstallFile* File, TFileStatusParameter* StatusParameter);
    virtual int GetSize(bool IncludeAll, bool Recursive) const;
    virtual void Execute(TInstallFileState Operation);
    virtual void CopyFiles();
    virtual void FreeFiles();
    virtual void Compress(uint8_t Options);
    virtual int GetCompressedSize(bool IncludeAll) const;
    virtual std::string GetLocalArchiveFile() const;
    virtual int GetOwnSize(bool IncludeAll) const;
    virtual int GetTotalSize(bool IncludeAll) const;
    virtual void ReadInfoFromArchive();
    virtual void ReadInfoFromFiles();
    virtual bool NeedsDownload() const;

    int FileCount() const;
    TCustomInstallFile* Files(int Index) const;
    TCustomInstallFile* FindFileBySource(const std::string& Path) const;
    bool HasNetFiles() const;

    const std::string& Description() const { return FDescription; }
    void SetDescription(const std::string& Value) { FDescription = Value; }
    TInstallFileState State() const { return FState; }
    TpsFileContainer* PathSpecifier() const { return FPathSpecifier; }
    void SetPathSpecifier(TpsFileContainer* Value);

    TInstallFileStatusEvent OnStatus;
    TInstallFileNewDiskEvent OnNewDisk;
    TInstallFileNotifyEvent OnReplacing;
    TAfterInstallObjectsEvent OnAfterInstallObjects;
    TInstallContainerNotifyEvent OnBeforeInstallObjects;

protected:
    // The constructor cannot ask the virtual MakesPathSpecifier of a
    // descendant; each concrete constructor calls this at its end.
    void MakePathSpecifier();

    int FOperationTotal = 0;
    int FOperationDone = 0;
    std::string FDescription;
    TInstallFileState FState = ifsNone;
    bool FFireAfterInstallObjects = true;
    TpsFileContainer* FPathSpecifier = nullptr;

private:
    // The frame of a build-time operation (Compress, CopyFiles): state,
    // events, the size total and the reports around Work, which runs only
    // when the container is included.
    void RunBuildOperation(TInstallFileState Operation, bool IncludeAll, const std::function<void()>& Work);
    struct TArchiveSettings;
    static void PutArchiveSettings(TFileRelated* Helper, const TArchiveSettings& Settings) noexcept;
};

// How a group is presented to the user; stored with the project.
class TInstallGroupDialogOptions : public fw_Classes::TPersistent {
    FW_CLASS(TInstallGroupDialogOptions, fw_Classes::TPersistent)

public:
    void Assign(fw_Classes::TPersistent* Source) override;
    bool AllowChangeDir = true;
    bool AllowExcludeInclude = true;
    fw_Classes::TStringList Description;
    bool DisplayDirectory = true;
    fw_Graphics::TPicture SmallIcon;
};

// A container of containers: only the install root or another group holds it.
class TCustomInstallGroup : public TFileContainer {
    FW_CLASS(TCustomInstallGroup, TFileContainer)

public:
    explicit TCustomInstallGroup(TComponent* AOwner);
    int RegisteredType() const override { return rtInstallGroup; }
    void SetContainer(TInstallContainer* Value) override;

    TInstallGroupDialogOptions* DialogOptions() { return &FDialogOptions; }
    void SetDialogOptions(TInstallGroupDialogOptions* Value) { FDialogOptions.Assign(Value); }

private:
    TInstallGroupDialogOptions FDialogOptions;
};

class TInstallGroup : public TCustomInstallGroup {
    FW_CLASS(TInstallGroup, TCustomInstallGroup)

public:
    explicit TInstallGroup(TComponent* AOwner);
};

// One destination folder with its files.
class TInstallDirectory : public TFileContainer {
    FW_CLASS(TInstallDirectory, TFileContainer)

public:
    explicit TInstallDirectory(TComponent* AOwner);
    // Removes and frees the files whose source file does not exist.
    virtual void RemoveMissingFiles();
};

// The path specifier through which other components name a container's folder.
class TpsFileContainer : public cmp_TPathSpecifier::TStandardPathSpecifier {
    FW_CLASS(TpsFileContainer, cmp_TPathSpecifier::TStandardPathSpecifier)

public:
    explicit TpsFileContainer(TComponent* AOwner);
    ~TpsFileContainer() override;
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Validate(const TComponent* Component) const override;
    std::string GetPath(const TComponent* Component) const override;
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;

    TFileContainer* FileContainer() const { return FFileContainer; }
    void SetFileContainer(TFileContainer* Value);

private:
    TFileContainer* FFileContainer = nullptr;
};

struct TCompressInfo {
    uint8_t Status = 0;
    uint8_t NetArchive = 0;
    std::string Archive;
};
// The Status of a file that went into its archive.
inline constexpr uint8_t csCompressed = 2;

// The leaf of the tree: one file put on the target machine.
class TCustomInstallFile : public TFileRelated {
    FW_CLASS(TCustomInstallFile, TFileRelated)

public:
    explicit TCustomInstallFile(TComponent* AOwner);
    ~TCustomInstallFile() override;
    void Loaded() override;
    int RegisteredType() const override { return rtInstallFile; }
    void SetContainer(TInstallContainer* Value) override;
    void InstallObjects() override;
    void CompleteAfterReboot() override;
    void WriteUninstallInfo(const std::string& Key) override;
    bool HearsInformation() const final { return false; }

    virtual void EngineAborted(TObject* Sender);
    virtual void RegisterLibrary();
    virtual void RegisterExecutable();
    virtual void PrepareTarget();
    virtual void SetActiveX(bool Value);
    virtual void SetDestName(const std::string& Value);
    virtual void SetFileName(const std::string& Value);
    virtual void SetFileType(TInstallFileType Value);
    virtual void SetIncludeFromDir(const std::string& Value);
    virtual void SetState(TInstallFileState Value);
    virtual void CompressFile();
    virtual void CopyToDestination();
    virtual void ReadInfoFromArchive();
    virtual void ReadInfoFromFiles();
    virtual bool HasOLESelfRegister();
    virtual bool UpdateSharedDLLCount();
    std::string GetFullArchiveFile() const override;

    // Self-registration: a program by " /REGSERVER", a library otherwise.
    void RegisterServer();

    // The file has an archive of its own: it comes from its own net location,
    // or its overwrite mode compares with the target before fetching it.
    bool HasOwnArchive() const;

    // What a net distribution's file list says of this file.
    void SetRemoteInfo(int Size, double Date, const std::string& Version);
    void SetDestDir(const std::string& Value) override;
    void SetDestDirType(TCustomPathSpecifier* Value) override;

    // IncludeFromDir, a backslash and FileName: the file's archive key.
    std::string SourcePath() const;
    // The destination folder with a backslash, then DestName.
    std::string TargetPath() const;

    bool ActiveX() const { return FActiveX; }
    int CompressedSize() const { return FCompressedSize; }
    const TCompressInfo& CompressInfo() const { return FCompressInfo; }
    // A build starts with no file compressed.
    void ClearCompressInfo() { FCompressInfo = TCompressInfo(); }
    double Date() const { return FDate; }
    const std::string& DestName() const { return FDestName; }
    const std::string& FileName() const { return FFileName; }
    TInstallFileType FileType() const { return FFileType; }
    const std::string& IncludeFromDir() const { return FIncludeFromDir; }
    TOverwriteType OverwriteMode() const { return FOverwriteMode; }
    void SetOverwriteMode(TOverwriteType Value) { FOverwriteMode = Value; }
    bool RegisterAsHelp() const { return FRegisterAsHelp; }
    void SetRegisterAsHelp(bool Value) { FRegisterAsHelp = Value; }
    bool RunAfterInstall() const { return FRunAfterInstall; }
    void SetRunAfterInstall(bool Value) { FRunAfterInstall = Value; }
    int Size() const { return FSize; }
    TInstallFileState State() const { return FState; }
    int UniqueID() const { return FUniqueID; }
    // A project's stored number replaces the one taken at creation.
    void SetUniqueID(int Value);
    bool UpdateDLLCounter() const { return FUpdateDLLCounter; }
    void SetUpdateDLLCounter(bool Value) { FUpdateDLLCounter = Value; }
    const std::string& Version() const { return FVersion; }

    TInstallFileNotifyEvent OnAfterCompress, OnAfterCopy, OnAfterInstall, OnBeforeCompress, OnBeforeCopy,
        OnBeforeInstall, OnReplacing;
    TInstallFileStatusEvent OnStatus;
    TInstallFileNewDiskEvent OnNewDisk;

protected:
    bool FTargetExisted = false;
    bool FReplaceAtReboot = false;
    bool FShouldInstall = false;
    bool FActiveX = false;
    int FCompressedSize = 0;
    TCompressInfo FCompressInfo;
    double FDate = 0;
    std::string FDestName;
    std::string FFileName;
    TInstallFileType FFileType = iftNormal;
    std::string FIncludeFromDir;
    TOverwriteType FOverwriteMode = owAlways;
    bool FRegisterAsHelp = false;
    bool FRunAfterInstall = false;
    int FSize = 0;
    TInstallFileState FState = ifsNone;
    int FUniqueID = 0;
    bool FUpdateDLLCounter = false;
    std::string FVersion;

    // The archive engine's handlers while it works for this file: progress
    // and new disks go up the tree.
    void EngineStatus(cmp_TWdrlCompress::TWdrlCompress* Engine, const cmp_TWdrlCompress::TlzhFileStats& Stats);
    void EngineNewDisk(cmp_TWdrlCompress::TWdrlCompress* Engine, int Disk, std::string& Path);

private:
    void Extract();
    void FetchArchive();
    void AfterInstallSteps();
    void ReadInfoFromArchiveFile(const std::string& Path);
    void ScheduleReplacement(const std::string& Target);
    // The destination folder: during an install as resolved at its start.
    std::string DestFolder() const;

    bool FOwnsUniqueIDFlag = false;
    // While the file installs: its destination folder, resolved once, and the
    // name the new file is written under before it takes the target's place
    // (or, for a target in use, until the restart).
    std::string FResolvedDestDir;
    std::string FExtractName;
    bool FExtractComplete = false;
    // The existing target is deleted only once the new file is complete.
    bool FDeferredDelete = false;
    // Set while ApplySettings runs: the setters that the base classes call
    // on the way then only store.
    bool FApplyingSettings = false;
    // ... also while the file or its project is being freed: nothing then
    // steers, and the specifiers a library kind needs may be gone already.
    bool OnlyStores() const
    {
        return IsLoading() || FApplyingSettings || IsDestroying() || (Owner() && Owner()->IsDestroying());
    }
    // Compress points the file at the archive it goes into and puts its own
    // settings back afterwards, exactly as they were.
    friend class TFileContainer;

protected:
    // Sets all the values that steer one another at once: the new value of
    // the one setter that runs, the current values of the others. Checks
    // everything before it changes anything, so a refusal changes nothing.
    void ApplySettings(TInstallContainer* NewContainer, const std::string& NewIncludeFromDir, bool NewActiveX,
                       TInstallFileType NewFileType, TCustomPathSpecifier* NewDestDirType,
                       const std::string& NewDestName, const std::string& NewDestDir, const std::string& NewFileName);
};

class TInstallFile : public TCustomInstallFile {
    FW_CLASS(TInstallFile, TCustomInstallFile)

public:
    explicit TInstallFile(TComponent* AOwner);
};

// The published properties every node of the tree shares. The install root
// is always included and so does not publish Include.
template <class C>
void DefineContainerProperties(fw_Classes::TPropertyBuilder<C>& P, TInstallTypeSet InstallTypesDefault,
                               bool PublishInclude)
{
    P.String("DestDir", &C::DestDir, &C::SetDestDir);
    P.template Reference<TCustomPathSpecifier>("DestDirType", &C::DestDirType, &C::SetDestDirType);
    if (PublishInclude)
        P.Boolean("Include", &C::Include, &C::SetInclude, true);
    P.template Set<TInstallTypeSet>("InstallTypes", TInstallTypeInfo, &C::InstallTypes, &C::SetInstallTypes,
                                    InstallTypesDefault);
}

// ... and those of the file-related nodes under a container.
template <class C>
void DefineFileRelatedProperties(fw_Classes::TPropertyBuilder<C>& P)
{
    DefineContainerProperties(P, AllInstallTypes, true);
    P.template Enum<TlzhCommand>("AddToArchive", TlzhCommandInfo, &C::AddToArchive, &C::SetAddToArchive,
                                 cmp_TWdrlCompress::lzcOverwrite);
    P.String("ArchiveFile", &C::ArchiveFile, &C::SetArchiveFile);
    P.template Reference<TCustomPathSpecifier>("ArchiveFileType", &C::ArchiveFileType, &C::SetArchiveFileType);
    P.template Reference<TInstallContainer>("Container", &C::Container, &C::SetContainer);
    P.template Reference<TComponent>("NetLocation", &C::NetLocation, &C::SetNetLocation);
}

} // namespace cmp_TInstallContainer
