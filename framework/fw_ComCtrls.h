// Framework: the common controls in use: progress bar and tab control.
#pragma once

#include "framework/fw_Forms.h"

#include <string>
#include <vector>

namespace fw_ComCtrls {

using fw_Classes::TComponent;
using fw_Forms::TWinControl;

// A progress bar (msctls_progress32) from Min to Max.
class TProgressBar : public TWinControl {
    FW_CLASS(TProgressBar, TWinControl)

public:
    explicit TProgressBar(TComponent* AOwner);

    int Min() const { return FMin; }
    void SetMin(int Value);
    int Max() const { return FMax; }
    void SetMax(int Value);
    int Position() const { return FPosition; }
    void SetPosition(int Value);

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;

private:
    int FMin = 0, FMax = 100, FPosition = 0;
};

using TTabChangingEvent = std::function<void(fw_Classes::TObject* Sender, bool& AllowChange)>;

// A row of tabs (SysTabControl32); TabIndex is the selected one, -1 for none.
class TTabControl : public TWinControl {
    FW_CLASS(TTabControl, TWinControl)

public:
    explicit TTabControl(TComponent* AOwner);

    const std::vector<std::string>& Tabs() const { return FTabs; }
    void SetTabs(const std::vector<std::string>& Value);
    void AddTab(const std::string& Text);
    int TabIndex() const { return FTabIndex; }
    void SetTabIndex(int Value);

    TTabChangingEvent OnChanging;
    fw_Classes::TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L) override;

private:
    void InsertItem(int Index);
    std::vector<std::string> FTabs;
    int FTabIndex = -1;
};

} // namespace fw_ComCtrls
