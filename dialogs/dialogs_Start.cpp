#include "dialogs/dialogs_Start.h"

#include "dialogs/cmp_TBackDrop.h"
#include "dialogs/dlgcmp_TBaseContainer.h"
#include "dialogs/dlgcmp_TBaseDlg.h"
#include "dialogs/ordlg_CopyFile.h"
#include "dialogs/ordlg_SelectDestination.h"
#include "dialogs/ordlg_WelcomeDlg.h"
#include "framework/fw_StdCtrls.h"
#include "translate/cmp_TTranslator.h"

namespace dialogs_Start {

void StartDialogUnits()
{
    static bool Started = false;
    if (Started)
        return;
    Started = true;
    fw_StdCtrls::RegisterFormControls();
    cmp_TTranslator::RegisterTranslatorClasses();
    dlgcmp_TBaseDlg::StartUnit();
    dlgcmp_TBaseDlg::RegisterDialogManagerClasses();
    dlgcmp_TBaseContainer::RegisterContainerClasses();
    ordlg_WelcomeDlg::StartUnit();
    ordlg_SelectDestination::StartUnit();
    ordlg_CopyFile::StartUnit();
    cmp_TBackDrop::RegisterDecorativeClasses();
}

} // namespace dialogs_Start
