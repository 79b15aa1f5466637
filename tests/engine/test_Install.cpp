// Whole installations into scratch folders, checked from outside: the bytes
// of the installed files, the registry values, the order files.
#include "../archive/ArchiveTestSupport.h"
#include "EngineTestSupport.h"

#include "archive/cmp_TWdrlCompress.h"
#include "framework/fw_SysUtils.h"
#include "routines/routines_API.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace engine_tests {

using archive_test::Payload;
using archive_test::ReadAll;
using archive_test::WriteAll;

namespace {

// Reads a string value of HKLM; "" when it is missing.
std::string MachineString(const std::string& Key, const std::string& Name)
{
    char Data[2048] = {};
    DWORD Size = sizeof Data;
    const std::string Path = !Key.empty() && Key[0] == '\\' ? Key.substr(1) : Key;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, Path.c_str(), Name.c_str(), RRF_RT_REG_SZ, nullptr, Data, &Size) !=
        ERROR_SUCCESS)
        return "";
    return Data;
}

// A product of this test: payload, distribution and destination folders in
// one scratch folder; the tree is root > group > directory with two files,
// plus one file in a directory straight under the root; the archive
// "files.1" is made by the archive engine from the payload.
struct TProduct {
    test_support::TScratchDir Scratch{"install"};
    std::string Payload = Scratch / "payload";
    std::string Dist = Scratch / "dist";
    std::string Dest = Scratch / "Program Files\\Quorvane Test";
    std::string ProductName = "Wendrel Test " + std::to_string(GetCurrentProcessId());
    TOwnedForm Form;
    TInstall* Root = nullptr;
    TInstallGroup* Group = nullptr;
    TInstallDirectory* Bin = nullptr;
    TInstallDirectory* Docs = nullptr;
    std::vector<TInstallFile*> Files;
    std::vector<std::string> Names{"prog.exe", "big.dat", "guide.hlp"};
    TArguments Arguments{{"-s" + Dist}};
    // The order files of the prefix as they were, put back at the end.
    std::vector<std::pair<std::string, std::vector<uint8_t>>> SavedOrder;

    TProduct()
    {
        fw_SysUtils::ForceDirectories(Payload);
        fw_SysUtils::ForceDirectories(Dist);
        WriteAll(Scratch / "payload\\prog.exe", archive_test::Payload(20000, 1));
        WriteAll(Scratch / "payload\\big.dat", archive_test::Payload(300000, 2, false));
        WriteAll(Scratch / "payload\\guide.hlp", archive_test::Payload(5000, 3));
        for (const char* Name : {"\\WdrlInstallOrder.txt", "\\WdrlCompressOrder.txt"}) {
            const std::string Path = routines_API::WindowsDirectory() + Name;
            SavedOrder.emplace_back(Path, ReadAll(Path));
        }

        Root = MakeRootAt(Form, Dest);
        Root->Information()->ProductName = ProductName;
        Root->SetRunAutomatic(false);
        Root->Loaded(); // reads the command line: the distribution folder
        Group = Make<TInstallGroup>(Form, "Group");
        Group->SetContainer(Root);
        Group->SetDescription("Main group");
        Bin = Make<TInstallDirectory>(Form, "Bin");
        Bin->SetContainer(Group);
        Bin->SetDestDir("\\Bin");
        Bin->SetDescription("Programs");
        Docs = Make<TInstallDirectory>(Form, "Docs");
        Docs->SetContainer(Root);
        Docs->SetDestDir("\\Docs");
        Docs->SetDescription("Documents");
        for (size_t I = 0; I < Names.size(); ++I) {
            auto* File = MakeFileIn(Form, I < 2 ? static_cast<TInstallContainer*>(Bin) : Docs,
                                    "File" + std::to_string(I + 1), Names[I]);
            File->SetIncludeFromDir(Payload);
            File->SetUniqueID(int(I) + 10);
            Files.push_back(File);
        }
        Files[2]->SetRegisterAsHelp(true);
        MakeArchive();
    }

