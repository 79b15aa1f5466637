// Shared set-up of the system tests: scratch keys under HKEY_LOCAL_MACHINE
// (the uninstall records live there) and reading values back through the
// system's own calls.
#pragma once

#include "engine/EngineTestSupport.h"
#include "system/cmp_TInstallRegistry.h"
#include "system/cmp_TInstallShellLink.h"
#include "system/cmp_TUninstallEXE.h"

#include <string>

namespace system_tests {

// A key below HKEY_LOCAL_MACHINE\Software\WendrelTests, unique to the
// process, deleted with everything below it.
class TMachineKey {
public:
    explicit TMachineKey(const std::string& Tag)
        : FPath("Software\\WendrelTests\\" + Tag + "-" + std::to_string(GetCurrentProcessId()))
    {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, FPath.c_str());
    }
    ~TMachineKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, FPath.c_str()); }
    TMachineKey(const TMachineKey&) = delete;
    TMachineKey& operator=(const TMachineKey&) = delete;
    // Without a leading backslash.
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

// A string value as the registry holds it; "<missing>" when it has none,
// "<not a string>" for another type.
inline std::string StringValue(HKEY Root, const std::string& Key, const std::string& Name)
{
    char Buffer[1024] = {};
    DWORD Size = sizeof Buffer - 1;
    DWORD Type = 0;
    const LONG Result = RegGetValueA(Root, Key.c_str(), Name.c_str(), RRF_RT_ANY, &Type, Buffer, &Size);
    if (Result != ERROR_SUCCESS)
        return "<missing>";
    return Type == REG_SZ ? std::string(Buffer) : std::string("<not a string>");
}

// A REG_DWORD value; -1 when missing or of another type.
inline long long DwordValue(HKEY Root, const std::string& Key, const std::string& Name)
{
    DWORD Value = 0;
    DWORD Size = sizeof Value;
    if (RegGetValueA(Root, Key.c_str(), Name.c_str(), RRF_RT_REG_DWORD, nullptr, &Value, &Size) != ERROR_SUCCESS)
        return -1;
    return Value;
}

inline bool KeyExists(HKEY Root, const std::string& Key)
{
    fw_Handles::TRegKey Handle;
    return RegOpenKeyExA(Root, Key.c_str(), 0, KEY_READ, Handle.Receive()) == ERROR_SUCCESS;
}

// Makes the classes of the system units known to a project text.
inline void RegisterSystemClasses()
{
    cmp_TInstallRegistry::RegisterInstallRegistryClasses();
    cmp_TInstallShellLink::RegisterShellLinkClasses();
    cmp_TUninstallEXE::RegisterUninstallEXEClasses();
}

} // namespace system_tests
