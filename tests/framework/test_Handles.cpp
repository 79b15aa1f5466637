// The owners of handles: what they close, when, and what they leave alone.
#include "framework/fw_Forms.h"
#include "framework/fw_Handles.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using namespace fw_Handles;
using test_support::THookGuard;

namespace {

// Whether H is still an open kernel handle of this process.
bool IsOpen(HANDLE H)
{
    DWORD Flags;
    return GetHandleInformation(H, &Flags) != 0;
}

HANDLE NewEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }

// A COM object that counts its references.
struct TCounted : IUnknown {
    ULONG Refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** Out) override
    {
        *Out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
};

} // namespace

TEST(Handles, OwnersCloseOnceMoveAndKnowTheirEmptyValues)
{
    THandle None;
    EXPECT_FALSE(None.Valid());
    EXPECT_FALSE(THandle(INVALID_HANDLE_VALUE).Valid()); // what a failed CreateFile answers
    EXPECT_EQ(TFindHandle().Get(), INVALID_HANDLE_VALUE);

    HANDLE Raw = NewEvent();
    ASSERT_TRUE(Raw);
    {
        THandle A(Raw);
        THandle B(std::move(A));
        EXPECT_FALSE(A.Valid());
        EXPECT_EQ(B.Get(), Raw);
        THandle C(NewEvent());
        HANDLE Replaced = C.Get();
        C = std::move(B); // the handle C held is closed, Raw moves on
        EXPECT_FALSE(IsOpen(Replaced));
        EXPECT_TRUE(IsOpen(Raw));
        THandle Kept(C.Release()); // given up, not closed
        EXPECT_FALSE(C.Valid());
        EXPECT_TRUE(IsOpen(Raw));
        Kept.Reset();
        EXPECT_FALSE(IsOpen(Raw));
    }

    // A key opened as a predefined root is never closed: the root stays usable.
    {
        TRegKey Root(HKEY_CURRENT_USER);
        EXPECT_FALSE(Root.Valid());
    }
    TRegKey Software;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, Software.Receive()), ERROR_SUCCESS);
    EXPECT_TRUE(Software.Valid());

    TCounted Object;
    {
        TComPtr<IUnknown> P(&Object);
        Object.AddRef();
        TComPtr<IUnknown> Q(std::move(P));
        EXPECT_FALSE(P);
        EXPECT_EQ(Object.Refs, 2u);
    }
    EXPECT_EQ(Object.Refs, 1u);
}

TEST(Handles, GuardsRestoreAndRunOnTheExceptionPath)
{
    int Level = 1;
    std::vector<std::string> Ran;
    try {
        TRestore<int> Raised(Level, 5);
        TScopeExit Note([&] { Ran.push_back("exit"); });
        TScopeExit Skipped([&] { Ran.push_back("dismissed"); });
        Skipped.Dismiss();
        EXPECT_EQ(Level, 5);
        throw std::runtime_error("leave");
    } catch (const std::runtime_error&) {
        EXPECT_EQ(Level, 1);
    }
    EXPECT_EQ(Ran, std::vector<std::string>{"exit"});
}

TEST(Handles, APaintThatThrowsStillEndsItsPaint)
{
    // The window's paint hands its DC back even when Paint throws; the
    // system's cache of window DCs then gives the same DC to the next paint,
    // which a DC kept by an unended paint would not be.
    struct TPainter : fw_Forms::TForm {
        using TForm::TForm;
        std::vector<HDC> DCs;
        bool Throw = false;
        void Paint(HDC DC) override
        {
            DCs.push_back(DC);
            if (Throw)
                throw std::runtime_error("paint failed");
        }
    } Form(nullptr);
    int Failures = 0;
    THookGuard<fw_Forms::TExceptionEvent> Hook(fw_Forms::Application->OnException,
                                               [&](fw_Classes::TObject*, const fw_SysUtils::Exception& E) {
                                                   EXPECT_EQ(E.Message(), "paint failed");
                                                   ++Failures;
                                               });
    Form.SetBounds(20, 20, 200, 120);
    Form.ShowForm();
    HWND H = Form.Handle();
    for (bool Throw : {false, true, false}) {
        Form.Throw = Throw;
        InvalidateRect(H, nullptr, FALSE);
        UpdateWindow(H);
    }
    EXPECT_EQ(Failures, 1);
    ASSERT_GE(Form.DCs.size(), 3u);
    size_t N = Form.DCs.size();
    EXPECT_EQ(Form.DCs[N - 1], Form.DCs[N - 2]);
    RECT Update;
    EXPECT_FALSE(GetUpdateRect(H, &Update, FALSE)); // and the window is valid again
}
