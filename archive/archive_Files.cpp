#include "archive/archive_Files.h"

#include "routines/exceptions_Wendrel.h"

#include <iterator>

namespace archive_Files {

namespace {

// An open mode is one access value or'ed with one sharing value.
constexpr uint16_t AccessBits = 0x0003;
constexpr uint16_t ShareBits = 0x00F0;

// The framework's open modes, mapped as its own file streams map them.
DWORD ShareOf(uint16_t Mode)
{
    switch (Mode & ShareBits) {
    case fw_Streams::fmShareDenyWrite:
        return FILE_SHARE_READ;
    case fw_Streams::fmShareDenyRead:
        return FILE_SHARE_WRITE;
    case fw_Streams::fmShareDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:
        return 0;
    }
}

HANDLE Open(const std::string& Name, uint16_t Mode)
{
    if ((Mode & fw_Streams::fmCreate) == fw_Streams::fmCreate)
        return CreateFileA(Name.c_str(), GENERIC_READ | GENERIC_WRITE, ShareOf(Mode), nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    static const DWORD Access[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    if ((Mode & AccessBits) >= std::size(Access)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileA(Name.c_str(), Access[Mode & AccessBits], ShareOf(Mode), nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

std::unique_ptr<TOwnedFileStream> OpenFile(const std::string& Name, uint16_t Mode, const char* Message)
{
    fw_Handles::THandle File(Open(Name, Mode));
    if (!File)
        throw exceptions_Wendrel::EWdrlCompress(Message, {Name}, GetLastError());
    return std::make_unique<TOwnedFileStream>(std::move(File));
}

std::unique_ptr<TOwnedFileStream> CreateNewFile(const std::string& Name)
{
    fw_Handles::THandle File(CreateFileA(Name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File)
        return nullptr;
    return std::make_unique<TOwnedFileStream>(std::move(File));
}

bool FileExists(const std::string& Name, DWORD& Why)
{
    const DWORD Attributes = GetFileAttributesA(Name.c_str());
    if (Attributes == INVALID_FILE_ATTRIBUTES) {
        Why = GetLastError();
        return false;
    }
    // A folder of that name is no file.
    if (Attributes & FILE_ATTRIBUTE_DIRECTORY) {
        Why = ERROR_FILE_NOT_FOUND;
        return false;
    }
    return true;
}

} // namespace archive_Files
