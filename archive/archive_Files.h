// Files the archive layer opens itself. Opening keeps the system's reason
// for a failure (the framework's streams only put it into their message), so
// that the archive's errors can carry it as their ErrorCode.
#pragma once

#include "framework/fw_Handles.h"
#include "framework/fw_Streams.h"

#include <cstdint>
#include <memory>
#include <string>

namespace archive_Files {

// A stream over a file handle it owns.
class TOwnedFileStream : public fw_Streams::THandleStream {
public:
    explicit TOwnedFileStream(fw_Handles::THandle File) : THandleStream(File.Get()), FFile(std::move(File)) {}

private:
    fw_Handles::THandle FFile;
};

// Opens Name in a framework open mode (fmOpenRead | fmShareDenyNone,
// fmCreate, ...). Failure raises EWdrlCompress with Message formatted with
// Name and the system's error code.
std::unique_ptr<TOwnedFileStream> OpenFile(const std::string& Name, uint16_t Mode, const char* Message);

// Name as a new file for reading and writing, or nullptr when it exists or
// cannot be made.
std::unique_ptr<TOwnedFileStream> CreateNewFile(const std::string& Name);

// Whether Name is an existing file (not a folder); when not, Why is the
// system's reason.
bool FileExists(const std::string& Name, DWORD& Why);

} // namespace archive_Files
