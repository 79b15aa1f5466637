// The destination folder browser: the shell's own browser, extended while it
// is open with a path edit under the folder tree (a folder typed there need
// not exist yet; it is made when the user confirms) and a button that makes
// a new folder and opens the browser again on it.
//
// A folder that cannot be made (a bad name, a place the user may not write
// to) is told in a message box and the user goes on choosing: nothing is
// raised out of the browser's window, where it would end the installation.
#pragma once

#include "framework/fw_Classes.h"
#include "framework/fw_StdCtrls.h"
#include "framework/fw_Windows.h"

#include <functional>
#include <string>
#include <vector>

namespace routines_FileSystem {

class TOpenFolderDialog;

// Sender is the create button; clearing Allow keeps the folder from being made.
using TCreateFolderEvent = std::function<void(fw_Classes::TObject* Sender, bool& Allow)>;

// The browser's texts. The system's own wording is used where the running
// Windows has it, so that they read like the rest of the system; Wine has
// none of them, and then ours, translated, are:
//   CreateFolderCaption  "Create &Folder"                 (comdlg32.dll, 703)
//   FolderNamePrompt     "Folder name:"                   (shell32.dll, 8977)
//   BrowseTitle          "Choose the destination folder"  (shell32.dll, 9248)
class TOFDResourceStrings {
public:
    // The caption of the create button and of the window asking for the name.
    static std::string CreateFolderCaption();
    static std::string FolderNamePrompt();
    // The line above the folder tree.
    static std::string BrowseTitle();
    // String Id of the system library Library; empty when either is missing.
    static std::string SystemString(const char* Library, UINT Id);
};

// The path edit under the tree: a folder typed here becomes the selection.
class TOFDPathEdit : public fw_StdCtrls::TEdit {
    FW_CLASS(TOFDPathEdit, fw_StdCtrls::TEdit)

public:
    explicit TOFDPathEdit(TOpenFolderDialog& ADialog);
    TOpenFolderDialog& Dialog;

protected:
    void Change() override;
};

// Makes a folder (below the selected one, or the one typed) and opens the
// browser again with it selected.
class TOFDCreateButton : public fw_StdCtrls::TButton {
    FW_CLASS(TOFDCreateButton, fw_StdCtrls::TButton)

public:
    explicit TOFDCreateButton(TOpenFolderDialog& ADialog);
    TOpenFolderDialog& Dialog;
    void Click() override;
};

class TOpenFolderDialog : public fw_Classes::TComponent {
    FW_CLASS(TOpenFolderDialog, fw_Classes::TComponent)

public:
    explicit TOpenFolderDialog(fw_Classes::TComponent* AOwner);
    ~TOpenFolderDialog() override;

    // Shows the browser on Directory. True when the user confirmed a folder,
    // which is then in Directory and exists (a typed one is made now).
    // False when cancelled; Directory is then as the caller left it, also
    // after the create button opened the browser again on a new folder.
    bool Execute();

    // Moves the open browser's selection to Path or, when Path does not
    // exist, to its deepest folder that does.
    void SelectPath(const std::string& Path);

    // The folders this dialog made, in the order it made them (a parent
    // before its child), those of earlier Executes too. The browser may
    // leave folders the user did not pick in the end; the caller removes
    // those, the deepest first, when they are still empty.
    const std::vector<std::string>& CreatedFolders() const { return FCreatedFolders; }

    TOFDCreateButton* CreateButton = nullptr; // while the browser is open
    std::string CurrentPath;                  // the folder selected or typed
    bool Restart = false;                     // the create button asks for the browser again
    bool Updating = false;                    // the dialog itself moves the selection
    std::string Directory;                    // the start folder, then the chosen one
    TOFDPathEdit* PathEdit = nullptr;         // while the browser is open
    bool ShowCreateButton = true;
    bool ShowPathEdit = true;
    bool EditChanging = false; // what is typed in the edit moves the selection
    HWND Window = nullptr;     // the browser, while it is open
    // The browser's own controls, in its client coordinates.
    RECT OkRect{};
    RECT CancelRect{};
    RECT TreeRect{};
    HWND OkButton = nullptr;
    HWND CancelButton = nullptr;
    HWND Tree = nullptr;
    // Before a folder is made by the create button.
    TCreateFolderEvent OnCreateFolder;

private:
    friend class TOFDPathEdit;
    friend class TOFDCreateButton;
    static int CALLBACK BrowseCallback(HWND Wnd, UINT Msg, LPARAM Param, LPARAM Data);
    void Initialize(HWND Wnd);
    void FindControls();
    void SendSelection(const std::string& Folder);
    void SelectionChanged(const void* ItemList);
    void EditChanged(const std::string& Text);
    void CreateClicked(TOFDCreateButton* Sender);
    void ForgetBrowser();
    // Makes Path with its missing parents; tells the user and answers
    // False when that fails.
    bool MakeFolder(const std::string& Path);

    std::vector<std::string> FCreatedFolders;
    int FSelectionChanges = 0;
};

} // namespace routines_FileSystem
