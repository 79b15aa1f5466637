#include "Internal.h"

namespace cmp_TInstallContainer {

// Build time: compressing a container's files into its archive and copying
// them uncompressed.

void TFileContainer::CopyFiles()
{
    // NOT BUILT: copying the container's files to the floppy set.
    throw IEFileContainer("Copying the files is not available in this build");
}

void TFileContainer::Compress(uint8_t Options)
{
    // NOT BUILT: compressing the container's files into its archive.
    throw IEFileContainer("Compressing the files is not available in this build");
}

void TFileContainer::ReadInfoFromFiles()
{
    // NOT BUILT: reading size, date and version of the source files below.
    throw IEFileContainer("Reading the file information is not available in this build");
}

} // namespace cmp_TInstallContainer
