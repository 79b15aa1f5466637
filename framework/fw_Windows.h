// The one way the project includes the Windows headers. The headers map many
// API names to their -A/-W forms with macros; names the system uses for its own
// operations (CopyFile, DeleteFile, RegisterClass, ...) are unmapped here, and
// the code calls the ANSI functions by their explicit -A names.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef STRICT
#define STRICT
#endif
#include <windows.h>

#undef CopyFile
#undef DeleteFile
#undef MoveFile
#undef CreateDirectory
#undef RemoveDirectory
#undef RegisterClass
#undef FindResource
#undef LoadString
#undef GetObject
#undef MessageBox
#undef CreateFile
#undef GetTempFileName
#undef GetCurrentDirectory
#undef SetCurrentDirectory
#undef GetClassName
#undef GetUserName
#undef GetComputerName
#undef CreateWindow
#undef FindWindow
#undef DrawText
#undef GetProp
#undef SetProp
#undef RemoveProp
#undef LoadBitmap
#undef LoadIcon
#undef LoadCursor
#undef LoadImage
#undef CreateFont
#undef GetVersion
#undef GetModuleFileName
#undef GetCommandLine
#undef SendMessage
#undef PostMessage
#undef FindText
#undef ReplaceText
#undef UpdateResource
#undef Yield
