#include "FuzzHarness.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <typeinfo>

#include "framework/fw_SysUtils.h"

// ---- the memory bound -------------------------------------------------------------
//
// Damaged input must never make a reader ask for memory by a count it read:
// one allocation above the bound is refused and ends its case as HugeMemory.

namespace {
constexpr size_t AllocationBound = size_t(64) << 20;
std::atomic<bool> HugeAsked{false};
std::atomic<size_t> HugeSize{0};
} // namespace

void* operator new(size_t Size)
{
    if (Size > AllocationBound) {
        HugeAsked = true;
        HugeSize = Size;
        throw std::bad_alloc();
    }
    if (void* P = std::malloc(Size ? Size : 1))
        return P;
    throw std::bad_alloc();
}
void* operator new[](size_t Size) { return operator new(Size); }
void operator delete(void* P) noexcept { std::free(P); }
void operator delete[](void* P) noexcept { std::free(P); }
void operator delete(void* P, size_t) noexcept { std::free(P); }
void operator delete[](void* P, size_t) noexcept { std::free(P); }

namespace fuzz {

namespace {

constexpr int OutcomeCount = int(TOutcome::Count_);
constexpr size_t SharedCaseSize = size_t(8) << 20;

// What a child tells its parent, in memory both map: it survives the child.
struct TShared {
    volatile LONG64 Current;  // the iteration running
    volatile LONG64 Finished; // iterations ended (the next to run)
    volatile LONG Ready;      // the child made its seeds
    volatile LONG Complete;   // the child reached its count
    volatile LONG CrashCode;  // the exception that ended the child
    LONG64 Counts[OutcomeCount];
    LONG64 PeakWorkingSet;
    LONG64 PeakCommit;
    volatile LONG64 CaseSize;
    char Case[SharedCaseSize];
};

TShared* Shared = nullptr;

// The scratch folder of a process of this program.
std::string WorkFolderOf(DWORD Process);
void RemoveFolder(const std::string& Folder);

const char* const OutcomeNames[OutcomeCount] = {"clean failure", "success checked",   "crash",
                                                "hang",          "outside",           "oversize",
                                                "wrong output",  "foreign exception", "huge memory"};

uint64_t Mix(uint64_t Seed, uint64_t Iteration)
{
    TRandom R(Seed * 0x9E3779B97F4A7C15ull ^ (Iteration + 0x632BE59BD9B4E019ull));
    R.Next();
    return R.Next();
}

struct TOptions {
    int64_t Count = 2000;
    uint64_t Seed = 1;
    std::string Out;
    std::string Replay;
    int64_t Case = -1;
    std::string ChildMap;
    int64_t From = 0;
    int HangSeconds = 30; // a case that runs longer is a hang
};

std::string ProgramPath()
{
    char Path[MAX_PATH * 2];
    const DWORD N = GetModuleFileNameA(nullptr, Path, sizeof Path);
    return std::string(Path, N);
}

std::string Folder(const std::string& Path) { return Path.substr(0, Path.find_last_of('\\')); }

void Note(const TOptions& O, const TFamily& F, int64_t Iteration, TOutcome Outcome, const std::string& Message,
          const std::string& Bytes)
{
    CreateDirectoryA(O.Out.c_str(), nullptr);
    const std::string Dir = O.Out + "\\" + F.Name;
    CreateDirectoryA(Dir.c_str(), nullptr);
    const std::string Base = Dir + "\\case-" + std::to_string(O.Seed) + "-" + std::to_string(Iteration);
    WriteWholeFile(Base + ".bin", Bytes);
    std::ostringstream Text;
    Text << "family: " << F.Name << "\nseed: " << O.Seed << "\niteration: " << Iteration
         << "\noutcome: " << OutcomeName(Outcome) << "\nmessage: " << Message << "\nreplay: wine " << ProgramPath()
         << " --replay " << Base << ".bin\n";
    WriteWholeFile(Base + ".txt", Text.str());
    std::printf("%s: case %lld (seed %llu): %s: %s\n  written to %s.bin\n", F.Name.c_str(), (long long)Iteration,
                (unsigned long long)O.Seed, OutcomeName(Outcome), Message.c_str(), Base.c_str());
    std::fflush(stdout);
}

TOutcome RunOne(const TFamily& F, const std::string& Input, std::string& Message)
{
    HugeAsked = false;
    TOutcome Outcome;
    try {
        Outcome = F.Run(Input, Message);
    } catch (const TFault& E) {
        Outcome = E.Outcome;
        Message = E.what();
    } catch (const fw_SysUtils::Exception& E) {
        Outcome = TOutcome::Foreign;
        Message = std::string(typeid(E).name()) + ": " + E.Message();
    } catch (const std::exception& E) {
        Outcome = TOutcome::Foreign;
        Message = std::string("std: ") + E.what();
    } catch (...) {
        Outcome = TOutcome::Foreign;
        Message = "an exception of no known class";
    }
    if (HugeAsked) {
        Outcome = TOutcome::HugeMemory;
        Message = "asked for " + std::to_string(HugeSize.load()) + " bytes at once; " + Message;
    }
    return Outcome;
}

bool Good(TOutcome O) { return O == TOutcome::CleanFailure || O == TOutcome::SuccessChecked; }

void NotePeakMemory()
{
    PROCESS_MEMORY_COUNTERS C{};
    C.cb = sizeof C;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &C, sizeof C)) {
        Shared->PeakWorkingSet = std::max<LONG64>(Shared->PeakWorkingSet, LONG64(C.PeakWorkingSetSize));
        Shared->PeakCommit = std::max<LONG64>(Shared->PeakCommit, LONG64(C.PeakPagefileUsage));
    }
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* E)
{
    if (Shared)
        Shared->CrashCode = LONG(E->ExceptionRecord->ExceptionCode);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

int RunChild(const TOptions& O, const TFamily& F)
{
    HANDLE Map = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, O.ChildMap.c_str());
    if (!Map)
        return 2;
    Shared = static_cast<TShared*>(MapViewOfFile(Map, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(TShared)));
    if (!Shared)
        return 2;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(OnCrash);
    const std::vector<TSeed> Seeds = F.MakeSeeds();
    Shared->Ready = 1;
    for (int64_t I = O.From; I < O.Count; ++I) {
        Shared->Current = I;
        TRandom Random(Mix(O.Seed, uint64_t(I)));
        const TSeed& Seed = Seeds[Random.Below(Seeds.size())];
        const std::string Input = F.MutateCase ? F.MutateCase(Seed, Random) : Mutate(Seed, Random);
        Shared->CaseSize = std::min(Input.size(), SharedCaseSize);
        std::memcpy(Shared->Case, Input.data(), size_t(Shared->CaseSize));
        std::string Message;
        const TOutcome Outcome = RunOne(F, Input, Message);
        ++Shared->Counts[int(Outcome)];
        if (!Good(Outcome))
            Note(O, F, I, Outcome, Message, Input);
        if ((I & 63) == 0)
            NotePeakMemory();
        Shared->Finished = I + 1;
    }
    NotePeakMemory();
    Shared->Complete = 1;
    return 0;
}

