// Times a whole install against raw zlib on the same archive: one "files.1"
// of 1,900 small and 4 large files in one folder, installed three ways into
// fresh folders (raw inflate+write of each record's data, the archive engine
// alone, Process of an install root), and once more over the installed
// files. Prints MB/s, the ratio to raw and, for small files, the cost per
// file over raw, beside the goals; then the unit costs of the per-file steps
// that an install adds, at 300 and at 1,900 files in the folder.
#include "BenchSupport.h"
#include "archive/cmp_TWdrlCompress.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "engine/cmp_TPathSpecifier.h"
#include "framework/fw_Forms.h"
#include "framework/fw_Handles.h"
#include "framework/fw_SysUtils.h"
#include "framework/fw_Windows.h"
#include "routines/routines_API.h"
#include "routines/routines_Registry.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace bench_support;
using namespace cmp_TInstallContainer;

// ---- the product -------------------------------------------------------------------------

struct TFile {
    std::string Name; // in the payload folder and in the targets' folder
    int ID;           // its UniqueID, also its place in the archive
    int64_t Size;
};

struct TSet {
    explicit TSet(std::string AName) : Name(std::move(AName)) {}
    std::string Name;
    std::vector<const TFile*> Files;
    int64_t Bytes = 0;
};

struct TProduct {
    std::string Root, Payload, Dist, Archive;
    std::vector<TFile> Files; // large first, then small
    TSet Large{"large"}, Small{"small"}, Small300{"small300"};
};

TProduct MakeProduct(const std::string& Root)
{
    TProduct P;
    P.Root = Root;
    P.Payload = Root + "\\payload";
    P.Dist = Root + "\\dist";
    P.Archive = P.Dist + "\\files.1";
    fw_SysUtils::ForceDirectories(P.Payload);
    fw_SysUtils::ForceDirectories(P.Dist);
    auto T0 = Clock::now();
    for (int I = 0; I < 4; ++I) {
        const size_t Size = size_t(32) << 20;
        P.Files.push_back({"large" + std::to_string(I) + ".dat", int(P.Files.size()), int64_t(Size)});
        WriteAll(P.Payload + "\\" + P.Files.back().Name, Mixed(Size, 100 + uint32_t(I)));
    }
    uint32_t X = 22;
    for (int I = 0; I < 1900; ++I) {
        X = X * 1103515245u + 12345u;
        const size_t Size = 1024 + (X >> 4) % (15 * 1024 + 1);
        char Name[32];
        std::snprintf(Name, sizeof Name, "s%04d.bin", I);
        P.Files.push_back({Name, int(P.Files.size()), int64_t(Size)});
        WriteAll(P.Payload + "\\" + Name, Mixed(Size, 1000 + uint32_t(I)));
    }
    for (const TFile& F : P.Files) {
        TSet& S = F.Name[0] == 'l' ? P.Large : P.Small;
        S.Files.push_back(&F);
        S.Bytes += F.Size;
        if (&S == &P.Small && P.Small300.Files.size() < 300) {
            P.Small300.Files.push_back(&F);
            P.Small300.Bytes += F.Size;
        }
    }
    std::printf("payload %zu files made in %.1f s\n", P.Files.size(), Seconds(T0));

    // One record per file, each with its own UniqueID: one call per file.
    // The default level: level 9 over 128 MB of text-like data is slow to make.
    T0 = Clock::now();
    cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    Engine.CompressionLevel = cmp_TWdrlCompress::colDefault;
    Engine.SetCompressedFile(P.Archive);
    for (const TFile& F : P.Files) {
        Engine.FilesToProcess().Clear();
        Engine.FilesToProcess().Add(P.Payload + "\\" + F.Name);
        Engine.Compress(F.ID == 0 ? cmp_TWdrlCompress::lzcOverwrite : cmp_TWdrlCompress::lzcOnlyAdd, F.ID);
    }
    std::printf("archive files.1 (colDefault) %.1f MB made in %.1f s\n",
                double(fw_SysUtils::FileSizeByName(P.Archive)) / 1e6, Seconds(T0));
    return P;
}

// The data range of every record, by UniqueID.
struct TRange {
    int64_t Start, Length;
};

