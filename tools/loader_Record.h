// Where setup.1 and files.1 lie: after the loader's own image, located by the
// 56-byte extraction record that ends a self-extracting setup.exe. The record
// is checked for integrity only (does it describe this file?); nothing in it
// says who made the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace loader_Record {

constexpr size_t RecordSize = 56;
// "SELFEXTRACTING" and its zero byte.
constexpr size_t MarkerSize = 15;
extern const char Marker[MarkerSize];

#pragma pack(push, 1)
struct TExtractionRecord {
    char Marker[MarkerSize];
    uint8_t Reserved1;
    int32_t SetupStart;
    int32_t SetupEnd; // the last byte, not the one after it
    int32_t FilesStart;
    int32_t FilesEnd; // the last byte; both 0 when no files.1 was appended
    uint8_t Reserved2[24];
};
#pragma pack(pop)
static_assert(sizeof(TExtractionRecord) == RecordSize);

// The byte ranges of the appended archives, first and last byte inclusive.
struct TLayout {
    int64_t SetupFirst = 0, SetupLast = 0;
    bool HasFiles = false;
    int64_t FilesFirst = 0, FilesLast = 0;
};

// Where the loader's own file ends: past the headers, the raw data of its
// last section and a certificate table, whichever lies furthest. Headers are
// the bytes of a PE image from its DOS header on (a mapped module or the
// file's start); an image that does not parse raises ELoader (ecInternal).
int64_t ImageEnd(const uint8_t* Headers, size_t Size);

// What the file holds after the loader's image (ImageEnd bytes long):
// nothing (answers no layout: setup.1 lies beside it), or archives and a
// valid record (Tail: the file's last 56 bytes, null when it is shorter).
// Anything else is damage and raises ELoader (ecDamaged), never a reason to
// look for setup.1 elsewhere.
std::optional<TLayout> ReadLayout(int64_t ImageEnd, int64_t FileSize, const uint8_t* Tail);

} // namespace loader_Record
