// The loader's own failures: each ends the program with a message and an exit
// code of its own. The codes lie apart from the setup program's 0 to 3, so
// whoever started setup.exe can tell whose failure it was.
#pragma once

#include "framework/fw_Windows.h"

#include <exception>
#include <string>
#include <string_view>

namespace loader_Failure {

enum TExitCode : int {
    ecUsage = 20,      // an argument other than *TODISK; nothing was unpacked
    ecNoArchive = 21,  // setup.1 beside the loader cannot be opened or read
    ecDamaged = 22,    // the record, a table or the data do not hold together
    ecUnpack = 23,     // the private folder or a file in it cannot be made or written
    ecNotStarted = 24, // the setup program was unpacked but cannot be started
    ecInternal = 25,   // anything else that went wrong inside the loader
};

// A failure the loader reports to the user, with the code it exits with.
class ELoader : public std::exception {
public:
    ELoader(TExitCode ACode, std::wstring AText);
    const char* what() const noexcept override { return FNarrow.c_str(); }
    TExitCode Code;
    std::wstring Text;

private:
    std::string FNarrow;
};

// Text: UTF-8 for the standard error, wide for everything the system sees.
std::wstring Widen(std::string_view Utf8);
std::string Narrow(std::wstring_view Wide);
// The system's own words for an error code (without the trailing line break).
std::wstring SystemReason(DWORD Code);

} // namespace loader_Failure
