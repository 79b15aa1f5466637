#include "dialogs/dlgcmp_TBaseDlg.h"

#include "dialogs/dlgcmp_TBaseContainer.h"
#include "engine/cmp_TInstall.h"
#include "framework/fw_ExtCtrls.h"
#include "framework/fw_Handles.h"
#include "framework/fw_Reader.h"
#include "routines/exceptions_Wendrel.h"

#include <algorithm>
#include <cmath>

namespace dlgcmp_TBaseDlg {

using dlgcmp_TBaseContainer::mrWizardAbort;
using dlgcmp_TBaseContainer::mrWizardDone;
using dlgcmp_TBaseContainer::TBaseFormContainer;
using exceptions_Wendrel::IException;
using fw_Forms::Application;
using fw_SysUtils::Exception;

const fw_Classes::TEnumInfo TManagerTypeInfo{
    "TManagerType",
    {"dmBeforeInstall", "dmAfterGoodInstall", "dmAfterBadInstall", "dmDuringCopyFiles", "dmChangeDisk", "dmReboot"}};
const fw_Classes::TEnumInfo TWendrelDialogPositionInfo{"TWendrelDialogPosition",
                                                       {"wdpCenterLeft", "wdpCenter", "wdpCenterRight", "wdpBottomLeft",
                                                        "wdpBottomCenter", "wdpBottomRight", "wdpTopLeft",
                                                        "wdpTopCenter", "wdpTopRight"}};

namespace {

// A message of the dialogs: translated first, then formatted.
std::string Translated(const char* Fmt, fw_SysUtils::TVarRecs Args)
{
    return fw_SysUtils::Format(exceptions_Wendrel::TranslateMessage(Fmt), Args);
}

std::vector<TBaseWendrelForm*> TheBaseForms;
std::unique_ptr<TFormRegistry> TheBIFList;
std::unique_ptr<TFormRegistry> TheDCFList;

bool QueryUserAbort()
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    return !Root || Root->QueryUserAbort();
}

template <class T>
using TOwned = std::unique_ptr<T, fw_Classes::TComponentDeleter>;

// A form of a registered class, owned by the application.
TOwned<fw_Forms::TCustomForm> CreateFormOf(TClass FormClass)
{
    if (!FormClass || !FormClass->Create || !FormClass->InheritsFrom(&fw_Forms::TCustomForm::StaticClass()))
        throw Exception("A registered form class cannot make a form");
    return TOwned<fw_Forms::TCustomForm>(static_cast<fw_Forms::TCustomForm*>(FormClass->Create(Application)));
}

void ReadLayout(fw_Forms::TCustomForm* Form, std::string_view Text) { fw_Reader::ReadComponentText(Form, Text); }

// Points Field at Value, hearing when Value goes and no longer when the old
// one does.
template <class T>
void HoldReference(TComponent* Self, T*& Field, T* Value)
{
    if (Field == Value)
        return;
    if (Field)
        Field->RemoveFreeNotification(Self);
    Field = Value;
    if (Value)
        Value->FreeNotification(Self);
}

} // namespace

RECT PlaceWindow(TWendrelDialogPosition Position, int RelativeLeftOffset, int RelativeTopOffset, int Width, int Height,
                 int ScreenWidth, int ScreenHeight, int CaptionHeight, TCentreRounding Rounding)
{
    int CentreLeft, CentreTop;
    if (Rounding == TCentreRounding::Round) {
        // The default rounding mode takes halves to the even neighbour.
        CentreLeft = int(std::nearbyint(ScreenWidth / 2.0 - Width / 2.0));
        CentreTop = int(std::nearbyint(ScreenHeight / 2.0 - Height / 2.0));
    } else {
        CentreLeft = int(std::trunc(float(ScreenWidth) / 2.0f - float(Width) / 2.0f));
        CentreTop = int(std::trunc(float(ScreenHeight) / 2.0f - float(Height) / 2.0f));
    }
    const int Column = Position % 3; // left, centre, right
    const int Row = Position / 3;    // centre, bottom, top
    int Left = Column == 1   ? CentreLeft + RelativeLeftOffset
               : Column == 0 ? RelativeLeftOffset
                             : ScreenWidth - Width - RelativeLeftOffset;
    int Top = Row == 0   ? CentreTop + RelativeTopOffset
              : Row == 2 ? RelativeTopOffset
                         : ScreenHeight - CaptionHeight - Height - RelativeTopOffset;
    return RECT{Left, Top, Left + Width, Top + Height};
}

