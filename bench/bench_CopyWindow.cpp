// What the copy progress window costs an install: Process of a root that
// extracts 64 MB (four files of 16 MB, one status per 4 KB block), without
// any copy window and with a dialog manager of the copy phase and its copy
// dialog, runs alternating. Prints the medians, the overhead, the statuses,
// the forced repaints and their rate, the peak working set; then where the
// window's time goes: per status in the runs (repainting or not), the status
// update alone (16,384 calls on a shown window) by what each call did, and
// the unit costs of the system calls behind it.
#include "BenchSupport.h"
#include "archive/cmp_TWdrlCompress.h"
#include "dialogs/dialogs_Start.h"
#include "dialogs/dlgcmp_TBaseDlg.h"
#include "dialogs/ordlg_CopyFile.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "engine/cmp_TPathSpecifier.h"
#include "framework/fw_Forms.h"
#include "framework/fw_SysUtils.h"
#include "framework/fw_Windows.h"
#include "routines/routines_API.h"

#include <commctrl.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace bench_support;
using namespace cmp_TInstallContainer;
using dlgcmp_TBaseDlg::TDialogManager;
using ordlg_CopyFile::TCopyFileForm;

constexpr int FileCount = 4;
constexpr size_t FileSize = size_t(16) << 20;

struct TProduct {
    std::string Root, Payload, Dist, Archive;
    std::vector<std::string> Names;
    int64_t Bytes = 0;
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
    cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    Engine.CompressionLevel = cmp_TWdrlCompress::colDefault;
    Engine.SetCompressedFile(P.Archive);
    for (int I = 0; I < FileCount; ++I) {
        P.Names.push_back("part" + std::to_string(I) + ".dat");
        WriteAll(P.Payload + "\\" + P.Names.back(), Mixed(FileSize, 300 + uint32_t(I)));
        P.Bytes += int64_t(FileSize);
        // One record per file, its UniqueID its place in the archive.
        Engine.FilesToProcess().Clear();
        Engine.FilesToProcess().Add(P.Payload + "\\" + P.Names.back());
        Engine.Compress(I == 0 ? cmp_TWdrlCompress::lzcOverwrite : cmp_TWdrlCompress::lzcOnlyAdd, I);
    }
    std::printf("archive files.1: %d files, %.1f MB of data in %.1f MB, made in %.1f s\n", FileCount,
                double(P.Bytes) / 1e6, double(fw_SysUtils::FileSizeByName(P.Archive)) / 1e6, Seconds(T0));
    return P;
}

const std::string ProductName = "Wendrel Copy Window Bench " + std::to_string(GetCurrentProcessId());

void DeleteUninstallKey()
{
    const std::string Key = std::string(UninstallKeyBase) + ProductName;
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, Key.substr(1).c_str());
}

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

struct TRun {
    double Seconds = 0;
    // From the second status (the window made by the first is on screen)
    // to the end: the extraction with the window shown.
    double Shown = 0;
    int64_t Statuses = 0;
    // Of the copy window; -1 when none was seen.
    int Repaints = -1;
    bool Visible = false;
    // Statuses at the root whose file percent reads 100.
    int64_t AtHundred = 0;
    // From the root's status (the managers come next) to the file's next
    // status: the managers' share plus decoding and writing the next block.
    // [0] when the window repainted meanwhile, [1] otherwise.
    double After[2] = {};
    double Slowest = 0; // the longest single status: the one that makes the window
    int64_t AfterCount[2] = {};
};

