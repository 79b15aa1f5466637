#include "archive/archive_Files.h"

#include "framework/fw_Handles.h"
#include "routines/exceptions_Wendrel.h"

namespace archive_Files {

std::unique_ptr<fw_Streams::TFileStream> OpenFile(const std::string& Name, uint16_t Mode, const char* Message)
{
    try {
        return std::make_unique<fw_Streams::TFileStream>(Name, Mode);
    } catch (const fw_Streams::EStreamError& Error) {
        throw exceptions_Wendrel::EWdrlCompress(Message, {Name}, Error.ErrorCode);
    }
}

std::unique_ptr<fw_Streams::TFileStream> CreateNewFile(const std::string& Name)
{
    fw_Handles::THandle File(CreateFileA(Name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File)
        return nullptr;
    return std::make_unique<fw_Streams::TFileStream>(Name, std::move(File));
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
