// Makes the distribution's archive "files.1" of the Quorvane project from the
// product's files, through the project's own install files, as the build
// does: every file of the tree is compressed into the install root's main
// archive, which the s switch places in the folder given.
// Usage: Teskor_Archive.exe FOLDER   (FOLDER\files.1 is made anew)
#include "engine/cmp_TInstall.h"
#include "framework/fw_Forms.h"
#include "project/fTeskor_Install_D4.h"

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: Teskor_Archive.exe FOLDER   (makes FOLDER\\files.1)\n");
        return 2;
    }
    try {
        using namespace cmp_TInstallContainer;
        // The project is read as by a setup program started from FOLDER: the
        // main archive is FOLDER\files.1.
        const std::string Folder = argv[1];
        fTeskor_Install_D4::TFormPtr Form = fTeskor_Install_D4::ReadProjectForTool({"-s" + Folder});
        cmp_TInstall::TInstall* Root = Form->Install1;
        TCustomInstallFileList& Files = AllInstallFiles();
        for (int I = 0; I < Files.Count(); ++I)
            Files.Items(I)->OnAfterCompress = [](TCustomInstallFile* File) {
                std::printf("%s: %s -> %s\n", File->Name().c_str(), File->SourcePath().c_str(),
                            File->CompressInfo().Archive.c_str());
            };
        // The options of a traditional distribution's build: every file, also
        // a net or an excluded one, goes into the local archive.
        Root->Compress(CompressOptions({coMainToContainer, coForceNetFilesLocal, coIncludeAll}));
        std::printf("%s\n", Root->GetFullArchiveFile().c_str());
        return 0;
    } catch (const std::exception& E) {
        std::fprintf(stderr, "%s\n", E.what());
    } catch (...) {
        std::fprintf(stderr, "Unknown exception\n");
    }
    return 1;
}