    ~TProduct()
    {
        const std::string Uninstall = std::string(UninstallKeyBase) + ProductName;
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, Uninstall.substr(1).c_str());
        HKEY Help = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\Help", 0, KEY_SET_VALUE, &Help) ==
            ERROR_SUCCESS) {
            RegDeleteValueA(Help, "GUIDE.HLP");
            RegCloseKey(Help);
        }
        for (auto& [Path, Bytes] : SavedOrder) {
            if (Bytes.empty())
                DeleteFileA(Path.c_str());
            else
                WriteAll(Path, Bytes);
        }
    }

    std::string Archive() const { return Dist + "\\files.1"; }

    void MakeArchive()
    {
        cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
        Engine.SetCompressedFile(Archive());
        for (size_t I = 0; I < Files.size(); ++I) {
            Engine.FilesToProcess().Clear();
            Engine.FilesToProcess().Add(Files[I]->SourcePath());
            Engine.Compress(I == 0 ? cmp_TWdrlCompress::lzcOverwrite : cmp_TWdrlCompress::lzcOnlyAdd,
                            Files[I]->UniqueID());
        }
    }

    std::string Target(size_t I) const { return Files[I]->TargetPath(); }
    bool SameBytes(size_t I) const { return ReadAll(Target(I)) == ReadAll(Files[I]->SourcePath()); }
};

std::vector<std::string> Lines(const std::vector<uint8_t>& Bytes)
{
    std::vector<std::string> Result;
    std::string Line;
    for (uint8_t B : Bytes) {
        if (B == '\n') {
            if (!Line.empty() && Line.back() == '\r')
                Line.pop_back();
            Result.push_back(Line);
            Line.clear();
        } else
            Line += char(B);
    }
    return Result;
}

} // namespace

TEST(Install, ARunPutsEveryFileInPlaceAndRecordsIt)
{
    TProduct P;
    const std::string OrderFile = routines_API::WindowsDirectory() + "\\WdrlInstallOrder.txt";
    WriteAll(OrderFile, {'o', 'l', 'd'}); // a log without its last line break
    std::vector<int> RootPercents;
    std::vector<std::pair<std::string, int>> FileDone;
    P.Root->TFileContainer::OnStatus = [&](TCustomInstallFile*, int, int Total) { RootPercents.push_back(Total); };
    P.Bin->OnStatus = [&](TCustomInstallFile* F, int FilePercent, int Total) {
        // The directory's total when each file was last reported.
        if (FileDone.empty() || FileDone.back().first != F->Name())
            FileDone.emplace_back(F->Name(), Total);
        FileDone.back().second = Total;
        (void)FilePercent;
    };
    bool AfterInstall = false;
    P.Root->TFileContainer::OnAfterInstallObjects = [&](TInstallContainer* C, bool WasAborted) {
        EXPECT_EQ(C, P.Root);
        EXPECT_FALSE(WasAborted);
        AfterInstall = true;
    };

    P.Root->Process();

    for (size_t I = 0; I < P.Files.size(); ++I)
        EXPECT_TRUE(P.SameBytes(I)) << P.Target(I);
    EXPECT_EQ(P.Target(0), P.Dest + "\\Bin\\prog.exe");
    EXPECT_TRUE(AfterInstall);
    // No new file stays beside a target under a name of its own.
    EXPECT_FALSE(fw_SysUtils::FileExists(P.Dest + "\\Bin\\prog.1"));
    EXPECT_FALSE(fw_SysUtils::FileExists(P.Dest + "\\Bin\\prog.exe.~new"));
    // Each level shows the progress of its own operation; the root's ends whole.
    ASSERT_FALSE(RootPercents.empty());
    EXPECT_EQ(RootPercents.back(), 100);
    EXPECT_TRUE(std::is_sorted(RootPercents.begin(), RootPercents.end()));
    // A container holds its later files first: File2, then File1.
    const std::vector<std::pair<std::string, int>> Expected{{"File2", 94}, {"File1", 100}};
    EXPECT_EQ(FileDone, Expected); // 300000 of 320000 bytes: 93.75 is 94

    const std::string Uninstall = std::string(UninstallKeyBase) + P.ProductName;
    std::vector<std::string> Recorded;
    for (int N = 1; N <= 3; ++N)
        Recorded.push_back(MachineString(Uninstall + "\\Files", "File" + std::to_string(N)));
    std::sort(Recorded.begin(), Recorded.end());
    std::vector<std::string> Targets{P.Target(0), P.Target(1), P.Target(2)};
    std::sort(Targets.begin(), Targets.end());
    EXPECT_EQ(Recorded, Targets);
    EXPECT_EQ(MachineString(Uninstall + "\\Files", "Entries"), "3");
    EXPECT_EQ(MachineString("\\SOFTWARE\\Microsoft\\Windows\\Help", "GUIDE.HLP"), P.Dest + "\\Docs");
    // The run ended well: its install record is gone.
    EXPECT_TRUE(P.Root->FindInstallRecord(false).empty());
    EXPECT_FALSE(P.Root->Running());

    const std::vector<std::string> Order = Lines(ReadAll(OrderFile));
    EXPECT_EQ(Order, (std::vector<std::string>{"old", "FILECONTAINER: TInstall component", "FILECONTAINER: Main group",
                                               "FILECONTAINER: Programs", "CompName: File2, File: big.dat",
                                               "CompName: File1, File: prog.exe", "FILECONTAINER: Documents",
                                               "CompName: File3, File: guide.hlp"}));

    // A second run over the same files: the targets are replaced in place,
    // also where an interrupted run left a new file half-written.
    WriteAll(P.Target(1), {'x'});
    WriteAll(P.Target(1) + ".~new", {'h', 'a', 'l', 'f'});
    P.Root->Process();
    EXPECT_TRUE(P.SameBytes(1));
    EXPECT_FALSE(fw_SysUtils::FileExists(P.Target(1) + ".~new"));
    EXPECT_EQ(MachineString(Uninstall + "\\Files", "Entries"), "6");
}

