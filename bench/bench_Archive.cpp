// Times Compress and Extract of the archive engine against raw zlib at the
// same settings (level 9, window 15, memory level 8) on one deterministic
// payload, and prints MB/s and the ratio ours/raw for both directions.
#include "BenchSupport.h"
#include "archive/cmp_TWdrlCompress.h"
#include "framework/fw_Handles.h"
#include "framework/fw_SysUtils.h"
#include "framework/fw_Windows.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace bench_support;

// Raw zlib reading back what RawCompress wrote.
double RawExtract(const std::string& Archive, const std::vector<TRawEntry>& Entries, const std::string& OutDir)
{
    auto T0 = Clock::now();
    fw_SysUtils::ForceDirectories(OutDir);
    THandle A = OpenForReading(Archive);
    if (!A)
        Fail("cannot open " + Archive);
    std::vector<uint8_t> In(65536), Out(65536);
    for (const auto& E : Entries) {
        LARGE_INTEGER P;
        P.QuadPart = E.Start;
        SetFilePointerEx(A.Get(), P, nullptr, FILE_BEGIN);
        THandle T = CreateForWriting(OutDir + "\\" + E.Name);
        if (!T)
            Fail("cannot create " + E.Name);
        z_stream Z{};
        inflateInit(&Z);
        int64_t Left = E.Length;
        int R = Z_OK;
        DWORD Got = 0, Put = 0;
        while (R != Z_STREAM_END) {
            if (Z.avail_in == 0) {
                ReadFile(A.Get(), In.data(), DWORD(std::min<int64_t>(Left, int64_t(In.size()))), &Got, nullptr);
                Left -= Got;
                Z.next_in = In.data();
                Z.avail_in = Got;
            }
            Z.next_out = Out.data();
            Z.avail_out = uInt(Out.size());
            R = inflate(&Z, Z_NO_FLUSH);
            if (R < 0 && R != Z_BUF_ERROR)
                Fail("raw inflate failed");
            WriteFile(T.Get(), Out.data(), DWORD(Out.size() - Z.avail_out), &Put, nullptr);
        }
        inflateEnd(&Z);
    }
    return Seconds(T0);
}

// ---- our engine ------------------------------------------------------------------------------

struct TCounters {
    int64_t Statuses = 0;
};

double OurCompress(const TMixedSet& S, const std::string& Out, TCounters& Count)
{
    cmp_TWdrlCompress::TWdrlCompress C(nullptr);
    C.OnStatus = [&](cmp_TWdrlCompress::TWdrlCompress*, const cmp_TWdrlCompress::TlzhFileStats&) { ++Count.Statuses; };
    auto T0 = Clock::now();
    C.SetCompressedFile(Out);
    for (const auto& F : S.Files)
        C.FilesToProcess().Add(S.Dir + "\\" + F);
    C.Compress(cmp_TWdrlCompress::lzcOverwrite, 0);
    return Seconds(T0);
}

double OurExtract(const TMixedSet& S, const std::string& Archive, const std::string& OutDir, TCounters& Count)
{
    cmp_TWdrlCompress::TWdrlCompress C(nullptr);
    C.OnStatus = [&](cmp_TWdrlCompress::TWdrlCompress*, const cmp_TWdrlCompress::TlzhFileStats&) { ++Count.Statuses; };
    auto T0 = Clock::now();
    C.SetCompressedFile(Archive);
    C.ExtractDirectory = OutDir;
    for (const auto& F : S.Files)
        C.FilesToProcess().Add(S.Dir + "\\" + F);
    C.Extract();
    return Seconds(T0);
}

bool SameFiles(const TMixedSet& S, const std::string& OutDir)
{
    for (const auto& F : S.Files) {
        std::string A = S.Dir + "\\" + F, B = OutDir + "\\" + F;
        if (fw_SysUtils::FileSizeByName(A) != fw_SysUtils::FileSizeByName(B))
            return false;
    }
    return true;
}

