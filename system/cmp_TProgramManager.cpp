#include "system/cmp_TProgramManager.h"

namespace cmp_TProgramManager {

// NOT BUILT: the Program Manager conversation.
TProgramManager& ProgramManager() { throw EAI("The Program Manager conversation is not available in this build"); }
void TProgramManager::CreateGroup(const std::string&) { throw EAI("not available in this build"); }
void TProgramManager::ReplaceItem(const std::string&) { throw EAI("not available in this build"); }
void TProgramManager::AddItem(const std::string&, const std::string&, const std::string&, int, const std::string&,
                              const std::string&)
{
    throw EAI("not available in this build");
}
int TProgramManager::IndexOfItem(const std::string&) const { throw EAI("not available in this build"); }

} // namespace cmp_TProgramManager