std::vector<TRange> ReadRanges(const TProduct& P)
{
    cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    Engine.SetCompressedFile(P.Archive);
    std::vector<TRange> Ranges(P.Files.size(), TRange{-1, 0});
    for (int I = 0; I < Engine.FileCount(); ++I) {
        const auto& R = Engine.Headers().GetFileHeaders(I)->Record;
        if (R.UniqueID >= 0 && size_t(R.UniqueID) < Ranges.size())
            Ranges[size_t(R.UniqueID)] = {R.DataStart, R.CompressedSize};
    }
    for (const TRange& R : Ranges)
        if (R.Start < 0)
            Fail("a file has no record in files.1");
    return Ranges;
}

// ---- the three ways ------------------------------------------------------------------------

double RawInstall(const TProduct& P, const std::vector<TRange>& Ranges, const TSet& S, const std::string& Out)
{
    auto T0 = Clock::now();
    fw_SysUtils::ForceDirectories(Out);
    THandle A = OpenForReading(P.Archive);
    if (!A)
        Fail("cannot open " + P.Archive);
    std::vector<uint8_t> In(65536), Buf(65536);
    for (const TFile* F : S.Files) {
        const TRange& R = Ranges[size_t(F->ID)];
        LARGE_INTEGER Pos;
        Pos.QuadPart = R.Start;
        SetFilePointerEx(A.Get(), Pos, nullptr, FILE_BEGIN);
        THandle T = CreateForWriting(Out + "\\" + F->Name);
        if (!T)
            Fail("cannot create " + F->Name);
        z_stream Z{};
        inflateInit(&Z);
        int64_t Left = R.Length;
        int Result = Z_OK;
        DWORD Got = 0, Put = 0;
        while (Result != Z_STREAM_END) {
            if (Z.avail_in == 0) {
                ReadFile(A.Get(), In.data(), DWORD(std::min<int64_t>(Left, int64_t(In.size()))), &Got, nullptr);
                Left -= Got;
                Z.next_in = In.data();
                Z.avail_in = Got;
            }
            Z.next_out = Buf.data();
            Z.avail_out = uInt(Buf.size());
            Result = inflate(&Z, Z_NO_FLUSH);
            if ((Result < 0 && Result != Z_BUF_ERROR) || (Result == Z_BUF_ERROR && Got == 0))
                Fail("raw inflate failed on " + F->Name);
            WriteFile(T.Get(), Buf.data(), DWORD(Buf.size() - Z.avail_out), &Put, nullptr);
        }
        inflateEnd(&Z);
    }
    return Seconds(T0);
}

double EngineExtract(const TProduct& P, const TSet& S, const std::string& Out)
{
    cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    auto T0 = Clock::now();
    fw_SysUtils::ForceDirectories(Out);
    Engine.SetCompressedFile(P.Archive);
    Engine.ExtractDirectory = Out;
    for (const TFile* F : S.Files)
        Engine.FilesToProcess().Add(P.Payload + "\\" + F->Name);
    Engine.Extract();
    return Seconds(T0);
}

const std::string ProductName = "Wendrel Install Bench " + std::to_string(GetCurrentProcessId());

// The root's command line while a root is made: the distribution folder.
struct TArguments {
    std::function<std::vector<std::string>()> Saved = cmp_TInstall::TCustomInstall::CommandLineArguments;
    explicit TArguments(const std::string& Dist)
    {
        cmp_TInstall::TCustomInstall::CommandLineArguments = [Dist] { return std::vector<std::string>{"-s" + Dist}; };
    }
    ~TArguments() { cmp_TInstall::TCustomInstall::CommandLineArguments = Saved; }
};

template <class T>
T* Make(fw_Forms::TForm* Owner, const std::string& Name)
{
    T* C = new T(Owner);
    C->SetName(Name);
    return C;
}

// Where an install's time goes per file, from the events a file raises on its
// way: the steps between two events are summed over all files.
struct TPhases {
    static constexpr int Count = 6;
    static constexpr const char* Names[Count] = {
        "start reports (before OnBeforeInstall)",
        "target checks, free name, order log, engine set-up, archive open, new file, first block",
        "decode + write after the first block",
        "file date, close, move into place, after-install steps",
        "installed reports, uninstall record (after OnAfterInstall)",
        "between files (the container's loop)"};
    double Sum[Count] = {};
    Clock::time_point Mark{};
    bool FirstStatus = false;
    int64_t Statuses = 0;
    void Step(int Phase)
    {
        const auto Now = Clock::now();
        if (Mark != Clock::time_point{})
            Sum[Phase] += std::chrono::duration<double>(Now - Mark).count();
        Mark = Now;
    }
};

