#include "Internal.h"

namespace cmp_TInstall {

void TCustomInstall::Compress(uint8_t Options)
{
    // A build starts with every file idle, also one that a failed build left
    // in the middle of an operation.
    cmp_TInstallContainer::TCustomInstallFileList& Files = cmp_TInstallContainer::AllInstallFiles();
    for (int I = 0; I < Files.Count(); ++I)
        Files.Items(I)->SetState(cmp_TInstallContainer::ifsNone);
    inherited::Compress(Options);
}

} // namespace cmp_TInstall
