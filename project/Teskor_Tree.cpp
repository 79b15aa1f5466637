// Prints the install tree of the Quorvane project as the engine resolves it
// on this machine: every node with its destination. The main job shows it.
// Usage: Teskor_Tree.exe   (no arguments; the project is read as for a
// normal installation, nothing is installed)
#include "engine/cmp_TInstall.h"
#include "framework/fw_Forms.h"
#include "project/fTeskor_Install_D4.h"

#include <cstdio>
#include <memory>

int main()
{
    try {
        // The project is read as by a normal installation without switches.
        fTeskor_Install_D4::TFormPtr Form = fTeskor_Install_D4::ReadProjectForTool({});
        cmp_TInstall::TInstall* Root = Form->Install1;
        std::printf("%s -> %s\n", Root->Name().c_str(), Root->GetFullDestDir().c_str());
        for (const std::string& Line : fTeskor_Install_D4::DescribeTree(Root))
            std::printf("%s\n", Line.c_str());
        return 0;
    } catch (const std::exception& E) {
        std::fprintf(stderr, "%s\n", E.what());
    } catch (...) {
        std::fprintf(stderr, "Unknown exception\n");
    }
    return 1;
}
