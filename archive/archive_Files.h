// Files the archive layer opens itself: its failures carry the archive's own
// texts with the system's reason as their ErrorCode.
#pragma once

#include "framework/fw_Streams.h"

#include <cstdint>
#include <memory>
#include <string>

namespace archive_Files {

// Opens Name in a framework open mode (fmOpenRead | fmShareDenyNone,
// fmCreate, ...). Failure raises EWdrlCompress with Message formatted with
// Name and the system's error code.
std::unique_ptr<fw_Streams::TFileStream> OpenFile(const std::string& Name, uint16_t Mode, const char* Message);

// Name as a new file for reading and writing, or nullptr when it exists or
// cannot be made.
std::unique_ptr<fw_Streams::TFileStream> CreateNewFile(const std::string& Name);

// Whether Name is an existing file (not a folder); when not, Why is the
// system's reason.
bool FileExists(const std::string& Name, DWORD& Why);

} // namespace archive_Files
