#include "Internal.h"

#include "archive/archive_FileHeaders.h"
#include "framework/fw_Handles.h"
#include "routines/routines_API.h"
#include "routines/routines_Registry.h"
#include "routines/routines_Strings.h"

namespace cmp_TInstallContainer {

bool RaiseRegistrationErrors = true;

TCustomInstallFileList& FailedRegistrations()
{
    static TCustomInstallFileList List;
    return List;
}

cmp_TWdrlCompress::TWdrlCompress& SharedArchiveEngine()
{
    static cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    return Engine;
}

// ---- TCustomInstallFile -----------------------------------------------------------

FW_DEFINE_CLASS(TCustomInstallFile, TFileRelated, nullptr, nullptr)

TCustomInstallFile::TCustomInstallFile(TComponent* AOwner) : TFileRelated(AOwner)
{
    FAutoProcess = true;
    FInclude = true;
    SetNet(false);
    AllInstallFiles().Add(this);
    const int ID = TakeFreeUniqueID();
    if (ID >= 0) {
        FUniqueID = ID;
        FOwnsUniqueIDFlag = true;
    }
    AttachToDesignRoot();
}

TCustomInstallFile::~TCustomInstallFile()
{
    AllInstallFiles().Remove(this);
    FailedRegistrations().Remove(this);
    if (FOwnsUniqueIDFlag)
        SetUniqueIDFlag(FUniqueID, false);
}

void TCustomInstallFile::Loaded()
{
    inherited::Loaded();
    if (ValidUniqueID(FUniqueID)) {
        SetUniqueIDFlag(FUniqueID, true);
        FOwnsUniqueIDFlag = true;
    }
}

void TCustomInstallFile::EngineAborted(TObject* Sender) { throw exceptions_Wendrel::EAIUserAbort(); }

void TCustomInstallFile::SetState(TInstallFileState Value)
{
    // The state is a command: the operation runs, then the file is idle again.
    fw_Handles::TScopeExit Idle([this] { FState = ifsNone; });
    FState = Value;
    switch (Value) {
    case ifsCompress:
        CompressFile();
        break;
    case ifsInstall:
        Process();
        break;
    case ifsCopying:
        CopyToDestination();
        break;
    default:
        break;
    }
}

void TCustomInstallFile::InstallObjects()
{
    // NOT BUILT: the install of the file (overwrite decision, extraction,
    // replacing at reboot, shared count, registrations, events).
    throw IECustomInstallFile("Installing a file is not available in this build");
}

void TCustomInstallFile::CompleteAfterReboot()
{
    // NOT BUILT: registering the file's ActiveX server after the reboot.
    throw IECustomInstallFile("Completing a file after the reboot is not available in this build");
}

namespace {

// How many "Files" keys ("Files", "Files1", ...) a file tries before the
// uninstall record is given up as unwritable.
constexpr int UninstallFilesKeys = 100;

// The next number of a list of "File<n>" values kept under Key, which
// counts them in its string value "Entries".
int NextEntry(const std::string& Key)
{
    std::string Entries;
    routines_Registry::ReadRegistryString(routines_Registry::hkLocalMachine, Key, "Entries", Entries, "0");
    return fw_SysUtils::StrToIntDef(fw_SysUtils::Trim(Entries), 0) + 1;
}

void WriteEntry(const std::string& Key, int N, const std::string& Data)
{
    using routines_Registry::hkLocalMachine;
    routines_Registry::WriteRegistryString(hkLocalMachine, Key, "File" + fw_SysUtils::IntToStr(N), Data);
    routines_Registry::WriteRegistryString(hkLocalMachine, Key, "Entries", fw_SysUtils::IntToStr(N));
}

} // namespace

void TCustomInstallFile::WriteUninstallInfo(const std::string& Key)
{
    const std::string Target = TargetPath();
    if (FActiveX) {
        // The uninstaller unregisters these servers; ";1" marks a program.
        const std::string Servers = Key + "\\ActiveX";
        const bool Program = fw_SysUtils::UpperCase(fw_SysUtils::ExtractFileExt(FFileName)) == ".EXE";
        WriteEntry(Servers, NextEntry(Servers), Target + (Program ? ";1" : ";0"));
        return;
    }
    for (int Attempt = 0; Attempt < UninstallFilesKeys; ++Attempt) {
        const std::string Files = Key + "\\Files" + (Attempt ? fw_SysUtils::IntToStr(Attempt) : std::string());
        try {
            WriteEntry(Files, NextEntry(Files), Target);
            return;
        } catch (const routines_Registry::EIRCannotWriteValue&) {
            // this key can't take it: the next one may
        } catch (const fw_Registry::ERegistryException&) {
        }
    }
    throw IECustomInstallFile("Cannot record the file %s for the uninstaller under the key %s", {Target, Key});
}

namespace {

// Registration needs the installed file itself.
void RequireTarget(const TCustomInstallFile& File)
{
    if (fw_SysUtils::Trim(File.GetFullDestDir()).empty() || !fw_SysUtils::FileExists(File.TargetPath()))
        throw IECustomInstallFile("Cannot compress,copy, or install the following file because it's destination "
                                  "directory is blank. File is :%s",
                                  {File.Name()});
}

} // namespace

void TCustomInstallFile::RegisterLibrary()
{
    RequireTarget(*this);
    const std::string Target = TargetPath();
    fw_Handles::TModule Library(LoadLibraryA(Target.c_str()));
    const DWORD LoadError = GetLastError(); // before anything else can change it
    if (!Library)
        throw IECustomInstallFile("Could not register the ActiveX component, %s, because the LoadLibrary(%s) "
                                  "procedure returned a value of 0. The file component is %s. The following value is "
                                  "the value of the GetLastError function: %d",
                                  {Target, Target, Name(), int(LoadError)});
    using TRegisterServer = HRESULT(__stdcall*)();
    auto Register = reinterpret_cast<TRegisterServer>(GetProcAddress(Library.Get(), "DllRegisterServer"));
    const DWORD FindError = GetLastError();
    if (!Register)
        throw IECustomInstallFile("Could not register the ActiveX component, %s, because the DllRegisterServer "
                                  "function could not be found. The file component is %s. The following value is the "
                                  "value of the GetLastError function: %d",
                                  {Target, Name(), int(FindError)});
    const HRESULT Result = Register();
    if (Result != 0)
        throw IECustomInstallFile("Could not register the ActiveX component, %s, because the DllRegisterServer "
                                  "function returned a value of %d. The file component is %s",
                                  {Target, int(Result), Name()});
}

void TCustomInstallFile::RegisterExecutable()
{
    RequireTarget(*this);
    const std::string Target = TargetPath();
    // Quoted: the destination usually lies below "Program Files".
    const std::string CommandLine = "\"" + Target + "\" /REGSERVER";
    const UINT Result = WinExec(CommandLine.c_str(), SW_HIDE);
    const DWORD ExecError = GetLastError();
    if (Result < 32)
        throw IECustomInstallFile("Could not register the ActiveX component, %s, because the WinExec(%s,SW_HIDE) "
                                  "function returned a value < 32. The file component is %s. The following value is "
                                  "the value of the GetLastError function: %d",
                                  {Target, CommandLine, Name(), int(ExecError)});
}

void TCustomInstallFile::PrepareTarget()
{
    // NOT BUILT: checking and preparing the target before the file is replaced.
    throw IECustomInstallFile("Preparing the target file is not available in this build");
}

void TCustomInstallFile::ReadInfoFromArchive()
{
    // NOT BUILT: reading size, date and version from the archive record.
    throw IECustomInstallFile("Reading the archive information is not available in this build");
}

bool TCustomInstallFile::HasOLESelfRegister()
{
    return cmp_TVersion::HasVersionString(SourcePath(), "OLESelfRegister");
}

bool TCustomInstallFile::UpdateSharedDLLCount()
{
    routines_Registry::TWdrlRegistry Reg;
    Reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!Reg.OpenKey("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", true))
        throw IECustomInstallFile(
            "Could not open the key SharedDLLs key in the registry. File component %s. GetLastError return: %d",
            {Name(), int(Reg.LastError())});
    // Older setups counted the library under its short name: that count
    // goes on; otherwise the long name carries it.
    const std::string Target = TargetPath();
    const std::string Short = routines_API::ShortPathName(Target);
    try {
        const int Count = Reg.ReadInteger(Short);
        Reg.WriteInteger(Short, Count + 1);
        return true;
    } catch (const fw_Registry::ERegistryException&) {
        // no count under the short name
    }
    int Count = 0;
    try {
        Count = Reg.ReadInteger(Target);
    } catch (const fw_Registry::ERegistryException&) {
        Count = 0; // the first installation of this library
    }
    Reg.WriteInteger(Target, Count + 1);
    return true;
}

