// Registry access for every part of the engine: the root keys, the engine's
// registry class and the value routines.
#pragma once

#include "framework/fw_Classes.h"
#include "framework/fw_Registry.h"

#include <string>

namespace routines_Registry {

enum TRootKeys : uint8_t { hkClassesRoot, hkCurrentConfig, hkCurrentUser, hkDynData, hkLocalMachine, hkUsers };

extern const fw_Classes::TEnumInfo TRootKeysInfo;

HKEY SetRegistryRoot(TRootKeys Root);
// The value for one of the six root handles; hkCurrentUser for any other.
TRootKeys RootKeyOfHandle(HKEY Key);

// A value could not be written because its key could not be opened;
// ErrorCode is the registry's answer to the open.
class EIRCannotWriteValue : public fw_SysUtils::Exception {
public:
    explicit EIRCannotWriteValue(std::string Msg, LONG Code = 0) : Exception(std::move(Msg)), ErrorCode(Code) {}
    EIRCannotWriteValue(std::string_view Fmt, fw_SysUtils::TVarRecs Args, LONG Code = 0)
        : Exception(fw_SysUtils::Format(Fmt, Args)), ErrorCode(Code)
    {
    }
    LONG ErrorCode;
};

// The registry class of the engine: keys that exist are opened for reading
// and writing only, so that keys the user may write but not administer work;
// only a key that does not exist yet is created with full access.
class TWdrlRegistry : public fw_Registry::TRegistry {
    FW_CLASS(TWdrlRegistry, fw_Registry::TRegistry)

protected:
    LONG OpenKeyHandle(HKEY Base, const std::string& SubKey, bool CanCreate, fw_Handles::TRegKey& Result) override;
};

// HKEY_LOCAL_MACHINE's key of the commands run once at the next start.
extern const char* const RunOnceKey;

// Opens Key (creating it) and writes a REG_SZ; EIRCannotWriteValue "Cannot
// install into registry. Key: %s Ident: %s Value %s" when the key fails.
void WriteRegistryString(TRootKeys Root, const std::string& Key, const std::string& Ident, const std::string& Value);
// The same for a REG_DWORD; the exception's message is the key path alone.
void WriteRegistryInteger(TRootKeys Root, const std::string& Key, const std::string& Ident, int Value);
// Reading never fails: a missing key or value gives Default.
void ReadRegistryString(TRootKeys Root, const std::string& Key, const std::string& Ident, std::string& Value,
                        const std::string& Default);
int ReadRegistryInteger(TRootKeys Root, const std::string& Key, const std::string& Ident, int Default);
// Deletes Key and everything below it; a key that cannot be opened is left.
void DeleteRegistryTree(TRootKeys Root, const std::string& Key);
// Adds CommandLine as the value Name (Name1, Name2, ... when Unique and the
// name is taken) of the machine's RunOnce key; False when the key fails.
bool AddRunOnceEntry(const std::string& Name, const std::string& CommandLine, bool Unique);

// Names Component Base, Base1, Base2, ... : the first name its owner accepts.
void SetUniqueComponentName(fw_Classes::TComponent* Component, const std::string& Base);

} // namespace routines_Registry
