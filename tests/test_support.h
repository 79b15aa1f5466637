// Scratch state that a test owns and removes again.
#pragma once

#include "framework/fw_Windows.h"

#include <string>

namespace test_support {

// A new empty folder in the temporary folder, removed with its contents.
class TScratchDir {
public:
    explicit TScratchDir(const std::string& Tag)
    {
        char Tmp[MAX_PATH];
        GetTempPathA(sizeof Tmp, Tmp);
        static int Counter = 0;
        FPath = std::string(Tmp) + "wdrl-" + Tag + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++Counter);
        RemoveTree(FPath);
        CreateDirectoryA(FPath.c_str(), nullptr);
    }
    ~TScratchDir() { RemoveTree(FPath); }
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;

    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& Name) const { return FPath + "\\" + Name; }

    static void RemoveTree(const std::string& Dir)
    {
        WIN32_FIND_DATAA FD;
        HANDLE H = FindFirstFileA((Dir + "\\*").c_str(), &FD);
        if (H != INVALID_HANDLE_VALUE) {
            do {
                std::string N = FD.cFileName;
                if (N == "." || N == "..")
                    continue;
                std::string P = Dir + "\\" + N;
                if (FD.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(P);
                else {
                    SetFileAttributesA(P.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileA(P.c_str());
                }
            } while (FindNextFileA(H, &FD));
            FindClose(H);
        }
        RemoveDirectoryA(Dir.c_str());
    }

private:
    std::string FPath;
};

// A registry key below HKEY_CURRENT_USER\Software\WendrelTests, unique to the
// process and the test, deleted with everything below it.
class TScratchKey {
public:
    explicit TScratchKey(const std::string& Tag)
        : FPath("Software\\WendrelTests\\" + Tag + "-" + std::to_string(GetCurrentProcessId()))
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, FPath.c_str());
    }
    ~TScratchKey() { RegDeleteTreeA(HKEY_CURRENT_USER, FPath.c_str()); }
    TScratchKey(const TScratchKey&) = delete;
    TScratchKey& operator=(const TScratchKey&) = delete;
    // Without a leading backslash.
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

} // namespace test_support
