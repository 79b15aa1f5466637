#include "tools/loader_Record.h"

#include "framework/fw_Windows.h"
#include "tools/loader_Failure.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace loader_Record {

using loader_Failure::ELoader;

const char Marker[MarkerSize] = "SELFEXTRACTING";

namespace {

[[noreturn]] void Damaged(const std::wstring& Why) { throw ELoader(loader_Failure::ecDamaged, Why); }

bool AllZero(const uint8_t* P, size_t N)
{
    return std::all_of(P, P + N, [](uint8_t B) { return B == 0; });
}

} // namespace

int64_t ImageEnd(const uint8_t* Headers, size_t Size)
{
    auto Broken = [] { throw ELoader(loader_Failure::ecInternal, L"The loader cannot read its own program headers."); };
    IMAGE_DOS_HEADER Dos;
    if (Size < sizeof Dos)
        Broken();
    std::memcpy(&Dos, Headers, sizeof Dos);
    if (Dos.e_magic != IMAGE_DOS_SIGNATURE || Dos.e_lfanew < 0)
        Broken();
    const size_t NtAt = size_t(Dos.e_lfanew);
    IMAGE_NT_HEADERS64 Nt;
    if (NtAt > Size || Size - NtAt < sizeof Nt)
        Broken();
    std::memcpy(&Nt, Headers + NtAt, sizeof Nt);
    if (Nt.Signature != IMAGE_NT_SIGNATURE || Nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        Broken();
    const size_t SectionsAt = NtAt + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + Nt.FileHeader.SizeOfOptionalHeader;
    const size_t Count = Nt.FileHeader.NumberOfSections;
    if (SectionsAt > Size || (Size - SectionsAt) / sizeof(IMAGE_SECTION_HEADER) < Count)
        Broken();
    int64_t End = Nt.OptionalHeader.SizeOfHeaders;
    for (size_t I = 0; I < Count; ++I) {
        IMAGE_SECTION_HEADER S;
        std::memcpy(&S, Headers + SectionsAt + I * sizeof S, sizeof S);
        if (S.SizeOfRawData > 0)
            End = std::max<int64_t>(End, int64_t(S.PointerToRawData) + S.SizeOfRawData);
    }
    // A certificate table is addressed by file position and follows the sections.
    if (Nt.OptionalHeader.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_SECURITY) {
        const IMAGE_DATA_DIRECTORY& Cert = Nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
        if (Cert.VirtualAddress && Cert.Size)
            End = std::max<int64_t>(End, int64_t(Cert.VirtualAddress) + Cert.Size);
    }
    return End;
}

std::optional<TLayout> ReadLayout(int64_t ImageEnd, int64_t FileSize, const uint8_t* Tail)
{
    if (FileSize == ImageEnd)
        return std::nullopt;
    if (FileSize < ImageEnd)
        Damaged(L"the file is shorter than the program it begins with");
    if (FileSize - ImageEnd < int64_t(RecordSize) || !Tail)
        Damaged(L"there is data after the program but no extraction record at its end");
    TExtractionRecord R;
    std::memcpy(&R, Tail, RecordSize);
    if (std::memcmp(R.Marker, Marker, MarkerSize) != 0)
        Damaged(L"there is data after the program but no extraction record at its end");
    if (R.Reserved1 != 0 || !AllZero(R.Reserved2, sizeof R.Reserved2))
        Damaged(L"the reserved bytes of the extraction record are not zero");

    // The layout is exact: the loader, setup.1, files.1 (when present) and the
    // record, without gaps or overlaps.
    const int64_t RecordFirst = FileSize - int64_t(RecordSize);
    TLayout L;
    L.SetupFirst = R.SetupStart;
    L.SetupLast = R.SetupEnd;
    if (L.SetupFirst != ImageEnd)
        Damaged(L"setup.1 does not start where the program ends");
    // An archive holds at least its 5-byte preamble.
    if (L.SetupLast < L.SetupFirst + 4)
        Damaged(L"the range of setup.1 is out of order or too short");
    if (R.FilesStart == 0 && R.FilesEnd == 0) {
        if (L.SetupLast + 1 != RecordFirst)
            Damaged(L"setup.1 does not end where the extraction record begins");
        return L;
    }
    L.HasFiles = true;
    L.FilesFirst = R.FilesStart;
    L.FilesLast = R.FilesEnd;
    if (L.FilesFirst != L.SetupLast + 1)
        Damaged(L"files.1 does not start where setup.1 ends");
    if (L.FilesLast < L.FilesFirst + 4)
        Damaged(L"the range of files.1 is out of order or too short");
    if (L.FilesLast + 1 != RecordFirst)
        Damaged(L"files.1 does not end where the extraction record begins");
    return L;
}

} // namespace loader_Record
