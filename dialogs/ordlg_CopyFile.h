// The progress window while files are extracted or downloaded: the file at
// work, its progress and the total, and Cancel. The copy dialog component
// brings it into a project and places it (by default at the bottom centre).
#pragma once

#include "dialogs/dlgcmp_TBaseDlg.h"
#include "framework/fw_ComCtrls.h"
#include "framework/fw_ExtCtrls.h"
#include "framework/fw_StdCtrls.h"

#include <cstdint>

namespace ordlg_CopyFile {

using fw_Classes::TClass;
using fw_Classes::TComponent;

// The shortest time between two forced repaints: statuses come for every
// 4 KB, far more often than anyone can read.
inline constexpr uint64_t RepaintIntervalMs = 40;

class TCopyFileForm : public dlgcmp_TBaseDlg::TBaseDuringCopyForm {
    FW_CLASS(TCopyFileForm, dlgcmp_TBaseDlg::TBaseDuringCopyForm)

public:
    explicit TCopyFileForm(TComponent* AOwner);

    fw_ExtCtrls::TImage* UnZipImage = nullptr;
    fw_ExtCtrls::TImage* TransferBitmap = nullptr;
    fw_StdCtrls::TLabel* lblCopyingFile = nullptr;
    fw_ComCtrls::TProgressBar* ProgressBar1 = nullptr;
    fw_ComCtrls::TProgressBar* ProgressBar2 = nullptr;
    fw_StdCtrls::TButton* CancelBtn = nullptr;

    // Takes every status; shows it at once on a new file and at a file's
    // end, and otherwise at most every RepaintIntervalMs.
    void UpdateStatus(dlgcmp_TBaseDlg::TFileStatusParameter* FileStatus,
                      dlgcmp_TBaseDlg::TDownloadStatusParameter* DownloadStatus) override;
    // The forced repaints so far.
    int Repaints() const { return FRepaints; }

protected:
    // The system's close (Alt+F4) is the Cancel button.
    LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L) override;

private:
    void Repaint();
    uint64_t FLastRepaint = 0;
    int FRepaints = 0;
    int FFilePercent = 0;
    int FTotalPercent = 0;
    bool FTransferShown = false;
    bool FEndShown = false;
    // The file label or the transfer picture changed since the last repaint.
    bool FChanged = false;
};

class TCopyFileDlg : public dlgcmp_TBaseDlg::TBaseInstallDlg {
    FW_CLASS(TCopyFileDlg, dlgcmp_TBaseDlg::TBaseInstallDlg)

public:
    explicit TCopyFileDlg(TComponent* AOwner);
    ~TCopyFileDlg() override;
    TClass GetFormClass() const override { return &TCopyFileForm::StaticClass(); }
    // The entry its constructor made.
    dlgcmp_TBaseDlg::TDCFEntry* RegistryEntry = nullptr;
};

// The first copy dialog made in the process, nil once it is gone.
TCopyFileDlg* FirstCopyFileDlg();

// Registers the dialog's class for project texts.
void StartUnit();

} // namespace ordlg_CopyFile
