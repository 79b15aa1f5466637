// The install root: the one TInstall component of a project. It heads the
// install tree, holds the command-line switches and the product's
// information, and starts the installation when its form is first activated.
#pragma once

#include "engine/cmp_TInstallContainer.h"
#include "framework/fw_Classes.h"
#include "framework/fw_Graphics.h"
#include "framework/fw_Handles.h"
#include "routines/exceptions_Wendrel.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace cmp_TInstall {

using cmp_TInstallContainer::TCustomInstallFile;
using cmp_TInstallContainer::TInstallContainer;
using exceptions_Wendrel::IEInstall;
using exceptions_Wendrel::IEInstallNetLocNil;
using fw_Classes::TComponent;
using fw_Classes::TObject;

enum TSwitch : uint8_t { swBuild, swFloppies, swDebug, swSelfExtract, swAfterReboot, swSourcePath, swCleanup };
using TSwitches = fw_Classes::TSet<TSwitch>;
using TParameterContentArray = std::array<std::string, 7>;

enum TDistributeType : uint8_t { dtTraditional, dtWeb, dtTraditionalNet };
extern const fw_Classes::TEnumInfo TDistributeTypeInfo;

// The message for a command-line argument that is no switch; %s is the argument.
inline constexpr const char* InvalidParameterText =
    "Invalid parameter <%s>. Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to floppies), "
    "-e (Called by self-extractor), -r (After reboot)";

// The setup program's exit codes: a run that failed, and one the user
// aborted (a good end leaves 0).
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUserAbort = 2;
// A run that ended with a restart still to come.
inline constexpr int ExitRestartPending = 3;

// Makes the install root's class known to the project reader.
void RegisterInstallClasses();

class TInstallInformation : public fw_Classes::TPersistent {
    FW_CLASS(TInstallInformation, fw_Classes::TPersistent)

public:
    void Assign(fw_Classes::TPersistent* Source) override;
    std::string CompanyName = "My Company";
    std::string ProductName = "My product";
    std::string Version = "1.0";
};

// The settings of build mode.
class TBuildInfo : public fw_Classes::TPersistent {
    FW_CLASS(TBuildInfo, fw_Classes::TPersistent)

public:
    void Assign(fw_Classes::TPersistent* Source) override;
    bool AddUninstallOnCreate = true;
    std::string AppName;
    std::string AppURL;
    std::string BuildDirectory = "c:\\build";
    std::string CredentialsFile;
    std::string OCXName = "wwsetup";
    std::string PrivateKeyFile;
    bool SignCode = false;
    std::string URLPath;
};

// The record at the very end of a self-extracting setup program: where the
// appended "setup.1" and "files.1" lie in it (positions of their first and
// last bytes; the files range is 0 when none was appended).
struct TExtractionInfo {
    char Marker[15];
    uint8_t Reserved1;
    int32_t SetupStart;
    int32_t SetupEnd;
    int32_t FilesStart;
    int32_t FilesEnd;
    uint8_t Reserved2[24];
};
static_assert(sizeof(TExtractionInfo) == 56);

class TCustomInstall;
using TInstallNotifyEvent = std::function<void(TCustomInstall* Install)>;
using TRebootWindowsEvent = std::function<void(TCustomInstall* Install, bool& Continue)>;
using TBeforeRunFileEvent =
    std::function<void(TCustomInstall* Install, TCustomInstallFile* FileToRun, bool& DefaultAction)>;
using TUserAbortEvent = std::function<void(TCustomInstall* Install, bool& QuitOut)>;
using TCleanupEvent = std::function<void(TCustomInstall* Install, bool& Continue)>;

class TCustomInstall : public cmp_TInstallContainer::TFileContainer {
    FW_CLASS(TCustomInstall, cmp_TInstallContainer::TFileContainer)

public:
    explicit TCustomInstall(TComponent* AOwner);
    ~TCustomInstall() override;
    void Loaded() override;
    void Notification(TComponent* AComponent, fw_Classes::TOperation Operation) override;
    void Process() override;
    void CompleteAfterReboot() override;
    void SetNetLocation(TComponent* Value) override;
    bool MakesPathSpecifier() override { return false; }
    void Compress(uint8_t Options) override;
    void ReadInfoFromArchive() override;
    bool NeedsDownload() const override;

