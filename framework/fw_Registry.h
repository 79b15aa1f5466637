// Framework: the registry class over the real Windows registry.
#pragma once

#include "framework/fw_Classes.h"

#include <string>

namespace fw_Registry {

using fw_SysUtils::Exception;

// "Failed to set data for '%s'", "Failed to get data for '%s'", "Invalid
// data type for '%s'".
FW_EXCEPTION(ERegistryException, Exception);

// An open current key below a root key. A key path that begins with a
// backslash is taken from the root; one without from the current key when one
// is open. Lazy writing (the default) leaves flushing to the system; without
// it, closing a key flushes it.
class TRegistry : public fw_Classes::TObject {
    FW_CLASS(TRegistry, fw_Classes::TObject)

public:
    TRegistry();
    explicit TRegistry(REGSAM AAccess);
    ~TRegistry() override;

    HKEY RootKey() const { return FRootKey; }
    void SetRootKey(HKEY Value);
    HKEY CurrentKey() const { return FCurrentKey; }
    const std::string& CurrentPath() const { return FCurrentPath; }
    bool LazyWrite() const { return FLazyWrite; }
    void SetLazyWrite(bool Value) { FLazyWrite = Value; }
    REGSAM Access() const { return FAccess; }
    void SetAccess(REGSAM Value) { FAccess = Value; }

    virtual bool OpenKey(const std::string& Key, bool CanCreate);
    bool OpenKeyReadOnly(const std::string& Key);
    void CloseKey();
    bool CreateKey(const std::string& Key);
    virtual bool DeleteKey(const std::string& Key);
    virtual bool KeyExists(const std::string& Key);
    bool DeleteValue(const std::string& Name);
    bool ValueExists(const std::string& Name);
    bool HasSubKeys();
    void GetKeyNames(fw_Classes::TStrings& Strings);
    void GetValueNames(fw_Classes::TStrings& Strings);

    // Strings are REG_SZ, integers and Booleans REG_DWORD (Booleans 0 or 1),
    // reals and date-times 8-byte REG_BINARY. Reading a missing string gives
    // ""; reading any other missing or mistyped value raises
    // ERegistryException.
    void WriteString(const std::string& Name, const std::string& Value);
    std::string ReadString(const std::string& Name);
    void WriteInteger(const std::string& Name, int Value);
    int ReadInteger(const std::string& Name);
    void WriteBool(const std::string& Name, bool Value);
    bool ReadBool(const std::string& Name);
    void WriteFloat(const std::string& Name, double Value);
    double ReadFloat(const std::string& Name);
    void WriteDateTime(const std::string& Name, fw_SysUtils::TDateTime Value) { WriteFloat(Name, Value); }
    fw_SysUtils::TDateTime ReadDateTime(const std::string& Name) { return ReadFloat(Name); }

protected:
    // The key a path is taken from: the current key for a relative path when
    // one is open, else the root.
    HKEY GetBaseKey(bool Relative) const;
    // Makes Value (opened by the caller) the current key, closing the old one.
    void ChangeKey(HKEY Value, const std::string& Path);
    // Opens Key below the base key with Access; nullptr when it fails.
    HKEY GetKey(const std::string& Key);
    // Writes or reads raw data of a value of the current key.
    void PutData(const std::string& Name, const void* Buffer, DWORD Size, DWORD Type);
    DWORD GetData(const std::string& Name, void* Buffer, DWORD Size, DWORD& Type);

    HKEY FRootKey = HKEY_CURRENT_USER;
    HKEY FCurrentKey = nullptr;
    std::string FCurrentPath;
    bool FCloseRootKey = false;
    bool FLazyWrite = true;
    REGSAM FAccess = KEY_ALL_ACCESS;
};

} // namespace fw_Registry
