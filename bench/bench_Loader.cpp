// What setup.exe (WendrelLoadProgram.exe) adds to starting the setup program:
// a stub payload started through a self-extracting setup.exe against the
// same stub started directly, and the loader's unpacking of a large setup.1
// against raw zlib inflating the same records into files. The loader is
// timed as the user meets it, a whole process: its inflate is the run on a
// large setup.1 less the run on one holding the stub alone.
//   wine bench/bench_Loader.exe [scratch folder] [rounds] [loader.exe] [stub.exe]
#include "BenchSupport.h"
#include "archive/archive_FileHeaders.h"
#include "archive/cmp_TWdrlCompress.h"
#include "framework/fw_Streams.h"
#include "framework/fw_SysUtils.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace bench_support;

namespace {

// A self-extracting setup.exe: the loader, setup.1 and the 56-byte record
// (no files.1), positions little-endian, the ends the last bytes.
void MakeSelfExtracting(const std::string& Out, const std::string& Loader, const std::string& Setup1)
{
    std::vector<uint8_t> Exe = ReadAll(Loader), Archive = ReadAll(Setup1);
    if (Exe.empty() || Archive.empty())
        Fail("cannot read " + Loader + " or " + Setup1);
    uint8_t Record[56] = {};
    std::memcpy(Record, "SELFEXTRACTING", 15);
    const int32_t Fields[4] = {int32_t(Exe.size()), int32_t(Exe.size() + Archive.size() - 1), 0, 0};
    std::memcpy(Record + 16, Fields, sizeof Fields);
    Exe.insert(Exe.end(), Archive.begin(), Archive.end());
    Exe.insert(Exe.end(), Record, Record + sizeof Record);
    WriteAll(Out, Exe);
}

void Pack(const std::string& Archive, const std::vector<std::string>& Files)
{
    cmp_TWdrlCompress::TWdrlCompress C(nullptr);
    C.SetCompressedFile(Archive);
    for (const auto& F : Files)
        C.FilesToProcess().Add(F);
    C.Compress(cmp_TWdrlCompress::lzcOverwrite, 0);
}

// Starts a command line, waits; answers the milliseconds. The exit code must be 0.
double RunMs(std::string CommandLine)
{
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Info{};
    const auto Start = Clock::now();
    if (!CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &Info))
        Fail("cannot start " + CommandLine);
    THandle Process(Info.hProcess), Thread(Info.hThread);
    WaitForSingleObject(Process.Get(), INFINITE);
    const double Ms = Seconds(Start) * 1000;
    DWORD Code = 1;
    GetExitCodeProcess(Process.Get(), &Code);
    if (Code != 0)
        Fail(CommandLine + " ended with exit code " + std::to_string(Code));
    return Ms;
}

// Every record of an archive inflated into a new file of Dir with raw zlib,
// the same fixed buffers as the loader, and the files removed again: the
// loader removes its files too.
double RawInflateMs(const std::string& Archive, const std::string& Dir)
{
    const auto Start = Clock::now();
    fw_Streams::TFileStream In(Archive, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyNone);
    archive_FileHeaders::TFileHeaders Table;
    Table.ReadTable(In, 0);
    std::vector<uint8_t> Input(65536), Output(65536);
    for (int I = 0; I < Table.Count(); ++I) {
        const auto& R = Table.FileHeaders(I)->Record;
        THandle Out = CreateForWriting(Dir + "\\raw" + std::to_string(I));
        z_stream Z{};
        inflateInit(&Z);
        In.Seek(R.DataStart, fw_Streams::TSeekOrigin::soBeginning);
        int64_t Left = int64_t(R.EndPos) - R.DataStart + 1;
        int Result = Z_OK;
        while (Result != Z_STREAM_END) {
            if (Z.avail_in == 0) {
                const size_t Got = In.Read(Input.data(), size_t(std::min<int64_t>(Left, 65536)));
                if (Got == 0)
                    Fail("raw zlib: short data");
                Left -= int64_t(Got);
                Z.next_in = Input.data();
                Z.avail_in = uInt(Got);
            }
            Z.next_out = Output.data();
            Z.avail_out = uInt(Output.size());
            Result = inflate(&Z, Z_NO_FLUSH);
            if (Result != Z_OK && Result != Z_STREAM_END)
                Fail("raw zlib: inflate failed");
            DWORD Put = 0;
            WriteFile(Out.Get(), Output.data(), DWORD(Output.size() - Z.avail_out), &Put, nullptr);
        }
        inflateEnd(&Z);
    }
    for (int I = 0; I < Table.Count(); ++I)
        DeleteFileA((Dir + "\\raw" + std::to_string(I)).c_str());
    return Seconds(Start) * 1000;
}

