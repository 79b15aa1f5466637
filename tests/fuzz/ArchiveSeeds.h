// Valid archives made by the archive engine itself, with what their writer
// knows of their layout, as seeds for the damaged ones.
#pragma once

#include "ArchiveCheck.h"
#include "FuzzHarness.h"

#include "archive/cmp_TWdrlCompress.h"
#include "framework/fw_SysUtils.h"

#include <string>
#include <vector>

namespace fuzz_archive {

struct TSource {
    std::string Name;
    std::string Bytes;
};

// Deterministic bytes: words when Text, else noise that does not compress.
inline std::string Payload(size_t Size, uint32_t Seed, bool Text)
{
    static const char* const Words[] = {"Quorvane ", "Caldrevin ", "Teskor ", "\r\n", "1.0.2.9 "};
    std::string B;
    uint32_t X = Seed * 2654435761u + 1;
    while (B.size() < Size) {
        X = X * 1103515245u + 12345u;
        if (Text)
            B.append(Words[(X >> 16) % 5]);
        else
            B.push_back(char(X >> 24));
    }
    B.resize(Size);
    return B;
}

// The sources written with one fixed date, so that every process makes the
// same archive; Folder is emptied first.
inline std::string MakeArchive(const std::string& Folder, const std::vector<TSource>& Sources)
{
    CreateDirectoryA(Folder.c_str(), nullptr);
    fuzz::EmptyFolder(Folder);
    cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    Engine.SetCompressedFile(Folder + "\\made.1");
    int Id = 0;
    for (const TSource& S : Sources) {
        const std::string Path = Folder + "\\" + S.Name;
        fw_SysUtils::ForceDirectories(fw_SysUtils::ExtractFileDir(Path));
        fuzz::WriteWholeFile(Path, S.Bytes);
        HANDLE H = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const FILETIME When{0xD53E8000u, 0x01D9A000u};
        SetFileTime(H, nullptr, nullptr, &When);
        CloseHandle(H);
        fw_Classes::TStringList List;
        List.Add(Path);
        Engine.SetFilesToProcess(List);
        Engine.Compress(Id == 0 ? cmp_TWdrlCompress::lzcOverwrite : cmp_TWdrlCompress::lzcOnlyAdd, Id);
        ++Id;
    }
    return fuzz::ReadWholeFile(Folder + "\\made.1");
}

// The layout of the single-file archive at Offset in Seed.Bytes.
inline void DescribeArchive(fuzz::TSeed& Seed, size_t Offset)
{
    Seed.Boundaries.push_back(Offset);
    Seed.Boundaries.push_back(Offset + 4);
    Seed.Boundaries.push_back(Offset + 5);
    Seed.Int32Fields.push_back(Offset);
    for (const TRecord& R : ReadRecords(Seed.Bytes, Offset)) {
        for (size_t Field : {16, 124, 128, 132, 136, 144})
            Seed.Int32Fields.push_back(R.At + Field);
        Seed.Boundaries.push_back(R.At);
        Seed.Boundaries.push_back(R.At + 21 + 50);
        Seed.Boundaries.push_back(R.At + RecordSize);
        Seed.Boundaries.push_back(Offset + size_t(R.DataStart) + 2);
        Seed.Boundaries.push_back(Offset + size_t(R.EndPos) - 3);
        Seed.Boundaries.push_back(Offset + size_t(R.EndPos) + 1);
        Seed.TextFields.push_back({R.At + 21, 100});
        Seed.TextFields.push_back({R.At + 149, 20});
    }
}

// Three archives: one small file; several of every kind (empty, noise,
// text over the 64 KB buffer, a name in a folder); many small records.
inline std::vector<std::vector<TSource>> SeedSources()
{
    std::vector<std::vector<TSource>> Sets;
    Sets.push_back({{"readme.txt", Payload(300, 1, true)}});
    Sets.push_back({{"empty.dat", ""},
                    {"Quorvane.exe", Payload(6000, 2, false)},
                    {"help\\guide.txt", Payload(70000, 3, true)},
                    {"one.txt", "1"}});
    std::vector<TSource> Many;
    for (int I = 0; I < 12; ++I)
        Many.push_back({"f" + std::to_string(I) + ".txt", Payload(size_t(40 + 90 * I), uint32_t(10 + I), I % 3 != 0)});
    Sets.push_back(Many);
    return Sets;
}

inline std::vector<fuzz::TSeed> ArchiveSeeds()
{
    std::vector<fuzz::TSeed> Seeds;
    int N = 0;
    for (const auto& Sources : SeedSources()) {
        fuzz::TSeed Seed;
        Seed.Bytes = MakeArchive(fuzz::WorkFolder() + "\\seed" + std::to_string(N++), Sources);
        DescribeArchive(Seed, 0);
        Seeds.push_back(Seed);
    }
    return Seeds;
}

} // namespace fuzz_archive