// Process of a root whose destination is Dest: root > directory "Files" >
// one file per record; with Window, a copy-phase manager and a copy dialog
// too. The tree is made before the clock starts.
TRun InstallRun(const TProduct& P, const std::string& Dest, bool Window)
{
    TRun Run;
    TDialogManager* Manager = nullptr;
    TCopyFileForm* Seen = nullptr;
    Clock::time_point Mark{}, Second{};
    int MarkRepaints = 0;
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
    for (int I = 0; I < FileCount; ++I) {
        auto* File = Make<TInstallFile>(Form.get(), "File" + std::to_string(I));
        File->SetContainer(Dir);
        File->SetFileName(P.Names[size_t(I)]);
        File->SetDestName(P.Names[size_t(I)]);
        File->SetIncludeFromDir(P.Payload);
        File->SetUniqueID(I);
        File->OnStatus = [&](TCustomInstallFile*, int, int) {
            if (Mark == Clock::time_point{})
                return;
            const int Kind = Seen && Seen->Repaints() != MarkRepaints ? 0 : 1;
            Run.Slowest = std::max(Run.Slowest, Seconds(Mark));
            Run.After[Kind] += Seconds(Mark);
            ++Run.AfterCount[Kind];
            Mark = {};
        };
    }
    if (Window) {
        Manager = Make<TDialogManager>(Form.get(), "dmCopy");
        Manager->ManagerType = dlgcmp_TBaseDlg::dmDuringCopyFiles;
        Manager->SetContainer(Root);
        auto* Dialog = Make<ordlg_CopyFile::TCopyFileDlg>(Form.get(), "CopyFileDlg1");
        Dialog->SetDialogManager(Manager);
        Dialog->SetContainer(Root);
    }
    // The root hears each status just before its managers do: from the second
    // status on, the window of the first is there. The window is freed when
    // the phase ends, so its count is read as it closes, after its last repaint.
    Root->TFileContainer::OnStatus = [&](TCustomInstallFile*, int FilePercent, int) {
        if (++Run.Statuses == 2)
            Second = Clock::now();
        Run.AtHundred += FilePercent >= 100;
        Mark = Clock::now();
        MarkRepaints = Seen ? Seen->Repaints() : 0;
        if (!Manager || Seen || Manager->DuringCopyForms().empty())
            return;
        Seen = dynamic_cast<TCopyFileForm*>(Manager->DuringCopyForms().front());
        if (!Seen)
            Fail("the copy phase's window is no copy window");
        Run.Visible = Seen->HandleAllocated() && IsWindowVisible(Seen->Handle());
        auto Closing = Seen->OnClose;
        TCopyFileForm* Window = Seen;
        Seen->OnClose = [&Run, Closing, Window](fw_Classes::TObject* Sender, fw_Forms::TCloseAction& Action) {
            if (Closing)
                Closing(Sender, Action);
            Run.Repaints = Window->Repaints();
        };
    };
    DeleteUninstallKey();
    auto T0 = Clock::now();
    Root->Process();
    Run.Seconds = Seconds(T0);
    Run.Shown = Seconds(Second);
    if (Window && (!Seen || Run.Repaints < 0))
        Fail("the copy window did not appear, or never closed");
    if (Window && !Manager->DuringCopyForms().empty())
        Fail("the copy window outlived the copy phase");
    return Run;
}

void Compare(const TProduct& P, const std::string& Out)
{
    for (const std::string& Name : P.Names)
        if (ReadAll(Out + "\\" + Name) != ReadAll(P.Payload + "\\" + Name))
            Fail(Out + "\\" + Name + " differs from its source");
}

double Median(std::vector<double> V)
{
    std::sort(V.begin(), V.end());
    return V.size() % 2 ? V[V.size() / 2] : (V[V.size() / 2 - 1] + V[V.size() / 2]) / 2;
}

double PeakWorkingSetMB()
{
    PROCESS_MEMORY_COUNTERS Counters{};
    Counters.cb = sizeof Counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &Counters, sizeof Counters))
        return -1;
    return double(Counters.PeakWorkingSetSize) / 1e6;
}