// Process of a root whose destination is Dest: root > directory "Files" >
// one file per record. The tree is made before the clock starts.
double InstallRun(const TProduct& P, const TSet& S, const std::string& Dest, TPhases* Phases = nullptr)
{
    std::unique_ptr<fw_Forms::TForm, fw_Classes::TComponentDeleter> Form(new fw_Forms::TForm(nullptr));
    TArguments Arguments(P.Dist);
    auto* Own = Make<cmp_TPathSpecifier::TPathSpecifier>(Form.get(), "psOwn");
    Own->OnGetPath = [Dest](const fw_Classes::TComponent*, std::string& Path) { Path = Dest; };
    auto* Root = Make<cmp_TInstall::TInstall>(Form.get(), "Install1");
    Root->SetDestDirType(Own);
    Root->SetDestDir("");
    Root->Information()->ProductName = ProductName;
    Root->SetRunAutomatic(false);
    Root->Loaded();
    auto* Dir = Make<TInstallDirectory>(Form.get(), "Files");
    Dir->SetContainer(Root);
    Dir->SetDestDir("\\Files");
    Dir->SetDescription("Files");
    for (const TFile* F : S.Files) {
        auto* File = Make<TInstallFile>(Form.get(), "File" + std::to_string(F->ID));
        File->SetContainer(Dir);
        File->SetFileName(F->Name);
        File->SetDestName(F->Name);
        File->SetIncludeFromDir(P.Payload);
        File->SetUniqueID(F->ID);
        if (!Phases)
            continue;
        File->OnBeforeProcess = [Phases](TInstallContainer*) { Phases->Step(5); };
        File->OnBeforeInstall = [Phases](TCustomInstallFile*) {
            Phases->Step(0);
            Phases->FirstStatus = true;
        };
        File->OnStatus = [Phases](TCustomInstallFile*, int, int) {
            Phases->Step(Phases->FirstStatus ? 1 : 2);
            ++Phases->Statuses;
            Phases->FirstStatus = false;
        };
        File->OnAfterInstall = [Phases](TCustomInstallFile*) { Phases->Step(3); };
        File->OnAfterProcess = [Phases](TInstallContainer*) { Phases->Step(4); };
    }
    auto T0 = Clock::now();
    Root->Process();
    return Seconds(T0);
}

void DeleteUninstallKey()
{
    const std::string Key = std::string(UninstallKeyBase) + ProductName;
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, Key.substr(1).c_str());
}

void Compare(const TProduct& P, const TSet& S, const std::string& Out, const char* Way)
{
    for (const TFile* F : S.Files)
        if (ReadAll(Out + "\\" + F->Name) != ReadAll(P.Payload + "\\" + F->Name))
            Fail(std::string(Way) + ": " + Out + "\\" + F->Name + " differs from its source");
}

struct TBest {
    double Raw = 1e9, Engine = 1e9, Install = 1e9, Over = 1e9;
};

TBest Measure(const TProduct& P, const std::vector<TRange>& Ranges, const TSet& S, int Rounds)
{
    TBest B;
    for (int R = 0; R < Rounds; ++R) {
        // Fresh names every round: no file is created where thousands were just deleted.
        const std::string Tag = P.Root + "\\x\\" + S.Name + std::to_string(R);
        const std::string RawDir = Tag + "_raw", EngineDir = Tag + "_engine", InstallDir = Tag + "_install";
        // Who goes first turns: the later of runs that each create thousands
        // of files pays for the earlier ones.
        auto Raw = [&] { B.Raw = std::min(B.Raw, RawInstall(P, Ranges, S, RawDir)); };
        auto Eng = [&] { B.Engine = std::min(B.Engine, EngineExtract(P, S, EngineDir)); };
        auto Ins = [&] {
            DeleteUninstallKey();
            B.Install = std::min(B.Install, InstallRun(P, S, InstallDir));
        };
        std::vector<std::function<void()>> Order{Raw, Eng, Ins};
        std::rotate(Order.begin(), Order.begin() + R % 3, Order.end());
        for (auto& Run : Order)
            Run();
        Compare(P, S, RawDir, "raw");
        Compare(P, S, EngineDir, "engine");
        Compare(P, S, InstallDir + "\\Files", "install");
        // Again over the files just installed: every target is replaced.
        DeleteUninstallKey();
        B.Over = std::min(B.Over, InstallRun(P, S, InstallDir));
        Compare(P, S, InstallDir + "\\Files", "install over");
        for (const std::string& D : {RawDir, EngineDir, InstallDir})
            RemoveTree(D);
    }
    return B;
}

