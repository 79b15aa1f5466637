#include "Internal.h"

#include "archive/archive_FileHeaders.h"
#include "framework/fw_Handles.h"

namespace cmp_TInstallContainer {

// Build time: compressing one file into its archive, copying it, reading its
// size, date and version from the source.

void TCustomInstallFile::CompressFile()
{
    // NOT BUILT: compressing the file into its archive.
    throw IECustomInstallFile("Compressing a file is not available in this build");
}

void TCustomInstallFile::CopyToDestination()
{
    // NOT BUILT: copying the file uncompressed to the build folder.
    throw IECustomInstallFile("Copying a file is not available in this build");
}

void TCustomInstallFile::ReadInfoFromFiles()
{
    const std::string Path = SourcePath();
    fw_Handles::THandle File(CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME Written{};
    LARGE_INTEGER Length{};
    if (!File || !GetFileTime(File.Get(), nullptr, nullptr, &Written) || !GetFileSizeEx(File.Get(), &Length))
        throw IECustomInstallFile(
            "Could not open or find the following file when trying to read the Size, Date, and Version :%s", {Path});
    // An archive holds only files below 2 GB; the size could not be told.
    if (Length.QuadPart > INT32_MAX)
        throw IECustomInstallFile(archive_FileHeaders::TooLargeError, {Path});
    FDate = fw_SysUtils::FileTimeToDateTime(Written);
    FSize = int(Length.QuadPart);
    File.Reset();
    FVersion = cmp_TVersion::FileVersionOf(Path).substr(0, 20);
}

} // namespace cmp_TInstallContainer
