// Framework: the registry class over the real Windows registry.
#pragma once

#include "framework/fw_Classes.h"
#include "framework/fw_Handles.h"

#include <string>

namespace fw_Registry {

using fw_SysUtils::Exception;

// "Failed to set data for '%s'", "Failed to get data for '%s'", "Invalid
// data type for '%s'". ErrorCode is the registry's answer that caused it
// (0 when the registry reported none, as for a value of the wrong type).
class ERegistryException : public Exception {
public:
    explicit ERegistryException(std::string Msg, LONG Code = 0) : Exception(std::move(Msg)), ErrorCode(Code) {}
    ERegistryException(std::string_view Fmt, fw_SysUtils::TVarRecs Args, LONG Code = 0)
        : Exception(fw_SysUtils::Format(Fmt, Args)), ErrorCode(Code)
    {
    }
    LONG ErrorCode;
};

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
    HKEY CurrentKey() const { return FCurrentKey.Get(); }
    const std::string& CurrentPath() const { return FCurrentPath; }
    bool LazyWrite() const { return FLazyWrite; }
    void SetLazyWrite(bool Value) { FLazyWrite = Value; }
    REGSAM Access() const { return FAccess; }
    void SetAccess(REGSAM Value) { FAccess = Value; }

    // Opens Key (creating it when CanCreate) as the new current key; False,
    // with the registry's answer in LastError, when that fails.
    virtual bool OpenKey(const std::string& Key, bool CanCreate);
    bool OpenKeyReadOnly(const std::string& Key);
    void CloseKey();
    bool CreateKey(const std::string& Key);
    // Deletes Key with everything below it (the system deletes leaves only).
    virtual bool DeleteKey(const std::string& Key);
    // Whether Key opens for reading.
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

    // The registry's answer to the last OpenKey that failed (ERROR_SUCCESS
    // until one fails).
    LONG LastError() const { return FLastError; }

protected:
    // The key a path is taken from: the current key for a relative path when
    // one is open, else the root.
    HKEY GetBaseKey(bool Relative) const;
    // Makes Value the current key, closing the old one.
    void ChangeKey(fw_Handles::TRegKey Value, const std::string& Path);
    // How OpenKey opens or creates SubKey below Base: the one step a
    // derived registry class changes. Answers the registry's code.
    virtual LONG OpenKeyHandle(HKEY Base, const std::string& SubKey, bool CanCreate, fw_Handles::TRegKey& Result);
    // Opens SubKey below Base with Access; empty when it fails (Code, when
    // given, receives the registry's answer).
    static fw_Handles::TRegKey OpenSubKey(HKEY Base, const std::string& SubKey, REGSAM Access, LONG* Code = nullptr);
    // Writes or reads raw data of a value of the current key.
    void PutData(const std::string& Name, const void* Buffer, DWORD Size, DWORD Type);
    DWORD GetData(const std::string& Name, void* Buffer, DWORD Size, DWORD& Type);

    HKEY FRootKey = HKEY_CURRENT_USER;
    fw_Handles::TRegKey FCurrentKey;
    std::string FCurrentPath;
    bool FLazyWrite = true;
    REGSAM FAccess = KEY_ALL_ACCESS;
    LONG FLastError = ERROR_SUCCESS;

private:
    static bool DeleteKeyTree(HKEY Base, const std::string& SubKey);
    // Whether a key is open (a root opened as itself counts).
    bool KeyOpen() const { return FCurrentKey.Get() != nullptr; }
};

} // namespace fw_Registry