std::wstring Widen(const std::string& S)
{
    std::wstring W(S.size(), L'\0');
    W.resize(size_t(MultiByteToWideChar(CP_ACP, 0, S.data(), int(S.size()), W.data(), int(W.size()))));
    return W;
}

int RunParent(const TOptions& O, const TFamily& F)
{
    const std::string MapName = "Local\\WendrelFuzz-" + std::to_string(GetCurrentProcessId());
    HANDLE Map = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(TShared), MapName.c_str());
    if (!Map)
        return std::fprintf(stderr, "cannot make the shared block\n"), 2;
    Shared = static_cast<TShared*>(MapViewOfFile(Map, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(TShared)));
    if (!Shared)
        return std::fprintf(stderr, "cannot map the shared block\n"), 2;
    const auto Start = std::chrono::steady_clock::now();
    int64_t Next = O.From; // a long run can be shared out in ranges of cases
    int Starts = 0, FruitlessStarts = 0;
    auto LastProgress = Start;
    while (Next < O.Count) {
        Shared->Current = Next;
        Shared->Finished = Next;
        Shared->Ready = 0;
        Shared->Complete = 0;
        Shared->CrashCode = 0;
        Shared->CaseSize = 0;
        std::string Line = "\"" + ProgramPath() + "\" --child " + MapName + " --from " + std::to_string(Next) +
                           " --count " + std::to_string(O.Count) + " --seed " + std::to_string(O.Seed) + " --out \"" +
                           O.Out + "\"";
        std::wstring WideLine = Widen(Line);
        STARTUPINFOW Start{};
        Start.cb = sizeof Start;
        PROCESS_INFORMATION Process{};
        if (!CreateProcessW(nullptr, WideLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Start, &Process))
            return std::fprintf(stderr, "cannot start the child: %lu\n", GetLastError()), 2;
        ++Starts;
        CloseHandle(Process.hThread);
        LONG64 Seen = -1;
        auto Still = std::chrono::steady_clock::now();
        bool Hung = false;
        while (WaitForSingleObject(Process.hProcess, 500) == WAIT_TIMEOUT) {
            const LONG64 Now = Shared->Finished;
            // A long run tells how far it is, once a minute.
            if (std::chrono::steady_clock::now() - LastProgress > std::chrono::minutes(1)) {
                LastProgress = std::chrono::steady_clock::now();
                std::fprintf(stderr, "%s: %lld of %lld cases\n", F.Name.c_str(), (long long)Now, (long long)O.Count);
            }
            if (Now != Seen) {
                Seen = Now;
                Still = std::chrono::steady_clock::now();
            } else if (Shared->Ready &&
                       std::chrono::steady_clock::now() - Still > std::chrono::seconds(O.HangSeconds)) {
                // Seeds made and cases running, but this one does not end.
                TerminateProcess(Process.hProcess, 4);
                WaitForSingleObject(Process.hProcess, INFINITE);
                Hung = true;
                break;
            }
        }
        DWORD Code = 0;
        GetExitCodeProcess(Process.hProcess, &Code);
        CloseHandle(Process.hProcess);
        // A child that crashed or hung left its scratch folder behind.
        RemoveFolder(WorkFolderOf(Process.dwProcessId));
        if (Shared->Complete)
            break;
        const int64_t Failed = Shared->Current;
        if (!Shared->Ready) {
            // Ended before its first case: the seeds could not be made.
            if (++FruitlessStarts == 3)
                return std::fprintf(stderr, "%s: the child ends before its first case (exit code %lu)\n",
                                    F.Name.c_str(), Code),
                       2;
            continue;
        }
        FruitlessStarts = 0;
        const TOutcome Outcome = Hung ? TOutcome::Hang : TOutcome::Crash;
        ++Shared->Counts[int(Outcome)];
        char Text[160];
        if (Hung)
            std::snprintf(Text, sizeof Text, "no end after %d s", O.HangSeconds);
        else
            std::snprintf(Text, sizeof Text, "the process ended (exit code %lu, exception 0x%08lX)",
                          (unsigned long)Code, (unsigned long)Shared->CrashCode);
        Note(O, F, Failed, Outcome, Text, std::string(Shared->Case, size_t(Shared->CaseSize)));
        Next = std::max<int64_t>(Failed + 1, int64_t(Shared->Finished));
    }
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    int64_t Bad = 0;
    for (int I = 2; I < OutcomeCount; ++I)
        Bad += Shared->Counts[I];
    if (O.From)
        std::printf("%s: %lld cases (%lld to %lld, seed %llu) in %.1f s, %d process start(s)\n", F.Name.c_str(),
                    (long long)(O.Count - O.From), (long long)O.From, (long long)O.Count - 1,
                    (unsigned long long)O.Seed, Seconds, Starts);
    else
        std::printf("%s: %lld cases (seed %llu) in %.1f s, %d process start(s)\n", F.Name.c_str(), (long long)O.Count,
                    (unsigned long long)O.Seed, Seconds, Starts);
    std::printf("  %lld clean failures, %lld successes checked\n", (long long)Shared->Counts[0],
                (long long)Shared->Counts[1]);
    std::printf("  %lld crash / %lld hang / %lld outside / %lld oversize / %lld wrong output / %lld foreign exception "
                "/ %lld huge memory\n",
                (long long)Shared->Counts[int(TOutcome::Crash)], (long long)Shared->Counts[int(TOutcome::Hang)],
                (long long)Shared->Counts[int(TOutcome::Outside)], (long long)Shared->Counts[int(TOutcome::Oversize)],
                (long long)Shared->Counts[int(TOutcome::WrongOutput)],
                (long long)Shared->Counts[int(TOutcome::Foreign)],
                (long long)Shared->Counts[int(TOutcome::HugeMemory)]);
    std::printf("  peak working set %.1f MB, peak commit %.1f MB (largest allocation allowed %zu MB)\n",
                double(Shared->PeakWorkingSet) / 1048576.0, double(Shared->PeakCommit) / 1048576.0,
                AllocationBound >> 20);
    return Bad == 0 ? 0 : 1;
}

