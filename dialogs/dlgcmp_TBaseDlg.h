// The installer's dialogs at the moments of a run. A dialog manager, placed in
// the project with its moment (before installing, after a good or a bad
// installation, while files are copied, for a new disk, before a restart),
// shows the pages of that moment in one wizard window. The pages are form
// classes entered in two process-wide registries: the wizard pages and the
// windows shown while files are copied. A dialog component in the project
// stands for one page: it brings the page in, ties it to a manager and
// carries its settings (order, font, translation, picture, position).
//
// Every form of the installer is a TBaseWendrelForm, which gives itself the
// language's font and translates its texts.
#pragma once

#include "engine/cmp_TInstallContainer.h"
#include "framework/fw_Forms.h"
#include "framework/fw_Graphics.h"
#include "translate/cmp_TTranslator.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dlgcmp_TBaseContainer {
class TBaseFormContainer;
}

namespace dlgcmp_TBaseDlg {

using cmp_TInstallContainer::TDiskParameter;
using cmp_TInstallContainer::TDownloadStatusParameter;
using cmp_TInstallContainer::TFileStatusParameter;
using cmp_TInstallContainer::TInstallContainer;
using cmp_TInstallContainer::TInstallObject;
using cmp_TTranslator::TWdrlLanguage;
using fw_Classes::TClass;
using fw_Classes::TComponent;
using fw_Classes::TNotifyEvent;
using fw_Classes::TObject;
using fw_Classes::TOperation;

// The moment of a run a manager owns.
enum TManagerType : uint8_t {
    dmBeforeInstall,
    dmAfterGoodInstall,
    dmAfterBadInstall,
    dmDuringCopyFiles,
    dmChangeDisk,
    dmReboot
};
extern const fw_Classes::TEnumInfo TManagerTypeInfo;

// Where a window goes on the screen: rows centre (0-2), bottom (3-5) and
// top (6-8), each left, centre, right. Offsets count inward from the
// anchoring edge; on a centred axis they shift right and down.
enum TWendrelDialogPosition : uint8_t {
    wdpCenterLeft,
    wdpCenter,
    wdpCenterRight,
    wdpBottomLeft,
    wdpBottomCenter,
    wdpBottomRight,
    wdpTopLeft,
    wdpTopCenter,
    wdpTopRight
};
extern const fw_Classes::TEnumInfo TWendrelDialogPositionInfo;

// The registered type of managers and dialogs.
inline constexpr int rtDialog = 9000;

// The placement of a Width x Height window on a ScreenWidth x ScreenHeight
// screen whose captions are CaptionHeight high. Dialogs round the centre to
// the nearest pixel (halves to the even one); the wizard window truncates it.
enum class TCentreRounding { Round, Truncate };
RECT PlaceWindow(TWendrelDialogPosition Position, int RelativeLeftOffset, int RelativeTopOffset, int Width, int Height,
                 int ScreenWidth, int ScreenHeight, int CaptionHeight, TCentreRounding Rounding);

class TDialogManager;
class TCustomBaseInstallDlg;
class TBaseDuringCopyForm;

// ---- forms --------------------------------------------------------------------------

// The base of the installer's forms: the font and texts of the language.
class TBaseWendrelForm : public fw_Forms::TForm {
    FW_CLASS(TBaseWendrelForm, fw_Forms::TForm)

public:
    explicit TBaseWendrelForm(TComponent* AOwner);
    ~TBaseWendrelForm() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    bool AutoSetFont = true;
    bool AutoTranslate = true;
    TInstallContainer* Container() const { return FContainer; }
    void SetContainer(TInstallContainer* Value);
    // The language the form's texts are in: the source of its next translation.
    TWdrlLanguage FormLanguage = cmp_TTranslator::wlEnglish;
    bool OverrideMainTranslator = false;
    TWdrlLanguage TranslateIntoLanguage = cmp_TTranslator::wlUser;

    virtual void UpdateLanguage();
    // Refreshes the page's controls from the run's state; pages override it.
    virtual void UpdatePage();
    virtual void ApplyFontAndTranslation();

protected:
    // The component Name of the form's layout; a layout without it is a
    // fault of the program, told at once.
    template <class T>
    T* LayoutControl(const char* Name) const
    {
        if (auto* C = dynamic_cast<T*>(FindComponent(Name)))
            return C;
        throw fw_SysUtils::Exception(fw_SysUtils::Format("The form %s has no %s", {ClassName(), std::string(Name)}));
    }

private:
    TInstallContainer* FContainer = nullptr;
};

// The live TBaseWendrelForm forms.
const std::vector<TBaseWendrelForm*>& BaseForms();

// A wizard page. Made with a form as its owner (the wizard window), it is a
// borderless child window over the owner's display area.
class TBaseInstallForm : public TBaseWendrelForm {
    FW_CLASS(TBaseInstallForm, TBaseWendrelForm)

public:
    explicit TBaseInstallForm(TComponent* AOwner);
    void Notification(TComponent* AComponent, TOperation Operation) override;

