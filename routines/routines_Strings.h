// Text routines shared by the engine.
#pragma once

#include "framework/fw_Classes.h"

#include <string>
#include <string_view>

namespace routines_Strings {

// Appends "\" unless the text already ends with one (so "" becomes "\").
std::string IncludeTrailingBackslash(std::string_view S);
// Removes one final "\".
std::string ExcludeTrailingBackslash(std::string_view S);
// The N-th piece (from 1) of S split at Separator; the last piece runs to the
// end of S; empty when S has fewer pieces.
std::string GetToken(std::string_view S, int N, std::string_view Separator);
// The number of pieces: the separators in S, plus one unless S ends with one.
int TokenCount(std::string_view S, std::string_view Separator);
// Clears List and adds the pieces of S split at Separator, in order.
void SplitToList(std::string_view S, std::string_view Separator, fw_Classes::TStrings& List);
// The text after the first ":", or the whole text when it has none.
std::string StripDrive(std::string_view S);
// A text usable as a file name: "/" becomes "-"; " * : ; < > ? \ | are dropped.
std::string MakeValidName(std::string_view S);

} // namespace routines_Strings
