// Scratch folders and file helpers shared by the archive tests.
#pragma once

#include "framework/fw_SysUtils.h"
#include "framework/fw_Windows.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace archive_test {

// A fresh folder under the temporary folder, removed with its content.
class TScratch {
public:
    TScratch()
    {
        char Temp[MAX_PATH];
        GetTempPathA(MAX_PATH, Temp);
        static int Serial = 0;
        FDir = std::string(Temp) + "wdrl_archive_" + std::to_string(GetCurrentProcessId()) + "_" +
               std::to_string(GetTickCount64()) + "_" + std::to_string(++Serial);
        CreateDirectoryA(FDir.c_str(), nullptr);
    }
    ~TScratch() { RemoveTree(FDir); }
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;

    const std::string& Dir() const { return FDir; }
    std::string Path(const std::string& Name) const { return FDir + "\\" + Name; }

    static void RemoveTree(const std::string& Dir)
    {
        WIN32_FIND_DATAA Data;
        HANDLE Find = FindFirstFileA((Dir + "\\*").c_str(), &Data);
        if (Find != INVALID_HANDLE_VALUE) {
            do {
                std::string Name = Data.cFileName;
                if (Name == "." || Name == "..")
                    continue;
                std::string Full = Dir + "\\" + Name;
                if (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(Full);
                else {
                    SetFileAttributesA(Full.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileA(Full.c_str());
                }
            } while (FindNextFileA(Find, &Data));
            FindClose(Find);
        }
        RemoveDirectoryA(Dir.c_str());
    }

private:
    std::string FDir;
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

inline void SetFileDate(const std::string& Name, int Year, int Month, int Day)
{
    HANDLE H = CreateFileA(Name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    fw_SysUtils::FileSetDate(H, fw_SysUtils::DateTimeToFileDate(fw_SysUtils::EncodeDate(Year, Month, Day) +
                                                                fw_SysUtils::EncodeTime(12, 0, 0, 0)));
    CloseHandle(H);
}

inline std::string Fixture(const std::string& Name)
{
    return std::string(FIXTURE_DIR) + "\\" + Name;
}

} // namespace archive_test