TEST(Install, OverwriteRulesReadOnlyTargetsAndSkippedFiles)
{
    TProduct P;
    fw_SysUtils::ForceDirectories(P.Dest + "\\Bin");
    // A newer target that owNever keeps: not extracted, yet counted as done.
    P.Files[0]->SetOverwriteMode(owNever);
    WriteAll(P.Target(0), {'k', 'e', 'p', 't'});
    // A read-only target is replaced all the same.
    WriteAll(P.Target(1), {'o', 'l', 'd'});
    SetFileAttributesA(P.Target(1).c_str(), FILE_ATTRIBUTE_READONLY);
    std::vector<std::string> After;
    for (TInstallFile* F : P.Files)
        F->OnAfterInstall = [&](TCustomInstallFile* File) { After.push_back(File->Name()); };
    // A handler leaves the third file out with the silent abort.
    P.Files[2]->OnBeforeInstall = [](TCustomInstallFile*) { throw fw_SysUtils::EAbort(); };
    std::vector<int> BinTotals;
    P.Bin->OnStatus = [&](TCustomInstallFile*, int, int Total) { BinTotals.push_back(Total); };

    P.Root->Process();

    EXPECT_EQ(ReadAll(P.Target(0)), (std::vector<uint8_t>{'k', 'e', 'p', 't'}));
    EXPECT_TRUE(P.SameBytes(1));
    EXPECT_FALSE(fw_SysUtils::FileExists(P.Target(2)));
    EXPECT_EQ(After, (std::vector<std::string>{"File2", "File1"}));
    ASSERT_FALSE(BinTotals.empty());
    EXPECT_EQ(BinTotals.back(), 100);
}

