#include "system/cmp_TProgramManager.h"

#include "framework/fw_DDE.h"
#include "routines/exceptions_Wendrel.h"

#include <string_view>

namespace cmp_TProgramManager {

using exceptions_Wendrel::TranslateMessage;
using fw_SysUtils::Format;

// ---- exceptions ------------------------------------------------------------------

namespace {

// The item's name is part of the format text, so a "%" in it must not be
// read as a directive.
std::string EscapePercent(const std::string& S)
{
    std::string Out;
    for (char C : S) {
        Out += C;
        if (C == '%')
            Out += '%';
    }
    return Out;
}

} // namespace

EAIPMError::EAIPMError()
    : EAI(TranslateMessage("The TProgramManager object was unable to communicate with Program Manager"))
{
}

EAIPMCannotOpen::EAIPMCannotOpen()
    : EAIPMError(TranslateMessage("The TProgramManager object was unable to establish a link with Program Manager"))
{
}

EAIPMCannotOpenGroup::EAIPMCannotOpenGroup(const std::string& AGroup)
    : EAIPMError(
          Format(TranslateMessage("The TProgramManager object was unable to open the following group: %s"), {AGroup})),
      Group(AGroup)
{
}

EAIPMCannotCreateGroup::EAIPMCannotCreateGroup(const std::string& AGroup)
    : EAIPMError(Format(TranslateMessage("The TProgramManager object was unable to create the following group: %s"),
                        {AGroup})),
      Group(AGroup)
{
}

EAIPMCannotAddItem::EAIPMCannotAddItem(const std::string& AGroup, const std::string& AItem, const std::string& AMacro)
    : EAIPMError(
          Format(TranslateMessage("The TProgramManager object was unable to add the following program item: " +
                                  EscapePercent(AItem) + " to the following group: %s. The arguments passed to " +
                                  " Program Manager were: %s"),
                 {AGroup, AMacro})),
      Group(AGroup), Item(AItem), Macro(AMacro)
{
}

EAIPMCannotReplaceItem::EAIPMCannotReplaceItem(const std::string& AGroup, const std::string& AItem)
    : EAIPMError(Format(TranslateMessage("The TProgramManager object was unable to replace the following program "
                                         "item: %s to the following group: %s"),
                        {AItem, AGroup})),
      Group(AGroup), Item(AItem)
{
}

// ---- what a macro may carry ------------------------------------------------------

namespace {

// A macro is "[Command(arg,arg,...)]": a comma ends an argument, ")" the
// list and "]" the command, and a "[" may begin another command; an argument
// in double quotes may hold all of them. A text that would end the macro
// early or change its arguments is refused before anything is sent: cutting
// or sending it would make some other item, or run a second command, while
// the caller believes it asked for this one. A zero would end it as well.
//
// Three kinds of argument:
// - quoted: the macro puts it in quotes (CreateGroup's and ReplaceItem's
//   name). It may hold no '"'; nor ")" or "]", which a server that does not
//   keep to the quotes would still take as the end.
// - plain: it goes in as it is and is a name, never a path (ShowGroup's
//   group, AddItem's item name and hot key). None of '"' "," ")" "[" "]": a
//   comma would shift every later argument by one and the item would be made
//   under a wrong name, and a name can't be quoted by the caller since the
//   group's listing and IndexOfItem compare it as it was given.
// - path: the command line, icon path and default folder. The caller may
//   quote a path (a target under "Program Files (x86)" must be), so double
//   quotes are allowed when they pair up, and only outside them are "," ")"
//   "[" "]" refused.
enum class TArgKind { akQuoted, akPlain, akPath };

bool FitsMacro(std::string_view S, TArgKind Kind)
{
    if (S.find('\0') != std::string_view::npos)
        return false;
    switch (Kind) {
    case TArgKind::akQuoted:
        return S.find_first_of("\")]") == std::string_view::npos;
    case TArgKind::akPlain:
        return S.find_first_of("\",)[]") == std::string_view::npos;
    case TArgKind::akPath: {
        bool InQuotes = false;
        for (char C : S) {
            if (C == '"')
                InQuotes = !InQuotes;
            else if (!InQuotes && (C == ',' || C == ')' || C == '[' || C == ']'))
                return false;
        }
        return !InQuotes;
    }
    }
    return false;
}

bool FitsLength(const std::string& Macro) { return Macro.size() <= MaxMacroLength; }

} // namespace

// ---- TProgramManager -------------------------------------------------------------

FW_DEFINE_CLASS(TProgramManager, TComponent, fw_Classes::CreateComponent<TProgramManager>, nullptr)

TProgramManager::TProgramManager(TComponent* AOwner)
    : TComponent(AOwner), FConversation(std::make_unique<fw_DDE::TDdeClientConv>(this))
{
}

// The conversation is both owned here and a component of ours: the pointer
// frees it first, and it leaves our list as it goes, so the base class finds
// nothing more to free.
TProgramManager::~TProgramManager() = default;

void TProgramManager::Connect()
{
    if (FConnected)
        return;
    fw_DDE::TDdeClientConv& Conv = Conversation();
    Conv.SetConnectMode(fw_DDE::TDataMode::ddeManual);
    Conv.SetService("PROGMAN");
    Conv.SetTopic("PROGMAN");
    FConnected = Conv.OpenLink();
    if (!FConnected)
        throw EAIPMCannotOpen();
}

bool TProgramManager::SendMacro(const std::string& Macro) { return Conversation().ExecuteMacro(Macro); }

void TProgramManager::SelectGroup(const std::string& Name)
{
    // A copy: SelectGroup(CurrentGroup()) is a natural call, and the current
    // group is emptied before the read.
    const std::string Group = Name;
    Connect();
    FCurrentGroup.clear();
    FGroupLines.Clear();
    std::string Data;
    if (!Conversation().RequestData(Group, Data))
        return;
    FGroupLines.SetText(Data);
    FCurrentGroup = Group;
    // Wine's DDE server follows the data with an acknowledgement as well,
    // which the conversation would take for the answer to the next macro: a
    // refused AddItem would pass and the next good one fail. Wine answers
    // data for no group, but it does for its own items "Groups" (its list of
    // groups) and "PROGMAN", in any case, and a group may have one of those
    // names. A new conversation leaves the stray answer behind; with a
    // Program Manager that keeps to the protocol it costs one connect. When
    // it cannot be opened again, the next call's Connect says so.
    Conversation().CloseLink();
    FConnected = Conversation().OpenLink();
}

// The group was just created or shown, and the server acknowledged it, so it
// stays current even when its contents cannot be read: Wine answers no data
// for a group, and an empty CurrentGroup would make the next AddItem send
// nothing while its caller believes the item was made.
void TProgramManager::Reread(std::string Group)
{
    // A copy, as in SelectGroup: the caller's is usually FCurrentGroup.
    SelectGroup(Group);
    FCurrentGroup = Group;
}

void TProgramManager::CreateGroup(const std::string& Name)
{
    Connect();
    if (Name.empty())
        return;
    std::string Macro = "[CreateGroup(\"" + Name + "\")]";
    if (!FitsMacro(Name, TArgKind::akQuoted) || !FitsLength(Macro) || !SendMacro(Macro))
        throw EAIPMCannotCreateGroup(Name);
    Reread(Name);
}

std::string TProgramManager::ShowGroupMacro() const
{
    // The group goes in without quotes; 8 shows it without activating it.
    std::string Macro = "[ShowGroup(" + FCurrentGroup + ",8)]";
    if (!FitsMacro(FCurrentGroup, TArgKind::akPlain) || !FitsLength(Macro))
        throw EAIPMCannotOpenGroup(FCurrentGroup);
    return Macro;
}

void TProgramManager::AddItem(const std::string& CommandLine, const std::string& Name, const std::string& IconPath,
                              int IconIndex, const std::string& DefaultDir, const std::string& HotKey)
{
    Connect();
    if (FCurrentGroup.empty())
        return;
    // Both macros are judged before either is sent, so a refused item leaves
    // Program Manager as it was.
    std::string Show = ShowGroupMacro();
    // The two empty arguments after the icon index are the item's x and y.
    std::string Macro = "[AddItem(" + CommandLine + "," + Name + "," + IconPath + "," + std::to_string(IconIndex) +
                        "," + ",," + DefaultDir + "," + HotKey + ")]";
    if (!FitsMacro(CommandLine, TArgKind::akPath) || !FitsMacro(Name, TArgKind::akPlain) ||
        !FitsMacro(IconPath, TArgKind::akPath) || !FitsMacro(DefaultDir, TArgKind::akPath) ||
        !FitsMacro(HotKey, TArgKind::akPlain) || !FitsLength(Macro))
        throw EAIPMCannotAddItem(FCurrentGroup, Name, Macro);
    if (!SendMacro(Show))
        throw EAIPMCannotOpenGroup(FCurrentGroup);
    if (!SendMacro(Macro))
        throw EAIPMCannotAddItem(FCurrentGroup, Name, Macro);
    Reread(FCurrentGroup);
}

void TProgramManager::ReplaceItem(const std::string& Name)
{
    Connect();
    if (FCurrentGroup.empty())
        return;
    std::string Show = ShowGroupMacro();
    std::string Macro = "[ReplaceItem(\"" + Name + "\")]";
    if (!FitsMacro(Name, TArgKind::akQuoted) || !FitsLength(Macro))
        throw EAIPMCannotReplaceItem(FCurrentGroup, Name);
    if (!SendMacro(Show))
        throw EAIPMCannotOpenGroup(FCurrentGroup);
    if (!SendMacro(Macro))
        throw EAIPMCannotReplaceItem(FCurrentGroup, Name);
    Reread(FCurrentGroup);
}

int TProgramManager::ItemCount() const { return FGroupLines.Count() >= 2 ? FGroupLines.Count() - 1 : 0; }

namespace {

// One double quote off the front (when there is more than it) and one off
// the back.
std::string Unquote(std::string S)
{
    if (S.size() > 1 && S.front() == '"')
        S.erase(0, 1);
    if (!S.empty() && S.back() == '"')
        S.pop_back();
    return S;
}

} // namespace

std::string TProgramManager::ItemField(int Index, int Field) const
{
    if (Index < 1 || Index > ItemCount() || Field < 1)
        return "";
    // The fields are split at every comma, quoted or not: the listing quotes
    // names, but a name holding a comma can't be told from two fields.
    std::string Line = FGroupLines[Index];
    size_t Start = 0;
    for (int I = 1; I < Field; ++I) {
        size_t Comma = Line.find(',', Start);
        if (Comma == std::string::npos)
            return "";
        Start = Comma + 1;
    }
    size_t End = Line.find(',', Start);
    std::string Part = Unquote(Line.substr(Start, End == std::string::npos ? std::string::npos : End - Start));
    // The name and the command line come quoted once more.
    if (Field == 1 || Field == 2)
        Part = Unquote(Part);
    return Part;
}

int TProgramManager::IndexOfItem(const std::string& Name) const
{
    for (int I = 1; I <= ItemCount(); ++I)
        if (ItemField(I, 1) == Name)
            return I;
    return -1;
}

TProgramManager& ProgramManager()
{
    // Made on first use and destroyed by the runtime after main returns,
    // while user32 is still loaded: the conversation ends before its DDEML
    // instance (their members' order), and nothing calls DDEML afterwards.
    static TProgramManager Instance(nullptr);
    return Instance;
}

} // namespace cmp_TProgramManager
