// The registry roots of a fuzz process, moved into scratch keys it owns:
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER of this process are keys below
// HKCU\Software\WendrelFuzz-<pid>, so the readers and writers it runs never
// touch the keys other programs of the prefix use. A process that crashed
// leaves its key: the next one removes the keys of processes that are gone.
#pragma once

#include "FuzzHarness.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace fuzz_registry {

inline const char* const ScratchParent = "Software";
inline const char* const ScratchPrefix = "WendrelFuzz-";

inline std::string ScratchName(DWORD Pid) { return std::string(ScratchPrefix) + std::to_string(Pid); }

inline bool ProcessAlive(DWORD Pid)
{
    HANDLE P = OpenProcess(SYNCHRONIZE, FALSE, Pid);
    if (!P)
        return false;
    const bool Running = WaitForSingleObject(P, 0) == WAIT_TIMEOUT;
    CloseHandle(P);
    return Running;
}

// The scratch keys of fuzz processes that ended without removing them.
inline void RemoveStaleScratchKeys(HKEY Software)
{
    std::vector<std::string> Stale;
    char Name[256];
    for (DWORD I = 0;; ++I) {
        DWORD Size = sizeof Name;
        if (RegEnumKeyExA(Software, I, Name, &Size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::string Key(Name, Size);
        if (Key.rfind(ScratchPrefix, 0) != 0)
            continue;
        const DWORD Pid = DWORD(std::strtoul(Key.c_str() + std::strlen(ScratchPrefix), nullptr, 10));
        if (Pid != GetCurrentProcessId() && !ProcessAlive(Pid))
            Stale.push_back(Key);
    }
    for (const std::string& Key : Stale)
        RegDeleteTreeA(Software, Key.c_str());
}

class TScratchRoots {
public:
    TScratchRoots()
    {
        if (RegOpenKeyExA(HKEY_CURRENT_USER, ScratchParent, 0, KEY_ALL_ACCESS, &FSoftware) != ERROR_SUCCESS)
            throw std::runtime_error("cannot open HKCU\\Software");
        RemoveStaleScratchKeys(FSoftware);
        FName = ScratchName(GetCurrentProcessId());
        RegDeleteTreeA(FSoftware, FName.c_str());
        if (RegCreateKeyExA(FSoftware, (FName + "\\Machine").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FMachine,
                            nullptr) != ERROR_SUCCESS ||
            RegCreateKeyExA(FSoftware, (FName + "\\User").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FUser,
                            nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create the scratch keys");
        if (RegOverridePredefKey(HKEY_LOCAL_MACHINE, FMachine) != ERROR_SUCCESS ||
            RegOverridePredefKey(HKEY_CURRENT_USER, FUser) != ERROR_SUCCESS)
            throw std::runtime_error("cannot move the registry roots");
        CheckMoved();
    }
    ~TScratchRoots()
    {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(FMachine);
        RegCloseKey(FUser);
        RegDeleteTreeA(FSoftware, FName.c_str());
        RegCloseKey(FSoftware);
    }
    TScratchRoots(const TScratchRoots&) = delete;
    TScratchRoots& operator=(const TScratchRoots&) = delete;

    // The scratch key that stands for HKEY_LOCAL_MACHINE.
    HKEY Machine() const { return FMachine; }
    // Removes everything below the moved roots.
    void Empty() const
    {
        RegDeleteTreeA(FMachine, nullptr);
        RegDeleteTreeA(FUser, nullptr);
    }

private:
    // A value written through HKEY_LOCAL_MACHINE must land below the scratch
    // key, or every case would write into the shared prefix.
    void CheckMoved() const
    {
        const char* const Probe = "WendrelFuzzProbe";
        HKEY K = nullptr;
        bool Landed = false;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, Probe, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &K, nullptr) ==
            ERROR_SUCCESS) {
            RegCloseKey(K);
            if (RegOpenKeyExA(FMachine, Probe, 0, KEY_READ, &K) == ERROR_SUCCESS) {
                RegCloseKey(K);
                Landed = true;
            }
            RegDeleteKeyA(FMachine, Probe);
        }
        if (!Landed)
            throw std::runtime_error("HKEY_LOCAL_MACHINE could not be moved to a scratch key");
    }

    HKEY FSoftware = nullptr, FMachine = nullptr, FUser = nullptr;
    std::string FName;
};

} // namespace fuzz_registry
