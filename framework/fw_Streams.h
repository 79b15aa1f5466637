// Framework: byte streams over files, memory and resources.
#pragma once

#include "framework/fw_Handles.h"
#include "framework/fw_SysUtils.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fw_Streams {

using fw_SysUtils::Exception;

// Stream failures keep their fixed texts; the system's error code of the
// call that failed (0 when none) travels beside it.
class EStreamError : public Exception {
public:
    explicit EStreamError(std::string Msg, DWORD Code = 0) : Exception(std::move(Msg)), ErrorCode(Code) {}
    EStreamError(std::string_view Fmt, fw_SysUtils::TVarRecs Args, DWORD Code = 0)
        : Exception(fw_SysUtils::Format(Fmt, Args)), ErrorCode(Code)
    {
    }
    DWORD ErrorCode;
};
FW_EXCEPTION(EFCreateError, EStreamError);
FW_EXCEPTION(EFOpenError, EStreamError);
FW_EXCEPTION(EReadError, EStreamError);  // "Stream read error"
FW_EXCEPTION(EWriteError, EStreamError); // "Stream write error"

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// Open modes: one access value or'ed with one sharing value; fmCreate makes
// a new empty file (exclusive unless a sharing value is added).
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;
constexpr uint16_t fmCreate = 0xFF00;

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    // Transfer up to Count bytes; the result is the number moved.
    virtual size_t Read(void* Buffer, size_t Count) = 0;
    virtual size_t Write(const void* Buffer, size_t Count) = 0;
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
    virtual void SetSize(int64_t NewSize);

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t Pos) { Seek(Pos, TSeekOrigin::soBeginning); }
    int64_t Size();

    // Transfer exactly Count bytes or raise EReadError / EWriteError.
    void ReadBuffer(void* Buffer, size_t Count);
    void WriteBuffer(const void* Buffer, size_t Count);
    // Copies Count bytes from Source's position (all of Source, from its
    // start, when Count is 0); the result is the number copied.
    int64_t CopyFrom(TStream& Source, int64_t Count);
};

// A stream over a handle it does not own.
class THandleStream : public TStream {
public:
    explicit THandleStream(HANDLE AHandle) : FHandle(AHandle) {}
    size_t Read(void* Buffer, size_t Count) override;
    size_t Write(const void* Buffer, size_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(int64_t NewSize) override;
    HANDLE Handle() const { return FHandle; }

protected:
    HANDLE FHandle;
};

// A stream over a file it opens with CreateFile and closes when destroyed.
// Failure raises EFCreateError "Cannot create file \"%s\". %s" or
// EFOpenError "Cannot open file \"%s\". %s" with the system's reason.
class TFileStream : public THandleStream {
public:
    TFileStream(const std::string& AFileName, uint16_t Mode);
    // Takes over a file the caller opened itself (e.g. one made only if new).
    TFileStream(const std::string& AFileName, fw_Handles::THandle File);
    const std::string& FileName() const { return FFileName; }

private:
    fw_Handles::THandle FOwned; // the same handle as FHandle, closed with the stream
    std::string FFileName;
};

// A stream over memory it owns.
class TMemoryStream : public TStream {
public:
    size_t Read(void* Buffer, size_t Count) override;
    size_t Write(const void* Buffer, size_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(int64_t NewSize) override;
    void Clear();
    void LoadFromStream(TStream& Stream);
    void LoadFromFile(const std::string& FileName);
    void SaveToStream(TStream& Stream);
    void SaveToFile(const std::string& FileName);
    uint8_t* Memory() { return FData.data(); }
    const std::vector<uint8_t>& Bytes() const { return FData; }

private:
    std::vector<uint8_t> FData;
    size_t FPos = 0;
};

// A read-only stream over a resource of a loaded module.
class TResourceStream : public TStream {
public:
    // Raises EResNotFound "Resource %s not found" when the module lacks it.
    TResourceStream(HMODULE Instance, const std::string& ResName, const char* ResType);
    size_t Read(void* Buffer, size_t Count) override;
    size_t Write(const void* Buffer, size_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    const uint8_t* Memory() const { return FData; }

private:
    const uint8_t* FData = nullptr;
    size_t FSize = 0;
    size_t FPos = 0;
};

FW_EXCEPTION(EResNotFound, Exception);

} // namespace fw_Streams
