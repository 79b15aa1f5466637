// Scratch state that a test owns and removes again.
#pragma once

#include "framework/fw_Handles.h"
#include "framework/fw_Windows.h"

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>
#include <utility>

namespace test_support {

// A whole file as bytes; "<missing>" when it cannot be opened.
inline std::string ReadBytes(const std::string& Path)
{
    fw_Handles::THandle File(
        CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!File)
        return "<missing>";
    std::string Bytes;
    char Block[65536];
    DWORD Read = 0;
    while (ReadFile(File.Get(), Block, sizeof Block, &Read, nullptr) && Read > 0)
        Bytes.append(Block, Read);
    return Bytes;
}

// Writes Bytes as the whole of Path.
inline void WriteBytes(const std::string& Path, const std::string& Bytes)
{
    fw_Handles::THandle File(CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(File) << Path;
    DWORD Written = 0;
    ASSERT_TRUE(WriteFile(File.Get(), Bytes.data(), DWORD(Bytes.size()), &Written, nullptr));
    ASSERT_EQ(Written, Bytes.size());
}

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
        fw_Handles::TFindHandle H(FindFirstFileA((Dir + "\\*").c_str(), &FD));
        if (H) {
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
            } while (FindNextFileA(H.Get(), &FD));
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

// The message of the exception of class E that Fn raises ("" when it raises
// nothing; another class fails the test).
template <class E, class F>
std::string MessageOf(F&& Fn)
{
    try {
        Fn();
    } catch (const E& Error) {
        return Error.Message();
    }
    return "";
}

// Passes when Fn raises exactly an E (or a descendant) whose message is Text.
// Use as EXPECT_TRUE(Raises<E>([&] { ... }, "text")).
template <class E, class F>
::testing::AssertionResult Raises(F&& Fn, const std::string& Text)
{
    try {
        Fn();
    } catch (const E& Error) {
        if (Error.Message() == Text)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "raised " << typeid(Error).name() << " \"" << Error.Message() << "\", expected \"" << Text << "\"";
    }
    return ::testing::AssertionFailure() << "raised nothing, expected " << typeid(E).name() << " \"" << Text << "\"";
}

// The ErrorCode (the system's reason) of the E that Fn raises; a call that
// raises nothing fails the test and answers 0.
template <class E, class F>
auto ErrorCodeOf(F&& Fn) -> decltype(std::declval<const E&>().ErrorCode)
{
    try {
        Fn();
    } catch (const E& Error) {
        return Error.ErrorCode;
    }
    ADD_FAILURE() << "raised nothing, expected " << typeid(E).name();
    return 0;
}

// Sets a global hook for the rest of the scope and restores it on every path.
template <class T>
using THookGuard = fw_Handles::TRestore<T>;

} // namespace test_support