// ---- registries ---------------------------------------------------------------------

TBIFEntry* TFormRegistry::Add(TClass FormClass, TCustomBaseInstallDlg* Dialog, int Reserved)
{
    FEntries.push_back(std::make_unique<TBIFEntry>(TBIFEntry{FormClass, Dialog, Reserved}));
    return FEntries.back().get();
}

void TFormRegistry::Remove(TBIFEntry* Entry)
{
    auto It = std::find_if(FEntries.begin(), FEntries.end(), [&](const auto& E) { return E.get() == Entry; });
    if (Entry && It != FEntries.end())
        FEntries.erase(It);
}

TFormRegistry* BIFList() { return TheBIFList.get(); }
TFormRegistry* DCFList() { return TheDCFList.get(); }

TFormRegistry& ChangeDiskForms()
{
    static TFormRegistry List;
    return List;
}

TBIFEntry* RegisterInstallForm(TClass FormClass, TCustomBaseInstallDlg* Dialog, int Reserved)
{
    if (!TheBIFList)
        TheBIFList = std::make_unique<TFormRegistry>();
    return TheBIFList->Add(FormClass, Dialog, Reserved);
}

TDCFEntry* RegisterDuringCopyForm(TClass FormClass, TCustomBaseInstallDlg* Dialog, int Reserved)
{
    if (!TheDCFList)
        TheDCFList = std::make_unique<TFormRegistry>();
    return TheDCFList->Add(FormClass, Dialog, Reserved);
}

void RemoveInstallForm(TBIFEntry* Entry)
{
    if (TheBIFList)
        TheBIFList->Remove(Entry);
}

void RemoveDuringCopyForm(TDCFEntry* Entry)
{
    if (TheDCFList)
        TheDCFList->Remove(Entry);
}

TBIFEntry* BIFEntry(int Index)
{
    if (!TheBIFList)
        throw Exception(exceptions_Wendrel::TranslateMessage("The BIFList is NIL"));
    if (Index < 0 || Index >= TheBIFList->Count())
        throw Exception(Translated("%d is an invalid index in the BIFList", {Index}));
    TBIFEntry* Entry = TheBIFList->Items(Index);
    if (!Entry)
        throw Exception(Translated("The %d 'th entry in the BIFList is NIL", {Index}));
    return Entry;
}

TDialogManager* CurrentDialogManager = nullptr;

TDialogManager* FindDialogManager(TManagerType ManagerType)
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (!Root)
        return nullptr;
    cmp_TInstallContainer::TInstallContainerList& All = cmp_TInstallContainer::AllInstallContainers();
    for (int I = 0; I < All.Count(); ++I) {
        auto* Manager = dynamic_cast<TDialogManager*>(All.Items(I));
        if (Manager && Manager->ManagerType == ManagerType && Manager->Container() == Root)
            return Manager;
    }
    return nullptr;
}

void StartUnit()
{
    if (!TheBIFList)
        TheBIFList = std::make_unique<TFormRegistry>();
    if (!TheDCFList)
        TheDCFList = std::make_unique<TFormRegistry>();
}

// ---- TBaseWendrelForm ---------------------------------------------------------------

FW_DEFINE_CLASS(TBaseWendrelForm, fw_Forms::TForm, nullptr, nullptr)

TBaseWendrelForm::TBaseWendrelForm(TComponent* AOwner) : fw_Forms::TForm(AOwner)
{
    Font()->SetCharset(ANSI_CHARSET);
    TheBaseForms.push_back(this);
}

TBaseWendrelForm::~TBaseWendrelForm() { std::erase(TheBaseForms, this); }

const std::vector<TBaseWendrelForm*>& BaseForms() { return TheBaseForms; }

void TBaseWendrelForm::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent && AComponent == FContainer)
        FContainer = nullptr;
}

void TBaseWendrelForm::SetContainer(TInstallContainer* Value) { HoldReference(this, FContainer, Value); }

