// Build mode: the same setup program that installs the product makes its
// distribution ("files.1", "setup.1", a self-extracting "setup.exe"), and
// copies a self-extracting distribution onto disks.
#include "Internal.h"

#include "archive/cmp_TWdrlCompress.h"
#include "framework/fw_Handles.h"
#include "framework/fw_Registry.h"
#include "framework/fw_Streams.h"
#include "routines/routines_Strings.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace cmp_TInstall {

using fw_SysUtils::ExtractFileName;
using fw_SysUtils::ExtractFilePath;
using fw_SysUtils::Trim;
using routines_Strings::ExcludeTrailingBackslash;
using routines_Strings::IncludeTrailingBackslash;

namespace {

constexpr char ExtractionMarker[] = "SELFEXTRACTING";
static_assert(sizeof ExtractionMarker == sizeof TExtractionInfo::Marker);

// Appended archives are copied through one buffer of this size.
constexpr size_t CopyBufferSize = 64 * 1024;
// The disk copy of "setup.1" goes in blocks of this size, the GUI served
// after each.
constexpr size_t DiskBlockSize = 8192;

std::string BuildPath(const std::string& BuildDir, const char* Name)
{
    return IncludeTrailingBackslash(BuildDir) + Name;
}

void ProcessMessages()
{
    if (fw_Forms::Application)
        fw_Forms::Application->ProcessMessages();
}

// Copies Count bytes (all that is left when Count < 0) from Source to
// Target; answers how many were written.
int64_t CopyBytes(fw_Streams::TStream& Source, fw_Streams::TStream& Target, int64_t Count, size_t BlockSize,
                  bool ServeGui)
{
    std::unique_ptr<uint8_t[]> Buffer(new uint8_t[BlockSize]);
    int64_t Done = 0;
    while (Count < 0 || Done < Count) {
        const size_t Want = Count < 0 ? BlockSize : size_t(std::min<int64_t>(int64_t(BlockSize), Count - Done));
        const size_t Got = Source.Read(Buffer.get(), Want);
        if (Got == 0)
            break;
        const size_t Written = Target.Write(Buffer.get(), Got);
        Done += int64_t(Written);
        if (Written < Got)
            break;
        if (ServeGui)
            ProcessMessages();
    }
    return Done;
}

// Appends the whole file Path to Target; a short copy is told by the caller.
bool AppendFile(fw_Streams::TStream& Target, const std::string& Path)
{
    fw_Streams::TFileStream Source(Path, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyWrite);
    return CopyBytes(Source, Target, -1, CopyBufferSize, false) == Source.Size();
}

// Positions inside setup.exe are 32-bit in the record.
int32_t Position32(int64_t Position, const std::string& Archive, const std::string& SetupExe)
{
    if (Position > INT32_MAX)
        throw IEInstall("Cannot create the self-extracting exe because %s could not be loaded onto %s",
                        {Archive, SetupExe});
    return int32_t(Position);
}

} // namespace

void TCustomInstall::Compress(uint8_t Options)
{
    // A build starts with every file idle, also one that a failed build left
    // in the middle of an operation, and with nothing compressed yet.
    cmp_TInstallContainer::TCustomInstallFileList& Files = cmp_TInstallContainer::AllInstallFiles();
    for (int I = 0; I < Files.Count(); ++I) {
        Files.Items(I)->SetState(cmp_TInstallContainer::ifsNone);
        Files.Items(I)->ClearCompressInfo();
    }
    inherited::Compress(Options);
}

void TCustomInstall::WriteFileList()
{
    using namespace cmp_TInstallContainer;
    const std::string Folder = ExcludeTrailingBackslash(ExtractFilePath(FArchiveFile)) + "\\" + GetNetPath();
    fw_SysUtils::ForceDirectories(Folder);
    // A file takes part when this build put it into an archive.
    std::vector<TCustomInstallFile*> Taking;
    TCustomInstallFileList& Files = AllInstallFiles();
    for (int I = 0; I < Files.Count(); ++I)
        if (Files.Items(I)->CompressInfo().Status == csCompressed)
            Taking.push_back(Files.Items(I));
    fw_Streams::TFileStream List(Folder + "\\filelist.lst", fw_Streams::fmCreate);
    const int32_t Count = int32_t(Taking.size());
    List.WriteBuffer(&Count, sizeof Count);
    for (TCustomInstallFile* File : Taking) {
        TFileListRecord Record{};
        Record.Size = File->Size();
        Record.Date = File->Date();
        // A name keeps 39 characters and its zero; a version of 20 fills its field.
        std::strncpy(Record.Name, File->Name().c_str(), sizeof Record.Name - 1);
        const std::string& Version = File->Version();
        std::memcpy(Record.Version, Version.data(), std::min(Version.size(), sizeof Record.Version));
        List.WriteBuffer(&Record, sizeof Record);
    }
}

