// Build mode: the distribution a build leaves (the loading program with
// setup.1, files.1 and the extraction record appended, byte for byte), what
// it refuses, and the copy of a self-extracting distribution onto disks.
#include "CompressTestSupport.h"

#include "framework/fw_Registry.h"

#include <cstring>

namespace engine_tests {

namespace {

using cmp_TInstall::TExtractionInfo;
using exceptions_Wendrel::IEInstall;

// The install library registered as a building machine has it: its search
// path names a missing folder first, then the library below its root.
class TLibrary {
public:
    TLibrary()
    {
        Forget();
        fw_SysUtils::ForceDirectories(FRoot / "lib");
        WriteAll(FRoot / "lib\\W32V40.TXT", "library\r\n");
        WriteAll(Loader(), Content(3000, 77));
    }
    ~TLibrary() { Forget(); }
    void Register() const
    {
        fw_Registry::TRegistry User, Machine;
        User.SetRootKey(HKEY_CURRENT_USER);
        ASSERT_TRUE(User.OpenKey(cmp_TInstall::LibraryUserKey, true));
        User.WriteString(cmp_TInstall::LibrarySearchPathValue, "C:\\no such folder; $(wendrel)\\lib\\ ");
        Machine.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(Machine.OpenKey(cmp_TInstall::LibraryMachineKey, true));
        Machine.WriteString(cmp_TInstall::LibraryRootValue, FRoot.Path() + "\\");
    }
    std::string Folder() const { return FRoot / "lib"; }
    std::string Loader() const { return FRoot / "lib\\WendrelLoadProgram.exe"; }

private:
    static void Forget()
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, cmp_TInstall::LibraryUserKey);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, cmp_TInstall::LibraryMachineKey);
    }
    TScratchDir FRoot{"library"};
};

// A product of two files with a setup program and one presetup file.
struct TBuildProduct {
    TOwnedForm Form;
    TScratchDir Source{"build-src"}, Out{"build-out"};
    TInstall* Root = nullptr;
    std::string SetupExe = Source / "Setup Program.exe";
    std::string Presetup = Source / "helper.dll";
    std::string BuildDir = Out / "dist";

    TBuildProduct()
    {
        Root = MakeRootAt(Form, Out / "installed");
        auto* Dir = Make<TInstallDirectory>(Form, "Files");
        Dir->SetContainer(Root);
        Dir->SetDestDir("\\Files");
        for (int I = 0; I < 2; ++I) {
            const std::string Name = "part" + std::to_string(I) + ".dat";
            WriteAll(Source / Name, Content(20000 + 7000 * size_t(I), I));
            TInstallFile* File = MakeFileIn(Form, Dir, "File" + std::to_string(I), Name);
            File->SetIncludeFromDir(Source.Path());
        }
        WriteAll(SetupExe, Content(50000, 9));
        WriteAll(Presetup, Content(900, 10));
        Root->SetPresetupFiles({Presetup, ""});
    }
};

TExtractionInfo RecordOf(const std::string& Bytes)
{
    TExtractionInfo Info{};
    std::memcpy(&Info, Bytes.data() + Bytes.size() - sizeof Info, sizeof Info);
    return Info;
}

// Reads the extraction record of Bytes written to a file of their own.
std::string ExtractionMessage(TInstall* Root, const TScratchDir& Dir, const std::string& Bytes)
{
    WriteAll(Dir / "damaged.exe", Bytes);
    return MessageOf<IEInstall>([&] { Root->ReadExtractionInfo(Dir / "damaged.exe"); });
}

// The key and bytes of every record of an archive lying inside a file at Offset.
std::vector<std::pair<std::string, std::string>> Records(const std::string& Archive, int Offset)
{
    TWdrlCompress Engine(nullptr);
    Engine.Offset = Offset;
    Engine.SetCompressedFile(Archive);
    std::vector<std::pair<std::string, std::string>> Result;
    for (int I = 0; I < Engine.FileCount(); ++I) {
        archive_FileHeaders::TlzhFileStats Stats;
        Engine.GetFileStats(I, Stats);
        TScratchDir Into("build-back");
        Engine.ExtractDirectory = Into.Path();
        Engine.FilesToProcess().Clear();
        Engine.FilesToProcess().Add(Stats.FileName);
        Engine.Extract();
        Result.emplace_back(Stats.FileName, ReadAll(Into / fw_SysUtils::ExtractFileName(Stats.FileName)));
    }
    return Result;
}

} // namespace