    TCustomBaseInstallDlg* DC() const { return FDC; }
    void SetDC(TCustomBaseInstallDlg* Value);
    TDialogManager* DM() const { return FDM; }
    void SetDM(TDialogManager* Value);
    int Order = 0;
    // The disk asked for, while a change-disk form is shown.
    TDiskParameter* DiskParameter = nullptr;

    virtual bool IsFirstPage();
    virtual bool IsLastPage();
    virtual void PageLeaving() {}
    virtual void AbortInstall();
    virtual void NextPage();
    virtual void PreviousPage();
    virtual void ActivatePage();
    virtual bool SkipPage() { return false; }
    virtual void CancelInstall();

protected:
    // Reads the page's layout (a project text whose root is this form's
    // class) and, inside a wizard window, embeds the page.
    void LoadLayout(std::string_view Text);
    // The page's buttons by their names: BackBtn goes back, ProceedBtn and
    // FinishBtn go on, CancelBtn cancels the installation.
    void BindWizardButtons();
    // A page without a picture of its own shows the install root's.
    void TakeInstallThemeBitmap();
    // Focuses the control when it and the page can be seen.
    void FocusWhenVisible(fw_Forms::TWinControl* Control);
    // The wizard window the page is in, or nil when shown by itself.
    dlgcmp_TBaseContainer::TBaseFormContainer* Wizard() const;

private:
    TCustomBaseInstallDlg* FDC = nullptr;
    TDialogManager* FDM = nullptr;
};

// A window shown while files are copied.
class TBaseDuringCopyForm : public TBaseWendrelForm {
    FW_CLASS(TBaseDuringCopyForm, TBaseWendrelForm)

public:
    explicit TBaseDuringCopyForm(TComponent* AOwner);
    void Notification(TComponent* AComponent, TOperation Operation) override;

    TDialogManager* DM() const { return FDM; }
    void SetDM(TDialogManager* Value);

    // When the user confirms, stops the extraction at its next chunk and the
    // download at its next block; the form's modal result is abort.
    virtual void CancelCopy();
    // Exactly one of the two is given.
    virtual void UpdateStatus(TFileStatusParameter* FileStatus, TDownloadStatusParameter* DownloadStatus) {}

protected:
    void LoadLayout(std::string_view Text);

private:
    TDialogManager* FDM = nullptr;
};

// ---- registries ---------------------------------------------------------------------

// A page of a registry: its form class and the dialog that brought it in
// (nil for a page that joins on its own).
struct TBIFEntry {
    TClass FormClass = nullptr;
    TCustomBaseInstallDlg* Dialog = nullptr;
    int Reserved = 0;
};
using TDCFEntry = TBIFEntry;

class TFormRegistry {
public:
    int Count() const { return int(FEntries.size()); }
    TBIFEntry* Items(int Index) const { return FEntries.at(size_t(Index)).get(); }
    TBIFEntry* Add(TClass FormClass, TCustomBaseInstallDlg* Dialog, int Reserved);
    // Nil or unknown entries are passed over.
    void Remove(TBIFEntry* Entry);

private:
    std::vector<std::unique_ptr<TBIFEntry>> FEntries;
};

// The wizard pages and the windows of the copy phase. Nil until the unit started.
TFormRegistry* BIFList();
TFormRegistry* DCFList();
TFormRegistry& ChangeDiskForms();

TBIFEntry* RegisterInstallForm(TClass FormClass, TCustomBaseInstallDlg* Dialog, int Reserved);
TDCFEntry* RegisterDuringCopyForm(TClass FormClass, TCustomBaseInstallDlg* Dialog, int Reserved);
void RemoveInstallForm(TBIFEntry* Entry);
void RemoveDuringCopyForm(TDCFEntry* Entry);
// The wizard page entry Index; raises for a bad index, a nil entry or no list.
TBIFEntry* BIFEntry(int Index);

// The manager whose window is being shown, nil otherwise.
extern TDialogManager* CurrentDialogManager;

// The first manager of that moment in the install root; nil when none.
TDialogManager* FindDialogManager(TManagerType ManagerType);

// Creates the registries; called once by the dialogs' start-up.
void StartUnit();

// ---- components ---------------------------------------------------------------------

class TDialogManager : public TInstallObject {
    FW_CLASS(TDialogManager, TInstallObject)

public:
    explicit TDialogManager(TComponent* AOwner);
    ~TDialogManager() override;
    int RegisteredType() const override { return rtDialog; }
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void RemoveReferences(TComponent* Component) override;
    void HandleInformation(TObject* Sender, int Code, TObject* Param) override;