void TBaseWendrelForm::UpdateLanguage() { ApplyFontAndTranslation(); }

void TBaseWendrelForm::UpdatePage() {}

void TBaseWendrelForm::ApplyFontAndTranslation()
{
    using namespace cmp_TTranslator;
    if (AutoSetFont) {
        if (OverrideMainTranslator)
            SetFormFontIn(TranslateIntoLanguage, this);
        else
            SetFormFont(this);
    }
    if (AutoTranslate)
        FormLanguage = OverrideMainTranslator ? TranslateFormInto(FormLanguage, TranslateIntoLanguage, this)
                                              : TranslateForm(FormLanguage, this);
    if (Application)
        Application->ProcessMessages();
}

// ---- TBaseInstallForm ---------------------------------------------------------------

static void DefineBaseInstallForm(fw_Classes::TPropertyBuilder<TBaseInstallForm>& P)
{
    P.Reference<TCustomBaseInstallDlg>("DC", &TBaseInstallForm::DC, &TBaseInstallForm::SetDC);
    P.Reference<TDialogManager>("DM", &TBaseInstallForm::DM, &TBaseInstallForm::SetDM);
    P.Integer("Order", &TBaseInstallForm::Order, &TBaseInstallForm::Order, 0);
}

FW_DEFINE_CLASS(TBaseInstallForm, TBaseWendrelForm, nullptr, DefineBaseInstallForm)

TBaseInstallForm::TBaseInstallForm(TComponent* AOwner) : TBaseWendrelForm(AOwner) {}

void TBaseInstallForm::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove || !AComponent)
        return;
    if (AComponent == FDC)
        FDC = nullptr;
    if (AComponent == FDM)
        FDM = nullptr;
}

void TBaseInstallForm::SetDC(TCustomBaseInstallDlg* Value) { HoldReference(this, FDC, Value); }

void TBaseInstallForm::SetDM(TDialogManager* Value) { HoldReference(this, FDM, Value); }

void TBaseInstallForm::LoadLayout(std::string_view Text)
{
    ReadLayout(this, Text);
    auto* Owner = dynamic_cast<fw_Forms::TCustomForm*>(this->Owner());
    if (!Owner)
        return;
    // A page of a wizard: a borderless child of the wizard window, shown
    // when the window turns to it.
    SetVisible(false);
    SetPosition(fw_Forms::poDesigned);
    SetBorderIcons({});
    SetBorderStyle(fw_Forms::bsNone);
    SetParent(Owner);
    HandleNeeded();
    SetBounds(0, 0, Owner->ClientWidth(), Owner->Height());
}

void TBaseInstallForm::BindWizardButtons()
{
    auto Bind = [this](const char* Name, void (TBaseInstallForm::*Action)()) {
        if (auto* Button = dynamic_cast<fw_Forms::TControl*>(FindComponent(Name)))
            Button->OnClick = [this, Action](TObject*) { (this->*Action)(); };
    };
    Bind("BackBtn", &TBaseInstallForm::PreviousPage);
    Bind("ProceedBtn", &TBaseInstallForm::NextPage);
    Bind("FinishBtn", &TBaseInstallForm::NextPage);
    Bind("CancelBtn", &TBaseInstallForm::CancelInstall);
}

void TBaseInstallForm::TakeInstallThemeBitmap()
{
    auto* Image = dynamic_cast<fw_ExtCtrls::TImage*>(FindComponent("ThemeBitmap"));
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (!Image || !Root || !Image->Picture()->Bitmap().Empty())
        return;
    Image->Picture()->Assign(Root->DialogThemeBitmap());
    Image->PictureChanged();
}

void TBaseInstallForm::FocusWhenVisible(fw_Forms::TWinControl* Control)
{
    if (Control && Control->Visible() && Visible() && HandleAllocated() && IsWindowVisible(Handle()))
        Control->SetFocus();
}

TBaseFormContainer* TBaseInstallForm::Wizard() const { return dynamic_cast<TBaseFormContainer*>(Owner()); }

bool TBaseInstallForm::IsFirstPage() { return Wizard() && Wizard()->IsFirstPage(); }

bool TBaseInstallForm::IsLastPage() { return Wizard() && Wizard()->IsLastPage(); }