TEST(BuildMode, TheSetupIsTheLoaderWithBothArchivesAndTheRecordAppended)
{
    TKeptOrderFile Order;
    TLibrary Library;
    Library.Register();
    TBuildProduct P;
    auto* Type = P.Root->ArchiveFileType();
    const std::string File = P.Root->ArchiveFile();

    P.Root->Build(P.SetupExe, P.BuildDir, true);

    // The archive settings are the root's own again.
    EXPECT_EQ(P.Root->ArchiveFileType(), Type);
    EXPECT_EQ(P.Root->ArchiveFile(), File);
    const std::string Setup = ReadAll(P.BuildDir + "\\setup.exe");
    const std::string Setup1 = ReadAll(P.BuildDir + "\\setup.1");
    const std::string Files1 = ReadAll(P.BuildDir + "\\files.1");
    const std::string Loader = ReadAll(Library.Loader());
    ASSERT_EQ(Setup.size(), Loader.size() + Setup1.size() + Files1.size() + 56);
    EXPECT_EQ(Setup.substr(0, Loader.size()), Loader);
    EXPECT_EQ(Setup.substr(Loader.size(), Setup1.size()), Setup1);
    EXPECT_EQ(Setup.substr(Loader.size() + Setup1.size(), Files1.size()), Files1);
    const TExtractionInfo Info = RecordOf(Setup);
    EXPECT_EQ(std::string(Info.Marker, 15), std::string("SELFEXTRACTING", 15));
    EXPECT_EQ(Info.Reserved1, 0);
    EXPECT_EQ(Info.SetupStart, int32_t(Loader.size()));
    EXPECT_EQ(Info.SetupEnd, Info.SetupStart + int32_t(Setup1.size()) - 1);
    EXPECT_EQ(Info.FilesStart, Info.SetupEnd + 1);
    EXPECT_EQ(Info.FilesEnd, int32_t(Setup.size()) - 56 - 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Info.Reserved2), 24), std::string(24, '\0'));

    // setup.1: the setup program first, the presetup file after it; both
    // read from inside setup.exe.
    const auto Setups = Records(P.BuildDir + "\\setup.exe", Info.SetupStart);
    ASSERT_EQ(Setups.size(), 2u);
    EXPECT_TRUE(fw_SysUtils::SameText(Setups[0].first, P.SetupExe));
    EXPECT_EQ(Setups[0].second, ReadAll(P.SetupExe));
    EXPECT_TRUE(fw_SysUtils::SameText(Setups[1].first, P.Presetup));
    EXPECT_EQ(Setups[1].second, ReadAll(P.Presetup));
    const auto Files = Records(P.BuildDir + "\\setup.exe", Info.FilesStart);
    ASSERT_EQ(Files.size(), 2u);
    for (const auto& [Key, Bytes] : Files)
        EXPECT_EQ(Bytes, ReadAll(Key)) << Key;

    // The record read back; a damaged one is told, never followed.
    const TExtractionInfo Read = P.Root->ReadExtractionInfo(P.BuildDir + "\\setup.exe");
    EXPECT_EQ(std::memcmp(&Read, &Info, sizeof Info), 0);
    const std::string Damaged = "The self-extracting file " + (P.Out / "damaged.exe") +
                                " is damaged: its extraction record does not describe its contents";
    std::string Bytes = Setup;
    Bytes[Bytes.size() - 56] = 's';
    EXPECT_EQ(ExtractionMessage(P.Root, P.Out, Bytes), Damaged);
    Bytes = Setup;
    const int32_t Beyond = int32_t(Setup.size());
    std::memcpy(&Bytes[Bytes.size() - 56 + 28], &Beyond, 4); // files end past the record
    EXPECT_EQ(ExtractionMessage(P.Root, P.Out, Bytes), Damaged);
    Bytes = Setup;
    const int32_t Before = Info.SetupStart - 10;
    std::memcpy(&Bytes[Bytes.size() - 56 + 24], &Before, 4); // files before setup.1
    EXPECT_EQ(ExtractionMessage(P.Root, P.Out, Bytes), Damaged);
    EXPECT_EQ(ExtractionMessage(P.Root, P.Out, Setup.substr(0, 40)),
              "Could not read the extraction info from the archive file " + (P.Out / "damaged.exe") +
                  " when trying to find the correct offset into the self extracting file");

    // Without files.1 the files range is zero.
    WriteAll(P.Out / "alone.exe", Loader);
    P.Root->MakeSelfExtracting(P.Out / "alone.exe", P.BuildDir + "\\setup.1", P.Out / "missing.1");
    const TExtractionInfo Alone = RecordOf(ReadAll(P.Out / "alone.exe"));
    EXPECT_EQ(Alone.SetupEnd, int32_t(Loader.size() + Setup1.size()) - 1);
    EXPECT_EQ(Alone.FilesStart, 0);
    EXPECT_EQ(Alone.FilesEnd, 0);
    EXPECT_NO_THROW(P.Root->ReadExtractionInfo(P.Out / "alone.exe"));
}