TEST(Install, ADamagedArchiveLeavesNothingUnderTheTargetsName)
{
    TProduct P;
    // prog.exe's data is damaged; big.dat comes before it.
    std::vector<uint8_t> Bytes = ReadAll(P.Archive());
    P.Root->SetRunAutomatic(false);
    const auto Table = [&] {
        cmp_TWdrlCompress::TWdrlCompress E(nullptr);
        E.SetCompressedFile(P.Archive());
        cmp_TWdrlCompress::TlzhFileStats S;
        E.GetFileStats(E.IndexOfUniqueID(10), S);
        return S.Header;
    }();
    for (int I = Table.DataStart + 100; I < Table.DataStart + 400; ++I)
        Bytes[size_t(I)] ^= 0x5A;
    WriteAll(P.Archive(), Bytes);

    // An older prog.exe is installed already: it stays when its update fails.
    fw_SysUtils::ForceDirectories(P.Dest + "\\Bin");
    WriteAll(P.Target(0), {'o', 'l', 'd'});

    EXPECT_THROW(P.Root->Process(), fw_SysUtils::Exception);
    EXPECT_TRUE(P.SameBytes(1));
    EXPECT_EQ(ReadAll(P.Target(0)), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_FALSE(fw_SysUtils::FileExists(P.Dest + "\\Bin\\prog.exe.~new"));
    // The failed run keeps its record for the next one; the test removes it.
    const std::string Record = P.Root->FindInstallRecord(false);
    EXPECT_FALSE(Record.empty());
    P.Root->RemoveInstallRecord();
}

TEST(Install, ReportsUpTheTreeAreCheckedAndStopAtAnIdleContainer)
{
    TOwnedForm Form;
    auto* Dir = Make<TInstallDirectory>(Form, "Dir");
    // Outside the directory, so that its install has no file to read.
    auto* File = Make<TInstallFile>(Form, "File");
    int Replacing = 0;
    Dir->OnReplacing = [&](TCustomInstallFile*) { ++Replacing; };
    // Idle: nothing is handled, nothing checked.
    Dir->DoInformationEventControl(File, ecReplacing, nullptr);
    Dir->DoInformationEventControl(File, ecReplacing, File);
    EXPECT_EQ(Replacing, 0);

    // Busy (its install runs the checks from inside a handler).
    std::vector<std::string> Messages;
    Dir->OnBeforeInstallObjects = [&](TInstallContainer*) {
        auto Message = [&](int Code, TObject* PO) {
            Messages.push_back(MessageOf<IEFileContainer>([&] { Dir->DoInformationEventControl(File, Code, PO); }));
        };
        TFileStatusParameter Status;
        TDiskParameter Disk;
        fw_Classes::TList Short{File};
        fw_Classes::TList BadFirst{&Status, &Status};
        fw_Classes::TList BadSecond{File, &Disk};
        fw_Classes::TList BadDisk{File, &Status};
        Message(ecReplacing, nullptr);
        Message(ecReplacing, &Status);
        Message(ecInstallStatus, File);
        Message(ecInstallStatus, &Short);
        Message(ecInstallStatus, &BadFirst);
        Message(ecCopyStatus, &BadSecond);
        Message(ecNewDisk, &BadDisk);
        Message(ecDownloadStatus, File);
        Message(ecFileNotExtracted, &Status);
        Dir->DoInformationEventControl(File, ecReplacing, File);
        throw fw_SysUtils::EAbort(); // the install itself is not wanted here
    };
    EXPECT_THROW(Dir->InstallObjects(), fw_SysUtils::EAbort);
    EXPECT_EQ(Messages, (std::vector<std::string>{
                            "Dir got a nil PO parameter", "DoInformationEventControl parameter is not TInstallFile",
                            "DoInformationEventControl--PO is not a TList object",
                            "DoInformationEventControl--Not engouh parameters for status event",
                            "DoInformationEventControl says bad first parameter",
                            "DoInformationEventControl says bad second parameter",
                            "DoInformationEventControl says bad 2 parameter",
                            "The PO object passed to Dir is not a TDownloadStatusParameter object",
                            "DoInformationEventControl says bad first parameter"}));
    EXPECT_EQ(Replacing, 1);
    // A failed install leaves the container idle and the cursor as it was.
    EXPECT_EQ(Dir->State(), ifsNone);
    EXPECT_EQ(fw_Forms::ScreenCursor(), fw_Forms::crDefault);
}

} // namespace engine_tests

