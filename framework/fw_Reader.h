// Framework: the project reader and writer. A project text declares a tree of
// components:
//
//   object frmMain: TfrmMain
//     Caption = 'Install' + #39's'        strings, with #n character codes
//     Left = 251                          integers ($hex too), reals
//     Font.Name = 'MS Sans Serif'         properties of kept objects
//     InstallTypes = [itFull, itDefault]  sets; enumerations and True/False
//     Container = Install1                references by component name
//     Lines.Strings = ('one' 'two')       string lists
//     Entries = <item Ident = 'A' end>    collections
//     Data = {0A0B}                       bytes
//     object Install1: TInstall ... end   owned by the root, held by the
//   end                                   enclosing object
//
// Reading creates the registered classes with the root as owner, sets their
// properties while they are loading, resolves references by name once every
// component exists (in the order they were read), then calls Loaded on the
// root and on each component in the order of creation.
#pragma once

#include "framework/fw_Classes.h"

#include <string>
#include <string_view>

namespace fw_Reader {

// A malformed text, an unknown class or property, or a dangling reference:
// "Line %d: ..." with the line and the name at fault.
FW_EXCEPTION(EParserError, fw_SysUtils::Exception);

// Reads Text into Root, whose class must be the one the text declares. On a
// reading error every component made so far is freed again.
void ReadComponentText(fw_Classes::TComponent* Root, std::string_view Text);
// Reads the RCDATA resource ResName of the running program into Root.
void ReadComponentResource(fw_Classes::TComponent* Root, const std::string& ResName);
// Writes Root and the components it owns (those without a parent component
// at the root level, the others inside their parents) as project text. Every
// property is written unless it holds its default, an empty text or nil.
std::string WriteComponentText(fw_Classes::TComponent* Root);

} // namespace fw_Reader
