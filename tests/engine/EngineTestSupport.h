// Shared set-up of the engine tests: a form that owns the components of one
// test and frees them at its end.
#pragma once

#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "framework/fw_Forms.h"
#include "framework/fw_Reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace engine_tests {

using namespace cmp_TInstallContainer;
using cmp_TInstall::TInstall;

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

// The message of the exception that Fn raises as E ("" when none).
template <class E, class F>
std::string MessageOf(F&& Fn)
{
    try {
        Fn();
    } catch (const E& Error) {
        return Error.Message();
    }
    return "";
}

} // namespace engine_tests
