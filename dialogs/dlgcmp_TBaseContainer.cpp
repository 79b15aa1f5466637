#include "dialogs/dlgcmp_TBaseContainer.h"

#include "dialogs/layouts/BaseFormContainer.wfm.h"
#include "framework/fw_Reader.h"
#include "routines/exceptions_Wendrel.h"

#include <memory>

namespace dlgcmp_TBaseContainer {

using dlgcmp_TBaseDlg::CurrentDialogManager;
using dlgcmp_TBaseDlg::TBIFEntry;
using dlgcmp_TBaseDlg::TCustomBaseInstallDlg;

FW_DEFINE_CLASS(TBaseFormContainer, fw_Forms::TForm, fw_Classes::CreateComponent<TBaseFormContainer>, nullptr)

TBaseFormContainer::TBaseFormContainer(TComponent* AOwner) : fw_Forms::TForm(AOwner)
{
    fw_Reader::ReadComponentText(this, BaseFormContainerLayout);
    DisplayPanel = static_cast<fw_ExtCtrls::TPanel*>(FindComponent("DisplayPanel"));
    Tabs = static_cast<fw_ComCtrls::TTabControl*>(FindComponent("Tabs"));
    Tabs->OnChange = [this](fw_Classes::TObject* Sender) { TabsChange(Sender); };
    Tabs->OnChanging = [this](fw_Classes::TObject* Sender, bool& Allow) { TabsChanging(Sender, Allow); };
    OnShow = [this](fw_Classes::TObject* Sender) { FormShow(Sender); };
    Font()->SetCharset(ANSI_CHARSET);
    Resizing = true;
    SetHeight(395);
    SetWidth(478);
    Resizing = false;
    Finished = false;
}

TBaseFormContainer::~TBaseFormContainer()
{
    Destroying();
    FPages.clear(); // the pages are freed as owned components
}

int TBaseFormContainer::LoadPages()
{
    if (!CurrentDialogManager)
        throw fw_SysUtils::Exception(exceptions_Wendrel::TranslateMessage("The current dialog manager is not defined"));
    FPages.clear();
    dlgcmp_TBaseDlg::TFormRegistry* List = dlgcmp_TBaseDlg::BIFList();
    const int Count = List ? List->Count() : 0;
    for (int I = 0; I < Count; ++I) {
        TBIFEntry* Entry = dlgcmp_TBaseDlg::BIFEntry(I);
        TCustomBaseInstallDlg* Dialog = Entry->Dialog;
        if (Dialog && (Dialog->DialogManager() != CurrentDialogManager || !Dialog->CanExecute()))
            continue;
        if (!Entry->FormClass || !Entry->FormClass->Create ||
            !Entry->FormClass->InheritsFrom(&TBaseInstallForm::StaticClass()))
            throw fw_SysUtils::Exception("A wizard page's class cannot make a page");
        std::unique_ptr<TComponent, fw_Classes::TComponentDeleter> Made(Entry->FormClass->Create(this));
        auto* Page = static_cast<TBaseInstallForm*>(Made.get());
        if (!Dialog && Page->DM() != CurrentDialogManager)
            continue; // freed, leaving this window's components
        Page->SetDC(Dialog);
        if (Dialog) {
            Page->SetContainer(Dialog->Container());
            Page->Order = Dialog->Order();
            Dialog->SetForm(Page);
            Dialog->AssignDialogProperties();
        }
        Tabs->AddTab(Page->Name().empty() ? Page->ClassName() : Page->Name());
        const RECT Area{DisplayPanel->Left(), DisplayPanel->Top(), DisplayPanel->Left() + DisplayPanel->Width(),
                        DisplayPanel->Top() + DisplayPanel->Height()};
        Page->SetBounds(Area.left, Area.top, Area.right - Area.left, Area.bottom - Area.top);
        Page->ApplyFontAndTranslation();
        Page->ShowForm();
        FPages.push_back(Page);
        Made.release();
    }
    // An exchange sort, as pages with the same Order have always been shown.
    for (size_t I = 0; I < FPages.size(); ++I)
        for (size_t J = I + 1; J < FPages.size(); ++J)
            if (FPages[I]->Order > FPages[J]->Order)
                std::swap(FPages[I], FPages[J]);
    return int(FPages.size());
}

bool TBaseFormContainer::ShowPage(int Index, bool Backward)
{
    // Skipped pages are passed over in the direction of travel.
    while (Index >= 0 && Index < int(FPages.size()) && FPages[size_t(Index)]->SkipPage())
        Index += Backward ? -1 : 1;
    if (Index < 0 || Index >= int(FPages.size()))
        return false;
    TBaseInstallForm* Page = FPages[size_t(Index)];
    Tabs->SetTabIndex(Index);
    SetCaption(Page->Caption());
    Page->ActivatePage();
    return true;
}

void TBaseFormContainer::NextPage()
{
    const int Old = Tabs->TabIndex();
    if (!ShowPage(Old + 1, false))
        ShowPage(Old + 1, true);
    if (Tabs->TabIndex() == Old) {
        Finished = true;
        SetModalResult(mrWizardDone);
    }
}

void TBaseFormContainer::PreviousPage()
{
    const int Current = Tabs->TabIndex();
    if (!ShowPage(Current - 1, true))
        ShowPage(Current - 1, false);
}

bool TBaseFormContainer::IsFirstPage()
{
    const int Current = Tabs->TabIndex();
    for (int I = 0; I < Current && I < int(FPages.size()); ++I)
        if (!FPages[size_t(I)]->SkipPage())
            return false;
    return true;
}

bool TBaseFormContainer::IsLastPage() { return Tabs->TabIndex() == int(FPages.size()) - 1; }

void TBaseFormContainer::PositionForm(TWendrelDialogPosition Position, int RelativeLeftOffset, int RelativeTopOffset)
{
    RECT R = dlgcmp_TBaseDlg::PlaceWindow(Position, RelativeLeftOffset, RelativeTopOffset, Width(), Height(),
                                          GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                          GetSystemMetrics(SM_CYCAPTION), dlgcmp_TBaseDlg::TCentreRounding::Truncate);
    SetBounds(R.left, R.top, Width(), Height());
}

bool TBaseFormContainer::CloseQuery() { return Finished || ModalResult() == mrWizardAbort; }

void TBaseFormContainer::FormShow(fw_Classes::TObject*)
{
    if (!ShowPage(0, true))
        ShowPage(0, false);
    SetForegroundWindow(Handle());
}

void TBaseFormContainer::TabsChange(fw_Classes::TObject*)
{
    const int Current = Tabs->TabIndex();
    if (!ShowPage(Current, true))
        ShowPage(Current, false);
}

void TBaseFormContainer::TabsChanging(fw_Classes::TObject*, bool&)
{
    const int Current = Tabs->TabIndex();
    if (Current >= 0 && Current < int(FPages.size()))
        FPages[size_t(Current)]->PageLeaving();
}

void TBaseFormContainer::AlignPages()
{
    if (Resizing || !DisplayPanel)
        return;
    for (TBaseInstallForm* Page : FPages)
        if (Page->HandleAllocated())
            MoveWindow(Page->Handle(), DisplayPanel->Left(), DisplayPanel->Top(), DisplayPanel->Width(),
                       DisplayPanel->Height(), TRUE);
}

LRESULT TBaseFormContainer::WndProc(UINT Msg, WPARAM W, LPARAM L)
{
    LRESULT Result = inherited::WndProc(Msg, W, L);
    if (Msg == WM_SIZE)
        AlignPages();
    return Result;
}

void RegisterContainerClasses() { fw_Classes::RegisterClass(&TBaseFormContainer::StaticClass()); }

} // namespace dlgcmp_TBaseContainer
