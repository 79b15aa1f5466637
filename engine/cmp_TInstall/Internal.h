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

inline bool IsForm(const TComponent* Component) { return Component && Component->Is<fw_Forms::TCustomForm>(); }

} // namespace cmp_TInstall
