// The archives the loader reads: setup.1 and files.1, alone or inside
// setup.exe. Their tables are read by the archive's own reader through a
// window on the file that holds them, so that positions stored in an
// archive count from its first byte and no record can reach outside it.
// Integrity only: Adler-32 and sizes show damage, not who made the file.
#pragma once

#include "archive/archive_FileHeaders.h"
#include "framework/fw_Streams.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace loader_Archive {

// Bytes First .. Last (inclusive) of an open file, read-only, as a stream of
// their own: position 0 is First, the size is Last - First + 1. Each read
// names its file position itself (no seek of the shared handle first: under
// Wine each is a round trip to the server), so windows on one handle never
// disturb each other.
class TWindowStream : public fw_Streams::TStream {
public:
    TWindowStream(HANDLE File, int64_t First, int64_t Last);
    size_t Read(void* Buffer, size_t Count) override;
    size_t Write(const void* Buffer, size_t Count) override;
    int64_t Seek(int64_t Offset, fw_Streams::TSeekOrigin Origin) override;

private:
    HANDLE FFile;
    int64_t FFirst, FSize, FPos = 0;
};

// Reads the table of the single-file archive that fills Window and checks
// that every record's data lies after that record, before the next one and
// inside the window. Name ("setup.1", "files.1") goes into the message of
// the ELoader (ecDamaged) that any fault raises.
void ReadCheckedTable(fw_Streams::TStream& Window, archive_FileHeaders::TFileHeaders& Table, std::wstring_view Name);

// The name a record's file gets in the loader's folder: the last part of its
// key (after the last "\" or "/"), from the system code page. Empty, dots,
// names with ":" (a drive or a stream) and the system's device names are
// refused with ELoader (ecDamaged).
std::wstring TargetName(std::string_view Key);
// Whether the system reads Name as a device rather than a file: CON, PRN,
// AUX, NUL, CONIN$, CONOUT$, COM1-9, LPT1-9 (and the superscript digits), in
// any case, also with an extension or trailing dots and blanks.
bool IsDeviceName(std::wstring_view Name);

// Fixed buffers for Inflate, made once.
struct TBuffers {
    static constexpr size_t InputSize = 65536, OutputSize = 65536;
    TBuffers();
    std::unique_ptr<uint8_t[]> Input, Output;
};

// Inflates one record's data from Window into Target (a new, empty file):
// the zlib stream must end exactly at the record's last byte, pass its
// Adler-32 check and give exactly Size bytes; else ELoader (ecDamaged). A
// failed write raises ELoader (ecUnpack) naming TargetPath.
void Inflate(fw_Streams::TStream& Window, const archive_FileHeaders::TFileHeaderRecord& Record, HANDLE Target,
             const std::wstring& TargetPath, TBuffers& Buffers);

} // namespace loader_Archive