TEST(BuildMode, RefusalsNameWhatIsMissing)
{
    TKeptOrderFile Order;
    TLibrary Library;
    TBuildProduct P;
    using cmp_TInstall::TCustomInstall;

    // No library on the search path.
    EXPECT_EQ(TCustomInstall::GetLibraryDir(false), "");
    EXPECT_FALSE(MessageOf<exceptions_Wendrel::IENoWendrelPath>([] { TCustomInstall::GetLibraryDir(true); }).empty());
    EXPECT_EQ(MessageOf<IEInstall>([&] { P.Root->Build(P.SetupExe, P.BuildDir, true); }),
              "The HKEY_LOCAL_MACHINE | Software\\Wendrel Library key in the registry is either missing or points to "
              "an invalid Wendrel directory");
    Library.Register();
    EXPECT_TRUE(fw_SysUtils::SameText(TCustomInstall::GetLibraryDir(true), Library.Folder()));
    DeleteFileA(Library.Loader().c_str());
    EXPECT_EQ(MessageOf<IEInstall>([&] { P.Root->Build(P.SetupExe, P.BuildDir, true); }),
              "The loader program " + Library.Folder() + "\\WendrelLoadProgram.exe was not found");

    EXPECT_EQ(MessageOf<IEInstall>([&] { P.Root->ArchiveSetupFiles(P.BuildDir, "  "); }),
              "Cannot create setup file. Executable is blank");
    EXPECT_EQ(MessageOf<IEInstall>([&] { P.Root->ArchiveSetupFiles(P.BuildDir, P.Source / "none.exe"); }),
              "TInstall: Cannot find the executable file " + (P.Source / "none.exe"));

    // Without a loading program: no stand-alone setup, nothing written; a
    // plain build copies the setup program under its own name.
    TScratchDir::RemoveTree(P.BuildDir);
    P.Root->SetUseLoadingProgram(false);
    EXPECT_EQ(
        MessageOf<IEInstall>([&] { P.Root->Build(P.SetupExe, P.BuildDir, true); }),
        "Cannot build a stand alone executable if the UseLoadingProgram property of the TInstall is set to False");
    EXPECT_FALSE(fw_SysUtils::DirectoryExists(P.BuildDir));
    P.Root->Build(P.SetupExe, P.BuildDir, false);
    EXPECT_EQ(ReadAll(P.BuildDir + "\\Setup Program.exe"), ReadAll(P.SetupExe));
    EXPECT_FALSE(fw_SysUtils::FileExists(P.BuildDir + "\\setup.1"));
    EXPECT_EQ(Records(P.BuildDir + "\\files.1", 0).size(), 2u);
}

TEST(BuildMode, BuildInfGivesItsFirstLineAsTheBuildFolder)
{
    using cmp_TInstall::TCustomInstall;
    TScratchDir Dir("build-inf");
    const std::string Inf = Dir / "BUILD.INF";
    auto FolderOf = [&](const std::string& Bytes) {
        WriteAll(Inf, Bytes);
        return TCustomInstall::ReadBuildDirectory(Inf);
    };
    auto RefusalOf = [&](const std::string& Bytes) {
        WriteAll(Inf, Bytes);
        return MessageOf<IEInstall>([&] { TCustomInstall::ReadBuildDirectory(Inf); });
    };
    const std::string OneLine = "Must be 1 line in BUILD.INF. This line should specify the build directory";

    EXPECT_EQ(MessageOf<IEInstall>([&] { TCustomInstall::ReadBuildDirectory(Dir / "none.inf"); }),
              "Need to have a BUILD.INF file in this directory with the first line specifying the build directory");
    // The line as written, blanks kept, whichever line end follows it.
    EXPECT_EQ(FolderOf("C:\\Build"), "C:\\Build");
    EXPECT_EQ(FolderOf(" C:\\Build dir \r\nD:\\second\r\n"), " C:\\Build dir ");
    EXPECT_EQ(FolderOf("C:\\Build\nD:\\second"), "C:\\Build");
    EXPECT_EQ(FolderOf("C:\\Build\rD:\\second"), "C:\\Build");
    EXPECT_EQ(FolderOf("C:\\Caf\xC3\xA9\\\xE9t\xE9\r\n"), "C:\\Caf\xC3\xA9\\\xE9t\xE9");
    EXPECT_EQ(RefusalOf(""), OneLine);
    EXPECT_EQ(RefusalOf("\r\nC:\\Build\r\n"), OneLine);
    EXPECT_EQ(RefusalOf(" \t\r\n"), OneLine);
    EXPECT_EQ(RefusalOf(std::string("C:\\Build\0\\x\r\n", 13)),
              "The first line of BUILD.INF holds a zero byte. This line should specify the build directory");

    // A first line of the bound is taken, also at the end of the file; one
    // byte more is refused without the rest of the file being read.
    const std::string Longest = "C:\\" + std::string(TCustomInstall::MaxBuildInfLine - 3, 'd');
    EXPECT_EQ(FolderOf(Longest), Longest);
    EXPECT_EQ(FolderOf(Longest + "\r\nnext"), Longest);
    const std::string TooLong =
        "The first line of BUILD.INF is longer than 4096 characters. This line should specify the build directory";
    EXPECT_EQ(RefusalOf(Longest + "d"), TooLong);
    EXPECT_EQ(RefusalOf(Longest + std::string(8 << 20, 'x')), TooLong);
    // A large file with a short first line.
    EXPECT_EQ(FolderOf("C:\\Build\r\n" + std::string(8 << 20, '\xFF')), "C:\\Build");
}