std::string TCustomInstall::ReadBuildDirectory(const std::string& InfPath)
{
    if (!fw_SysUtils::FileExists(InfPath))
        throw IEInstall("Need to have a BUILD.INF file in this directory with the first line specifying the build "
                        "directory");
    // One more byte than a line may have tells a longer line, whatever the
    // size of the file: a binary or huge BUILD.INF is never read whole.
    char Buffer[MaxBuildInfLine + 1];
    size_t Size = 0;
    {
        fw_Streams::TFileStream File(InfPath, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyWrite);
        while (Size < sizeof Buffer) {
            const size_t Got = File.Read(Buffer + Size, sizeof Buffer - Size);
            if (Got == 0)
                break;
            Size += Got;
        }
    }
    const std::string_view Read(Buffer, Size);
    const size_t End = Read.find_first_of("\r\n");
    const std::string_view Line = Read.substr(0, End);
    if (End == std::string_view::npos && Size > MaxBuildInfLine)
        throw IEInstall("The first line of BUILD.INF is longer than %d characters. This line should specify the "
                        "build directory",
                        {int(MaxBuildInfLine)});
    // A blank first line names no folder: the build would land in the root
    // of the current drive.
    if (Trim(Line).empty())
        throw IEInstall("Must be 1 line in BUILD.INF. This line should specify the build directory");
    // The system would end the name at the zero and build elsewhere.
    if (Line.find('\0') != std::string_view::npos)
        throw IEInstall("The first line of BUILD.INF holds a zero byte. This line should specify the build directory");
    return std::string(Line);
}

void TCustomInstall::BuildFromInfFile()
{
    try {
        const std::string Program = fw_SysUtils::ModuleFileName();
        const std::string Dir = ReadBuildDirectory(IncludeTrailingBackslash(ExtractFilePath(Program)) + "BUILD.INF");
        Build(Program, Dir, true);
    } catch (const fw_SysUtils::Exception& E) {
        ShowPlainMessage(E.Message());
        if (fw_Forms::Application)
            fw_Forms::Application->ExitCode = ExitFailure;
    } catch (const std::exception& E) {
        ShowPlainMessage(E.what());
        if (fw_Forms::Application)
            fw_Forms::Application->ExitCode = ExitFailure;
    }
    if (fw_Forms::Application)
        fw_Forms::Application->Terminate();
}

void TCustomInstall::ShowPlainMessage(const std::string& Text)
{
    if (fw_Forms::Application)
        fw_Forms::Application->ShowMessage(Text);
    else
        MessageBoxA(nullptr, Text.c_str(), "", MB_OK);
}

void TCustomInstall::Build(const std::string& SetupExe, const std::string& BuildDir, bool StandAlone)
{
    using namespace cmp_TInstallContainer;
    if (StandAlone && !FUseLoadingProgram)
        throw IEInstall("Cannot build a stand alone executable if the UseLoadingProgram property of the TInstall is "
                        "set to False");
    const std::string SetupPath = BuildPath(BuildDir, "setup.exe");
    const std::string Setup1Path = BuildPath(BuildDir, "setup.1");
    const std::string Files1Path = BuildPath(BuildDir, "files.1");
    CopySetupProgram(BuildDir, SetupExe);
    TCustomPathSpecifier* SavedType = FArchiveFileType;
    const std::string SavedFile = FArchiveFile;
    // The type first: setting the file alone is read relative to the type.
    SetArchiveFileType(nullptr);
    SetArchiveFile(Files1Path);
    {
        fw_Handles::TScopeExit Restore([&] {
            SetArchiveFileType(SavedType);
            SetArchiveFile(SavedFile);
        });
        // By distribution type: traditional puts every file into files.1, web
        // every file into net archives, traditional-net each where its Net
        // says. All three set options 1 and 2 and make every file take part.
        static constexpr uint8_t OptionsOf[] = {0x2E, 0x36, 0x26};
        static_assert(OptionsOf[dtTraditional] == (0x06 | CompressOptions({coForceNetFilesLocal, coIncludeAll})));
        static_assert(OptionsOf[dtWeb] == (0x06 | CompressOptions({coForceFilesNet, coIncludeAll})));
        static_assert(OptionsOf[dtTraditionalNet] == (0x06 | CompressOptions({coIncludeAll})));
        Compress(OptionsOf[FDistributeType]);
        if (FDistributeType != dtTraditional)
            WriteFileList();
    }
    if (StandAlone)
        MakeSelfExtracting(SetupPath, Setup1Path, Files1Path);
}

