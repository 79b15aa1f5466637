#include "framework/fw_Streams.h"

#include <algorithm>
#include <cstring>

namespace fw_Streams {

using fw_SysUtils::Format;
using fw_SysUtils::SysErrorMessage;

void TStream::SetSize(int64_t) {}

int64_t TStream::Size()
{
    int64_t Pos = Seek(0, TSeekOrigin::soCurrent);
    int64_t End = Seek(0, TSeekOrigin::soEnd);
    Seek(Pos, TSeekOrigin::soBeginning);
    return End;
}

void TStream::ReadBuffer(void* Buffer, size_t Count)
{
    if (Count != 0 && Read(Buffer, Count) != Count)
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, size_t Count)
{
    if (Count != 0 && Write(Buffer, Count) != Count)
        throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count)
{
    if (Count == 0) {
        Source.SetPosition(0);
        Count = Source.Size();
    }
    constexpr size_t BufSize = 61440;
    std::vector<uint8_t> Buf(size_t(std::min<int64_t>(Count, BufSize)));
    int64_t Done = 0;
    while (Done < Count) {
        size_t N = size_t(std::min<int64_t>(Count - Done, BufSize));
        Source.ReadBuffer(Buf.data(), N);
        WriteBuffer(Buf.data(), N);
        Done += int64_t(N);
    }
    return Done;
}

// ---- THandleStream ---------------------------------------------------------

size_t THandleStream::Read(void* Buffer, size_t Count)
{
    // ReadFile takes 32-bit counts: move large requests in pieces.
    size_t Done = 0;
    while (Done < Count) {
        DWORD Want = DWORD(std::min<size_t>(Count - Done, 0x40000000)), Got = 0;
        if (!ReadFile(FHandle, static_cast<char*>(Buffer) + Done, Want, &Got, nullptr) || Got == 0)
            break;
        Done += Got;
        if (Got < Want)
            break;
    }
    return Done;
}

size_t THandleStream::Write(const void* Buffer, size_t Count)
{
    size_t Done = 0;
    while (Done < Count) {
        DWORD Want = DWORD(std::min<size_t>(Count - Done, 0x40000000)), Put = 0;
        if (!WriteFile(FHandle, static_cast<const char*>(Buffer) + Done, Want, &Put, nullptr) || Put == 0)
            break;
        Done += Put;
        if (Put < Want)
            break;
    }
    return Done;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin)
{
    LARGE_INTEGER Dist, Result;
    Dist.QuadPart = Offset;
    DWORD Method = Origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                   : Origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                      : FILE_END;
    if (!SetFilePointerEx(FHandle, Dist, &Result, Method))
        return -1;
    return Result.QuadPart;
}

void THandleStream::SetSize(int64_t NewSize)
{
    Seek(NewSize, TSeekOrigin::soBeginning);
    if (!SetEndOfFile(FHandle))
        fw_SysUtils::RaiseLastOSError();
}

// ---- TFileStream -----------------------------------------------------------

static DWORD ShareOf(uint16_t Mode)
{
    switch (Mode & 0xF0) {
    case fmShareDenyWrite:
        return FILE_SHARE_READ;
    case fmShareDenyRead:
        return FILE_SHARE_WRITE;
    case fmShareDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:
        return 0;
    }
}

static HANDLE OpenHandle(const std::string& FileName, uint16_t Mode)
{
    if ((Mode & fmCreate) == fmCreate)
        return CreateFileA(FileName.c_str(), GENERIC_READ | GENERIC_WRITE, ShareOf(Mode), nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    static const DWORD Access[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    if ((Mode & 3) > 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileA(FileName.c_str(), Access[Mode & 3], ShareOf(Mode), nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

TFileStream::TFileStream(const std::string& AFileName, uint16_t Mode)
    : THandleStream(OpenHandle(AFileName, Mode)), FOwned(FHandle), FFileName(AFileName)
{
    if (FHandle == INVALID_HANDLE_VALUE) {
        const DWORD Code = GetLastError();
        std::string Why = SysErrorMessage(Code);
        if ((Mode & fmCreate) == fmCreate)
            throw EFCreateError(Format("Cannot create file \"%s\". %s", {AFileName, Why}), Code);
        throw EFOpenError(Format("Cannot open file \"%s\". %s", {AFileName, Why}), Code);
    }
}

TFileStream::TFileStream(const std::string& AFileName, fw_Handles::THandle File)
    : THandleStream(File.Get()), FOwned(std::move(File)), FFileName(AFileName)
{
}

// ---- TMemoryStream ---------------------------------------------------------

size_t TMemoryStream::Read(void* Buffer, size_t Count)
{
    size_t N = FPos < FData.size() ? std::min(Count, FData.size() - FPos) : 0;
    if (N)
        memcpy(Buffer, FData.data() + FPos, N);
    FPos += N;
    return N;
}

size_t TMemoryStream::Write(const void* Buffer, size_t Count)
{
    if (FPos + Count > FData.size())
        FData.resize(FPos + Count);
    if (Count)
        memcpy(FData.data() + FPos, Buffer, Count);
    FPos += Count;
    return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin)
{
    int64_t Base = Origin == TSeekOrigin::soBeginning ? 0
                   : Origin == TSeekOrigin::soCurrent ? int64_t(FPos)
                                                      : int64_t(FData.size());
    FPos = size_t(std::max<int64_t>(0, Base + Offset));
    return int64_t(FPos);
}

void TMemoryStream::SetSize(int64_t NewSize)
{
    FData.resize(size_t(NewSize));
    FPos = std::min(FPos, FData.size());
}

void TMemoryStream::Clear()
{
    FData.clear();
    FPos = 0;
}

void TMemoryStream::LoadFromStream(TStream& Stream)
{
    Stream.SetPosition(0);
    FData.resize(size_t(Stream.Size()));
    Stream.ReadBuffer(FData.data(), FData.size());
    FPos = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName)
{
    TFileStream F(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(F);
}

void TMemoryStream::SaveToStream(TStream& Stream) { Stream.WriteBuffer(FData.data(), FData.size()); }

void TMemoryStream::SaveToFile(const std::string& FileName)
{
    TFileStream F(FileName, fmCreate);
    SaveToStream(F);
}

// ---- TResourceStream -------------------------------------------------------

TResourceStream::TResourceStream(HMODULE Instance, const std::string& ResName, const char* ResType)
{
    HRSRC Info = FindResourceA(Instance, ResName.c_str(), ResType);
    HGLOBAL Res = Info ? LoadResource(Instance, Info) : nullptr;
    if (!Res)
        throw EResNotFound(Format("Resource %s not found", {ResName}));
    FData = static_cast<const uint8_t*>(LockResource(Res));
    FSize = SizeofResource(Instance, Info);
}

size_t TResourceStream::Read(void* Buffer, size_t Count)
{
    size_t N = FPos < FSize ? std::min(Count, FSize - FPos) : 0;
    if (N)
        memcpy(Buffer, FData + FPos, N);
    FPos += N;
    return N;
}

size_t TResourceStream::Write(const void*, size_t) { throw EStreamError("Can't write to a read-only resource stream"); }

int64_t TResourceStream::Seek(int64_t Offset, TSeekOrigin Origin)
{
    int64_t Base = Origin == TSeekOrigin::soBeginning ? 0
                   : Origin == TSeekOrigin::soCurrent ? int64_t(FPos)
                                                      : int64_t(FSize);
    FPos = size_t(std::max<int64_t>(0, Base + Offset));
    return int64_t(FPos);
}

} // namespace fw_Streams