int RunReplay(const std::string& Input, const TFamily& F)
{
    std::string Message;
    const TOutcome Outcome = RunOne(F, Input, Message);
    std::printf("%s: %s: %s\n", F.Name.c_str(), OutcomeName(Outcome), Message.c_str());
    return Good(Outcome) ? 0 : 1;
}

bool Parse(int argc, char** argv, TOptions& O)
{
    for (int I = 1; I < argc; ++I) {
        const std::string A = argv[I];
        const bool HasValue = I + 1 < argc;
        if (A == "--count" && HasValue)
            O.Count = std::atoll(argv[++I]);
        else if (A == "--seed" && HasValue)
            O.Seed = std::strtoull(argv[++I], nullptr, 10);
        else if (A == "--out" && HasValue)
            O.Out = argv[++I];
        else if (A == "--replay" && HasValue)
            O.Replay = argv[++I];
        else if (A == "--case" && HasValue)
            O.Case = std::atoll(argv[++I]);
        else if (A == "--child" && HasValue)
            O.ChildMap = argv[++I];
        else if (A == "--hang-seconds" && HasValue)
            O.HangSeconds = std::atoi(argv[++I]);
        else if (A == "--from" && HasValue)
            O.From = std::atoll(argv[++I]);
        else
            return false;
    }
    return O.Count > 0 && O.From >= 0 && O.From < O.Count;
}