void TCustomInstall::CopySetupProgram(const std::string& BuildDir, const std::string& SetupExe)
{
    fw_SysUtils::ForceDirectories(ExcludeTrailingBackslash(BuildDir));
    if (!FUseLoadingProgram) {
        const std::string Target = IncludeTrailingBackslash(BuildDir) + ExtractFileName(SetupExe);
        if (!CopyFileA(SetupExe.c_str(), Target.c_str(), FALSE))
            throw IEInstall("Cannot copy the installation application from %s to %s", {SetupExe, Target});
        return;
    }
    try {
        ArchiveSetupFiles(BuildDir, SetupExe);
    } catch (const exceptions_Wendrel::EycDiskFull&) {
        throw IEInstall("The disk that you have specified has been determined to be either too full or is corrupt "
                        "while trying to copy the SETUP.1 archive file. You should probably clear all files off of the "
                        "drive. Minimally, you should leave enough space on the drive for the SETUP.1 archive file.");
    }
    std::string Library;
    try {
        Library = GetLibraryDir(true);
    } catch (const fw_SysUtils::Exception&) {
        throw IEInstall("The HKEY_LOCAL_MACHINE | %s key in the registry is either missing or points to an invalid "
                        "Wendrel directory",
                        {std::string(LibraryMachineKey)});
    }
    const std::string Loader = IncludeTrailingBackslash(Library) + LoaderFileName;
    if (!fw_SysUtils::FileExists(Loader))
        throw IEInstall("The loader program %s was not found", {Loader});
    const std::string Target = BuildPath(BuildDir, "setup.exe");
    if (!CopyFileA(Loader.c_str(), Target.c_str(), FALSE))
        throw IEInstall("Cannot copy the loading program from %s to %s", {Loader, Target});
}

void TCustomInstall::ArchiveSetupFiles(const std::string& BuildDir, const std::string& SetupExe)
{
    using namespace cmp_TInstallContainer;
    if (Trim(SetupExe).empty())
        throw IEInstall("Cannot create setup file. Executable is blank");
    if (!fw_SysUtils::FileExists(SetupExe))
        throw IEInstall("TInstall: Cannot find the executable file %s", {SetupExe});
    const std::string Archive = BuildPath(BuildDir, "setup.1");
    // The setup program is the archive's first record; the files it needs
    // before it runs follow.
    auto AddOne = [&](const std::string& Path, cmp_TWdrlCompress::TlzhCommand Mode) {
        std::unique_ptr<TInstallFile, fw_Classes::TComponentDeleter> File(new TInstallFile(nullptr));
        File->SetFileName(ExtractFileName(Path));
        File->SetIncludeFromDir(ExcludeTrailingBackslash(ExtractFilePath(Path)));
        File->SetNet(false);
        File->SetAddToArchive(Mode);
        File->SetArchiveFileType(nullptr);
        File->SetArchiveFile(Archive);
        File->CompressFile();
    };
    AddOne(SetupExe, cmp_TWdrlCompress::lzcOverwrite);
    for (const std::string& Line : PresetupFiles())
        AddOne(Line, cmp_TWdrlCompress::lzcOnlyAdd);
}

void TCustomInstall::MakeSelfExtracting(const std::string& SetupExe, const std::string& Setup1,
                                        const std::string& Files1)
{
    TExtractionInfo Info{};
    std::memcpy(Info.Marker, ExtractionMarker, sizeof Info.Marker);
    fw_Streams::TFileStream Target(SetupExe, fw_Streams::fmOpenReadWrite | fw_Streams::fmShareDenyNone);
    Target.Seek(0, fw_Streams::TSeekOrigin::soEnd);
    Info.SetupStart = Position32(Target.Position(), Setup1, SetupExe);
    if (!AppendFile(Target, Setup1))
        throw IEInstall("Cannot create the self-extracting exe because %s could not be loaded onto %s",
                        {Setup1, SetupExe});
    Info.SetupEnd = Position32(Target.Position() - 1, Setup1, SetupExe);
    if (fw_SysUtils::FileExists(Files1)) {
        Info.FilesStart = Position32(Target.Position(), Files1, SetupExe);
        if (!AppendFile(Target, Files1))
            throw IEInstall("Cannot create the self-extracting exe because %s could not be loaded onto %s",
                            {Files1, SetupExe});
        Info.FilesEnd = Position32(Target.Position() - 1, Files1, SetupExe);
    }
    Position32(Target.Position() + int64_t(sizeof Info), Files1, SetupExe);
    Target.WriteBuffer(&Info, sizeof Info);
}

