// The Program Manager conversation: on shells without link files (Win32s,
// Windows NT 3.5x) shortcuts are Program Manager items, made by sending it
// command strings (macros) over DDE. The component creates groups, adds and
// replaces items, and reads a group's contents back to find existing items.
#pragma once

#include "framework/fw_Classes.h"
#include "framework/fw_SysUtils.h"

#include <memory>
#include <string>
#include <vector>

namespace fw_DDE {
class TDdeClientConv;
}

namespace cmp_TProgramManager {

using fw_Classes::TComponent;

// The Program Manager's own exception base; not the install run's EAI.
FW_EXCEPTION(EAI, fw_SysUtils::Exception);

// "The TProgramManager object was unable to communicate with Program Manager".
// Every message of the family is translated before it is formatted.
class EAIPMError : public EAI {
public:
    EAIPMError();
    explicit EAIPMError(const std::string& Msg) : EAI(Msg) {}
};

// The conversation could not be opened.
class EAIPMCannotOpen : public EAIPMError {
public:
    EAIPMCannotOpen();
};

class EAIPMCannotOpenGroup : public EAIPMError {
public:
    explicit EAIPMCannotOpenGroup(const std::string& AGroup);
    std::string Group;
};

class EAIPMCannotCreateGroup : public EAIPMError {
public:
    explicit EAIPMCannotCreateGroup(const std::string& AGroup);
    std::string Group;
};

class EAIPMCannotAddItem : public EAIPMError {
public:
    EAIPMCannotAddItem(const std::string& AGroup, const std::string& AItem, const std::string& AMacro);
    std::string Group, Item, Macro;
};

class EAIPMCannotReplaceItem : public EAIPMError {
public:
    EAIPMCannotReplaceItem(const std::string& AGroup, const std::string& AItem);
    std::string Group, Item;
};

// The longest macro Program Manager takes, without its terminating zero.
inline constexpr size_t MaxMacroLength = 255;

class TProgramManager : public TComponent {
    FW_CLASS(TProgramManager, TComponent)

public:
    explicit TProgramManager(TComponent* AOwner);
    ~TProgramManager() override;

    // Opens the conversation with service and topic "PROGMAN" once;
    // EAIPMCannotOpen when nobody answers.
    virtual void Connect();
    // Reads the group's contents into GroupLines and makes it current; a
    // group that cannot be read leaves CurrentGroup empty.
    void SelectGroup(const std::string& Name);
    void CreateGroup(const std::string& Name);
    void AddItem(const std::string& CommandLine, const std::string& Name, const std::string& IconPath, int IconIndex,
                 const std::string& DefaultDir, const std::string& HotKey);
    void ReplaceItem(const std::string& Name);

    int ItemCount() const;
    // Field (from 1) of item Index (from 1), unquoted; empty out of range.
    std::string ItemField(int Index, int Field) const;
    // The first item named exactly Name, or -1.
    int IndexOfItem(const std::string& Name) const;

    bool Connected() const { return FConnected; }
    const std::string& CurrentGroup() const { return FCurrentGroup; }
    const fw_Classes::TStringList& GroupLines() const { return FGroupLines; }

protected:
    fw_DDE::TDdeClientConv& Conversation() { return *FConversation; }
    // Every macro goes out through here, once it has been found fit to send;
    // a descendant may watch what is sent.
    virtual bool SendMacro(const std::string& Macro);
    // Sets the current group's lines as a read of its data would.
    void SetGroupLines(const std::vector<std::string>& Lines) { FGroupLines.SetVector(Lines); }
    bool FConnected = false;
    std::string FCurrentGroup;

private:
    // "[ShowGroup(...)]" for the current group; EAIPMCannotOpenGroup when
    // its name can't go in a macro.
    std::string ShowGroupMacro() const;
    void Reread(std::string Group);

    std::unique_ptr<fw_DDE::TDdeClientConv> FConversation;
    fw_Classes::TStringList FGroupLines;
};

// The process-wide component the links use, made on first use and freed
// when the program ends.
TProgramManager& ProgramManager();

} // namespace cmp_TProgramManager