    virtual void RemoveInstallRecord();
    virtual void NotifyBadInstall();
    virtual void NotifyGoodInstall();
    virtual std::string FindInstallRecord(bool Create);
    virtual void ProcessRegisteredType(int Type, const std::string& Text);
    virtual void ParseCommandLine();
    virtual void RunFilesAfterInstall();
    virtual void SetAutoMaximizeWindow(bool Value);
    virtual void SetBuildInfo(TBuildInfo* Value);
    virtual void SetDialogThemeBitmap(fw_Graphics::TPicture* Value);
    virtual void SetDistributeType(TDistributeType Value);
    virtual void SetHideMainForm(bool Value);
    virtual void SetPresetupFiles(const std::vector<std::string>& Value);
    virtual void SetUseLoadingProgram(bool Value);
    virtual void RegisterRunOnce();
    virtual void HandleException(TObject* Sender, const fw_SysUtils::Exception& E);
    // Build mode: the distribution into the folder named by the first line
    // of "BUILD.INF" beside the program; a failure is shown. Ends the
    // application either way.
    virtual void BuildFromInfFile();
    // The build folder BUILD.INF at InfPath names: its first line, kept as
    // written, ended by CR, LF or CRLF. Only the first MaxBuildInfLine + 1
    // bytes are read; a longer, blank or zero-holding first line, like a
    // missing file, raises IEInstall.
    static std::string ReadBuildDirectory(const std::string& InfPath);
    static constexpr size_t MaxBuildInfLine = 4096;
    // Makes the distribution of SetupExe in BuildDir; StandAlone makes its
    // setup.exe self-extracting.
    virtual void Build(const std::string& SetupExe, const std::string& BuildDir, bool StandAlone);
    // Puts "setup.exe" (and with a loading program "setup.1") into BuildDir.
    virtual void CopySetupProgram(const std::string& BuildDir, const std::string& SetupExe);
    // "setup.1": the setup program as its first record, the PresetupFiles after it.
    virtual void ArchiveSetupFiles(const std::string& BuildDir, const std::string& SetupExe);
    // Appends setup.1, files.1 (when there is one) and the extraction record to SetupExe.
    virtual void MakeSelfExtracting(const std::string& SetupExe, const std::string& Setup1, const std::string& Files1);
    // "filelist.lst" of a net distribution, in the net location's folder beside ArchiveFile.
    virtual void WriteFileList();
    // Copies a self-extracting distribution onto disks in the drive Target ("a:").
    virtual void TransferToFloppies(const std::string& Target);
    // The install library's folder (which holds the loading program), from
    // its search path; empty, or IENoWendrelPath with MustExist, when no
    // folder on it holds LibraryMarkerFile.
    static std::string GetLibraryDir(bool MustExist);
    virtual void Cleanup();
    virtual void ReadUnfinished(fw_Classes::TStrings* List);
    virtual bool QueryUserAbort();
    virtual void ClearUnfinished();
    // Adds Subject (a component's Name for action 0, a file to delete for
    // action 1) to the work left for after the restart.
    virtual void AddUnfinished(const std::string& Subject, int Action);
    // The last 56 bytes of FileName, checked: the marker, and ranges that
    // lie in order inside the file before the record.
    TExtractionInfo ReadExtractionInfo(const std::string& FileName) const;
    // Restarts Windows; on failure OnFailedReboot, or a message that asks
    // the user to restart.
    virtual void RebootWindows();
    // The main translator's language, kept in the install record over a restart.
    virtual void WriteLanguage();
    virtual int ReadLanguage();
    // Fetches the net distribution's "filelist.lst" and gives each install
    // file named there its size, date and version.
    virtual void ReadRemoteFileList();
    // The program the user started: the self-extracting file, this program,
    // or the loading program's copy named by the second argument.
    std::string GetSetupPath() const;
    int UnfinishedCount() const { return FUnfinishedCount; }

    // Fires OnBeforeShutdown; unless the handler clears QuitOut, ends the
    // application after the current message.
    void Shutdown();

    // The program's arguments; a test may replace them before loading.
    static std::function<std::vector<std::string>()> CommandLineArguments;
    // The Windows family and the restart request; a test may replace them.
    static std::function<int()> WindowsVersionOf;
    static std::function<BOOL(UINT Flags, DWORD Reason)> RequestRestart;
    // Whether a root takes its product's mutex when it loads; test programs
    // that make many roots at once, in parallel processes, turn it off.
    static bool SingleRunPerProduct;

    TSwitches Switches() const { return FSwitches; }
    const TParameterContentArray& ParameterContents() const { return FParameterContents; }
    // The folder the installation runs from, without trailing backslash
    // (unless the s switch gave one).
    const std::string& SourceDir() const { return FSourceDir; }
    bool AutoMaximizeWindow() const { return FAutoMaximizeWindow; }
    TBuildInfo* BuildInfo() { return &FBuildInfo; }
    fw_Graphics::TPicture* DialogThemeBitmap() { return &FDialogThemeBitmap; }
    TDistributeType DistributeType() const { return FDistributeType; }
    bool HideMainForm() const { return FHideMainForm; }
    TInstallInformation* Information() { return &FInformation; }
    std::vector<std::string> PresetupFiles() const { return FPresetupFiles.ToVector(); }
    bool Reboot() const { return FReboot; }
    void SetReboot(bool Value) { FReboot = Value; }
    bool RunAutomatic() const { return FRunAutomatic; }
    void SetRunAutomatic(bool Value) { FRunAutomatic = Value; }
    bool UseLoadingProgram() const { return FUseLoadingProgram; }
    bool Running() const { return FRunning; }
    bool Aborted() const { return FAborted; }
    bool Activated() const { return FActivated; }
    TComponent* InstallForm() const { return FInstallForm; }

