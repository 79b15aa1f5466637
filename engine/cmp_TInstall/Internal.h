// What the files of the install root share and nothing outside uses.
#pragma once

#include "engine/cmp_TInstall.h"
#include "framework/fw_Forms.h"

namespace cmp_TInstall {

// One record of the net distribution's "filelist.lst" as it lies in the file.
#pragma pack(push, 1)
struct TFileListRecord {
    int32_t Size;
    double Date;
    char Name[40];
    char Version[20];
};
#pragma pack(pop)
static_assert(sizeof(TFileListRecord) == 72);

// Whether Folder lies below the temporary folder (with DirectlyBelow, as
// its child): only such a copy of the setup program is removed.
bool BelowTempFolder(const std::string& Folder, bool DirectlyBelow);

inline bool IsForm(const TComponent* Component) { return Component && Component->Is<fw_Forms::TCustomForm>(); }

} // namespace cmp_TInstall
