// The main form of the setup program: it holds the install project.
#pragma once

#include "framework/fw_Forms.h"

namespace fTeskor_Install_D4 {

class TfrmTeskor_Install_D4 : public fw_Forms::TForm {
    FW_CLASS(TfrmTeskor_Install_D4, fw_Forms::TForm)

public:
    // Reads the form's resource, which creates the install project.
    explicit TfrmTeskor_Install_D4(fw_Classes::TComponent* AOwner);
};

// Makes the classes of the install project known to the reader.
void RegisterProjectClasses();

} // namespace fTeskor_Install_D4
