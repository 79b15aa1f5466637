#include "tools/loader_Archive.h"

#include "tools/loader_Failure.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cwctype>

namespace loader_Archive {

using archive_FileHeaders::FileHeaderSize;
using archive_FileHeaders::PreambleSize;
using archive_FileHeaders::TFileHeaderRecord;
using fw_Streams::TSeekOrigin;
using loader_Failure::ELoader;

namespace {

[[noreturn]] void Damaged(std::wstring_view Name, const std::wstring& Why)
{
    throw ELoader(loader_Failure::ecDamaged, std::wstring(Name) + L" " + Why);
}

} // namespace

// ---- TWindowStream --------------------------------------------------------------------

TWindowStream::TWindowStream(HANDLE File, int64_t First, int64_t Last)
    : FFile(File), FFirst(First), FSize(std::max<int64_t>(0, Last - First + 1))
{
}

size_t TWindowStream::Read(void* Buffer, size_t Count)
{
    if (FPos < 0 || FPos >= FSize)
        return 0;
    const DWORD Want = DWORD(std::min<int64_t>({int64_t(Count), FSize - FPos, int64_t(1) << 30}));
    OVERLAPPED At{};
    At.Offset = DWORD(uint64_t(FFirst + FPos));
    At.OffsetHigh = DWORD(uint64_t(FFirst + FPos) >> 32);
    DWORD Got = 0;
    if (!ReadFile(FFile, Buffer, Want, &Got, &At))
        return 0;
    FPos += int64_t(Got);
    return Got;
}

size_t TWindowStream::Write(const void*, size_t) { return 0; }

int64_t TWindowStream::Seek(int64_t Offset, TSeekOrigin Origin)
{
    const int64_t Base = Origin == TSeekOrigin::soBeginning ? 0 : Origin == TSeekOrigin::soCurrent ? FPos : FSize;
    FPos = Base + Offset;
    return FPos;
}

// ---- the table ------------------------------------------------------------------------

void ReadCheckedTable(fw_Streams::TStream& Window, archive_FileHeaders::TFileHeaders& Table, std::wstring_view Name)
{
    try {
        Table.ReadTable(Window, 0);
    } catch (const std::exception& E) {
        Damaged(Name, L"cannot be read: " + loader_Failure::Widen(E.what()));
    }
    // The setup archives are never split: a split set inside setup.exe is damage.
    if (Table.MultiDisk != 0)
        Damaged(Name, L"is marked as part of a split set");
    const int64_t Size = Window.Size();
    int64_t At = PreambleSize; // where the record being checked lies
    for (int I = 0; I < Table.Count(); ++I) {
        const TFileHeaderRecord& R = Table.FileHeaders(I)->Record;
        const bool Last = I + 1 == Table.Count();
        const int64_t Next = R.NextHeader;
        const bool Inside = R.Size >= 0 && R.FirstDisk <= 1 && R.LastDisk <= 1 && R.DataStart >= At + FileHeaderSize &&
                            R.EndPos >= R.DataStart && int64_t(R.EndPos) < Size && (Last || R.EndPos < Next);
        if (!Inside)
            Damaged(Name,
                    L"has a file record whose data lies outside its place (record " + std::to_wstring(I + 1) + L")");
        At = Next;
    }
}

// ---- names ----------------------------------------------------------------------------

bool IsDeviceName(std::wstring_view Name)
{
    std::wstring Base(Name.substr(0, Name.find(L'.')));
    while (!Base.empty() && (Base.back() == L' ' || Base.back() == L'.'))
        Base.pop_back();
    for (wchar_t& C : Base)
        C = wchar_t(std::towupper(C));
    static const std::array<const wchar_t*, 6> Plain = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    if (std::any_of(Plain.begin(), Plain.end(), [&](const wchar_t* D) { return Base == D; }))
        return true;
    if (Base.size() != 4 || (Base.compare(0, 3, L"COM") != 0 && Base.compare(0, 3, L"LPT") != 0))
        return false;
    const wchar_t Digit = Base[3];
    return (Digit >= L'1' && Digit <= L'9') || Digit == L'\u00B9' || Digit == L'\u00B2' || Digit == L'\u00B3';
}

std::wstring TargetName(std::string_view Key)
{
    const size_t Cut = Key.find_last_of("\\/");
    const std::string_view Part = Cut == std::string_view::npos ? Key : Key.substr(Cut + 1);
    std::wstring Name;
    if (!Part.empty()) {
        const int N = MultiByteToWideChar(CP_ACP, 0, Part.data(), int(Part.size()), nullptr, 0);
        Name.assign(size_t(std::max(N, 0)), L'\0');
        MultiByteToWideChar(CP_ACP, 0, Part.data(), int(Part.size()), Name.data(), N);
    }
    const bool DotsOnly = std::all_of(Name.begin(), Name.end(), [](wchar_t C) { return C == L'.' || C == L' '; });
    const bool Control = std::any_of(Name.begin(), Name.end(), [](wchar_t C) { return C < L' '; });
    if (DotsOnly || Control || Name.find(L':') != std::wstring::npos || IsDeviceName(Name))
        throw ELoader(loader_Failure::ecDamaged,
                      L"setup.1 names a file that cannot be unpacked: \"" + loader_Failure::Widen(Key) + L"\"");
    return Name;
}

// ---- the data -------------------------------------------------------------------------

TBuffers::TBuffers() : Input(new uint8_t[InputSize]), Output(new uint8_t[OutputSize]) {}

void Inflate(fw_Streams::TStream& Window, const TFileHeaderRecord& Record, HANDLE Target,
             const std::wstring& TargetPath, TBuffers& Buffers)
{
    struct TInflater {
        z_stream Z{};
        bool Ready = false;
        ~TInflater()
        {
            if (Ready)
                inflateEnd(&Z);
        }
    } D;
    if (inflateInit(&D.Z) != Z_OK)
        throw ELoader(loader_Failure::ecInternal, L"The decompressor cannot be started.");
    D.Ready = true;
    const std::wstring Name = TargetName(
        std::string(Record.FileNameChars, std::min<size_t>(Record.FileNameLength, sizeof Record.FileNameChars)));
    auto Bad = [&](const std::wstring& Why) { Damaged(L"setup.1", L"holds damaged data for " + Name + L": " + Why); };

    int64_t Pos = Record.DataStart;
    const int64_t Last = Record.EndPos;
    int64_t Written = 0;
    bool End = false;
    Window.Seek(Pos, TSeekOrigin::soBeginning);
    while (!End) {
        if (D.Z.avail_in == 0) {
            const size_t Want = size_t(std::min<int64_t>(int64_t(TBuffers::InputSize), Last + 1 - Pos));
            if (Want == 0)
                Bad(L"the compressed data ends early");
            const size_t Got = Window.Read(Buffers.Input.get(), Want);
            if (Got != Want)
                Bad(L"the file ends early");
            Pos += int64_t(Got);
            D.Z.next_in = Buffers.Input.get();
            D.Z.avail_in = uInt(Got);
        }
        D.Z.next_out = Buffers.Output.get();
        D.Z.avail_out = uInt(TBuffers::OutputSize);
        // Z_DATA_ERROR covers a wrong Adler-32 ("incorrect data check").
        const int Result = inflate(&D.Z, Z_NO_FLUSH);
        if (Result != Z_OK && Result != Z_STREAM_END && Result != Z_BUF_ERROR)
            Bad(D.Z.msg ? loader_Failure::Widen(D.Z.msg) : L"zlib error " + std::to_wstring(Result));
        End = Result == Z_STREAM_END;
        const size_t N = TBuffers::OutputSize - D.Z.avail_out;
        // More than Size must not reach the disk.
        if (Written + int64_t(N) > Record.Size)
            Bad(L"it is larger than recorded");
        DWORD Done = 0;
        if (N > 0 && (!WriteFile(Target, Buffers.Output.get(), DWORD(N), &Done, nullptr) || Done != N)) {
            const DWORD Code = GetLastError();
            throw ELoader(loader_Failure::ecUnpack, L"Cannot write " + TargetPath + L": " +
                                                        loader_Failure::SystemReason(Code ? Code : ERROR_DISK_FULL));
        }
        Written += int64_t(N);
    }
    if (D.Z.avail_in != 0 || Pos != Last + 1)
        Bad(L"the compressed data ends before its recorded end");
    if (Written != Record.Size)
        Bad(L"it is smaller than recorded");
}

} // namespace loader_Archive
