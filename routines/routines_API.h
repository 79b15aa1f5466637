// Operating-system routines shared by the engine. Each failure raises
// EAPIRoutines with its own message.
#pragma once

#include <string>

namespace routines_API {

// 0 Win32s, 1 the Windows 95 family, 2 the NT family, 3 NT 3.5x, 4 other.
int WindowsVersion();
// A new unique file "bat*.tmp" in the temporary folder; the file is deleted
// again unless Keep.
std::string TempFileName(bool Keep);
std::string SystemDirectory();
std::string WindowsDirectory();
// The short form of a path; the path unchanged when it has none.
std::string ShortPathName(const std::string& Path);
// Takes back the deletions of Path (by its long or short name) that wait for
// the next restart among the system's delayed moves: a file installed after
// an uninstaller scheduled the older one's deletion must survive the
// restart. Other delayed moves stay as they are. True when one was taken
// back; False also when the list cannot be read or written.
bool CancelPendingDelete(const std::string& Path);

} // namespace routines_API
