// What the benchmarks share: timing, failing loudly, whole files, and the
// mixed content they are made of.
#pragma once

#include "framework/fw_Handles.h"
#include "framework/fw_Windows.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
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