    // Shows Text in a plain message box.
    static void ShowPlainMessage(const std::string& Text);

    // OnAfterInstallObjects and OnBeforeInstallObjects are the file
    // container's; the root fires the first itself, once per run.
    TInstallNotifyEvent OnAfterInitialized, OnAfterNotifyBadInstall, OnAfterNotifyGoodInstall, OnAfterReadArchiveInfo,
        OnBeforeReadArchiveInfo, OnBeforeNotifyBadInstall, OnBeforeNotifyGoodInstall, OnFailedReboot;
    TRebootWindowsEvent OnBeforeReboot;
    TBeforeRunFileEvent OnBeforeRunFile;
    TUserAbortEvent OnBeforeShutdown;
    TCleanupEvent OnBeforeCleanup;
    TUserAbortEvent OnUserAbort;

protected:
    // Installed on the install form's OnActivate in a normal installation.
    void FormActivate(TObject* Sender);

    TSwitches FSwitches;
    TParameterContentArray FParameterContents;
    std::string FSourceDir;
    bool FAutoMaximizeWindow = true;
    TBuildInfo FBuildInfo;
    fw_Graphics::TPicture FDialogThemeBitmap;
    TDistributeType FDistributeType = dtTraditional;
    bool FHideMainForm = false;
    TInstallInformation FInformation;
    fw_Classes::TStringList FPresetupFiles;
    bool FReboot = false;
    bool FRunAutomatic = true;
    bool FUseLoadingProgram = true;
    bool FAborted = false;
    bool FRunning = false;
    bool FActivated = false;
    int FUnfinishedCount = 0;
    TComponent* FInstallForm = nullptr;
    fw_Classes::TNotifyEvent FPreviousOnActivate;
    bool FPreviousOnActivateSaved = false;
    std::string FCleanupBatchFile;
    bool FRunCleanupBatch = false;
    // Held from loading on: one run of a product at a time.
    fw_Handles::THandle FProductMutex;

private:
    void TakeProductMutex();
    // The good end of a run or a resume: the pages, the clean-up, the record.
    void EndWell();
    // Removes the RunOnce values that would resume a run of this program.
    void RemovePendingResume();
};

// The information codes the run sends before installing, in their order;
// the last one opens the wizard.
inline constexpr int BeforeInstallCodes[] = {-986, -976, -975, -982, -981, -977, -980};
inline constexpr int icReadingArchiveInfo = -984;
inline constexpr int icArchiveInfoRead = -983;
inline constexpr int icRebootDue = -987;

class TInstall : public TCustomInstall {
    FW_CLASS(TInstall, TCustomInstall)

public:
    explicit TInstall(TComponent* AOwner);
};

// Where the engine keeps one install record per setup program (under
// HKEY_LOCAL_MACHINE), and the parts of a record.
inline constexpr const char* InstallRecordsKey = "\\SOFTWARE\\Wendrel\\Install";
inline constexpr const char* WendrelKey = "\\Software\\Wendrel";
inline constexpr const char* UnfinishedKey = "Unfinished";
inline constexpr const char* RunOnceName = "WendrelUnfinished";

// The install library on the building machine: the folder that holds the
// loading program is found on the search path in the user's settings, where
// LibraryRootMacro stands for the library's installation folder.
inline constexpr const char* LibraryUserKey = "Software\\Wendrel Library\\Environment";
inline constexpr const char* LibrarySearchPathValue = "Library Search Path";
inline constexpr const char* LibraryMachineKey = "Software\\Wendrel Library";
inline constexpr const char* LibraryRootValue = "RootDir";
inline constexpr const char* LibraryRootMacro = "$(WENDREL)";
inline constexpr const char* LibraryMarkerFile = "W32V40.TXT";
inline constexpr const char* LoaderFileName = "WendrelLoadProgram.exe";

// The main translator's language (a language's ordinal), which a restart
// keeps; the translator installs these, without one there is none.
struct TLanguageHooks {
    std::function<int()> Get;
    std::function<void(int)> Set;
};
extern TLanguageHooks MainLanguage;
// The ordinal of the Windows user's language.
inline constexpr int UserLanguageOrdinal = 19;

// The moment the current run started.
extern fw_SysUtils::TDateTime RunStart;

// The install root of the process, or nil.
TCustomInstall* InstallRoot();

// The install root's distribution type; dtTraditionalNet without one.
TDistributeType CurrentDistributeType();

} // namespace cmp_TInstall
