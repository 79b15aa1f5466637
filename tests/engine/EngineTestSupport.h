// Shared set-up of the engine tests: a form that owns the components of one
// test and frees them at its end, the classes a project text may name, and
// the install root's command line for the length of a test.
#pragma once

#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "engine/cmp_TPathSpecifier.h"
#include "framework/fw_Forms.h"
#include "framework/fw_Handles.h"
#include "framework/fw_Reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace engine_tests {

using namespace cmp_TInstallContainer;
using cmp_TInstall::TInstall;
using test_support::MessageOf;
using test_support::Raises;
using test_support::THookGuard;

struct TOwnedForm {
    std::unique_ptr<fw_Forms::TForm, fw_Classes::TComponentDeleter> Form{new fw_Forms::TForm(nullptr)};
    fw_Forms::TForm* operator->() const { return Form.get(); }
    fw_Forms::TForm* get() const { return Form.get(); }
};

template <class T>
T* Make(const TOwnedForm& Owner, const std::string& Name)
{
    T* C = new T(Owner.get());
    C->SetName(Name);
    return C;
}

// An install root named Install1 whose destination is Folder itself.
inline TInstall* MakeRootAt(const TOwnedForm& Owner, const std::string& Folder)
{
    auto* Own = Make<cmp_TPathSpecifier::TPathSpecifier>(Owner, "psOwn");
    Own->OnGetPath = [Folder](const fw_Classes::TComponent*, std::string& P) { P = Folder; };
    auto* Root = Make<TInstall>(Owner, "Install1");
    Root->SetDestDirType(Own);
    Root->SetDestDir("");
    return Root;
}

// An install file in Container whose source and destination name is FileName.
inline TInstallFile* MakeFileIn(const TOwnedForm& Owner, TInstallContainer* Container, const std::string& Name,
                                const std::string& FileName)
{
    auto* File = Make<TInstallFile>(Owner, Name);
    File->SetContainer(Container);
    File->SetFileName(FileName);
    File->SetDestName(FileName);
    return File;
}

// What a started test program wrote into its marker file Path, waiting up to
// ten seconds for it to appear ("" when it never does).
inline std::string WaitForMarker(const std::string& Path)
{
    for (int Tries = 0; Tries < 200; ++Tries) {
        fw_Handles::THandle File(CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
        char Text[MAX_PATH * 2] = {};
        DWORD Read = 0;
        if (File && ReadFile(File.Get(), Text, sizeof Text - 1, &Read, nullptr) && Read > 0)
            return std::string(Text, Read);
        Sleep(50);
    }
    return "";
}

// Reads a project text into Root with the engine's classes known.
inline void ReadProject(fw_Classes::TComponent* Root, const std::string& Text)
{
    cmp_TPathSpecifier::RegisterPathSpecifierClasses();
    cmp_TInstallContainer::RegisterInstallContainerClasses();
    cmp_TInstall::RegisterInstallClasses();
    fw_Reader::ReadComponentText(Root, Text);
}

// Gives the install root a command line for the length of one test.
class TArguments {
public:
    explicit TArguments(std::vector<std::string> Args)
        : FGuard(cmp_TInstall::TCustomInstall::CommandLineArguments, [Args] { return Args; })
    {
    }

private:
    THookGuard<std::function<std::vector<std::string>()>> FGuard;
};

} // namespace engine_tests
