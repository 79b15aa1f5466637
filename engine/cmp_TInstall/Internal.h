// What the files of the install root share and nothing outside uses.
#pragma once

#include "engine/cmp_TInstall.h"
#include "framework/fw_Forms.h"

namespace cmp_TInstall {

inline bool IsForm(const TComponent* Component) { return Component && Component->Is<fw_Forms::TCustomForm>(); }

} // namespace cmp_TInstall
