// Framework: exceptions, message formatting, strings, date-times and files.
#pragma once

#include "framework/fw_Windows.h"

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace fw_SysUtils {

// One argument of Format: an integer, a real, a text or a pointer.
class TVarRec {
public:
    TVarRec(int V) : FValue(int64_t(V)) {}
    TVarRec(long V) : FValue(int64_t(V)) {}
    TVarRec(long long V) : FValue(int64_t(V)) {}
    TVarRec(unsigned V) : FValue(int64_t(V)) {}
    TVarRec(unsigned long V) : FValue(int64_t(V)) {}
    TVarRec(unsigned long long V) : FValue(int64_t(V)) {}
    TVarRec(double V) : FValue(V) {}
    TVarRec(char V) : FValue(std::string(1, V)) {}
    TVarRec(const char* V) : FValue(std::string(V ? V : "")) {}
    TVarRec(std::string V) : FValue(std::move(V)) {}
    TVarRec(std::string_view V) : FValue(std::string(V)) {}
    TVarRec(const void* V) : FValue(V) {}

    const int64_t* AsInteger() const { return std::get_if<int64_t>(&FValue); }
    const double* AsReal() const { return std::get_if<double>(&FValue); }
    const std::string* AsString() const { return std::get_if<std::string>(&FValue); }
    const void* const* AsPointer() const { return std::get_if<const void*>(&FValue); }

private:
    std::variant<int64_t, double, std::string, const void*> FValue;
};

using TVarRecs = std::initializer_list<TVarRec>;

// Formats like the framework's Format: %[index:][-][width][.prec]type with the
// types d u x e f g n m p s; "*" takes width or precision from the arguments.
// A directive that does not fit its argument raises EConvertError.
std::string Format(std::string_view Fmt, TVarRecs Args);

// The base of every exception the system raises; it carries one message.
class Exception : public std::exception {
public:
    explicit Exception(std::string Msg) : FMessage(std::move(Msg)) {}
    Exception(std::string_view Fmt, TVarRecs Args) : FMessage(Format(Fmt, Args)) {}
    const std::string& Message() const { return FMessage; }
    void SetMessage(std::string Msg) { FMessage = std::move(Msg); }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

#define FW_EXCEPTION(Name, Parent)                                                                                     \
    class Name : public Parent {                                                                                       \
        using TInherited = Parent;                                                                                     \
                                                                                                                       \
    public:                                                                                                            \
        using TInherited::TInherited;                                                                                  \
    }

// The silent abort: the application's exception display ignores it.
class EAbort : public Exception {
public:
    using Exception::Exception;
    EAbort() : Exception("Operation aborted") {}
};

FW_EXCEPTION(EConvertError, Exception);
FW_EXCEPTION(ERangeError, Exception);
FW_EXCEPTION(EInvalidOperation, Exception);

class EInOutError : public Exception {
public:
    explicit EInOutError(std::string Msg, int Code = 0) : Exception(std::move(Msg)), ErrorCode(Code) {}
    int ErrorCode;
};

class EOSError : public Exception {
public:
    explicit EOSError(std::string Msg, DWORD Code = 0) : Exception(std::move(Msg)), ErrorCode(Code) {}
    DWORD ErrorCode;
};

// A failed COM call: ErrorCode is its result, the message the system's
// text for it.
class EOleSysError : public Exception {
public:
    explicit EOleSysError(HRESULT Code);
    HRESULT ErrorCode;
};
// Raises EOleSysError when Result is a failure; success codes (S_FALSE too)
// pass.
inline void OleCheck(HRESULT Result)
{
    if (FAILED(Result))
        throw EOleSysError(Result);
}

// Raises ERangeError "Range check error".
[[noreturn]] void RangeError();
// Raises EOSError with the system's text for Code (GetLastError when 0).
[[noreturn]] void RaiseLastOSError(DWORD Code = 0);
std::string SysErrorMessage(DWORD Code);

// Text (ANSI code page; case changes touch only A-Z/a-z unless "Ansi").
std::string Trim(std::string_view S);
std::string TrimLeft(std::string_view S);
std::string TrimRight(std::string_view S);
std::string UpperCase(std::string_view S);
std::string LowerCase(std::string_view S);
std::string AnsiUpperCase(std::string_view S);
int CompareText(std::string_view A, std::string_view B);
bool SameText(std::string_view A, std::string_view B);
bool StartsText(std::string_view Prefix, std::string_view S);
std::string IntToStr(int64_t V);
std::string IntToHex(uint64_t V, int Digits);
int StrToInt(std::string_view S);
int StrToIntDef(std::string_view S, int Default);
bool TryStrToInt(std::string_view S, int& Value);
double StrToFloat(std::string_view S);
std::string FloatToStr(double V);
std::string QuotedStr(std::string_view S);

// Date-times: days since 1899-12-30 00:00, the time of day as the fraction.
using TDateTime = double;
constexpr double MSecsPerDay = 86400000.0;

TDateTime EncodeDate(int Year, int Month, int Day);
TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec);
bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Result);
void DecodeDate(TDateTime D, int& Year, int& Month, int& Day);
void DecodeTime(TDateTime D, int& Hour, int& Min, int& Sec, int& MSec);
bool IsLeapYear(int Year);
TDateTime SystemTimeToDateTime(const SYSTEMTIME& ST);
SYSTEMTIME DateTimeToSystemTime(TDateTime D);
TDateTime Now();
// A file time (UTC) as a local date-time, and back.
TDateTime FileTimeToDateTime(const FILETIME& UTC);
FILETIME DateTimeToFileTime(TDateTime Local);
// The file system's packed local date and time (2-second grain).
TDateTime FileDateToDateTime(int FileDate);
int DateTimeToFileDate(TDateTime D);
// The packed local last-write time of an open file, -1 on failure.
int FileGetDate(HANDLE Handle);
// Sets the last-write time from a packed local date; 0 or the system's error.
DWORD FileSetDate(HANDLE Handle, int Age);
// The packed local last-write time of a named file, -1 when it is missing.
int FileAge(const std::string& FileName);

// Files and folders.
bool FileExists(const std::string& FileName);
bool DirectoryExists(const std::string& Dir);
bool CreateDir(const std::string& Dir);
bool RemoveDir(const std::string& Dir);
// Creates Dir and the folders above it; an empty Dir raises EInOutError
// "Unable to create directory".
bool ForceDirectories(std::string Dir);
bool DeleteFile(const std::string& FileName);
bool RenameFile(const std::string& OldName, const std::string& NewName);
int64_t FileSizeByName(const std::string& FileName);    // -1 when missing
std::string ExtractFilePath(std::string_view FileName); // with trailing "\"
std::string ExtractFileDir(std::string_view FileName);  // without
std::string ExtractFileName(std::string_view FileName);
std::string ExtractFileExt(std::string_view FileName);
std::string ExtractFileDrive(std::string_view FileName);
std::string ChangeFileExt(std::string_view FileName, std::string_view Ext);
std::string ExpandFileName(const std::string& FileName);
std::string GetCurrentDir();

// The running program's command line, split as the framework splits it
// (blanks separate, double quotes group and are removed).
int ParamCount();
std::string ParamStr(int Index); // 0: the program's full path
std::string ModuleFileName(HMODULE Module = nullptr);

} // namespace fw_SysUtils