double Median(std::vector<double> V)
{
    std::sort(V.begin(), V.end());
    return V.empty() ? 0 : V[V.size() / 2];
}

template <class F>
double MedianOf(int Rounds, F&& Fn)
{
    Fn(); // the first start of anything is slow under Wine: not counted
    std::vector<double> Ms;
    for (int I = 0; I < Rounds; ++I)
        Ms.push_back(Fn());
    return Median(Ms);
}

} // namespace

int main(int argc, char** argv)
{
    char Temp[MAX_PATH];
    GetTempPathA(MAX_PATH, Temp);
    const std::string Root = (argc > 1 ? std::string(argv[1]) : std::string(Temp) + "wdrl_loader_bench") + "_" +
                             std::to_string(GetCurrentProcessId());
    const int Rounds = std::max(1, argc > 2 ? std::atoi(argv[2]) : 10);
    const std::string Loader = argc > 3 ? argv[3] : LOADER_EXE;
    const std::string Stub = argc > 4 ? argv[4] : STUB_EXE;
    constexpr size_t PayloadSize = 48u << 20;

    for (const char* Dir : {"\\src", "\\small", "\\big", "\\raw"})
        fw_SysUtils::ForceDirectories(Root + Dir);
    const std::string Program = Root + "\\src\\Teskor_Install.exe", Data = Root + "\\src\\data.bin";
    if (!CopyFileA(Stub.c_str(), Program.c_str(), FALSE))
        Fail("cannot copy " + Stub);
    WriteAll(Data, Mixed(PayloadSize, 7));
    Pack(Root + "\\small\\setup.1", {Program});
    Pack(Root + "\\big\\setup.1", {Program, Data});
    MakeSelfExtracting(Root + "\\small\\setup.exe", Loader, Root + "\\small\\setup.1");
    MakeSelfExtracting(Root + "\\big\\setup.exe", Loader, Root + "\\big\\setup.1");
    std::printf("loader %s (%zu bytes), stub %s\n", Loader.c_str(), ReadAll(Loader).size(), Stub.c_str());
    std::printf("-- medians of %d rounds --\n", Rounds);

    // The stub gets what the loader would give it.
    const double Direct = MedianOf(Rounds, [&] { return RunMs("\"" + Program + "\" \"-s" + Root + "\\small\" -c"); });
    const double Small = MedianOf(Rounds, [&] { return RunMs("\"" + Root + "\\small\\setup.exe\""); });
    std::printf("start-up: stub direct %.1f ms, through setup.exe %.1f ms, ratio %.2f\n", Direct, Small,
                Small / Direct);

    const double Big = MedianOf(Rounds, [&] { return RunMs("\"" + Root + "\\big\\setup.exe\""); });
    const double Raw = MedianOf(Rounds, [&] { return RawInflateMs(Root + "\\big\\setup.1", Root + "\\raw"); });
    const double RawSmall = MedianOf(Rounds, [&] { return RawInflateMs(Root + "\\small\\setup.1", Root + "\\raw"); });
    const double LoaderInflate = Big - Small, RawInflate = Raw - RawSmall;
    std::printf("setup.1 of %zu MB mixed data (%zu MB packed):\n", PayloadSize >> 20,
                ReadAll(Root + "\\big\\setup.1").size() >> 20);
    std::printf("  loader run %.1f ms, raw zlib run %.1f ms (both with the stub)\n", Big, Raw);
    std::printf("inflate: loader %.1f ms, raw zlib %.1f ms, ratio %.2f\n", LoaderInflate, RawInflate,
                LoaderInflate / RawInflate);
    RemoveTree(Root);
    return 0;
}
