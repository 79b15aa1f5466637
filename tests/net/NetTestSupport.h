// Shared set-up of the net tests: files read and written as bytes, the
// servers that net_servers.py started, and a scratch install record key.
#pragma once

#include "engine/EngineTestSupport.h"
#include "net/cmp_TNetInstallLocation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace net_tests {

using namespace cmp_TNetInstallLocation;
using engine_tests::Make;
using engine_tests::TOwnedForm;
using test_support::MessageOf;
using test_support::Raises;
using test_support::THookGuard;
using test_support::TScratchDir;

using test_support::ReadBytes;
using test_support::WriteBytes;

// Bytes that no block boundary or text search could mistake for others.
inline std::string NoiseBytes(size_t Count, uint32_t Seed)
{
    std::string Bytes(Count, '\0');
    for (char& C : Bytes) {
        Seed = Seed * 1664525u + 1013904223u;
        C = char(Seed >> 24);
    }
    return Bytes;
}

inline bool FileExists(const std::string& Path) { return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// What net_servers.py put into the environment ("" when run without it).
inline std::string Env(const char* Name)
{
    const char* Value = std::getenv(Name);
    return Value ? Value : "";
}
inline int PortOf(const char* Server)
{
    return std::atoi(Env((std::string("WDRL_NET_") + Server + "_PORT").c_str()).c_str());
}

// A file the servers serve, removed again with the test.
class TServedFile {
public:
    TServedFile(const std::string& RelativePath, const std::string& Bytes)
        : FPath(Env("WDRL_NET_ROOT") + "\\" + RelativePath)
    {
        WriteBytes(FPath, Bytes);
    }
    ~TServedFile() { DeleteFileA(FPath.c_str()); }
    TServedFile(const TServedFile&) = delete;
    TServedFile& operator=(const TServedFile&) = delete;

private:
    std::string FPath;
};

// A folder below the served root, removed with its contents.
class TServedDir {
public:
    explicit TServedDir(const std::string& RelativePath) : FPath(Env("WDRL_NET_ROOT") + "\\" + RelativePath)
    {
        CreateDirectoryA(FPath.c_str(), nullptr);
    }
    ~TServedDir() { TScratchDir::RemoveTree(FPath); }
    TServedDir(const TServedDir&) = delete;
    TServedDir& operator=(const TServedDir&) = delete;

private:
    std::string FPath;
};

// A location owned by Owner for the loopback server of that name.
inline TNetInstallLocation* MakeLocation(const TOwnedForm& Owner, const std::string& Name, TInternetProtocol Protocol,
                                         int Port, const std::string& Directory = "")
{
    auto* Location = Make<TNetInstallLocation>(Owner, Name);
    Location->LoginInformation()->Hostname = "127.0.0.1";
    Location->LoginInformation()->Protocol = Protocol;
    Location->LoginInformation()->Directory = Directory;
    Location->SetPort(Port);
    return Location;
}

// An install record of this process under HKEY_LOCAL_MACHINE, made the
// current one for the test and removed with everything below it.
class TScratchInstallKey {
public:
    explicit TScratchInstallKey(const std::string& Tag)
        : FPath("SOFTWARE\\WendrelTests\\" + Tag + "-" + std::to_string(GetCurrentProcessId())),
          FGuard(cmp_TInstallContainer::InstallKey, "\\" + FPath)
    {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, FPath.c_str());
    }
    ~TScratchInstallKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, FPath.c_str()); }
    // "LocalFile" of the object Name as an outsider reads it ("<none>" when absent).
    std::string LocalFile(const std::string& Name) const
    {
        char Value[MAX_PATH * 2] = {};
        DWORD Size = sizeof Value;
        if (RegGetValueA(HKEY_LOCAL_MACHINE, (FPath + "\\" + Name).c_str(), "LocalFile", RRF_RT_REG_SZ, nullptr, Value,
                         &Size) != ERROR_SUCCESS)
            return "<none>";
        return Value;
    }
    void SetLocalFile(const std::string& Name, const std::string& Path) const
    {
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, (FPath + "\\" + Name).c_str(), "LocalFile", REG_SZ, Path.c_str(),
                        DWORD(Path.size() + 1));
    }

private:
    std::string FPath;
    THookGuard<std::string> FGuard;
};

} // namespace net_tests
