#include "dialogs/routines_FileSystem.h"

#include "framework/fw_Forms.h"
#include "framework/fw_Handles.h"
#include "framework/fw_SysUtils.h"
#include "translate/cmp_TTranslator.h"

#include <shlobj.h>

#include <algorithm>
#include <cctype>

namespace routines_FileSystem {

using fw_SysUtils::DirectoryExists;
using fw_SysUtils::Format;

namespace {

// The browser's item lists are the caller's to free, with the task allocator.
struct TItemListTraits {
    using THandle = LPITEMIDLIST;
    static THandle Empty() noexcept { return nullptr; }
    static bool IsEmpty(THandle H) noexcept { return H == nullptr; }
    static void Close(THandle H) noexcept { CoTaskMemFree(H); }
};
using TItemList = fw_Handles::TUniqueHandle<TItemListTraits>;

// The browser needs COM on the calling thread: without it, Wine's moves no
// selection in the first browser of a process.
class TComUse {
public:
    TComUse() : FInitialized(SUCCEEDED(CoInitialize(nullptr))) {}
    ~TComUse()
    {
        if (FInitialized)
            CoUninitialize();
    }
    TComUse(const TComUse&) = delete;
    TComUse& operator=(const TComUse&) = delete;

private:
    bool FInitialized;
};

std::string ItemListPath(LPCITEMIDLIST Items)
{
    char Path[MAX_PATH] = {};
    if (!Items || !SHGetPathFromIDListA(Items, Path))
        return "";
    return Path;
}

RECT RectIn(HWND Parent, HWND Child)
{
    RECT R{};
    GetWindowRect(Child, &R);
    MapWindowPoints(HWND_DESKTOP, Parent, reinterpret_cast<POINT*>(&R), 2);
    return R;
}

std::string WithoutMnemonics(const std::string& Caption)
{
    std::string S;
    for (size_t I = 0; I < Caption.size(); ++I) {
        if (Caption[I] == '&' && ++I == Caption.size())
            break;
        S += Caption[I]; // "&&" is one ampersand
    }
    return S;
}

// The folders above Path are found by cutting at its last backslash.
std::string CutLast(const std::string& Path)
{
    size_t I = Path.rfind('\\');
    return I == std::string::npos ? std::string() : Path.substr(0, I);
}

bool IsAbsolute(const std::string& Path)
{
    return (Path.size() >= 3 && std::isalpha(static_cast<unsigned char>(Path[0])) && Path[1] == ':' &&
            Path[2] == '\\') ||
           Path.starts_with("\\\\");
}

std::string StripTrailingBackslashes(std::string Path)
{
    while (Path.size() > 3 && Path.back() == '\\')
        Path.pop_back();
    return Path;
}

// How the dialog names a folder to the browser: a drive with its closing
// backslash, any other folder without.
std::string BrowserForm(std::string Folder)
{
    if (Folder.size() > 3) {
        if (Folder.back() == '\\')
            Folder.pop_back();
    } else
        Folder += '\\';
    return Folder;
}

} // namespace

// ---- TOFDResourceStrings ---------------------------------------------------------

std::string TOFDResourceStrings::SystemString(const char* Library, UINT Id)
{
    fw_Handles::TModule Module(LoadLibraryA(Library));
    if (!Module)
        return "";
    std::string Buffer(4096, '\0');
    int Length = LoadStringA(Module.Get(), Id, Buffer.data(), int(Buffer.size()));
    Buffer.resize(size_t(std::max(Length, 0)));
    return Buffer;
}

std::string TOFDResourceStrings::CreateFolderCaption()
{
    std::string S = SystemString("comdlg32.dll", 703);
    return S.empty() ? cmp_TTranslator::TranslateMessage("Create &Folder") : S;
}

std::string TOFDResourceStrings::FolderNamePrompt()
{
    std::string S = SystemString("shell32.dll", 8977);
    return S.empty() ? cmp_TTranslator::TranslateMessage("Folder name:") : S;
}

std::string TOFDResourceStrings::BrowseTitle()
{
    std::string S = SystemString("shell32.dll", 9248);
    if (S.empty())
        return cmp_TTranslator::TranslateMessage("Choose the destination folder");
    // The system's text is a format; one with a stray "%" is shown as it is.
    try {
        return Format(S, {});
    } catch (const fw_SysUtils::EConvertError&) {
        return S;
    }
}

// ---- TOFDPathEdit and TOFDCreateButton -------------------------------------------

FW_DEFINE_CLASS(TOFDPathEdit, fw_StdCtrls::TEdit, nullptr, nullptr)

TOFDPathEdit::TOFDPathEdit(TOpenFolderDialog& ADialog) : fw_StdCtrls::TEdit(&ADialog), Dialog(ADialog) {}

void TOFDPathEdit::Change()
{
    fw_StdCtrls::TEdit::Change();
    Dialog.EditChanged(Text());
}

FW_DEFINE_CLASS(TOFDCreateButton, fw_StdCtrls::TButton, nullptr, nullptr)

TOFDCreateButton::TOFDCreateButton(TOpenFolderDialog& ADialog) : fw_StdCtrls::TButton(&ADialog), Dialog(ADialog) {}

void TOFDCreateButton::Click()
{
    fw_StdCtrls::TButton::Click();
    Dialog.CreateClicked(this);
}

// ---- TOpenFolderDialog -----------------------------------------------------------

FW_DEFINE_CLASS(TOpenFolderDialog, fw_Classes::TComponent, nullptr, nullptr)

TOpenFolderDialog::TOpenFolderDialog(fw_Classes::TComponent* AOwner) : fw_Classes::TComponent(AOwner) {}

TOpenFolderDialog::~TOpenFolderDialog() { ForgetBrowser(); }

void TOpenFolderDialog::ForgetBrowser()
{
    // The browser's window took the controls' windows with it.
    delete std::exchange(CreateButton, nullptr);
    delete std::exchange(PathEdit, nullptr);
    Window = OkButton = CancelButton = Tree = nullptr;
    OkRect = CancelRect = TreeRect = RECT{};
}

bool TOpenFolderDialog::Execute()
{
    const std::string Start = Directory;
    TComUse Com;
    for (;;) {
        Restart = false;
        ForgetBrowser();
        fw_Handles::TScopeExit Forget([this] { ForgetBrowser(); });

        std::string Title = TOFDResourceStrings::BrowseTitle();
        char DisplayName[MAX_PATH] = {};
        BROWSEINFOA Info{};
        Info.hwndOwner = GetActiveWindow();
        Info.pidlRoot = nullptr;
        Info.pszDisplayName = DisplayName;
        Info.lpszTitle = Title.c_str();
        Info.ulFlags = BIF_RETURNONLYFSDIRS;
        Info.lpfn = &BrowseCallback;
        Info.lParam = reinterpret_cast<LPARAM>(this);
        TItemList Chosen(SHBrowseForFolderA(&Info));

        if (!Chosen) {
            Directory = Start;
            return false;
        }
        if (Restart) {
            Directory = CurrentPath;
            continue;
        }
        if (ShowPathEdit) {
            // The typed folder may not exist yet; one that cannot be made
            // was told, and the user chooses again from where it would be.
            if (!MakeFolder(CurrentPath)) {
                Directory = CurrentPath;
                continue;
            }
            Directory = CurrentPath;
            return true;
        }
        std::string Path = ItemListPath(Chosen.Get());
        if (Path.empty()) { // no file system folder, though the browser was told to give one
            Directory = Start;
            return false;
        }
        Directory = Path;
        return true;
    }
}

int CALLBACK TOpenFolderDialog::BrowseCallback(HWND Wnd, UINT Msg, LPARAM Param, LPARAM Data)
{
    auto* Self = reinterpret_cast<TOpenFolderDialog*>(Data);
    return fw_Forms::CallbackBarrier<int>(Self, 0, [&] {
        if (Msg == BFFM_INITIALIZED)
            Self->Initialize(Wnd);
        else if (Msg == BFFM_SELCHANGED)
            Self->SelectionChanged(reinterpret_cast<const void*>(Param));
        return 0;
    });
}

void TOpenFolderDialog::FindControls()
{
    struct TFound {
        HWND Tree = nullptr;
        HWND Buttons[2] = {};
    } Found;
    EnumChildWindows(
        Window,
        [](HWND Child, LPARAM Data) -> BOOL {
            return fw_Forms::CallbackBarrier<BOOL>(nullptr, FALSE, [&] {
                auto& F = *reinterpret_cast<TFound*>(Data);
                char Class[256] = {};
                GetClassNameA(Child, Class, sizeof Class);
                if (!F.Tree && fw_SysUtils::StartsText("SYSTREE", Class))
                    F.Tree = Child;
                else if (fw_SysUtils::StartsText("BUTTON", Class)) {
                    if (!F.Buttons[0])
                        F.Buttons[0] = Child;
                    else if (!F.Buttons[1])
                        F.Buttons[1] = Child;
                }
                return TRUE;
            });
        },
        reinterpret_cast<LPARAM>(&Found));
    Tree = Found.Tree;
    OkButton = Found.Buttons[0];
    CancelButton = Found.Buttons[1];
    if (Tree)
        TreeRect = RectIn(Window, Tree);
    if (OkButton)
        OkRect = RectIn(Window, OkButton);
    if (CancelButton)
        CancelRect = RectIn(Window, CancelButton);
}

void TOpenFolderDialog::Initialize(HWND Wnd)
{
    Window = Wnd;
    FindControls();
    // Where the system's layout is unknown, a place that fits the classic one.
    const RECT Fallback{20, 230, 140, 253};

    if (ShowCreateButton) {
        RECT R = Fallback;
        if (OkButton && CancelButton) {
            // Left of OK by one button step, a row higher.
            R = OkRect;
            OffsetRect(&R, -(CancelRect.left - OkRect.left), -22);
        }
        const int Left = Tree ? TreeRect.left : R.left;
        CreateButton = new TOFDCreateButton(*this);
        CreateButton->SetParentWindow(Window);
        CreateButton->SetCaption(TOFDResourceStrings::CreateFolderCaption());
        CreateButton->SetBounds(Left, R.top, R.right - Left, R.bottom - R.top);
        CreateButton->HandleNeeded();
    }

    if (ShowPathEdit) {
        RECT R = Fallback;
        if (Tree) {
            TreeRect.bottom -= 60;
            MoveWindow(Tree, TreeRect.left, TreeRect.top, TreeRect.right - TreeRect.left,
                       TreeRect.bottom - TreeRect.top, FALSE);
            R = RECT{TreeRect.left, TreeRect.bottom + 15, TreeRect.right, 0};
        }
        PathEdit = new TOFDPathEdit(*this);
        PathEdit->SetParentWindow(Window);
        PathEdit->SetBounds(R.left, R.top, R.right - R.left, 21);
        PathEdit->HandleNeeded();
    }

    if (Tree)
        SetWindowLongPtrA(Tree, GWL_STYLE, GetWindowLongPtrA(Tree, GWL_STYLE) | TVS_SHOWSELALWAYS);

    SelectPath(Directory);
}

void TOpenFolderDialog::SelectPath(const std::string& Path)
{
    if (!Window)
        return;
    fw_Handles::TRestore<bool> Busy(Updating, true);
    std::string Existing = Path;
    while (!Existing.empty() && !DirectoryExists(Existing))
        Existing = CutLast(Existing);
    SendSelection(BrowserForm(Existing));
}

void TOpenFolderDialog::SendSelection(const std::string& Folder)
{
    // Wine's browser at times drops a selection into a folder it has not
    // listed yet; asked again, it takes it.
    for (int Try = 0; Try < 3; ++Try) {
        const int Seen = FSelectionChanges;
        SendMessageA(Window, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(Folder.c_str()));
        if (FSelectionChanges != Seen)
            break;
    }
}

void TOpenFolderDialog::SelectionChanged(const void* ItemList)
{
    ++FSelectionChanges;
    CurrentPath = ItemListPath(static_cast<LPCITEMIDLIST>(ItemList));
    if (PathEdit && !EditChanging) {
        // The edit tells of its change as if typed; that must not move the
        // selection again.
        fw_Handles::TRestore<bool> Busy(Updating, true);
        PathEdit->SetText(CurrentPath);
    }
    // A new folder is made only where the browser would accept one.
    if (OkButton && CreateButton)
        CreateButton->SetVisible(IsWindowEnabled(OkButton) != FALSE);
}

void TOpenFolderDialog::EditChanged(const std::string& Text)
{
    if (Updating || !Window)
        return;
    fw_Handles::TRestore<bool> Typing(EditChanging, true);
    if (!Text.empty())
        SendSelection(Text);
    CurrentPath = Text;
}

void TOpenFolderDialog::CreateClicked(TOFDCreateButton* Sender)
{
    bool Allow = true;
    if (OnCreateFolder)
        OnCreateFolder(Sender, Allow);
    if (!Allow)
        return;
    std::string Path = CurrentPath;
    if (!PathEdit || DirectoryExists(PathEdit->Text())) {
        std::string Name;
        const std::string Caption = WithoutMnemonics(TOFDResourceStrings::CreateFolderCaption());
        if (!fw_StdCtrls::InputQuery(Caption, TOFDResourceStrings::FolderNamePrompt(), Name) ||
            fw_SysUtils::Trim(Name).empty())
            return;
        if (!Path.empty() && Path.back() != '\\')
            Path += '\\';
        Path += Name;
    }
    // The selection stays as it was when the folder cannot be made.
    if (!MakeFolder(Path))
        return;
    CurrentPath = Path;
    Restart = true;
    // The browser gives OK only to folders it accepts; the new one is chosen
    // on the next showing, whatever is selected now.
    if (OkButton) {
        EnableWindow(OkButton, TRUE);
        SendMessageA(OkButton, BM_CLICK, 0, 0);
    } else
        SendMessageA(Window, WM_COMMAND, IDOK, 0);
}

bool TOpenFolderDialog::MakeFolder(const std::string& Path)
{
    const std::string Folder = StripTrailingBackslashes(Path);
    DWORD Error = ERROR_SUCCESS;
    if (!IsAbsolute(Folder))
        Error = ERROR_BAD_PATHNAME; // would land wherever the current folder is
    else {
        std::vector<std::string> Missing;
        for (std::string P = Folder; !P.empty() && !DirectoryExists(P); P = CutLast(P))
            Missing.push_back(P);
        for (auto It = Missing.rbegin(); It != Missing.rend() && Error == ERROR_SUCCESS; ++It) {
            if (CreateDirectoryA(It->c_str(), nullptr))
                FCreatedFolders.push_back(*It);
            else if (DWORD Failure = GetLastError(); !DirectoryExists(*It))
                Error = Failure;
        }
    }
    if (Error == ERROR_SUCCESS)
        return true;
    const std::string Text = Format(cmp_TTranslator::TranslateMessage("The folder \"%s\" cannot be created.\n\n%s"),
                                    {Folder, fw_SysUtils::SysErrorMessage(Error)});
    fw_Forms::Application->MessageBox(Text, fw_Forms::Application->Title(), MB_OK | MB_ICONERROR);
    return false;
}

} // namespace routines_FileSystem
