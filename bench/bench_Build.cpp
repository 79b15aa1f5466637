// Times building "files.1" through an install root's Compress, as the build
// step does, for 100, 500 and 2,000 mixed files against raw zlib deflating
// the same files into one file. Each file is one add to the archive, so the
// cost per file must not grow with the files already in it: the run prints
// the cost per file at 2,000 against that at 100.
#include "BenchSupport.h"
#include "archive/cmp_TWdrlCompress.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "framework/fw_Forms.h"
#include "framework/fw_SysUtils.h"
#include "framework/fw_Windows.h"
#include "routines/routines_API.h"

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace bench_support;
using namespace cmp_TInstallContainer;

// A component of Form named Name.
template <class T>
T* Named(fw_Forms::TForm& Form, const std::string& Name)
{
    T* C = new T(&Form);
    C->SetName(Name);
    return C;
}

// The first Count files of S.
TMixedSet First(const TMixedSet& S, int Count)
{
    TMixedSet Part{S.Name, S.Dir, {}, 0};
    for (int I = 0; I < Count && I < int(S.Files.size()); ++I) {
        Part.Files.push_back(S.Files[size_t(I)]);
        Part.Bytes += fw_SysUtils::FileSizeByName(S.Dir + "\\" + S.Files[size_t(I)]);
    }
    return Part;
}

// Where a build's time goes per file, from the events on its way: the steps
// between two events are summed over all files.
struct TPhases {
    static constexpr int Count = 4;
    static constexpr const char* Names[Count] = {
        "tree between files (after a file's compress, before the next one's)",
        "file and engine set-up, archive open, table, source open (before the data)", "deflate and write of the data",
        "record, preamble, close, compress order log, reports (after the data)"};
    double Sum[Count] = {};
    Clock::time_point Mark{};
    void Step(int Phase)
    {
        const auto Now = Clock::now();
        if (Mark != Clock::time_point{})
            Sum[Phase] += std::chrono::duration<double>(Now - Mark).count();
        Mark = Now;
    }
};

// Compress of a root whose archive is Archive: root > directory "Files" > one
// install file per source, as the build step compresses a traditional
// distribution. The tree is made before the clock starts.
double BuildRun(const TMixedSet& S, const std::string& Dist, TPhases* Phases = nullptr)
{
    fw_SysUtils::ForceDirectories(Dist);
    // Only the build's own steps run: the root is not loaded as a setup
    // program would be, so it reads no command line and takes no mutex.
    std::unique_ptr<fw_Forms::TForm, fw_Classes::TComponentDeleter> Form(new fw_Forms::TForm(nullptr));
    auto* Root = Named<cmp_TInstall::TInstall>(*Form, "Install1");
    Root->SetArchiveFileType(nullptr);
    Root->SetArchiveFile(Dist + "\\files.1");
    auto* Dir = Named<TInstallDirectory>(*Form, "Files");
    Dir->SetContainer(Root);
    Dir->SetDescription("Files");
    for (size_t I = 0; I < S.Files.size(); ++I) {
        auto* File = Named<TInstallFile>(*Form, "File" + std::to_string(I));
        File->SetContainer(Dir);
        File->SetFileName(S.Files[I]);
        File->SetDestName(S.Files[I]);
        File->SetIncludeFromDir(S.Dir);
        File->SetUniqueID(int(I));
        if (!Phases)
            continue;
        File->OnBeforeCompress = [Phases](TCustomInstallFile*) { Phases->Step(0); };
        File->OnAfterCompress = [Phases](TCustomInstallFile*) { Phases->Step(3); };
    }
    cmp_TWdrlCompress::TWdrlCompress& Engine = SharedArchiveEngine();
    if (Phases) {
        Engine.OnBeforeAdding = [Phases](cmp_TWdrlCompress::TWdrlCompress*, const auto&) { Phases->Step(1); };
        Engine.OnAfterAdding = [Phases](cmp_TWdrlCompress::TWdrlCompress*, const auto&) { Phases->Step(2); };
    }
    auto T0 = Clock::now();
    // The options of a traditional build: every file into files.1.
    Root->Compress(0x2E);
    const double Took = Seconds(T0);
    Engine.OnBeforeAdding = nullptr;
    Engine.OnAfterAdding = nullptr;

    // Read back by an engine that never saw it: every file has its record.
    cmp_TWdrlCompress::TWdrlCompress Reader(nullptr);
    Reader.SetCompressedFile(Dist + "\\files.1");
    if (Reader.FileCount() != int(S.Files.size()))
        Fail("files.1 holds " + std::to_string(Reader.FileCount()) + " records for " + std::to_string(S.Files.size()) +
             " files");
    for (int I = 0; I < int(S.Files.size()); ++I) {
        const int Index = Reader.IndexOfUniqueID(I);
        if (Index < 0 || Reader.Headers().GetFileHeaders(Index)->Record.UniqueID != I)
            Fail("file " + std::to_string(I) + " has no record in files.1");
    }
    return Took;
}

