// What the benchmarks share: timing, failing loudly, whole files, the mixed
// content they are made of, and raw zlib adding the same files.
#pragma once

#include "framework/fw_Handles.h"
#include "framework/fw_SysUtils.h"
#include "framework/fw_Windows.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace bench_support {

using Clock = std::chrono::steady_clock;
using fw_Handles::THandle;

inline double Seconds(Clock::time_point Since) { return std::chrono::duration<double>(Clock::now() - Since).count(); }

[[noreturn]] inline void Fail(const std::string& What)
{
    std::fprintf(stderr, "FAILED: %s\n", What.c_str());
    std::fflush(stdout);
    std::exit(1);
}

inline THandle CreateForWriting(const std::string& Name)
{
    return THandle(CreateFileA(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

inline THandle OpenForReading(const std::string& Name)
{
    return THandle(CreateFileA(Name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

inline void WriteAll(const std::string& Name, const std::vector<uint8_t>& B)
{
    THandle H = CreateForWriting(Name);
    DWORD Put = 0;
    if (!H || !WriteFile(H.Get(), B.data(), DWORD(B.size()), &Put, nullptr) || Put != B.size())
        Fail("cannot write " + Name);
}

inline std::vector<uint8_t> ReadAll(const std::string& Name)
{
    std::vector<uint8_t> B;
    THandle H = OpenForReading(Name);
    if (!H)
        return B;
    LARGE_INTEGER Size{};
    GetFileSizeEx(H.Get(), &Size);
    B.resize(size_t(Size.QuadPart));
    DWORD Got = 0;
    for (size_t Pos = 0; Pos < B.size(); Pos += Got)
        if (!ReadFile(H.Get(), B.data() + Pos, DWORD(std::min<size_t>(B.size() - Pos, 1 << 24)), &Got, nullptr) ||
            Got == 0)
            Fail("cannot read " + Name);
    return B;
}

// The scratch folder of a run: the first argument, else Default in the
// temporary folder; either with the process id appended.
inline std::string ScratchRoot(int argc, char** argv, const char* Default)
{
    char Temp[MAX_PATH];
    GetTempPathA(MAX_PATH, Temp);
    return (argc > 1 ? std::string(argv[1]) : std::string(Temp) + Default) + "_" +
           std::to_string(GetCurrentProcessId());
}

// A file of the prefix that a run changes, put back as it was (or removed)
// when the run ends.
class TKeptFile {
public:
    explicit TKeptFile(std::string Name)
        : FName(std::move(Name)), FHad(fw_SysUtils::FileExists(FName)), FBytes(ReadAll(FName))
    {
    }
    ~TKeptFile()
    {
        if (FHad)
            WriteAll(FName, FBytes);
        else
            DeleteFileA(FName.c_str());
    }
    TKeptFile(const TKeptFile&) = delete;
    TKeptFile& operator=(const TKeptFile&) = delete;

private:
    std::string FName;
    bool FHad;
    std::vector<uint8_t> FBytes;
};

// Mixed content: runs of words (text-like), of structured records (binary
// tables) and of noise (already compressed data), as in a product's files.
inline std::vector<uint8_t> Mixed(size_t Size, uint32_t Seed)
{
    static const char* const Words[] = {"Quorvane ", "Caldrevin ", "Teskor ",  "Ombo ", "Pellunar ",
                                        "\r\n",      "setup ",     "1.0.2.9 ", "file ", "registry "};
    std::vector<uint8_t> B;
    B.reserve(Size);
    uint32_t X = Seed * 2654435761u + 7;
    auto Next = [&] { return X = X * 1103515245u + 12345u; };
    while (B.size() < Size) {
        size_t Run = 512 + (Next() >> 8) % 16384;
        int Kind = int(Next() >> 28) % 3;
        for (size_t I = 0; I < Run && B.size() < Size; ++I) {
            if (Kind == 0) {
                for (const char* W = Words[(Next() >> 16) % 10]; *W && B.size() < Size; ++W)
                    B.push_back(uint8_t(*W));
            } else if (Kind == 1)
                B.push_back(uint8_t((I % 16 < 4) ? (I / 16) & 0xFF : (I % 16 < 8 ? 0 : (Next() >> 29))));
            else
                B.push_back(uint8_t(Next() >> 24));
        }
    }
    return B;
}

// A folder of mixed files of sizes between MinSize and MaxSize, the same for
// the same arguments.
struct TMixedSet {
    std::string Name;
    std::string Dir;
    std::vector<std::string> Files; // names relative to Dir
    int64_t Bytes = 0;
};

inline TMixedSet MakeMixedSet(const std::string& Root, const std::string& Name, int Count, size_t MinSize,
                              size_t MaxSize, uint32_t Seed)
{
    TMixedSet S{Name, Root + "\\" + Name, {}, 0};
    fw_SysUtils::ForceDirectories(S.Dir);
    uint32_t X = Seed;
    for (int I = 0; I < Count; ++I) {
        X = X * 1103515245u + 12345u;
        size_t Size = MinSize + (MaxSize > MinSize ? (X >> 4) % (MaxSize - MinSize) : 0);
        std::string F = "f" + std::to_string(I) + ".bin";
        WriteAll(S.Dir + "\\" + F, Mixed(Size, Seed + uint32_t(I)));
        S.Files.push_back(F);
        S.Bytes += int64_t(Size);
    }
    return S;
}

// ---- raw zlib: the same work without the archive engine -------------------------------

struct TRawEntry {
    std::string Name;
    int64_t Start, Length;
};

// Deflates every file of S at the engine's settings (level 9, window 15,
// memory level 8) into one file Out, stream after stream; answers seconds.
inline double RawCompress(const TMixedSet& S, const std::string& Out, std::vector<TRawEntry>& Entries)
{
    auto T0 = Clock::now();
    Entries.clear();
    THandle A = CreateForWriting(Out);
    if (!A)
        Fail("cannot create " + Out);
    std::vector<uint8_t> In(61440), Buf(65536);
    int64_t Pos = 0;
    for (const auto& F : S.Files) {
        THandle Src = OpenForReading(S.Dir + "\\" + F);
        if (!Src)
            Fail("cannot open " + F);
        z_stream Z{};
        deflateInit2(&Z, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
        int64_t Start = Pos;
        DWORD Got = 0, Put = 0;
        bool Eof = false;
        int R;
        Z.next_out = Buf.data();
        Z.avail_out = uInt(Buf.size());
        do {
            if (Z.avail_in == 0 && !Eof) {
                ReadFile(Src.Get(), In.data(), DWORD(In.size()), &Got, nullptr);
                Eof = Got < In.size();
                Z.next_in = In.data();
                Z.avail_in = Got;
            }
            R = deflate(&Z, Eof && Z.avail_in == 0 ? Z_FINISH : Z_NO_FLUSH);
            if (Z.avail_out == 0 || R == Z_STREAM_END) {
                DWORD N = DWORD(Buf.size() - Z.avail_out);
                WriteFile(A.Get(), Buf.data(), N, &Put, nullptr);
                Pos += N;
                Z.next_out = Buf.data();
                Z.avail_out = uInt(Buf.size());
            }
        } while (R != Z_STREAM_END);
        deflateEnd(&Z);
        Entries.push_back({F, Start, Pos - Start});
    }
    return Seconds(T0);
}

inline void RemoveTree(const std::string& Dir)
{
    {
        // The search ends before the folder itself is removed.
        WIN32_FIND_DATAA D;
        fw_Handles::TFindHandle F(FindFirstFileA((Dir + "\\*").c_str(), &D));
        if (F) {
            do {
                std::string N = D.cFileName;
                if (N == "." || N == "..")
                    continue;
                if (D.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(Dir + "\\" + N);
                else {
                    SetFileAttributesA((Dir + "\\" + N).c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileA((Dir + "\\" + N).c_str());
                }
            } while (FindNextFileA(F.Get(), &D));
        }
    }
    RemoveDirectoryA(Dir.c_str());
}

} // namespace bench_support
