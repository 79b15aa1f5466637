#include "dialogs/ordlg_CopyFile.h"

#include "dialogs/layouts/CopyFileForm.wfm.h"

#include <cmath>

namespace ordlg_CopyFile {

using namespace dlgcmp_TBaseDlg;

namespace {

TCopyFileDlg* TheFirstCopyFileDlg = nullptr;

// A small picture drawn in code: Pixel answers the colour of each point, or
// -1 for the window's background.
template <class F>
void DrawPicture(fw_ExtCtrls::TImage* Image, int Width, int Height, F Pixel)
{
    const int RowBytes = (Width * 3 + 3) & ~3;
    std::vector<uint8_t> Data(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size_t(RowBytes) * Height);
    auto* File = reinterpret_cast<BITMAPFILEHEADER*>(Data.data());
    auto* Info = reinterpret_cast<BITMAPINFOHEADER*>(Data.data() + sizeof(BITMAPFILEHEADER));
    File->bfType = 0x4D42;
    File->bfSize = DWORD(Data.size());
    File->bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    Info->biSize = sizeof(BITMAPINFOHEADER);
    Info->biWidth = Width;
    Info->biHeight = Height;
    Info->biPlanes = 1;
    Info->biBitCount = 24;
    const COLORREF Back = GetSysColor(COLOR_BTNFACE);
    for (int Y = 0; Y < Height; ++Y)
        for (int X = 0; X < Width; ++X) {
            long C = Pixel(X, Y);
            COLORREF Colour = C < 0 ? Back : COLORREF(C);
            uint8_t* P = Data.data() + File->bfOffBits + size_t(Height - 1 - Y) * RowBytes + size_t(X) * 3;
            P[0] = GetBValue(Colour);
            P[1] = GetGValue(Colour);
            P[2] = GetRValue(Colour);
        }
    Image->Picture()->Bitmap().SetData(Data);
    Image->PictureChanged();
}

// A carton with an arrow coming out of it: files unpacked.
long UnZipPixel(int X, int Y)
{
    if (Y >= 18 && X >= 3 && X <= 32 && Y <= 34)
        return (X == 3 || X == 32 || Y == 18 || Y == 34) ? RGB(96, 64, 16) : RGB(200, 160, 80);
    const bool Shaft = X >= 15 && X <= 20 && Y >= 2 && Y <= 14;
    const bool Head = Y >= 0 && Y <= 8 && std::abs(X - 17) <= 8 - Y && Y >= 1;
    return Shaft || Head ? RGB(0, 96, 200) : -1;
}

// A globe with a downward arrow: a file downloaded.
long TransferPixel(int X, int Y)
{
    const int DX = X - 18, DY = Y - 18;
    const int R2 = DX * DX + DY * DY;
    if (std::abs(X - 18) <= 2 && Y >= 6 && Y <= 24)
        return RGB(255, 255, 255);
    if (Y >= 24 && Y <= 30 && std::abs(X - 18) <= 30 - Y)
        return RGB(255, 255, 255);
    if (R2 <= 16 * 16)
        return (std::abs(DY) == 8 || DX == 0 || R2 >= 15 * 15) ? RGB(0, 64, 160) : RGB(64, 140, 230);
    return -1;
}

} // namespace

// ---- TCopyFileForm ------------------------------------------------------------------

FW_DEFINE_CLASS(TCopyFileForm, TBaseDuringCopyForm, fw_Classes::CreateComponent<TCopyFileForm>, nullptr)

TCopyFileForm::TCopyFileForm(TComponent* AOwner) : TBaseDuringCopyForm(AOwner)
{
    LoadLayout(CopyFileFormLayout);
    UnZipImage = LayoutControl<fw_ExtCtrls::TImage>("UnZipImage");
    TransferBitmap = LayoutControl<fw_ExtCtrls::TImage>("TransferBitmap");
    lblCopyingFile = LayoutControl<fw_StdCtrls::TLabel>("lblCopyingFile");
    ProgressBar1 = LayoutControl<fw_ComCtrls::TProgressBar>("ProgressBar1");
    ProgressBar2 = LayoutControl<fw_ComCtrls::TProgressBar>("ProgressBar2");
    CancelBtn = LayoutControl<fw_StdCtrls::TButton>("CancelBtn");
    CancelBtn->OnClick = [this](fw_Classes::TObject*) { CancelCopy(); };
    DrawPicture(UnZipImage, 36, 37, UnZipPixel);
    DrawPicture(TransferBitmap, 37, 36, TransferPixel);
    // What the user last saw is the state at the end of the phase.
    OnClose = [this](fw_Classes::TObject*, fw_Forms::TCloseAction&) { Repaint(); };
    SetDM(FindDialogManager(dmDuringCopyFiles));
}

void TCopyFileForm::UpdateStatus(TFileStatusParameter* FileStatus, TDownloadStatusParameter* DownloadStatus)
{
    const std::string* Name;
    if (FileStatus) {
        if (FTransferShown) {
            FTransferShown = false;
            TransferBitmap->SetVisible(false);
            FChanged = true;
        }
        FTotalPercent = FileStatus->TotalPercentDone;
        FFilePercent = FileStatus->PercentDone;
        Name = &FileStatus->FileName;
    } else if (DownloadStatus) {
        if (!FTransferShown) {
            FTransferShown = true;
            TransferBitmap->SetVisible(true);
            FChanged = true;
        }
        FFilePercent = DownloadStatus->PercentDone;
        Name = &DownloadStatus->FileName;
    } else {
        return;
    }
    const bool NewFile = lblCopyingFile->Caption() != *Name;
    if (NewFile) {
        lblCopyingFile->SetCaption(*Name);
        FEndShown = false;
        FChanged = true;
    }
    // The last blocks of a file all read 100%: its end shows once.
    const bool FileEnd = FFilePercent >= 100 && !FEndShown;
    if (FileEnd)
        FEndShown = true;
    if (NewFile || FileEnd || GetTickCount64() - FLastRepaint >= RepaintIntervalMs)
        Repaint();
}

void TCopyFileForm::Repaint()
{
    // A bar paints itself at once when it moves, which costs more than the
    // extraction of a block: the bars follow the statuses at each repaint.
    bool Changed = FChanged;
    if (ProgressBar1->Position() != FFilePercent) {
        ProgressBar1->SetPosition(FFilePercent);
        Changed = true;
    }
    if (ProgressBar2->Position() != FTotalPercent) {
        ProgressBar2->SetPosition(FTotalPercent);
        Changed = true;
    }
    // The screen already shows this state (a close right after a file's end).
    if (!Changed || !HandleAllocated())
        return;
    FChanged = false;
    // Only what changed is painted: the whole window with its controls
    // costs tens of milliseconds.
    RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    FLastRepaint = GetTickCount64();
    ++FRepaints;
}

LRESULT TCopyFileForm::WndProc(UINT Msg, WPARAM W, LPARAM L)
{
    if (Msg == WM_CLOSE) {
        CancelCopy();
        return 0;
    }
    return inherited::WndProc(Msg, W, L);
}

// ---- TCopyFileDlg -------------------------------------------------------------------

static void DefineCopyFileDlg(fw_Classes::TPropertyBuilder<TCopyFileDlg>& P)
{
    using D = TCopyFileDlg;
    DefineBaseInstallDlgProperties(P, 0);
    P.Integer("Height", &D::Height, &D::Height, 146);
    P.Enum<TWendrelDialogPosition>("Position", TWendrelDialogPositionInfo, &D::Position, &D::Position, wdpBottomCenter);
    P.Integer("RelativeLeftOffset", &D::RelativeLeftOffset, &D::RelativeLeftOffset, 0);
    P.Integer("RelativeTopOffset", &D::RelativeTopOffset, &D::RelativeTopOffset, 30);
    P.Integer("Width", &D::Width, &D::Width, 474);
}

FW_DEFINE_CLASS(TCopyFileDlg, TBaseInstallDlg, fw_Classes::CreateComponent<TCopyFileDlg>, DefineCopyFileDlg)

TCopyFileDlg::TCopyFileDlg(TComponent* AOwner) : TBaseInstallDlg(AOwner)
{
    Height = 146;
    Width = 474;
    Position = wdpBottomCenter;
    RelativeTopOffset = 30;
    if (!TheFirstCopyFileDlg)
        TheFirstCopyFileDlg = this;
    RegistryEntry = RegisterDuringCopyForm(&TCopyFileForm::StaticClass(), this, 0);
    SetDialogManager(FindDialogManager(dmDuringCopyFiles));
    AttachToDesignRoot();
}

TCopyFileDlg::~TCopyFileDlg()
{
    RemoveDuringCopyForm(RegistryEntry);
    if (TheFirstCopyFileDlg == this)
        TheFirstCopyFileDlg = nullptr;
}

TCopyFileDlg* FirstCopyFileDlg() { return TheFirstCopyFileDlg; }

void StartUnit()
{
    // No default entry: only the copy dialog brings the window in.
    fw_Classes::RegisterClass(&TCopyFileDlg::StaticClass());
}

} // namespace ordlg_CopyFile
