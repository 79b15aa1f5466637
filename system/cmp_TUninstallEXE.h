// The uninstall program's install file: installed like any other file, it
// registers the product in the system's list of installed programs, whose
// entry starts it with the product's name.
#pragma once

#include "engine/cmp_TInstallContainer.h"
#include "routines/exceptions_Wendrel.h"

#include <string>

namespace cmp_TUninstallEXE {

using fw_Classes::TComponent;

FW_EXCEPTION(IEUninstallEXE, exceptions_Wendrel::IException);

class TUninstallEXE : public cmp_TInstallContainer::TCustomInstallFile {
    FW_CLASS(TUninstallEXE, cmp_TInstallContainer::TCustomInstallFile)

public:
    explicit TUninstallEXE(TComponent* AOwner);
    ~TUninstallEXE() override;
    // The product's entry in the list of installed programs, in place of the
    // file's own record: the uninstall program removes itself last.
    void WriteUninstallInfo(const std::string& Key) override;

    // The command that removes the product: the program's full path, a
    // blank and the product's name, unquoted.
    std::string UninstallString() const;
};

// Makes the class known to the project reader.
void RegisterUninstallEXEClasses();

} // namespace cmp_TUninstallEXE