namespace engine_tests {

namespace {

const char* const SessionManager = "System\\CurrentControlSet\\Control\\Session Manager";

// The delayed moves pending in the prefix, as the system keeps them.
std::vector<std::string> PendingRenames()
{
    std::vector<char> Data(65536);
    DWORD Size = DWORD(Data.size());
    if (RegGetValueA(HKEY_LOCAL_MACHINE, SessionManager, "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr,
                     Data.data(), &Size) != ERROR_SUCCESS)
        return {};
    std::vector<std::string> Result;
    for (const char* P = Data.data(); P < Data.data() + Size && *P; P += strlen(P) + 1)
        Result.push_back(P);
    return Result;
}

// Puts the pending moves back as they were before the test.
struct TPendingRenamesGuard {
    std::vector<char> Saved;
    bool Had = false;
    TPendingRenamesGuard()
    {
        Saved.resize(65536);
        DWORD Size = DWORD(Saved.size());
        Had = RegGetValueA(HKEY_LOCAL_MACHINE, SessionManager, "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ,
                           nullptr, Saved.data(), &Size) == ERROR_SUCCESS;
        Saved.resize(Size);
    }
    ~TPendingRenamesGuard()
    {
        HKEY Key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManager, 0, KEY_SET_VALUE, &Key) != ERROR_SUCCESS)
            return;
        if (Had)
            RegSetValueExA(Key, "PendingFileRenameOperations", 0, REG_MULTI_SZ,
                           reinterpret_cast<const BYTE*>(Saved.data()), DWORD(Saved.size()));
        else
            RegDeleteValueA(Key, "PendingFileRenameOperations");
        RegCloseKey(Key);
    }
};

std::string LongNameOf(const std::string& Path)
{
    char Buffer[MAX_PATH * 2] = {};
    const DWORD N = GetLongPathNameA(Path.c_str(), Buffer, sizeof Buffer);
    return N > 0 && N < sizeof Buffer ? std::string(Buffer, N) : Path;
}

} // namespace

// The delayed moves as pairs of wide strings, read by the value's size (a
// deletion's target is an empty string inside the list).
std::vector<std::wstring> PendingPairs()
{
    std::vector<wchar_t> Data(32768);
    DWORD Size = DWORD(Data.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                     L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, Data.data(), &Size) != ERROR_SUCCESS)
        return {};
    std::vector<std::wstring> Items;
    const size_t Count = Size / sizeof(wchar_t);
    for (size_t At = 0; At < Count;) {
        size_t End = At;
        while (End < Count && Data[End])
            ++End;
        Items.emplace_back(Data.data() + At, End - At);
        At = End + 1;
    }
    while (Items.size() % 2 == 1)
        Items.pop_back();
    return Items;
}

TEST(Install, AnInstallTakesBackThePendingDeletionOfItsTarget)
{
    TPendingRenamesGuard Renames;
    TProduct P;
    fw_SysUtils::ForceDirectories(P.Dest + "\\Bin");
    WriteAll(P.Target(0), {'o', 'l', 'd'});
    // An uninstall ran before, without a restart since.
    auto W = [](const std::string& S) { return std::wstring(S.begin(), S.end()); };
    const std::vector<std::wstring> Before = {
        W("\\??\\" + P.Target(0)), L"", L"\\??\\C:\\other.tmp", L"", L"\\??\\C:\\a.1", L"!\\??\\C:\\a"};
    std::wstring Data;
    for (const std::wstring& Item : Before)
        Data += Item + L'\0';
    Data += L'\0';
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                              L"PendingFileRenameOperations", REG_MULTI_SZ, Data.data(),
                              DWORD(Data.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);

    P.Root->Process();

    EXPECT_TRUE(P.SameBytes(0));
    EXPECT_EQ(PendingPairs(), std::vector<std::wstring>(Before.begin() + 2, Before.end()));
}