    // Shows the moment's pages in a wizard window; a cancel raises EAIUserAbort.
    virtual void ShowDialogs();
    virtual void ShowChangeDiskForm(TObject* ParameterObject);
    virtual void AddDialog(TCustomBaseInstallDlg* Dialog);
    virtual void RemoveDialog(TCustomBaseInstallDlg* Dialog);

    const std::vector<TBaseDuringCopyForm*>& DuringCopyForms() const { return FDuringCopyForms; }
    const std::vector<TCustomBaseInstallDlg*>& Dialogs() const { return FDialogs; }
    int Height = 395;
    TManagerType ManagerType = dmBeforeInstall;
    TWendrelDialogPosition Position = wdpCenter;
    int RelativeLeftOffset = 0;
    int RelativeTopOffset = 0;
    int Width = 478;

private:
    void UpdateDuringCopyForms(TFileStatusParameter* FileStatus, TDownloadStatusParameter* DownloadStatus);
    void CreateDuringCopyForms();
    void CloseDuringCopyForms();

    std::vector<TBaseDuringCopyForm*> FDuringCopyForms;
    std::vector<TCustomBaseInstallDlg*> FDialogs;
};

class TCustomBaseInstallDlg : public TInstallObject {
    FW_CLASS(TCustomBaseInstallDlg, TInstallObject)

public:
    explicit TCustomBaseInstallDlg(TComponent* AOwner);
    ~TCustomBaseInstallDlg() override;
    int RegisteredType() const override { return rtDialog; }
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void RemoveReferences(TComponent* Component) override;
    void DialogHook() override;
    // The open form; it is forgotten when it is freed.
    void SetForm(fw_Forms::TCustomForm* Value);

    TDialogManager* DialogManager() const { return FDialogManager; }
    virtual void SetDialogManager(TDialogManager* Value);
    fw_Graphics::TPicture* ThemeBitmap() { return &FThemeBitmap; }
    virtual void SetThemeBitmap(fw_Graphics::TPicture* Value);
    virtual void ApplyFontAndTranslation();
    virtual void AssignDialogProperties();
    // Shows the page by itself, between the two events.
    virtual bool Execute();
    virtual bool ShowDialog();
    virtual TClass GetFormClass() const = 0;
    virtual bool CanExecute() { return true; }
    // Places the open form by Position and the offsets (rounding the centre).
    void PositionForm();

    bool AutoSetFont = true;
    bool AutoTranslate = true;
    TWdrlLanguage FormLanguage = cmp_TTranslator::wlEnglish;
    fw_Forms::TCustomForm* Form = nullptr; // set through SetForm
    int Height = 0;
    bool OverrideMainTranslator = false;
    TWendrelDialogPosition Position = wdpCenter;
    int RelativeLeftOffset = 0;
    int RelativeTopOffset = 0;
    TWdrlLanguage TranslateIntoLanguage = cmp_TTranslator::wlUser;
    int Width = 0;
    TNotifyEvent OnAfterExecute;
    TNotifyEvent OnBeforeExecute;

protected:
    // Whether closing the page other than by Next or Finish cancels the run.
    virtual bool CloseCancels() const { return true; }
    // The page's picture: the dialog's own, else the install root's.
    void AssignThemeBitmap();

private:
    TDialogManager* FDialogManager = nullptr;
    fw_Graphics::TPicture FThemeBitmap;
};

// The published face of the page dialogs.
class TBaseInstallDlg : public TCustomBaseInstallDlg {
    FW_CLASS(TBaseInstallDlg, TCustomBaseInstallDlg)

public:
    using TCustomBaseInstallDlg::TCustomBaseInstallDlg;
};

// The properties every page dialog publishes, for its class's table.
template <class C>
void DefineBaseInstallDlgProperties(fw_Classes::TPropertyBuilder<C>& P, int OrderDefault)
{
    P.Boolean("AutoSetFont", &C::AutoSetFont, &C::AutoSetFont, true);
    P.Boolean("AutoTranslate", &C::AutoTranslate, &C::AutoTranslate, true);
    P.template Reference<TInstallContainer>("Container", &C::Container, &C::SetContainer);
    P.template Reference<TDialogManager>("DialogManager", &C::DialogManager, &C::SetDialogManager);
    P.Integer("Order", &C::Order, &C::SetOrder, OrderDefault);
    P.Boolean("OverrideMainTranslator", &C::OverrideMainTranslator, &C::OverrideMainTranslator, false);
    P.template Object<fw_Graphics::TPicture>("ThemeBitmap", &C::ThemeBitmap);
    P.template Enum<TWdrlLanguage>("TranslateIntoLanguage", cmp_TTranslator::TWdrlLanguageInfo,
                                   &C::TranslateIntoLanguage, &C::TranslateIntoLanguage, cmp_TTranslator::wlUser);
}

// Lets a project text name the manager.
void RegisterDialogManagerClasses();

} // namespace dlgcmp_TBaseDlg