bool TCustomInstallFile::HasOwnArchive() const
{
    return FNetLocation || FOverwriteMode == owVersion || FOverwriteMode == owDate || FOverwriteMode == owVersionDate;
}

std::string TCustomInstallFile::SourcePath() const
{
    return routines_Strings::IncludeTrailingBackslash(FIncludeFromDir) + FFileName;
}

std::string TCustomInstallFile::TargetPath() const
{
    return routines_Strings::IncludeTrailingBackslash(GetFullDestDir()) + FDestName;
}

static void DefineInstallFile(fw_Classes::TPropertyBuilder<TInstallFile>& P)
{
    using F = TInstallFile;
    DefineFileRelatedProperties(P);
    P.Boolean("Net", &F::Net, &F::SetNet, false);
    P.Boolean("Uninstall", &F::Uninstall, &F::SetUninstall, true);
    P.Boolean("ActiveX", &F::ActiveX, &F::SetActiveX, false);
    P.String("DestName", &F::DestName, &F::SetDestName);
    P.String("FileName", &F::FileName, &F::SetFileName);
    P.Enum<TInstallFileType>("FileType", TInstallFileTypeInfo, &F::FileType, &F::SetFileType, iftNormal);
    P.String("IncludeFromDir", &F::IncludeFromDir, &F::SetIncludeFromDir);
    P.Enum<TOverwriteType>("OverwriteMode", TOverwriteTypeInfo, &F::OverwriteMode, &F::SetOverwriteMode, owAlways);
    P.Boolean("RegisterAsHelp", &F::RegisterAsHelp, &F::SetRegisterAsHelp, false);
    P.Boolean("RunAfterInstall", &F::RunAfterInstall, &F::SetRunAfterInstall, false);
    P.Integer("UniqueID", &F::UniqueID, &F::SetUniqueID); // always written
    P.Boolean("UpdateDLLCounter", &F::UpdateDLLCounter, &F::SetUpdateDLLCounter, false);
}

FW_DEFINE_CLASS(TInstallFile, TCustomInstallFile, fw_Classes::CreateComponent<TInstallFile>, DefineInstallFile)

TInstallFile::TInstallFile(TComponent* AOwner) : TCustomInstallFile(AOwner) {}

} // namespace cmp_TInstallContainer
