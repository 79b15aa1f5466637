// The loader's private folder under the temporary path: a new random name
// each time, readable and writable by the current user alone, and removed
// again unless a pending RunOnce command still needs what it holds.
#pragma once

#include "framework/fw_Windows.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace loader_Folder {

// Fills the buffer with random bytes (a test may choose them).
using TRandom = std::function<void(uint8_t* Bytes, size_t Count)>;
// The system's random number generator; ELoader (ecInternal) when it fails.
void SystemRandom(uint8_t* Bytes, size_t Count);

// A security descriptor whose DACL grants the current user alone full
// access, inherited by files and folders made inside, and protected from the
// entries of the folder above. ELoader (ecUnpack) when it cannot be made.
class TPrivateSecurity {
public:
    TPrivateSecurity();
    TPrivateSecurity(const TPrivateSecurity&) = delete;
    TPrivateSecurity& operator=(const TPrivateSecurity&) = delete;
    SECURITY_ATTRIBUTES* Attributes() { return &FAttributes; }
    PSECURITY_DESCRIPTOR Descriptor() { return &FDescriptor; }

private:
    std::vector<uint8_t> FSid, FAcl;
    SECURITY_DESCRIPTOR FDescriptor{};
    SECURITY_ATTRIBUTES FAttributes{};
};

// "WDRL" and 32 hexadecimal digits: a 128-bit name.
std::wstring FolderName(const uint8_t (&Random)[16]);

// Creates Parent\<FolderName> with the descriptor of TPrivateSecurity. A name that
// exists already is never used: another is drawn. Answers the new folder's
// path; ELoader (ecUnpack) when none can be made.
std::wstring CreatePrivateFolder(std::wstring_view Parent, const TRandom& Random = SystemRandom);

// Removes Folder and everything in it. Files and folders that disappear
// meanwhile (the setup program's own clean-up removes the same) are no
// fault; answers whether the folder is gone.
bool RemoveFolder(const std::wstring& Folder);

// Whether a RunOnce command line names something inside one of the forms
// (long, short) of Folder.
bool NamesProgramInside(std::wstring_view CommandLine, const std::vector<std::wstring>& FolderForms);
// Whether any value under HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce
// (either registry view) names a program inside Folder: the resumed setup
// after a restart runs from there and removes the folder itself.
bool RunOnceNeeds(const std::wstring& Folder);

} // namespace loader_Folder
