#include "Internal.h"

namespace cmp_TInstall {

void TCustomInstall::Compress(uint8_t Options)
{
    // NOT BUILT: compressing the root's own files into the main archive.
    throw IEInstall("Compressing the files is not available in this build");
}

} // namespace cmp_TInstall
