// Scratch folders and file helpers shared by the archive tests.
#pragma once

#include "FloppyCompress.h"
#include "archive/cmp_TWdrlCompress.h"
#include "framework/fw_Handles.h"
#include "framework/fw_Streams.h"
#include "framework/fw_SysUtils.h"
#include "framework/fw_Windows.h"
#include "test_support.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace archive_test {

// What every damaged archive ends with, as the user reads it.
inline const char* const Corrupt =
    "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";

// A fresh folder under the temporary folder, removed with its content.
class TScratch : public test_support::TScratchDir {
public:
    TScratch() : TScratchDir("archive") {}
    const std::string& Dir() const { return TScratchDir::Path(); }
    std::string Path(const std::string& Name) const { return *this / Name; }
};

inline std::vector<uint8_t> ReadAll(const std::string& Name)
{
    std::ifstream F(Name, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(F)), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& Name, const std::vector<uint8_t>& Bytes)
{
    std::ofstream F(Name, std::ios::binary | std::ios::trunc);
    F.write(reinterpret_cast<const char*>(Bytes.data()), std::streamsize(Bytes.size()));
}

// Deterministic bytes of a given compressibility: Text mixes words, else noise.
inline std::vector<uint8_t> Payload(size_t Size, uint32_t Seed, bool Text = true)
{
    static const char* const Words[] = {"Quorvane ", "Caldrevin ", "Teskor ", "Ombo ", "Pellunar ", "\r\n", "1.0.2.9 "};
    std::vector<uint8_t> B;
    B.reserve(Size);
    uint32_t X = Seed * 2654435761u + 1;
    while (B.size() < Size) {
        X = X * 1103515245u + 12345u;
        if (Text) {
            for (const char* W = Words[(X >> 16) % 7]; *W && B.size() < Size; ++W)
                B.push_back(uint8_t(*W));
        } else
            B.push_back(uint8_t(X >> 24));
    }
    return B;
}

inline fw_Handles::THandle OpenForWriting(const std::string& Name)
{
    return fw_Handles::THandle(CreateFileA(Name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
}

// Noon of that day, local time, as the last-write time.
inline void SetFileDate(const std::string& Name, int Year, int Month, int Day)
{
    fw_Handles::THandle H = OpenForWriting(Name);
    ASSERT_TRUE(H) << Name;
    ASSERT_EQ(
        fw_SysUtils::FileSetDate(H.Get(), fw_SysUtils::DateTimeToFileDate(fw_SysUtils::EncodeDate(Year, Month, Day) +
                                                                          fw_SysUtils::EncodeTime(12, 0, 0, 0))),
        0u)
        << Name;
}

// Any time the system holds, also outside the packed date's years (local time).
inline void SetFileTimeLocal(const std::string& Name, int Year, int Month, int Day)
{
    SYSTEMTIME T{};
    T.wYear = WORD(Year);
    T.wMonth = WORD(Month);
    T.wDay = WORD(Day);
    T.wHour = 12;
    FILETIME Local, UTC;
    ASSERT_TRUE(SystemTimeToFileTime(&T, &Local) && LocalFileTimeToFileTime(&Local, &UTC));
    fw_Handles::THandle H = OpenForWriting(Name);
    ASSERT_TRUE(H && SetFileTime(H.Get(), nullptr, nullptr, &UTC)) << Name;
}

inline std::string Fixture(const std::string& Name) { return std::string(FIXTURE_DIR) + "\\" + Name; }

} // namespace archive_test
