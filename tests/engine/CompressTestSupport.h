// What the tests of building share: file contents, the compress order file
// kept as it was, and an archive read back as the installer reads it.
#pragma once

#include "EngineTestSupport.h"

#include "archive/cmp_TWdrlCompress.h"
#include "framework/fw_SysUtils.h"
#include "routines/routines_API.h"

#include <string>

namespace engine_tests {

using cmp_TWdrlCompress::TWdrlCompress;
using test_support::TScratchDir;

inline std::string ReadAll(const std::string& Path) { return test_support::ReadBytes(Path); }

inline void WriteAll(const std::string& Path, const std::string& Bytes)
{
    ASSERT_TRUE(fw_SysUtils::ForceDirectories(fw_SysUtils::ExtractFileDir(Path)));
    test_support::WriteBytes(Path, Bytes);
}

// Bytes that compress somewhat, different for each seed.
inline std::string Content(size_t Size, int Seed)
{
    std::string Bytes(Size, '\0');
    uint32_t X = 2463534242u + uint32_t(Seed);
    for (size_t I = 0; I < Size; ++I) {
        X ^= X << 13;
        X ^= X >> 17;
        X ^= X << 5;
        Bytes[I] = char(I % 3 ? 'a' + X % 7 : X);
    }
    return Bytes;
}

// The compress order file in the Windows folder, put back as it was.
class TKeptOrderFile {
public:
    TKeptOrderFile() : FPath(routines_API::WindowsDirectory() + CompressOrderFile), FOld(ReadAll(FPath)) {}
    ~TKeptOrderFile()
    {
        if (FOld == "<missing>")
            DeleteFileA(FPath.c_str());
        else
            WriteAll(FPath, FOld);
    }
    // The lines appended since the start.
    std::string Added() const
    {
        std::string Now = ReadAll(FPath);
        size_t Start = FOld == "<missing>" ? 0 : FOld.size();
        std::string Tail = Now.size() > Start ? Now.substr(Start) : "";
        return Tail.rfind("\r\n", 0) == 0 && Start > 0 && FOld.back() != '\n' ? Tail.substr(2) : Tail;
    }

private:
    std::string FPath;
    std::string FOld;
};

// An archive read back as the installer reads it.
class TArchive {
public:
    explicit TArchive(const std::string& Path) { FEngine.SetCompressedFile(Path); }
    int Count() { return FEngine.FileCount(); }
    // The key of the record that carries UniqueID, "" when none does.
    std::string KeyOf(int UniqueID)
    {
        const int I = FEngine.IndexOfUniqueID(UniqueID);
        if (I < 0)
            return "";
        archive_FileHeaders::TlzhFileStats Stats;
        FEngine.GetFileStats(I, Stats);
        return Stats.FileName;
    }
    std::string Extracted(const TCustomInstallFile& File)
    {
        TScratchDir Into("compress-back");
        FEngine.ExtractDirectory = Into.Path();
        FEngine.FilesToProcess().Add(File.SourcePath());
        FEngine.Extract();
        return ReadAll(Into / File.FileName());
    }

private:
    TWdrlCompress FEngine{nullptr};
};

} // namespace engine_tests