TEST(Install, ATargetInUseIsReplacedAtTheRestart)
{
    TPendingRenamesGuard Renames;
    THookGuard<int> ExitCode(fw_Forms::Application->ExitCode, 0);
    TProduct P;
    fw_SysUtils::ForceDirectories(P.Dest + "\\Bin");
    WriteAll(P.Target(0), {'o', 'l', 'd'});
    // Running: open without leave to delete.
    fw_Handles::THandle Running(
        CreateFileA(P.Target(0).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(Running);
    bool AskedToRestart = false;
    P.Root->OnBeforeReboot = [&](cmp_TInstall::TCustomInstall*, bool& Continue) {
        AskedToRestart = true;
        EXPECT_TRUE(Continue);
    };

    P.Root->Process();

    Running.Reset();
    EXPECT_TRUE(AskedToRestart);
    EXPECT_TRUE(P.Root->Reboot());
    EXPECT_EQ(fw_Forms::Application->ExitCode, cmp_TInstall::ExitRestartPending);
    // The old file stays until the restart; the new one waits beside it.
    EXPECT_EQ(ReadAll(P.Target(0)), (std::vector<uint8_t>{'o', 'l', 'd'}));
    const std::string Waiting = P.Dest + "\\Bin\\prog.1";
    EXPECT_EQ(ReadAll(Waiting), ReadAll(P.Files[0]->SourcePath()));
    EXPECT_TRUE(P.SameBytes(1));
    // The move replaces the existing target ("!"), source and target by name.
    const std::vector<std::string> Pending = PendingRenames();
    bool Found = false;
    for (size_t I = 0; I + 1 < Pending.size(); I += 2)
        if (fw_SysUtils::SameText(LongNameOf(Pending[I].substr(4)), Waiting)) {
            Found = true;
            EXPECT_EQ(Pending[I + 1].substr(0, 5), "!\\??\\");
            EXPECT_TRUE(fw_SysUtils::SameText(LongNameOf(Pending[I + 1].substr(5)), P.Target(0)));
        }
    EXPECT_TRUE(Found) << "no pending move of " << Waiting;
    // The uninstall record names the real file, never the waiting one.
    const std::string Uninstall = std::string(UninstallKeyBase) + P.ProductName;
    std::vector<std::string> Recorded;
    for (int N = 1; N <= 3; ++N)
        Recorded.push_back(MachineString(Uninstall + "\\Files", "File" + std::to_string(N)));
    EXPECT_NE(std::find(Recorded.begin(), Recorded.end(), P.Target(0)), Recorded.end());
    // The install record stays, with the file left for after the restart,
    // and the setup is to run once then.
    const std::string Record = P.Root->FindInstallRecord(false);
    ASSERT_FALSE(Record.empty());
    EXPECT_EQ(MachineString(Record + "\\Unfinished", "File1"), "0");
    EXPECT_NE(MachineString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "WendrelUnfinished"), "");
    P.Root->RemoveInstallRecord();
    HKEY RunOnce = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, KEY_SET_VALUE,
                      &RunOnce) == ERROR_SUCCESS) {
        RegDeleteValueA(RunOnce, "WendrelUnfinished");
        RegCloseKey(RunOnce);
    }
}

TEST(Install, CancelAtTheDiskPromptEndsTheRunAsAUserAbort)
{
    TProduct P;
    // The archive split onto disks of which only the first is there.
    const std::string Disks = P.Scratch / "disks";
    fw_SysUtils::ForceDirectories(Disks);
    {
        archive_test::TFloppyCompress Engine(nullptr);
        Engine.Capacity = 100000;
        Engine.OnNewDisk = [&](cmp_TWdrlCompress::TWdrlCompress*, int, std::string& Path) { Path = Disks; };
        Engine.SetCompressedFile(P.Archive());
        Engine.SplitToDisks(Disks, "files.1");
    }
    ASSERT_TRUE(fw_SysUtils::FileExists(Disks + "\\files.2"));
    DeleteFileA((Disks + "\\files.2").c_str());
    std::vector<std::string> Prompts;
    THookGuard<fw_Forms::TMessageBoxHook> Boxes(fw_Forms::Application->MessageBoxHook,
                                                [&](const std::string& Text, const std::string&, UINT) {
                                                    Prompts.push_back(Text);
                                                    return IDCANCEL;
                                                });
    TArguments FromDisks({"-s" + Disks});
    P.Root->Loaded();
    EXPECT_TRUE(
        Raises<exceptions_Wendrel::EAIUserAbort>([&] { P.Root->Process(); }, "Installation aborted by the user"));
    ASSERT_FALSE(Prompts.empty());
    EXPECT_EQ(Prompts, std::vector<std::string>{Prompts.front()}); // asked once, not again and again
    EXPECT_EQ(Prompts.front().substr(0, 20), "Please insert disk #");
    P.Root->RemoveInstallRecord();
}

} // namespace engine_tests