// The archive engine alone, one Compress per file as the install files call
// it, without the tree: what of the cost per file is the engine's.
double EngineRun(const TMixedSet& S, const std::string& Archive)
{
    auto T0 = Clock::now();
    cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    Engine.SetCompressedFile(Archive);
    for (size_t I = 0; I < S.Files.size(); ++I) {
        Engine.FilesToProcess().Add(S.Dir + "\\" + S.Files[I]);
        Engine.Compress(I == 0 ? cmp_TWdrlCompress::lzcOverwrite : cmp_TWdrlCompress::lzcOnlyAdd, int(I));
    }
    return Seconds(T0);
}

struct TResult {
    int Files = 0;
    double MB = 0, Ours = 1e9, Engine = 1e9, Raw = 1e9;
    double PerFileMs() const { return Ours / Files * 1e3; }
    double EnginePerFileMs() const { return Engine / Files * 1e3; }
};

TResult Measure(const TMixedSet& S, const std::string& Work, int Rounds)
{
    TResult R;
    R.Files = int(S.Files.size());
    R.MB = double(S.Bytes) / 1e6;
    std::vector<TRawEntry> Entries;
    for (int Round = 0; Round < Rounds; ++Round) {
        // Fresh names every round: no file is created where others were just deleted.
        const std::string Tag = Work + "\\n" + std::to_string(R.Files) + "_" + std::to_string(Round);
        fw_SysUtils::ForceDirectories(Tag);
        R.Raw = std::min(R.Raw, RawCompress(S, Tag + "\\raw.z", Entries));
        R.Ours = std::min(R.Ours, BuildRun(S, Tag + "\\dist"));
        R.Engine = std::min(R.Engine, EngineRun(S, Tag + "\\engine.1"));
    }
    return R;
}

// One more build of S, split into the phases of each file.
void Profile(const TMixedSet& S, const std::string& Work)
{
    TPhases Phases;
    const double Total = BuildRun(S, Work + "\\profile" + std::to_string(S.Files.size()), &Phases);
    std::printf("  %zu files, %.3f s; per file:\n", S.Files.size(), Total);
    for (int I = 0; I < TPhases::Count; ++I)
        std::printf("    %8.1f us  %s\n", Phases.Sum[I] / double(S.Files.size()) * 1e6, TPhases::Names[I]);
}

size_t PeakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS M{};
    M.cb = sizeof M;
    return GetProcessMemoryInfo(GetCurrentProcess(), &M, sizeof M) ? M.PeakWorkingSetSize : 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string Root = ScratchRoot(argc, argv, "wdrl_bbench");
    const int Rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::printf("scratch %s\n", Root.c_str());
    int Code = 0;
    try {
        // Every add appends a line to the compress order log of the prefix.
        TKeptFile Order(routines_API::WindowsDirectory() + CompressOrderFile);
        // The archive benchmark's small files: 1 KB to 20 KB of mixed content.
        const TMixedSet All = MakeMixedSet(Root, "payload", 2000, 1000, 20000, 22);
        const std::string Work = Root + "\\work";
        // First touch of memory and of the code paths is slow: warm up once.
        Measure(First(All, 50), Work + "\\warm", 1);
        std::printf("-- build of files.1 through the root's Compress (best of %d) against raw zlib level 9 --\n",
                    Rounds);
        std::printf("%6s %8s %10s %12s %10s %8s   %s\n", "files", "MB", "ours s", "ms/file", "raw s", "ours/raw",
                    "(engine alone: s, ms/file)");
        std::vector<TResult> Results;
        for (int N : {100, 500, 2000}) {
            Results.push_back(Measure(First(All, N), Work, Rounds));
            const TResult& R = Results.back();
            std::printf("%6d %8.2f %10.3f %12.3f %10.3f %8.2f   (%.3f, %.3f)\n", R.Files, R.MB, R.Ours, R.PerFileMs(),
                        R.Raw, R.Ours / R.Raw, R.Engine, R.EnginePerFileMs());
            std::fflush(stdout);
        }
        std::printf("per-file cost 2000 vs 100: %.3f ms -> %.3f ms (x%.2f; goal within x1.20)\n",
                    Results.front().PerFileMs(), Results.back().PerFileMs(),
                    Results.back().PerFileMs() / Results.front().PerFileMs());
        std::printf("engine alone 2000 vs 100: %.3f ms -> %.3f ms (x%.2f)\n", Results.front().EnginePerFileMs(),
                    Results.back().EnginePerFileMs(),
                    Results.back().EnginePerFileMs() / Results.front().EnginePerFileMs());
        std::printf("-- where a build's time goes --\n");
        Profile(First(All, 100), Work);
        Profile(All, Work);
        std::printf("peak working set %.1f MB\n", double(PeakWorkingSet()) / 1e6);
    } catch (const std::exception& E) {
        std::fprintf(stderr, "FAILED: %s\n", E.what());
        Code = 1;
    }
    RemoveTree(Root);
    return Code;
}
