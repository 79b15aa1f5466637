#include "engine/cmp_TInstallContainer.h"

namespace cmp_TInstallContainer {

void RegisterInstallContainerClasses()
{
    fw_Classes::RegisterClasses({&TInstallGroup::StaticClass(), &TInstallDirectory::StaticClass(),
                                 &TpsFileContainer::StaticClass(), &TInstallFile::StaticClass()});
}

} // namespace cmp_TInstallContainer