std::string WorkRoot;

std::string WorkFolderOf(DWORD Process)
{
    char Temp[MAX_PATH];
    GetTempPathA(MAX_PATH, Temp);
    return std::string(Temp) + "wfz" + std::to_string(Process);
}

void RemoveFolder(const std::string& Folder)
{
    EmptyFolder(Folder);
    RemoveDirectoryA(Folder.c_str());
}

} // namespace

const char* OutcomeName(TOutcome Outcome) { return OutcomeNames[int(Outcome)]; }

uint64_t TRandom::Next()
{
    uint64_t Z = (FState += 0x9E3779B97F4A7C15ull);
    Z = (Z ^ (Z >> 30)) * 0xBF58476D1CE4E5B9ull;
    Z = (Z ^ (Z >> 27)) * 0x94D049BB133111EBull;
    return Z ^ (Z >> 31);
}

const std::vector<std::string>& HostileTexts()
{
    static const std::vector<std::string> Texts = {"..\\",
                                                   "..\\..\\..\\x.dll",
                                                   "../../x",
                                                   "C:\\Windows\\x.exe",
                                                   "\\\\server\\share\\x",
                                                   "CON",
                                                   "nul.txt",
                                                   "COM1",
                                                   "LPT9 .log",
                                                   "AUX.",
                                                   "a:b",
                                                   "x::$DATA",
                                                   ".",
                                                   "..",
                                                   " ",
                                                   "",
                                                   "%s%s%s%n",
                                                   "%d",
                                                   "\"",
                                                   "*?<>|",
                                                   "\t\r\n",
                                                   std::string(1, '\0'),
                                                   "\xC3\xA9\xFF\xFE",
                                                   std::string(300, 'A'),
                                                   std::string(5000, 'Z'),
                                                   "-1",
                                                   "2147483648",
                                                   "99999999999",
                                                   "0x7FFFFFFF",
                                                   "=",
                                                   ";",
                                                   ",",
                                                   "'",
                                                   "#39",
                                                   "end"};
    return Texts;
}