namespace engine_tests {

namespace {

// A net location that "downloads" a local file.
class TLocalSource : public fw_Classes::TComponent, public TNetSource {
public:
    using TComponent::TComponent;
    std::string Served;
    bool LoginComplete() const override { return true; }
    std::string LoginHostname() const override { return "localhost"; }
    std::string LoginDirectory() const override { return ""; }
    bool LoginIsFTP() const override { return true; }
    void GetFile(const std::string& Remote, const std::string& Local) override
    {
        EXPECT_EQ(Remote, "filelist.lst");
        ASSERT_TRUE(CopyFileA(Served.c_str(), Local.c_str(), FALSE));
    }
    void SetDataHandler(TDataReceivedEvent) override {}
};

std::vector<uint8_t> ListRecord(int32_t Size, double Date, const std::string& Name, const std::string& Version)
{
    std::vector<uint8_t> R(72, 0);
    memcpy(R.data(), &Size, 4);
    memcpy(R.data() + 4, &Date, 8);
    memcpy(R.data() + 12, Name.data(), std::min<size_t>(Name.size(), 40));
    memcpy(R.data() + 52, Version.data(), std::min<size_t>(Version.size(), 20));
    return R;
}

} // namespace

TEST(Install, TheRemoteFileListGivesEachNamedFileItsFigures)
{
    test_support::TScratchDir Scratch("filelist");
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, Scratch.Path());
    auto* Source = Make<TLocalSource>(Form, "Net");
    Source->Served = Scratch / "filelist.lst";
    Root->SetNetLocation(Source);
    auto* A = MakeFileIn(Form, Root, "Alpha", "a.dll");
    auto* B = MakeFileIn(Form, Root, "Beta", "b.dll");
    const std::string Forty(40, 'X'); // a name that fills its field without its zero
    auto Write = [&](int32_t Count, std::vector<std::vector<uint8_t>> Records, size_t Cut = 0) {
        std::vector<uint8_t> Bytes(4);
        memcpy(Bytes.data(), &Count, 4);
        for (auto& R : Records)
            Bytes.insert(Bytes.end(), R.begin(), R.end());
        Bytes.resize(Bytes.size() - Cut);
        WriteAll(Source->Served, Bytes);
    };
    // Version texts of 20 characters fill their field: no zero follows.
    Write(3, {ListRecord(1234, 45000.5, "alpha", "1.2.3.4"), ListRecord(9, 1.0, Forty, "9.9"),
              ListRecord(77, 46000.25, "Beta", "12345678901234567890")});
    Root->ReadRemoteFileList();
    EXPECT_EQ(A->Size(), 1234);
    EXPECT_EQ(A->Date(), 45000.5);
    EXPECT_EQ(A->Version(), "1.2.3.4");
    EXPECT_EQ(B->Size(), 77);
    EXPECT_EQ(B->Version(), "12345678901234567890");

    // A count the records do not back, or a record cut short, is a clear
    // error: nothing is read past the end.
    const std::string Message = "Cannot read the remote list of files: ";
    Write(2000000000, {ListRecord(1, 1.0, "alpha", "1")});
    EXPECT_EQ(MessageOf<exceptions_Wendrel::IEInstall>([&] { Root->ReadRemoteFileList(); }).substr(0, Message.size()),
              Message);
    Write(1, {ListRecord(1, 1.0, "alpha", "1")}, 1);
    EXPECT_EQ(MessageOf<exceptions_Wendrel::IEInstall>([&] { Root->ReadRemoteFileList(); }).substr(0, Message.size()),
              Message);
    // A size below zero or a date that is no number is no file's figure.
    for (auto Bad : {ListRecord(-1, 1.0, "alpha", "1"), ListRecord(1, std::nan(""), "alpha", "1"),
                     ListRecord(1, HUGE_VAL, "Beta", "1")}) {
        Write(2, {ListRecord(5, 2.0, "gamma", "1"), Bad});
        EXPECT_EQ(
            MessageOf<exceptions_Wendrel::IEInstall>([&] { Root->ReadRemoteFileList(); }).substr(0, Message.size()),
            Message);
    }
    // What the refused records say was not taken.
    EXPECT_EQ(A->Size(), 1);
    EXPECT_EQ(B->Size(), 77);
    EXPECT_TRUE(std::isfinite(A->Date()) && std::isfinite(B->Date()));
}

} // namespace engine_tests