void TBaseInstallForm::AbortInstall()
{
    if (TBaseFormContainer* W = Wizard())
        W->SetModalResult(mrWizardAbort);
    else
        SetModalResult(mrWizardAbort);
}

void TBaseInstallForm::NextPage()
{
    if (TBaseFormContainer* W = Wizard())
        W->NextPage();
}

void TBaseInstallForm::PreviousPage()
{
    if (TBaseFormContainer* W = Wizard())
        W->PreviousPage();
}

void TBaseInstallForm::ActivatePage()
{
    TBaseFormContainer* W = Wizard();
    if (!W)
        return;
    // Only the current page is shown, so that neither the keyboard nor the
    // mouse reaches a page behind it.
    SetVisible(true);
    SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    for (TBaseInstallForm* Page : W->Pages())
        if (Page != this)
            Page->SetVisible(false);
    UpdatePage();
}

void TBaseInstallForm::CancelInstall()
{
    if (QueryUserAbort())
        AbortInstall();
}

// ---- TBaseDuringCopyForm ------------------------------------------------------------

static void DefineBaseDuringCopyForm(fw_Classes::TPropertyBuilder<TBaseDuringCopyForm>& P)
{
    P.Reference<TDialogManager>("DM", &TBaseDuringCopyForm::DM, &TBaseDuringCopyForm::SetDM);
}

FW_DEFINE_CLASS(TBaseDuringCopyForm, TBaseWendrelForm, nullptr, DefineBaseDuringCopyForm)

TBaseDuringCopyForm::TBaseDuringCopyForm(TComponent* AOwner) : TBaseWendrelForm(AOwner) {}

void TBaseDuringCopyForm::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent && AComponent == FDM)
        FDM = nullptr;
}

void TBaseDuringCopyForm::SetDM(TDialogManager* Value) { HoldReference(this, FDM, Value); }

void TBaseDuringCopyForm::LoadLayout(std::string_view Text) { ReadLayout(this, Text); }

void TBaseDuringCopyForm::CancelCopy()
{
    if (QueryUserAbort()) {
        cmp_TInstallContainer::SharedArchiveEngine().Abort = true;
        exceptions_Wendrel::UserAbortRequested = true;
    }
    SetModalResult(mrWizardAbort);
}

// ---- TDialogManager -----------------------------------------------------------------

static void DefineDialogManager(fw_Classes::TPropertyBuilder<TDialogManager>& P)
{
    using M = TDialogManager;
    P.Reference<TInstallContainer>("Container", &M::Container, &M::SetContainer);
    P.Integer("Height", &M::Height, &M::Height, 395);
    P.Enum<TManagerType>("ManagerType", TManagerTypeInfo, &M::ManagerType, &M::ManagerType, dmBeforeInstall);
    P.Enum<TWendrelDialogPosition>("Position", TWendrelDialogPositionInfo, &M::Position, &M::Position, wdpCenter);
    P.Integer("RelativeLeftOffset", &M::RelativeLeftOffset, &M::RelativeLeftOffset, 0);
    P.Integer("RelativeTopOffset", &M::RelativeTopOffset, &M::RelativeTopOffset, 0);
    P.Integer("Width", &M::Width, &M::Width, 478);
}

FW_DEFINE_CLASS(TDialogManager, TInstallObject, fw_Classes::CreateComponent<TDialogManager>, DefineDialogManager)

TDialogManager::TDialogManager(TComponent* AOwner) : TInstallObject(AOwner)
{
    FAutoProcess = false;
    AttachToDesignRoot();
}

TDialogManager::~TDialogManager()
{
    Destroying();
    if (CurrentDialogManager == this)
        CurrentDialogManager = nullptr;
    for (TCustomBaseInstallDlg* Dialog : std::vector(FDialogs))
        Dialog->SetDialogManager(nullptr);
    for (TBaseDuringCopyForm* Form : std::exchange(FDuringCopyForms, {}))
        delete Form;
}

void TDialogManager::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent)
        std::erase(FDuringCopyForms, AComponent);
}

void TDialogManager::RemoveReferences(TComponent* Component)
{
    // The tree's own references go too: a container being freed must not
    // stay in the manager.
    inherited::RemoveReferences(Component);
    if (Component && Component->Is<TCustomBaseInstallDlg>())
        RemoveDialog(static_cast<TCustomBaseInstallDlg*>(Component));
}

