#include "project/fTeskor_Install_D4.h"

#include "framework/fw_Reader.h"

namespace fTeskor_Install_D4 {

FW_DEFINE_CLASS(TfrmTeskor_Install_D4, fw_Forms::TForm, nullptr, nullptr)

void RegisterProjectClasses() { fw_Classes::RegisterClasses({&TfrmTeskor_Install_D4::StaticClass()}); }

TfrmTeskor_Install_D4::TfrmTeskor_Install_D4(fw_Classes::TComponent* AOwner) : fw_Forms::TForm(AOwner)
{
    RegisterProjectClasses();
    fw_Reader::ReadComponentResource(this, "TFRMTESKOR_INSTALL_D4");
}

} // namespace fTeskor_Install_D4