std::string Mutate(const TSeed& Seed, TRandom& R)
{
    std::string B = Seed.Bytes;
    static const int32_t Numbers[] = {0,         1,          -1,          2,   255, 256, 65535, 65536, 0x7FFFFFFF,
                                      INT32_MIN, 2000000000, -2000000000, 172, 171, 173, 100,   101,   4096};
    const int Edits = 1 + int(R.Below(4));
    for (int E = 0; E < Edits; ++E) {
        const size_t Size = B.size();
        switch (R.Below(Seed.Text ? 9 : 8)) {
        case 0: // a bit flip
            if (Size)
                B[R.Below(Size)] ^= char(1u << R.Below(8));
            break;
        case 1: { // an interesting byte
            static const unsigned char Bytes[] = {0, 1, 0x7F, 0x80, 0xFF, '\\', '/', ':', '.', '\r', '\n', '\''};
            if (Size)
                B[R.Below(Size)] = char(Bytes[R.Below(sizeof Bytes)]);
            break;
        }
        case 2: { // an interesting number in a field, or anywhere
            int32_t V = Numbers[R.Below(std::size(Numbers))];
            if (R.OneIn(4))
                V = int32_t(Size) + int32_t(R.Below(5)) - 2;
            size_t At = !Seed.Int32Fields.empty() && !R.OneIn(4) ? Seed.Int32Fields[R.Below(Seed.Int32Fields.size())]
                                                                 : R.Below(Size);
            if (At + 4 <= Size)
                std::memcpy(&B[At], &V, 4);
            break;
        }
        case 3: { // truncation, mostly at a boundary
            size_t At = !Seed.Boundaries.empty() && !R.OneIn(3) ? Seed.Boundaries[R.Below(Seed.Boundaries.size())]
                                                                : R.Below(Size + 1);
            if (R.OneIn(2) && At > 0)
                At += R.Below(3) - 1; // one either side
            if (At < Size)
                B.resize(At);
            break;
        }
        case 4: { // a span cut out
            if (Size < 2)
                break;
            const size_t At = R.Below(Size), N = 1 + R.Below(std::min<size_t>(Size - At, 512));
            B.erase(At, N);
            break;
        }
        case 5: { // a span copied elsewhere
            if (Size < 2)
                break;
            const size_t From = R.Below(Size), N = 1 + R.Below(std::min<size_t>(Size - From, 512));
            const std::string Span = B.substr(From, N);
            B.insert(R.Below(Size + 1), Span);
            break;
        }
        case 6:
        case 7: { // a hostile text in a text field (or over any bytes)
            const std::string& T = HostileTexts()[R.Below(HostileTexts().size())];
            if (!Seed.TextFields.empty() && !R.OneIn(4)) {
                const TSeed::TText F = Seed.TextFields[R.Below(Seed.TextFields.size())];
                if (F.Offset > Size)
                    break;
                if (F.Width == 0) {
                    B.insert(F.Offset, T);
                } else {
                    // A fixed field with its length byte in front of it.
                    const size_t N = std::min(T.size(), F.Width);
                    if (F.Offset + F.Width <= Size) {
                        std::memcpy(&B[F.Offset], T.data(), N);
                        if (F.Offset > 0 && !R.OneIn(4))
                            B[F.Offset - 1] = char(R.OneIn(3) ? 255 : N);
                    }
                }
            } else if (Size) {
                B.insert(R.Below(Size + 1), T);
            }
            break;
        }
        case 8: { // text formats: a line doubled, dropped or cut
            const size_t At = R.Below(Size + 1);
            const size_t Start = B.rfind('\n', At ? At - 1 : 0);
            const size_t LineStart = Start == std::string::npos ? 0 : Start + 1;
            size_t End = B.find('\n', LineStart);
            End = End == std::string::npos ? Size : End + 1;
            const std::string Line = B.substr(LineStart, End - LineStart);
            if (R.OneIn(2))
                B.insert(LineStart, Line);
            else
                B.erase(LineStart, End - LineStart);
            break;
        }
        }
    }
    return B;
}