void TDialogManager::AddDialog(TCustomBaseInstallDlg* Dialog)
{
    if (!Dialog)
        throw Exception(Translated("Cannot add a NIL Dialog to the Dialog Manager %s", {Name()}));
    if (std::find(FDialogs.begin(), FDialogs.end(), Dialog) == FDialogs.end())
        FDialogs.push_back(Dialog);
}

void TDialogManager::RemoveDialog(TCustomBaseInstallDlg* Dialog) { std::erase(FDialogs, Dialog); }

void TDialogManager::HandleInformation(TObject* Sender, int Code, TObject* Param)
{
    inherited::HandleInformation(Sender, Code, Param);
    switch (Code) {
    case -980:
        if (ManagerType == dmBeforeInstall)
            ShowDialogs();
        break;
    case -979:
        if (ManagerType == dmAfterGoodInstall)
            ShowDialogs();
        break;
    case -978:
        if (ManagerType == dmAfterBadInstall)
            ShowDialogs();
        break;
    case -987:
        if (ManagerType == dmReboot)
            ShowDialogs();
        break;
    case -998:
    case -988:
        if (ManagerType != dmDuringCopyFiles)
            break;
        if (!Param)
            throw IException("%s got a nil PO parameter", {Name()});
        if (Code == -998) {
            auto* Status = dynamic_cast<TFileStatusParameter*>(Param);
            if (!Status)
                throw IException("The PO object passed to %s is not a TFileStatusParameter object", {Name()});
            UpdateDuringCopyForms(Status, nullptr);
        } else {
            auto* Status = dynamic_cast<TDownloadStatusParameter*>(Param);
            if (!Status)
                throw IException("The PO object passed to %s is not a TDownloadStatusParameter object", {Name()});
            UpdateDuringCopyForms(nullptr, Status);
        }
        break;
    case -996:
    case -995:
    case -994:
        // A failed copy phase sends no end of its own; the run's outcome
        // ends it too.
        if (ManagerType == dmDuringCopyFiles)
            CloseDuringCopyForms();
        break;
    case -993:
        if (ManagerType == dmChangeDisk)
            ShowChangeDiskForm(Param);
        break;
    }
}