void TCustomInstall::TransferToFloppies(const std::string& Target)
{
    std::optional<fw_Forms::THourGlass> HourGlass;
    HourGlass.emplace();
    ProcessMessages();
    if (!FSwitches.Contains(swSelfExtract))
        throw IEInstall("Sorry... You can only transfer this installation to floppies through the self-extracting "
                        "file. Usage example: setup.exe *TODISK");
    const std::string Program = GetFullArchiveFile();
    const TExtractionInfo Info = ReadExtractionInfo(Program);
    DisplayMessage("Transferring this installation to floppies. Please wait...");
    {
        fw_Streams::TFileStream Source(Program, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyWrite);
        {
            fw_Streams::TFileStream Setup(Target + "\\setup.exe", fw_Streams::fmCreate);
            if (CopyBytes(Source, Setup, Info.SetupStart, CopyBufferSize, false) < Info.SetupStart)
                throw IEInstall("Cannot create setup.exe on the A drive. Probably not enough room");
        }
        const int64_t Length = int64_t(Info.SetupEnd) - Info.SetupStart + 1;
        fw_Streams::TFileStream Setup1(Target + "\\setup.1", fw_Streams::fmCreate);
        Source.Seek(Info.SetupStart, fw_Streams::TSeekOrigin::soBeginning);
        if (CopyBytes(Source, Setup1, Length, DiskBlockSize, true) < Length)
            throw IEInstall("Cannot create setup.1 on the A drive. Probably not enough room");
    }
    SendInformation(this, cmp_TInstallContainer::icClearMessage, nullptr);
    // A setup built without "files.1" has nothing more to put on disks.
    if (Info.FilesStart != 0) {
        cmp_TWdrlCompress::TWdrlCompress& Engine = cmp_TInstallContainer::SharedArchiveEngine();
        fw_Handles::TScopeExit Unhook([&Engine] {
            Engine.OnNewDisk = nullptr;
            Engine.OnStatus = nullptr;
        });
        Engine.OnNewDisk = [&HourGlass](cmp_TWdrlCompress::TWdrlCompress*, int DiskNumber, std::string&) {
            HourGlass.reset();
            const std::string Text =
                fw_SysUtils::Format(exceptions_Wendrel::TranslateMessage("Please insert disk %d"), {DiskNumber});
            const std::string Caption = fw_Forms::Application ? fw_Forms::Application->Title() : std::string();
            const int Answer = fw_Forms::Application
                                   ? fw_Forms::Application->MessageBox(Text, Caption, MB_OKCANCEL | MB_ICONQUESTION)
                                   : MessageBoxA(nullptr, Text.c_str(), Caption.c_str(), MB_OKCANCEL | MB_ICONQUESTION);
            if (Answer == IDCANCEL)
                throw IEInstall("Aborted by user");
            HourGlass.emplace();
        };
        Engine.OnStatus = [](cmp_TWdrlCompress::TWdrlCompress*, const cmp_TWdrlCompress::TlzhFileStats&) {
            ProcessMessages();
        };
        Engine.Offset = Info.FilesStart;
        Engine.SetCompressedFile(Program);
        Engine.SplitToDisks(Target, "files.1");
        if (Engine.Abort)
            throw IEInstall("Aborted by user");
    }
    HourGlass.reset();
    ProcessMessages();
    if (fw_Forms::Application)
        fw_Forms::Application->Terminate();
}

std::string TCustomInstall::GetLibraryDir(bool MustExist)
{
    // The library's search path lives in the user's settings; "$(WENDREL)"
    // in it stands for the folder the library was installed to.
    std::string SearchPath, Root;
    {
        fw_Registry::TRegistry Reg;
        Reg.SetRootKey(HKEY_CURRENT_USER);
        if (Reg.OpenKeyReadOnly(LibraryUserKey) && Reg.ValueExists(LibrarySearchPathValue))
            SearchPath = Reg.ReadString(LibrarySearchPathValue);
    }
    {
        fw_Registry::TRegistry Reg;
        Reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (Reg.OpenKeyReadOnly(LibraryMachineKey) && Reg.ValueExists(LibraryRootValue))
            Root = ExcludeTrailingBackslash(Reg.ReadString(LibraryRootValue));
    }
    size_t At = 0;
    while (At <= SearchPath.size()) {
        size_t End = SearchPath.find(';', At);
        if (End == std::string::npos)
            End = SearchPath.size();
        std::string Folder = Trim(SearchPath.substr(At, End - At));
        At = End + 1;
        for (size_t Macro; (Macro = fw_SysUtils::UpperCase(Folder).find(LibraryRootMacro)) != std::string::npos;)
            Folder.replace(Macro, std::strlen(LibraryRootMacro), Root);
        if (Folder.empty())
            continue;
        Folder = ExcludeTrailingBackslash(Folder);
        if (fw_SysUtils::FileExists(IncludeTrailingBackslash(Folder) + LibraryMarkerFile))
            return Folder;
    }
    if (MustExist)
        throw exceptions_Wendrel::IENoWendrelPath(
            "The Wendrel library folder (the folder that holds %s) was not found on the library search path "
            "HKEY_CURRENT_USER\\%s, value \"%s\"",
            {std::string(LibraryMarkerFile), std::string(LibraryUserKey), std::string(LibrarySearchPathValue)});
    return std::string();
}

} // namespace cmp_TInstall