const std::string& WorkFolder()
{
    if (WorkRoot.empty()) {
        WorkRoot = WorkFolderOf(GetCurrentProcessId());
        CreateDirectoryA(WorkRoot.c_str(), nullptr);
    }
    return WorkRoot;
}

std::vector<std::string> FolderNames(const std::string& Folder)
{
    std::vector<std::string> Names;
    WIN32_FIND_DATAA Data;
    HANDLE Find = FindFirstFileA((Folder + "\\*").c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE)
        return Names;
    do {
        const std::string Name = Data.cFileName;
        if (Name != "." && Name != "..")
            Names.push_back(Name);
    } while (FindNextFileA(Find, &Data));
    FindClose(Find);
    return Names;
}

void EmptyFolder(const std::string& Folder)
{
    for (const std::string& Name : FolderNames(Folder)) {
        const std::string Path = Folder + "\\" + Name;
        const DWORD Attributes = GetFileAttributesA(Path.c_str());
        if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            EmptyFolder(Path);
            RemoveDirectoryA(Path.c_str());
        } else {
            SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(Path.c_str());
        }
    }
}

void WriteWholeFile(const std::string& Path, const std::string& Bytes)
{
    std::ofstream F(Path, std::ios::binary | std::ios::trunc);
    F.write(Bytes.data(), std::streamsize(Bytes.size()));
    if (!F)
        throw std::runtime_error("cannot write " + Path);
}

std::string ReadWholeFile(const std::string& Path)
{
    std::ifstream F(Path, std::ios::binary);
    if (!F)
        throw std::runtime_error("cannot read " + Path);
    std::ostringstream S;
    S << F.rdbuf();
    return S.str();
}

int Main(int argc, char** argv, const TFamily& Family)
{
    TOptions O;
    if (!Parse(argc, argv, O)) {
        std::fprintf(
            stderr,
            "usage: %s [--count N] [--seed S] [--out DIR] [--hang-seconds N] [--from I] | --replay FILE | --case I "
            "[--seed S]\n",
            Family.Name.c_str());
        return 2;
    }
    if (O.Out.empty())
        O.Out = Folder(ProgramPath()) + "\\cases";
    struct TRemoveWork {
        ~TRemoveWork()
        {
            if (!WorkRoot.empty())
                RemoveFolder(WorkRoot);
        }
    } RemoveWork;
    try {
        if (!O.Replay.empty())
            return RunReplay(ReadWholeFile(O.Replay), Family);
        if (O.Case >= 0) {
            const std::vector<TSeed> Seeds = Family.MakeSeeds();
            TRandom Random(Mix(O.Seed, uint64_t(O.Case)));
            const TSeed& Seed = Seeds[Random.Below(Seeds.size())];
            return RunReplay(Family.MutateCase ? Family.MutateCase(Seed, Random) : Mutate(Seed, Random), Family);
        }
        if (!O.ChildMap.empty())
            return RunChild(O, Family);
        return RunParent(O, Family);
    } catch (const std::exception& E) {
        std::fprintf(stderr, "%s: %s\n", Family.Name.c_str(), E.what());
        return 2;
    }
}

} // namespace fuzz