TEST(BuildMode, ADistributionGoesOntoDisksFromTheSelfExtractingSetup)
{
    TKeptOrderFile Order;
    TLibrary Library;
    Library.Register();
    TBuildProduct P;
    P.Root->Build(P.SetupExe, P.BuildDir, true);
    const std::string Setup = ReadAll(P.BuildDir + "\\setup.exe");
    const TExtractionInfo Info = RecordOf(Setup);
    // The same setup without files.1.
    WriteAll(P.Out / "alone\\setup.exe", Setup.substr(0, size_t(Info.SetupStart)));
    P.Root->MakeSelfExtracting(P.Out / "alone\\setup.exe", P.BuildDir + "\\setup.1", P.Out / "missing.1");
    // The setup program that copies them is another process: one root at a time.
    P.Form.Form.reset();

    std::vector<std::string> Prompts;
    THookGuard<fw_Forms::TMessageBoxHook> Boxes(fw_Forms::Application->MessageBoxHook,
                                                [&](const std::string& Text, const std::string&, UINT) {
                                                    Prompts.push_back(Text);
                                                    return IDOK;
                                                });
    auto RootStartedWith = [](const TOwnedForm& Form, std::vector<std::string> Args) {
        TArguments Given(std::move(Args));
        ReadProject(Form.get(), "object Setup: TForm\n  object Install1: TInstall\n    RunAutomatic = False\n  "
                                "end\nend");
        return static_cast<TInstall*>(Form->FindComponent("Install1"));
    };
    {
        // Only the self-extracting program knows its disks.
        TOwnedForm Form;
        TInstall* Root = RootStartedWith(Form, {"-s" + P.BuildDir});
        EXPECT_EQ(MessageOf<IEInstall>([&] { Root->TransferToFloppies(P.Out / "disk"); }),
                  "Sorry... You can only transfer this installation to floppies through the self-extracting file. "
                  "Usage example: setup.exe *TODISK");
    }
    {
        TOwnedForm Form;
        TInstall* Root = RootStartedWith(Form, {"-s" + P.BuildDir, "-esetup.exe"});
        const std::string Disk = P.Out / "disk";
        fw_SysUtils::ForceDirectories(Disk);
        // The self-extracting program runs meanwhile: nobody may write to it.
        const std::string Program = P.BuildDir + "\\setup.exe";
        fw_Handles::THandle Running(
            CreateFileA(Program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(Running);
        Root->TransferToFloppies(Disk);
        // Disk 1: the loading program alone, setup.1, and files.1 split (one
        // disk was enough).
        EXPECT_EQ(ReadAll(Disk + "\\setup.exe"), Setup.substr(0, size_t(Info.SetupStart)));
        EXPECT_EQ(ReadAll(Disk + "\\setup.1"), ReadAll(P.BuildDir + "\\setup.1"));
        const auto Files = Records(Disk + "\\files.1", 0);
        ASSERT_EQ(Files.size(), 2u);
        for (const auto& [Key, Bytes] : Files)
            EXPECT_EQ(Bytes, ReadAll(Key)) << Key;
    }
    {
        // A setup built without files.1 has only its two files to copy.
        TOwnedForm Form;
        TInstall* Root = RootStartedWith(Form, {"-s" + (P.Out / "alone"), "-esetup.exe"});
        const std::string Disk = P.Out / "disk2";
        fw_SysUtils::ForceDirectories(Disk);
        Prompts.clear();
        Root->TransferToFloppies(Disk);
        EXPECT_EQ(ReadAll(Disk + "\\setup.1"), ReadAll(P.BuildDir + "\\setup.1"));
        EXPECT_FALSE(fw_SysUtils::FileExists(Disk + "\\files.1"));
        EXPECT_TRUE(Prompts.empty());
    }
}

} // namespace engine_tests