// The window's share alone: as many status updates as 64 MB brings, on a
// shown window, one file name, the bars moving as in an extraction. Each
// call is timed and put by what it did: a forced repaint, a bar moved (no
// repaint), or neither. Then the system calls behind them, one by one.
void UpdateLoop(int64_t Bytes)
{
    const int Calls = int(Bytes / 4096);
    std::unique_ptr<TCopyFileForm, fw_Classes::TComponentDeleter> Form(new TCopyFileForm(fw_Forms::Application));
    Form->ShowForm();
    fw_Forms::Application->ProcessMessages();
    TFileStatusParameter Status;
    Status.FileName = "part0.dat";
    Form->UpdateStatus(&Status, nullptr); // the new name's repaint comes first
    const char* Kinds[3] = {"with a forced repaint", "a bar moved, no repaint", "neither"};
    double Sum[3] = {};
    int Count[3] = {};
    auto T0 = Clock::now();
    for (int I = 0; I < Calls; ++I) {
        Status.Processed = (I + 1) * 4096;
        Status.PercentDone = int(int64_t(I + 1) * 100 / Calls);
        Status.TotalPercentDone = Status.PercentDone;
        const int Repaints = Form->Repaints();
        const int Bar1 = Form->ProgressBar1->Position(), Bar2 = Form->ProgressBar2->Position();
        auto T = Clock::now();
        Form->UpdateStatus(&Status, nullptr);
        const double D = Seconds(T);
        const int Kind = Form->Repaints() != Repaints                                                       ? 0
                         : Form->ProgressBar1->Position() != Bar1 || Form->ProgressBar2->Position() != Bar2 ? 1
                                                                                                            : 2;
        Sum[Kind] += D;
        ++Count[Kind];
    }
    const double Total = Seconds(T0);
    std::printf("status updates alone: %d calls on a shown window in %.3f s, %.2f us/call, %d forced repaints "
                "(%.1f/s)\n",
                Calls, Total, Total / Calls * 1e6, Count[0], Count[0] / Total);
    for (int K = 0; K < 3; ++K)
        std::printf("  %-24s %6d calls  %7.3f s  %9.1f us each\n", Kinds[K], Count[K], Sum[K],
                    Count[K] ? Sum[K] / Count[K] * 1e6 : 0.0);

    // The calls behind them, alone.
    const HWND Bar = Form->ProgressBar1->Handle();
    const int Moves = 200;
    auto T = Clock::now();
    for (int I = 0; I < Moves; ++I)
        SendMessageW(Bar, PBM_SETPOS, WPARAM(I % 2 ? 30 : 70), 0);
    const double Move = Seconds(T) / Moves;
    T = Clock::now();
    for (int I = 0; I < Moves; ++I)
        SendMessageW(Bar, PBM_SETPOS, WPARAM(70), 0);
    const double Same = Seconds(T) / Moves;
    auto Redraw = [&](UINT Flags) {
        auto T = Clock::now();
        for (int I = 0; I < Moves; ++I)
            RedrawWindow(Form->Handle(), nullptr, nullptr, Flags);
        return Seconds(T) / Moves;
    };
    const double Whole = Redraw(RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const double FormOnly = Redraw(RDW_INVALIDATE | RDW_UPDATENOW);
    T = Clock::now();
    for (int I = 0; I < Moves; ++I) {
        InvalidateRect(Bar, nullptr, TRUE);
        UpdateWindow(Bar);
    }
    const double BarPaint = Seconds(T) / Moves;
    T = Clock::now();
    volatile uint64_t Ticks = 0;
    for (int I = 0; I < Calls; ++I)
        Ticks = Ticks + GetTickCount64();
    const double Tick = Seconds(T) / Calls;
    std::printf("  unit costs: bar moved (PBM_SETPOS, new value) %.1f us; PBM_SETPOS, same value %.1f us; bar "
                "repainted alone (invalidate + UpdateWindow) %.1f us; forced repaint as the window does it "
                "(RedrawWindow ALLCHILDREN UPDATENOW) %.1f us, without the children %.1f us; GetTickCount64 %.3f "
                "us\n",
                Move * 1e6, Same * 1e6, BarPaint * 1e6, Whole * 1e6, FormOnly * 1e6, Tick * 1e6);
}

int Bench(const std::string& Root, int Rounds)
{
    const std::string OrderFile = routines_API::WindowsDirectory() + "\\WdrlInstallOrder.txt";
    const bool HadOrder = fw_SysUtils::FileExists(OrderFile);
    const std::vector<uint8_t> SavedOrder = ReadAll(OrderFile);
    int Code = 0;
    try {
        TProduct P = MakeProduct(Root);
        std::printf("peak working set after making the archive: %.1f MB\n", PeakWorkingSetMB());
        int Count = 0;
        auto Once = [&](bool Window) {
            // A fresh folder each run: no run replaces another's files.
            const std::string Dest = P.Root + "\\x\\run" + std::to_string(Count++);
            TRun R = InstallRun(P, Dest, Window);
            Compare(P, Dest + "\\Files");
            RemoveTree(Dest);
            return R;
        };
        // First touch of memory and of the code paths is slow: one of each first.
        Once(false);
        Once(true);
        std::vector<double> Without, With, ShownWithout, ShownWith, Making;
        std::vector<TRun> Windowed;
        for (int R = 0; R < Rounds; ++R) {
            // Who goes first turns: neither way always runs on a warmer cache.
            for (bool Window : R % 2 ? std::vector<bool>{true, false} : std::vector<bool>{false, true}) {
                TRun Run = Once(Window);
                std::printf("  run %d %-14s %.3f s  %lld statuses", R + 1, Window ? "with window" : "without window",
                            Run.Seconds, (long long)Run.Statuses);
                if (Window)
                    std::printf("  %d forced repaints (%.1f/s)%s", Run.Repaints, Run.Repaints / Run.Seconds,
                                Run.Visible ? "" : "  window NOT visible");
                std::printf("  %lld at 100%%\n", (long long)Run.AtHundred);
                std::printf("        root status to next block's status: %.3f s (slowest %.1f ms)",
                            Run.After[0] + Run.After[1], Run.Slowest * 1e3);
                for (int K = 0; K < 2; ++K)
                    if (Run.AfterCount[K])
                        std::printf("; %s %lld x %.1f us", K == 0 ? "repainting" : "not repainting",
                                    (long long)Run.AfterCount[K], Run.After[K] / double(Run.AfterCount[K]) * 1e6);
                std::printf("\n");
                (Window ? With : Without).push_back(Run.Seconds);
                (Window ? ShownWith : ShownWithout).push_back(Run.Shown);
                if (Window)
                    Making.push_back(Run.Slowest);
                if (Window)
                    Windowed.push_back(Run);
            }
        }
        const double MB = double(P.Bytes) / 1e6;
        const double T0 = Median(Without), T1 = Median(With);
        const double Overhead = (T1 / T0 - 1) * 100;
        const double S0 = Median(ShownWithout), S1 = Median(ShownWith);
        const double ShownOverhead = (S1 / S0 - 1) * 100;
        std::vector<double> Rates;
        int64_t Statuses = 0;
        int Repaints = 0;
        bool AllVisible = true;
        for (const TRun& R : Windowed) {
            Rates.push_back(R.Repaints / R.Seconds);
            Statuses = std::max(Statuses, R.Statuses);
            Repaints = std::max(Repaints, R.Repaints);
            AllVisible = AllVisible && R.Visible;
        }
        std::printf("-- %d runs each, medians --\n", Rounds);
        std::printf("extracted: %.1f MB in %d files\n", MB, FileCount);
        std::printf("without window: %.3f s (%.1f MB/s)\n", T0, MB / T0);
        std::printf("with window:    %.3f s (%.1f MB/s)\n", T1, MB / T1);
        std::printf("whole install, overhead: %+.1f %%, of which making and showing the window once: %.1f ms\n",
                    Overhead, Median(Making) * 1e3);
        std::printf("extraction once the window is shown: %.3f s without, %.3f s with, overhead %+.1f %% (goal <= 10 "
                    "%%: %s)\n",
                    S0, S1, ShownOverhead, ShownOverhead <= 10 ? "met" : "MISSED");
        std::printf("statuses received: %lld per run (%.2f KB each)\n", (long long)Statuses,
                    double(P.Bytes) / double(std::max<int64_t>(Statuses, 1)) / 1024);
        std::printf("window shown in every run: %s\n", AllVisible ? "yes" : "NO");
        std::printf("forced repaints: %d at most per run, %.1f/s median (goal <= 30/s: %s)\n", Repaints, Median(Rates),
                    Median(Rates) <= 30 ? "met" : "MISSED");
        UpdateLoop(P.Bytes);
        std::printf("peak working set: %.1f MB\n", PeakWorkingSetMB());
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

} // namespace

int main(int argc, char** argv)
{
    char Temp[MAX_PATH];
    GetTempPathA(MAX_PATH, Temp);
    const std::string Root = (argc > 1 && *argv[1] ? std::string(argv[1]) : std::string(Temp) + "wdrl_cwbench") + "_" +
                             std::to_string(GetCurrentProcessId());
    const int Rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::printf("scratch %s\n", Root.c_str());
    fw_Forms::Application->Initialize();
    dialogs_Start::StartDialogUnits();
    const int Code = Bench(Root, Rounds);
    delete fw_Forms::Application;
    fw_Forms::Application = nullptr;
    return Code;
}
