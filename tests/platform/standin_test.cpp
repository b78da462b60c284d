#include <gtest/gtest.h>

#include <vector>

#include "gloam/platform/standin.h"

using namespace gloam;

namespace {

struct Seen {
    HWND window;
    UINT message;
    int procedure;
    bool operator==(const Seen&) const = default;
};
std::vector<Seen> seen;

template <int id>
LRESULT CALLBACK recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({window, message, id});
    return message == WM_USER ? 100 + id : DefWindowProcA(window, message, wParam, lParam);
}

ATOM registerClass(const char* name, WNDPROC procedure) {
    WNDCLASSA c{};
    c.lpfnWndProc = procedure;
    c.lpszClassName = name;
    return RegisterClassA(&c);
}

HWND makeWindow(const char* className, HWND parent = nullptr) {
    CREATESTRUCTA create{};
    create.lpszClass = className;
    create.hwndParent = parent;
    return standin::createWindow(create, 280, 160, 0);
}

class Standin : public ::testing::Test {
protected:
    void SetUp() override {
        standin::reset();
        seen.clear();
        registerClass("one", recorder<1>);
        registerClass("two", recorder<2>);
    }
    void TearDown() override { standin::reset(); }

    MSG msg{};
};

TEST_F(Standin, ClassesAreRegisteredOnceByNameWithoutRegardToCase) {
    EXPECT_EQ(registerClass("one", recorder<2>), 0);
    EXPECT_EQ(registerClass("ONE", recorder<2>), 0);
    EXPECT_EQ(SendMessageA(makeWindow("One"), WM_USER, 0, 0), 101);
    EXPECT_EQ(makeWindow("four"), nullptr);
}

TEST_F(Standin, WindowFilterTakesDescendantsAndPeekingCanLeaveTheMessage) {
    HWND one = makeWindow("one");
    HWND two = makeWindow("two");
    HWND child = makeWindow("two", one);
    PostMessageA(one, WM_USER, 1, 0);
    PostMessageA(two, WM_USER, 2, 0);
    PostMessageA(child, WM_USER, 3, 0);
    ASSERT_TRUE(PeekMessageA(&msg, one, 0, 0, PM_NOREMOVE));
    std::vector<WPARAM> order;
    while (PeekMessageA(&msg, one, 0, 0, PM_REMOVE)) order.push_back(msg.wParam);
    EXPECT_EQ(order, (std::vector<WPARAM>{1, 3}));
    EXPECT_EQ(standin::queuedMessageCount(), 1u);
}

// Input waits behind posted messages; the quit message behind both.
TEST_F(Standin, QuitComesLastWithItsExitCode) {
    HWND one = makeWindow("one"), two = makeWindow("two");
    for (LPARAM i = 1; i <= 4; ++i)
        standin::postInput(MSG{i == 3 ? two : one, WM_MOUSEMOVE, 0, i, 0, {0, 0}});
    PostMessageA(two, WM_USER, 0, 5);
    PostQuitMessage(7);
    std::vector<LPARAM> order;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) order.push_back(msg.lParam);
    // A move replaces only its own window's last move.
    EXPECT_EQ(order, (std::vector<LPARAM>{5, 2, 3, 4}));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(int(msg.wParam), 7);
}

TEST_F(Standin, CloseDestroysChildrenInsideTheirParentAndTheirMessagesGo) {
    HWND parent = makeWindow("one");
    HWND child = makeWindow("two", parent);
    PostMessageA(child, WM_USER, 0, 0);
    seen.clear();
    EXPECT_EQ(DefWindowProcA(parent, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(seen, (std::vector<Seen>{{parent, WM_DESTROY, 1},
                                       {child, WM_DESTROY, 2},
                                       {child, WM_NCDESTROY, 2},
                                       {parent, WM_NCDESTROY, 1}}));
    EXPECT_EQ(standin::findWindow(child), nullptr);
    EXPECT_EQ(standin::queuedMessageCount(), 0u);
}

TEST_F(Standin, PaintIsRequestedUntilTheDefaultProcedureValidates) {
    standin::invalidate(makeWindow("two"));
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
        EXPECT_EQ(msg.message, UINT(WM_PAINT));
    }
    DispatchMessageA(&msg);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

}  // namespace