void Measure(const TMixedSet& S, const std::string& Work, int Rounds)
{
    double BestOurC = 1e9, BestRawC = 1e9, BestOurX = 1e9, BestRawX = 1e9;
    std::vector<TRawEntry> Entries;
    TCounters AddCount, ExtractCount;
    for (int R = 0; R < Rounds; ++R) {
        // Fresh names every round: no file is created where thousands were just deleted.
        std::string Tag = S.Name + std::to_string(R);
        BestRawC = std::min(BestRawC, RawCompress(S, Work + "\\raw_" + Tag + ".z", Entries));
        AddCount = {};
        BestOurC = std::min(BestOurC, OurCompress(S, Work + "\\our_" + Tag + ".1", AddCount));
        // Alternate who goes first: the second of two runs that each create
        // thousands of files pays for the first one's.
        auto Raw = [&] {
            BestRawX = std::min(BestRawX, RawExtract(Work + "\\raw_" + Tag + ".z", Entries, Work + "\\rx_" + Tag));
        };
        auto Our = [&] {
            ExtractCount = {};
            BestOurX =
                std::min(BestOurX, OurExtract(S, Work + "\\our_" + Tag + ".1", Work + "\\ox_" + Tag, ExtractCount));
        };
        if (R % 2 == 0) {
            Raw();
            Our();
        } else {
            Our();
            Raw();
        }
        if (!SameFiles(S, Work + "\\ox_" + Tag) || !SameFiles(S, Work + "\\rx_" + Tag))
            Fail("extracted files differ");
    }
    const double MB = double(S.Bytes) / 1e6;
    const int64_t OurSize = fw_SysUtils::FileSizeByName(Work + "\\our_" + S.Name + "0.1");
    int64_t RawSize = 0;
    for (const auto& E : Entries)
        RawSize += E.Length;
    std::printf("%-6s %5zu files %7.1f MB  archive %6.1f MB (raw streams %6.1f MB)\n", S.Name.c_str(), S.Files.size(),
                MB, double(OurSize) / 1e6, double(RawSize) / 1e6);
    std::printf("  add     ours %7.2f MB/s (%.3f s)  raw %7.2f MB/s (%.3f s)  ours/raw %.3f  [%lld status events]\n",
                MB / BestOurC, BestOurC, MB / BestRawC, BestRawC, BestRawC / BestOurC, (long long)AddCount.Statuses);
    std::printf("  extract ours %7.2f MB/s (%.3f s)  raw %7.2f MB/s (%.3f s)  ours/raw %.3f  [%lld status events]\n",
                MB / BestOurX, BestOurX, MB / BestRawX, BestRawX, BestRawX / BestOurX,
                (long long)ExtractCount.Statuses);
}

// Where the engine's extra time goes: the unit costs of what it does per
// block and per file beyond raw zlib, on this machine.
void Breakdown(const std::string& Work)
{
    auto PerCall = [](int N, auto F) {
        auto T0 = Clock::now();
        for (int I = 0; I < N; ++I)
            F(I);
        return Seconds(T0) / N * 1e6;
    };
    MSG Msg;
    const double Pump = PerCall(5000, [&](int) { PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE); });
    const double Status = PerCall(5000, [&](int) { GetQueueStatus(QS_ALLINPUT); });
    std::vector<uint8_t> Buf(65536, 'x');
    const std::string Name = Work + "\\blocks.tmp";
    THandle H = CreateForWriting(Name);
    if (!H)
        Fail("cannot create " + Name);
    DWORD Put;
    const double Write4K = PerCall(8000, [&](int) { WriteFile(H.Get(), Buf.data(), 4096, &Put, nullptr); });
    const double Write64K = PerCall(500, [&](int) { WriteFile(H.Get(), Buf.data(), 65536, &Put, nullptr); }) / 16;
    const double SetDate = PerCall(2000, [&](int I) { fw_SysUtils::FileSetDate(H.Get(), 0x52A46000 + I); });
    H.Reset();
    const double Exists = PerCall(2000, [&](int) { fw_SysUtils::FileExists(Name); });
    const double Open = PerCall(1000, [&](int) {
        THandle F(CreateFileA(Name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr));
    });
    DeleteFileA(Name.c_str());
    std::printf("unit costs (us): message check %.1f (PeekMessage) / %.1f (GetQueueStatus); 4 KB write %.1f vs "
                "%.1f per 4 KB in 64 KB writes; set file date %.1f; file exists %.1f; open+close %.1f\n",
                Pump, Status, Write4K, Write64K, SetDate, Exists, Open);
}

} // namespace

int main(int argc, char** argv)
{
    char Temp[MAX_PATH];
    GetTempPathA(MAX_PATH, Temp);
    std::string Root = (argc > 1 ? std::string(argv[1]) : std::string(Temp) + "wdrl_bench") + "_" +
                       std::to_string(GetCurrentProcessId());
    const int Rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    fw_SysUtils::ForceDirectories(Root + "\\work");
    std::printf("payload in %s\n", Root.c_str());

    // A few large mixed files, and a few thousand small ones.
    // A third argument "small" or "large" measures only that set.
    const std::string Only = argc > 3 ? argv[3] : "";
    TMixedSet Large = Only == "small" ? TMixedSet{} : MakeMixedSet(Root, "large", 4, 12000000, 20000000, 11);
    TMixedSet Small = Only == "large" ? TMixedSet{} : MakeMixedSet(Root, "small", 3000, 1000, 20000, 22);

    // First touch of memory and of the code paths is slow: warm up once.
    TMixedSet Warm = MakeMixedSet(Root, "warm", 20, 100000, 200000, 33);
    Measure(Warm, Root + "\\work", 1);
    Breakdown(Root + "\\work");
    std::printf("-- measured (best of %d) --\n", Rounds);
    if (!Large.Files.empty())
        Measure(Large, Root + "\\work", Rounds);
    if (!Small.Files.empty())
        Measure(Small, Root + "\\work", Rounds);
    RemoveTree(Root);
    return 0;
}