namespace engine_tests {

TEST(Install, ASelfExtractingSetupInstallsFromTheArchiveInsideIt)
{
    TProduct P;
    // The loading program's bytes, then files.1, then the extraction record.
    std::vector<uint8_t> Setup = Payload(7000, 9, false);
    const std::vector<uint8_t> Archive = ReadAll(P.Archive());
    cmp_TInstall::TExtractionInfo Info{};
    memcpy(Info.Marker, "SELFEXTRACTING", 15);
    Info.SetupStart = int32_t(Setup.size());
    Info.SetupEnd = Info.SetupStart - 1;
    Info.FilesStart = int32_t(Setup.size());
    Setup.insert(Setup.end(), Archive.begin(), Archive.end());
    Info.FilesEnd = int32_t(Setup.size()) - 1;
    const auto* Record = reinterpret_cast<const uint8_t*>(&Info);
    Setup.insert(Setup.end(), Record, Record + sizeof Info);
    WriteAll(P.Dist + "\\setup.exe", Setup);
    DeleteFileA(P.Archive().c_str());

    TArguments SelfExtracting({"-s" + P.Dist, "-esetup.exe"});
    P.Root->Loaded();
    P.Root->Process();
    for (size_t I = 0; I < P.Files.size(); ++I)
        EXPECT_TRUE(P.SameBytes(I)) << P.Target(I);

    // Too short to hold a record: a clear message.
    WriteAll(P.Dist + "\\setup.exe", {1, 2, 3});
    EXPECT_EQ(MessageOf<exceptions_Wendrel::IEInstall>([&] { P.Root->ReadExtractionInfo(P.Dist + "\\setup.exe"); }),
              "Could not read the extraction info from the archive file " + P.Dist +
                  "\\setup.exe when trying to find the correct offset into the self extracting file");
}

} // namespace engine_tests

namespace engine_tests {

TEST(Install, AnAbortDuringTheExtractionEndsTheRunAndLeavesNoHalfFile)
{
    TProduct P;
    bool WasAborted = false;
    P.Root->TFileContainer::OnAfterInstallObjects = [&](TInstallContainer*, bool Aborted) { WasAborted = Aborted; };
    // The copy window's Cancel sets the engine's flag between two blocks.
    P.Files[1]->OnStatus = [](TCustomInstallFile*, int Percent, int) {
        if (Percent > 30)
            SharedArchiveEngine().Abort = true;
    };
    EXPECT_TRUE(
        Raises<exceptions_Wendrel::EAIUserAbort>([&] { P.Root->Process(); }, "Installation aborted by the user"));
    EXPECT_TRUE(WasAborted);
    EXPECT_FALSE(fw_SysUtils::FileExists(P.Target(1)));
    EXPECT_FALSE(fw_SysUtils::FileExists(P.Dest + "\\Bin\\big.dat.~new"));
    EXPECT_EQ(P.Bin->State(), ifsNone);
    P.Root->RemoveInstallRecord();
}

} // namespace engine_tests

namespace engine_tests {

TEST(Install, AnOrderFileThatCannotBeWrittenDoesNotStopTheInstall)
{
    TProduct P;
    // A folder in the log's place: no line can be written to it (a read-only
    // file would not do: the tests may run as a user who writes anyway).
    const std::string OrderFile = routines_API::WindowsDirectory() + "\\WdrlInstallOrder.txt";
    DeleteFileA(OrderFile.c_str());
    ASSERT_TRUE(CreateDirectoryA(OrderFile.c_str(), nullptr));
    fw_Handles::TScopeExit Remove([&] { RemoveDirectoryA(OrderFile.c_str()); });
    P.Root->Process();
    for (size_t I = 0; I < P.Files.size(); ++I)
        EXPECT_TRUE(P.SameBytes(I)) << P.Target(I);
    EXPECT_TRUE(P.Root->FindInstallRecord(false).empty());
}

} // namespace engine_tests