void Profile(const TProduct& P, const TSet& S, bool Over)
{
    const std::string Dest = P.Root + "\\x\\profile_" + S.Name;
    if (Over)
        InstallRun(P, S, Dest);
    DeleteUninstallKey();
    TPhases Phases;
    const double Total = InstallRun(P, S, Dest, &Phases);
    Compare(P, S, Dest + "\\Files", "profiled install");
    RemoveTree(Dest);
    const double N = double(S.Files.size());
    std::printf("where an install%s of %s goes: %.3f s, %.3f ms/file, %lld status events\n",
                Over ? " over the targets" : "", S.Name.c_str(), Total, Total / N * 1e3, (long long)Phases.Statuses);
    double Known = 0;
    for (int I = 0; I < TPhases::Count; ++I) {
        Known += Phases.Sum[I];
        std::printf("  %7.3f ms/file  %s\n", Phases.Sum[I] / N * 1e3, TPhases::Names[I]);
    }
    std::printf("  %7.3f ms/file  before the first and after the last file\n", (Total - Known) / N * 1e3);
}

// The unit costs of the system calls an install makes per file beyond raw
// zlib, in a folder that already holds Files files: a cost that grows with
// the folder makes the per-file cost grow with the product.
void Units(const TProduct& P, int Files)
{
    const std::string Dir = P.Root + "\\x\\units" + std::to_string(Files);
    fw_SysUtils::ForceDirectories(Dir);
    for (int I = 0; I < Files; ++I)
        WriteAll(Dir + "\\f" + std::to_string(I) + ".bin", {'x'});
    auto PerCall = [](int N, auto F) {
        auto T0 = Clock::now();
        for (int I = 0; I < N; ++I)
            F(I);
        return Seconds(T0) / N * 1e3;
    };
    const int N = 300;
    auto Name = [&](const char* Base, int I) { return Dir + "\\" + Base + std::to_string(I) + ".dat"; };
    const double Missing = PerCall(N, [&](int I) { GetFileAttributesA(Name("missing", I).c_str()); });
    const double Present =
        PerCall(N, [&](int I) { GetFileAttributesA((Dir + "\\f" + std::to_string(I) + ".bin").c_str()); });
    const double DeleteMissing = PerCall(N, [&](int I) { DeleteFileA(Name("missing", I).c_str()); });
    const double CreateNew = PerCall(N, [&](int I) {
        THandle H(CreateFileA(Name("new", I).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    });
    const double Move = PerCall(N, [&](int I) {
        MoveFileExA(Name("new", I).c_str(), Name("moved", I).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
    });
    const double ForceDir = PerCall(N, [&](int) { fw_SysUtils::ForceDirectories(Dir); });
    const double OpenArchive = PerCall(N, [&](int) {
        THandle H(CreateFileA(P.Archive.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
    });
    // The order log: opened, its last byte read, a line appended, closed.
    const std::string Order = routines_API::WindowsDirectory() + "\\WdrlInstallOrder.txt";
    const double OrderLine = PerCall(N, [&](int I) {
        THandle H(CreateFileA(Order.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER Size{}, Last{}, End{};
        GetFileSizeEx(H.Get(), &Size);
        Last.QuadPart = Size.QuadPart - 1;
        char Tail;
        DWORD Got;
        SetFilePointerEx(H.Get(), Last, nullptr, FILE_BEGIN);
        ReadFile(H.Get(), &Tail, 1, &Got, nullptr);
        const std::string Line = "CompName: Unit" + std::to_string(I) + ", File: unit.dat\r\n";
        SetFilePointerEx(H.Get(), End, nullptr, FILE_END);
        WriteFile(H.Get(), Line.data(), DWORD(Line.size()), &Got, nullptr);
    });
    // The uninstall record of one file: its count read, its value and the count written.
    using routines_Registry::hkLocalMachine;
    const std::string Key = std::string(UninstallKeyBase) + ProductName + "\\Files";
    const double Uninstall = PerCall(N, [&](int I) {
        std::string Entries;
        routines_Registry::ReadRegistryString(hkLocalMachine, Key, "Entries", Entries, "0");
        routines_Registry::WriteRegistryString(hkLocalMachine, Key, "File" + std::to_string(I + 1), Name("moved", I));
        routines_Registry::WriteRegistryString(hkLocalMachine, Key, "Entries", std::to_string(I + 1));
    });
    DeleteUninstallKey();
    RemoveTree(Dir);
    std::printf("unit costs (ms) in a folder of %d files: look-up of a missing name %.3f, of a present one %.3f; "
                "delete of a missing file %.3f; create new %.3f; move in place %.3f; folder forced %.3f; archive "
                "open+close %.3f; order log line %.3f; uninstall record of a file %.3f\n",
                Files, Missing, Present, DeleteMissing, CreateNew, Move, ForceDir, OpenArchive, OrderLine, Uninstall);
}

void Print(const TSet& S, const TBest& B)
{
    const double MB = double(S.Bytes) / 1e6;
    const double N = double(S.Files.size());
    std::printf("%-8s %4zu files %7.1f MB   (best of 3)\n", S.Name.c_str(), S.Files.size(), MB);
    auto Line = [&](const char* Way, double T) {
        std::printf("  %-13s %8.2f MB/s %8.3f s  x%.2f of raw", Way, MB / T, T, B.Raw / T);
        if (S.Name != "large")
            std::printf("  %+.3f ms/file over raw", (T - B.Raw) / N * 1e3);
        std::printf("\n");
    };
    Line("raw zlib", B.Raw);
    Line("engine", B.Engine);
    Line("install", B.Install);
    Line("install over", B.Over);
    if (S.Name == "large")
        std::printf("  goal: install >= 0.8x raw: %s (x%.2f)\n", B.Raw / B.Install >= 0.8 ? "met" : "MISSED",
                    B.Raw / B.Install);
    else
        std::printf("  goal: install <= 0.3 ms/file over raw: %s (%.3f)\n",
                    (B.Install - B.Raw) / N * 1e3 <= 0.3 ? "met" : "MISSED", (B.Install - B.Raw) / N * 1e3);
}

} // namespace

int main(int argc, char** argv)
{
    char Temp[MAX_PATH];
    GetTempPathA(MAX_PATH, Temp);
    const std::string Root = (argc > 1 ? std::string(argv[1]) : std::string(Temp) + "wdrl_ibench") + "_" +
                             std::to_string(GetCurrentProcessId());
    const int Rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    std::printf("scratch %s\n", Root.c_str());

    // The install order log of the prefix with a long history, put back at the end.
    const std::string OrderFile = routines_API::WindowsDirectory() + "\\WdrlInstallOrder.txt";
    const bool HadOrder = fw_SysUtils::FileExists(OrderFile);
    const std::vector<uint8_t> SavedOrder = ReadAll(OrderFile);
    {
        std::string Lines;
        for (int I = 0; I < 20000; ++I)
            Lines += "CompName: File" + std::to_string(I) + ", File: earlier" + std::to_string(I) + ".dat\r\n";
        WriteAll(OrderFile, std::vector<uint8_t>(Lines.begin(), Lines.end()));
    }
    int Code = 0;
    try {
        TProduct P = MakeProduct(Root);
        const std::vector<TRange> Ranges = ReadRanges(P);
        // First touch of memory and of the code paths is slow: warm up once.
        TSet Warm{"warm"};
        Warm.Files.assign(P.Small.Files.begin(), P.Small.Files.begin() + 50);
        Measure(P, Ranges, Warm, 1);
        std::printf("-- measured (best of %d; install over = a second Process over the installed files) --\n", Rounds);
        Print(P.Large, Measure(P, Ranges, P.Large, Rounds));
        const TBest B300 = Measure(P, Ranges, P.Small300, Rounds);
        Print(P.Small300, B300);
        const TBest B1900 = Measure(P, Ranges, P.Small, Rounds);
        Print(P.Small, B1900);
        const double Per300 = (B300.Install - B300.Raw) / 300 * 1e3;
        const double Per1900 = (B1900.Install - B1900.Raw) / 1900 * 1e3;
        std::printf("  goal: flat from 300 to 1900 files: %.3f -> %.3f ms/file over raw (x%.2f)\n", Per300, Per1900,
                    Per1900 / Per300);
        Units(P, 300);
        Units(P, 1900);
        Profile(P, P.Large, false);
        Profile(P, P.Small300, false);
        Profile(P, P.Small, false);
        Profile(P, P.Small, true);
    } catch (const std::exception& E) {
        std::fprintf(stderr, "FAILED: %s\n", E.what());
        Code = 1;
    }
    DeleteUninstallKey();
    if (HadOrder)
        WriteAll(OrderFile, SavedOrder);
    else
        DeleteFileA(OrderFile.c_str());
    RemoveTree(Root);
    return Code;
}