void TDialogManager::ShowDialogs()
{
    CurrentDialogManager = this;
    fw_Handles::TScopeExit Reset([this] {
        if (CurrentDialogManager == this)
            CurrentDialogManager = nullptr;
    });
    TOwned<TBaseFormContainer> Window(new TBaseFormContainer(Application));
    Window->SetPosition(fw_Forms::poDesigned);
    Window->SetHeight(Height);
    Window->SetWidth(Width);
    Window->PositionForm(Position, RelativeLeftOffset, RelativeTopOffset);
    if (Window->LoadPages() == 0)
        return;
    // Anything but a confirmed end (the application ending too) is an abort,
    // but once the outcome is known there is nothing left to abort.
    const bool Outcome = ManagerType == dmAfterGoodInstall || ManagerType == dmAfterBadInstall;
    if (Window->ShowModal() != mrWizardDone && !Outcome)
        throw exceptions_Wendrel::EAIUserAbort();
    if (Application && Application->MainForm() && Application->MainForm()->HandleAllocated()) {
        RedrawWindow(Application->MainForm()->Handle(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    if (Application)
        Application->ProcessMessages();
}

void TDialogManager::UpdateDuringCopyForms(TFileStatusParameter* FileStatus, TDownloadStatusParameter* DownloadStatus)
{
    if (FDuringCopyForms.empty())
        CreateDuringCopyForms();
    // By index over a copy: a window's Cancel may end the phase meanwhile.
    for (TBaseDuringCopyForm* Form : std::vector(FDuringCopyForms))
        if (std::find(FDuringCopyForms.begin(), FDuringCopyForms.end(), Form) != FDuringCopyForms.end())
            Form->UpdateStatus(FileStatus, DownloadStatus);
}

void TDialogManager::CreateDuringCopyForms()
{
    TFormRegistry* List = DCFList();
    if (!List)
        return;
    for (int I = 0; I < List->Count(); ++I) {
        TDCFEntry* Entry = List->Items(I);
        TOwned<fw_Forms::TCustomForm> Made = CreateFormOf(Entry->FormClass);
        auto* Form = dynamic_cast<TBaseDuringCopyForm*>(Made.get());
        if (!Form || Form->DM() != this)
            continue; // freed
        if (Entry->Dialog) {
            Entry->Dialog->SetForm(Form);
            Entry->Dialog->PositionForm();
        }
        Form->UpdatePage();
        Form->ApplyFontAndTranslation();
        Form->ShowForm();
        // The application frees its forms when it ends, perhaps first.
        Form->FreeNotification(this);
        FDuringCopyForms.push_back(Form);
        Made.release();
    }
}

void TDialogManager::CloseDuringCopyForms()
{
    std::vector<TBaseDuringCopyForm*> Forms = std::exchange(FDuringCopyForms, {});
    for (TBaseDuringCopyForm* Form : Forms) {
        for (TCustomBaseInstallDlg* Dialog : FDialogs)
            if (Dialog->Form == Form)
                Dialog->SetForm(nullptr);
        Form->Close();
        // A window of a finished phase is of no more use; the next phase
        // makes its own.
        delete Form;
    }
}

void TDialogManager::ShowChangeDiskForm(TObject* ParameterObject)
{
    TFormRegistry& List = ChangeDiskForms();
    if (List.Count() == 0)
        return;
    TOwned<fw_Forms::TCustomForm> Form = CreateFormOf(List.Items(0)->FormClass);
    CurrentDialogManager = this;
    fw_Handles::TScopeExit Reset([this] {
        if (CurrentDialogManager == this)
            CurrentDialogManager = nullptr;
    });
    auto* Page = dynamic_cast<TBaseInstallForm*>(Form.get());
    if (!Page || Page->DM() != this)
        return;
    using exceptions_Wendrel::TranslateMessage;
    if (!ParameterObject)
        throw Exception(
            TranslateMessage("The ParameterObject is Nil in the TDialogManager. Cannot show the change disk form"));
    auto* Parameters = dynamic_cast<fw_Classes::TList*>(ParameterObject);
    if (!Parameters)
        throw Exception(TranslateMessage("TChangeDiskDlg--PO is not a TList object"));
    if (Parameters->Count() < 2)
        throw Exception(TranslateMessage("TChangeDiskDlg--Not engouh parameters for status event"));
    auto* File = dynamic_cast<cmp_TInstallContainer::TCustomInstallFile*>(Parameters->Items(0));
    if (!File)
        throw Exception("TChangeDiskDlg says bad first parameter");
    auto* Disk = dynamic_cast<TDiskParameter*>(Parameters->Items(1));
    if (!Disk)
        throw Exception("TChangeDiskDlg says bad second parameter");
    File->SetTag(1);
    Page->DiskParameter = Disk;
    Page->UpdatePage();
    Page->ApplyFontAndTranslation();
    if (Page->ShowModal() == mrWizardAbort)
        throw exceptions_Wendrel::EAIUserAbort();
}

// ---- TCustomBaseInstallDlg ----------------------------------------------------------

FW_DEFINE_CLASS(TCustomBaseInstallDlg, TInstallObject, nullptr, nullptr)
FW_DEFINE_CLASS(TBaseInstallDlg, TCustomBaseInstallDlg, nullptr, nullptr)

TCustomBaseInstallDlg::TCustomBaseInstallDlg(TComponent* AOwner) : TInstallObject(AOwner)
{
    FAutoProcess = false;
    FOrder = 0;
    SetInstallTypes(cmp_TInstallContainer::AllInstallTypes);
}

TCustomBaseInstallDlg::~TCustomBaseInstallDlg()
{
    Destroying();
    SetDialogManager(nullptr);
}

void TCustomBaseInstallDlg::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent && AComponent == Form)
        Form = nullptr;
}

void TCustomBaseInstallDlg::SetForm(fw_Forms::TCustomForm* Value) { HoldReference(this, Form, Value); }

void TCustomBaseInstallDlg::RemoveReferences(TComponent* Component)
{
    inherited::RemoveReferences(Component);
    if (Component && Component == FDialogManager)
        FDialogManager = nullptr;
}

void TCustomBaseInstallDlg::DialogHook() { ApplyFontAndTranslation(); }

void TCustomBaseInstallDlg::SetDialogManager(TDialogManager* Value)
{
    if (Value == FDialogManager)
        return;
    if (Value)
        Value->AddDialog(this);
    if (FDialogManager)
        FDialogManager->RemoveDialog(this);
    FDialogManager = Value;
    StoreReference(Value);
}

void TCustomBaseInstallDlg::SetThemeBitmap(fw_Graphics::TPicture* Value) { FThemeBitmap.Assign(Value); }

void TCustomBaseInstallDlg::ApplyFontAndTranslation()
{
    using namespace cmp_TTranslator;
    if (!Form)
        return;
    // A fresh form is in English, whatever language the last one was
    // translated into: its own language is the source.
    auto* Own = dynamic_cast<TBaseWendrelForm*>(Form);
    TWdrlLanguage From = Own ? Own->FormLanguage : FormLanguage;
    if (AutoSetFont) {
        if (OverrideMainTranslator)
            SetFormFontIn(TranslateIntoLanguage, Form);
        else
            SetFormFont(Form);
    }
    if (AutoTranslate) {
        FormLanguage = OverrideMainTranslator ? TranslateFormInto(From, TranslateIntoLanguage, Form)
                                              : cmp_TTranslator::TranslateForm(From, Form);
        if (Own)
            Own->FormLanguage = FormLanguage;
    }
}

void TCustomBaseInstallDlg::AssignDialogProperties()
{
    if (!Form)
        throw Exception(Translated("Cannot AssignDialogProperties for %s because the Dialog is Nil", {Name()}));
    if (auto* W = dynamic_cast<TBaseWendrelForm*>(Form)) {
        W->AutoSetFont = AutoSetFont;
        W->AutoTranslate = AutoTranslate;
        W->SetContainer(Container());
        W->OverrideMainTranslator = OverrideMainTranslator;
        W->TranslateIntoLanguage = TranslateIntoLanguage;
    }
    if (auto* Page = dynamic_cast<TBaseInstallForm*>(Form))
        Page->SetDC(this);
    ApplyFontAndTranslation();
}

bool TCustomBaseInstallDlg::Execute()
{
    if (OnBeforeExecute)
        OnBeforeExecute(this);
    bool Result = ShowDialog();
    if (Application)
        Application->ProcessMessages();
    if (OnAfterExecute)
        OnAfterExecute(this);
    return Result;
}

bool TCustomBaseInstallDlg::ShowDialog()
{
    if (!CanExecute())
        return true;
    fw_Forms::TModalResult Result;
    {
        TOwned<fw_Forms::TCustomForm> Made = CreateFormOf(GetFormClass());
        SetForm(Made.get());
        fw_Handles::TScopeExit Forget([this] { SetForm(nullptr); });
        AssignDialogProperties();
        Result = Made->ShowModal();
    }
    if (Result != mrWizardDone && CloseCancels())
        throw exceptions_Wendrel::EAIUserAbort();
    return true;
}

void TCustomBaseInstallDlg::PositionForm()
{
    if (!Form)
        return;
    RECT R = PlaceWindow(Position, RelativeLeftOffset, RelativeTopOffset, Width, Height, GetSystemMetrics(SM_CXSCREEN),
                         GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_CYCAPTION), TCentreRounding::Round);
    Form->SetBounds(R.left, R.top, Width, Height);
}

void TCustomBaseInstallDlg::AssignThemeBitmap()
{
    auto* Page = dynamic_cast<TBaseInstallForm*>(Form);
    if (!Page)
        return;
    auto* Image = dynamic_cast<fw_ExtCtrls::TImage*>(Page->FindComponent("ThemeBitmap"));
    if (!Image)
        return;
    if (!FThemeBitmap.Bitmap().Empty())
        Image->Picture()->Assign(&FThemeBitmap);
    else if (cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot())
        Image->Picture()->Assign(Root->DialogThemeBitmap());
    Image->PictureChanged();
}

void RegisterDialogManagerClasses() { fw_Classes::RegisterClass(&TDialogManager::StaticClass()); }

} // namespace dlgcmp_TBaseDlg
