#include "Internal.h"

#include "framework/fw_Handles.h"
#include "routines/routines_API.h"

namespace cmp_TInstallContainer {

namespace {

// Appends in place, so that a long log costs one write per line. A log whose
// last line lacks its line break gets one first, as loading and saving the
// whole list would give it.
void Append(const char* FileName, const std::string& Line)
{
    try {
        const std::string Path = routines_API::WindowsDirectory() + FileName;
        fw_Handles::THandle File(CreateFileA(Path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!File)
            return;
        LARGE_INTEGER Size{};
        if (!GetFileSizeEx(File.Get(), &Size))
            return;
        std::string Text;
        if (Size.QuadPart > 0) {
            LARGE_INTEGER Last{};
            Last.QuadPart = Size.QuadPart - 1;
            char Tail = 0;
            DWORD Read = 0;
            if (SetFilePointerEx(File.Get(), Last, nullptr, FILE_BEGIN) &&
                ReadFile(File.Get(), &Tail, 1, &Read, nullptr) && Read == 1 && Tail != '\n')
                Text = "\r\n";
        }
        Text += Line + "\r\n";
        LARGE_INTEGER End{};
        DWORD Written = 0;
        if (SetFilePointerEx(File.Get(), End, nullptr, FILE_END))
            WriteFile(File.Get(), Text.data(), DWORD(Text.size()), &Written, nullptr);
    } catch (const fw_SysUtils::Exception&) {
        // no Windows folder: the log is lost, the installation goes on
    }
}

} // namespace

void AppendInstallOrder(const std::string& Line) { Append(InstallOrderFile, Line); }
void AppendCompressOrder(const std::string& Line) { Append(CompressOrderFile, Line); }

} // namespace cmp_TInstallContainer
