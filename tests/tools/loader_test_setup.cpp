// A stand-in for the setup program that the loader unpacks and starts. It
// writes what it was given and where it runs to the file named by
// WDRL_STUB_REPORT, one fact a line (UTF-8):
//   line=<its command line>   arg=<each argument after its own path>
//   exe=<its path>            file=<each file beside it>
// and ends with the exit code in WDRL_STUB_EXIT (0 when unset). On request
// it also acts like the real setup program:
//   WDRL_STUB_COPY_TO=<folder>  copies every file beside it there first
//   WDRL_STUB_RUNONCE=<name>    registers itself under that HKLM RunOnce name
//   WDRL_STUB_CLEAN=1           deletes the files beside it and starts a
//                               batch that removes its folder, as -c does
#include "framework/fw_Handles.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

std::wstring Env(const wchar_t* Name)
{
    wchar_t Buffer[32768];
    const DWORD N = GetEnvironmentVariableW(Name, Buffer, DWORD(std::size(Buffer)));
    return N && N < std::size(Buffer) ? std::wstring(Buffer, N) : std::wstring();
}

std::string Utf8(const std::wstring& W)
{
    if (W.empty())
        return {};
    const int N = WideCharToMultiByte(CP_UTF8, 0, W.data(), int(W.size()), nullptr, 0, nullptr, nullptr);
    std::string S(size_t(N), '\0');
    WideCharToMultiByte(CP_UTF8, 0, W.data(), int(W.size()), S.data(), N, nullptr, nullptr);
    return S;
}

std::vector<std::wstring> FilesIn(const std::wstring& Folder)
{
    std::vector<std::wstring> Names;
    WIN32_FIND_DATAW Found;
    fw_Handles::TFindHandle Find(FindFirstFileW((Folder + L"\\*").c_str(), &Found));
    if (Find)
        do
            if (!(Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                Names.push_back(Found.cFileName);
        while (FindNextFileW(Find.Get(), &Found));
    return Names;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    wchar_t Path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, Path, MAX_PATH);
    const std::wstring Exe = Path;
    const std::wstring Folder = Exe.substr(0, Exe.find_last_of(L'\\'));

    std::wstring Report = L"line=" + std::wstring(GetCommandLineW()) + L"\n";
    int Count = 0;
    if (LPWSTR* Args = CommandLineToArgvW(GetCommandLineW(), &Count)) {
        for (int I = 1; I < Count; ++I)
            Report += L"arg=" + std::wstring(Args[I]) + L"\n";
        LocalFree(Args);
    }
    Report += L"exe=" + Exe + L"\n";
    for (const std::wstring& Name : FilesIn(Folder))
        Report += L"file=" + Name + L"\n";

    if (const std::wstring CopyTo = Env(L"WDRL_STUB_COPY_TO"); !CopyTo.empty())
        for (const std::wstring& Name : FilesIn(Folder))
            CopyFileW((Folder + L"\\" + Name).c_str(), (CopyTo + L"\\" + Name).c_str(), FALSE);

    if (const std::wstring Name = Env(L"WDRL_STUB_RUNONCE"); !Name.empty()) {
        const std::wstring Command = L"\"" + Exe + L"\" -r \"-sC:\\dist\" -c";
        fw_Handles::TRegKey Key;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, Key.Receive(), nullptr) == ERROR_SUCCESS)
            RegSetValueExW(Key.Get(), Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Command.c_str()),
                           DWORD((Command.size() + 1) * sizeof(wchar_t)));
    }

    if (Env(L"WDRL_STUB_CLEAN") == L"1") {
        for (const std::wstring& Name : FilesIn(Folder))
            if (Folder + L"\\" + Name != Exe)
                DeleteFileW((Folder + L"\\" + Name).c_str());
        // The batch removes the copy and its folder once the program is gone.
        wchar_t Temp[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, Temp);
        const std::wstring Batch =
            std::wstring(Temp) + L"wdrl-stub-clean-" + std::to_wstring(GetCurrentProcessId()) + L".bat";
        const std::string Text = "@echo off\r\n:wait\r\nERASE \"" + Utf8(Exe) + "\"\r\nIF EXIST \"" + Utf8(Exe) +
                                 "\" GOTO wait\r\nRD /S /Q \"" + Utf8(Folder) + "\"\r\nERASE \"%~f0\"\r\n";
        {
            fw_Handles::THandle File(
                CreateFileW(Batch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD Written = 0;
            WriteFile(File.Get(), Text.data(), DWORD(Text.size()), &Written, nullptr);
        }
        std::wstring Line = L"cmd.exe /c \"" + Batch + L"\"";
        STARTUPINFOW Startup{};
        Startup.cb = sizeof Startup;
        PROCESS_INFORMATION Info{};
        if (CreateProcessW(nullptr, Line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, Temp, &Startup,
                           &Info)) {
            CloseHandle(Info.hThread);
            CloseHandle(Info.hProcess);
        }
    }

    if (const std::wstring Out = Env(L"WDRL_STUB_REPORT"); !Out.empty()) {
        fw_Handles::THandle File(
            CreateFileW(Out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        const std::string Bytes = Utf8(Report);
        DWORD Written = 0;
        WriteFile(File.Get(), Bytes.data(), DWORD(Bytes.size()), &Written, nullptr);
    }
    const std::wstring Exit = Env(L"WDRL_STUB_EXIT");
    return Exit.empty() ? 0 : _wtoi(Exit.c_str());
}
