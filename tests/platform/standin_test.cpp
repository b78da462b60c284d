#include <gtest/gtest.h>

#include <vector>

#include "gloam/platform/standin.h"

using namespace gloam;

namespace {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int procedure;
    bool operator==(const Seen&) const = default;
};
std::vector<Seen> seen;

template <int id>
LRESULT CALLBACK recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({window, message, wParam, lParam, id});
    return message == WM_USER ? 100 + id : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK refusesCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({window, message, wParam, lParam, 9});
    return message == WM_CREATE ? -1 : DefWindowProcA(window, message, wParam, lParam);
}

std::vector<UINT> messagesSeen() {
    std::vector<UINT> messages;
    for (const Seen& s : seen) messages.push_back(s.message);
    return messages;
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
    create.lpszName = "title";
    create.hwndParent = parent;
    create.x = 10;
    create.y = 20;
    create.cx = 300;
    create.cy = 200;
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
    EXPECT_EQ(registerClass("", recorder<2>), 0);
    EXPECT_EQ(registerClass(nullptr, recorder<2>), 0);
    WNDCLASSEXA ex{};
    ex.lpszClassName = "three";
    EXPECT_EQ(RegisterClassExA(&ex), 0) << "cbSize must be checked";
    ex.cbSize = sizeof ex;
    ex.lpfnWndProc = recorder<3>;
    ATOM three = RegisterClassExA(&ex);
    EXPECT_GE(three, 0xC000);

    // The failed attempts left the first registration alone; the atom names
    // the class as well as its name does.
    HWND one = makeWindow("One");
    HWND byAtom = makeWindow(MAKEINTATOM(three));
    ASSERT_NE(one, nullptr);
    ASSERT_NE(byAtom, nullptr);
    EXPECT_EQ(SendMessageA(one, WM_USER, 0, 0), 101);
    EXPECT_EQ(SendMessageA(byAtom, WM_USER, 0, 0), 103);
    EXPECT_EQ(makeWindow("four"), nullptr);
}

TEST_F(Standin, CreationCallsTheProcedureAsWindowsDoes) {
    HWND window = makeWindow("one");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE,
                                                 WM_CREATE, WM_SIZE, WM_MOVE}));
    for (const Seen& s : seen) EXPECT_EQ(s.window, window);
    EXPECT_EQ(seen[4].wParam, WPARAM(SIZE_RESTORED));
    EXPECT_EQ(LOWORD(seen[4].lParam), 280);  // the client size, not the outer one
    EXPECT_EQ(HIWORD(seen[4].lParam), 160);
    EXPECT_EQ(seen[5].lParam, MAKELPARAM(10, 20));

    // A procedure that refuses creation gets no window, and is told of the
    // destruction of the one it refused.
    ASSERT_NE(registerClass("refuses", refusesCreation), 0);
    seen.clear();
    EXPECT_EQ(makeWindow("refuses"), nullptr);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE,
                                                 WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(standin::findWindow(seen[0].window), nullptr);
}

TEST_F(Standin, MessagesComeInPostingOrderThroughTheWindowFilter) {
    HWND one = makeWindow("one");
    HWND two = makeWindow("two");
    HWND child = makeWindow("two", one);
    HWND threadOnly = reinterpret_cast<HWND>(-1);
    ASSERT_TRUE(PostMessageA(one, WM_USER + 1, 1, 0));
    ASSERT_TRUE(PostMessageA(two, WM_USER + 2, 2, 0));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 3, 3, 0));
    ASSERT_TRUE(PostMessageA(child, WM_USER + 4, 4, 0));
    ASSERT_TRUE(PostMessageA(one, WM_USER + 5, 5, 0));
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(99), WM_USER, 0, 0));

    // A window's filter takes its descendants; -1 takes thread messages only.
    std::vector<WPARAM> order;
    while (PeekMessageA(&msg, one, 0, 0, PM_REMOVE)) order.push_back(msg.wParam);
    while (PeekMessageA(&msg, threadOnly, 0, 0, PM_REMOVE)) order.push_back(msg.wParam);
    EXPECT_EQ(order, (std::vector<WPARAM>{1, 4, 5, 3}));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, two);
    EXPECT_EQ(msg.message, UINT(WM_USER + 2));

    // A range filter skips past what it does not take.
    PostMessageA(one, WM_USER + 1, 0, 0);
    PostMessageA(one, WM_USER + 2, 0, 0);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 2, WM_USER + 9, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 2));
    EXPECT_EQ(standin::queuedMessageCount(), 1u);
    EXPECT_FALSE(PeekMessageA(&msg, reinterpret_cast<HWND>(99), 0, 0, PM_REMOVE));
    EXPECT_EQ(GetMessageA(&msg, reinterpret_cast<HWND>(99), 0, 0), -1);
}

TEST_F(Standin, PeekingWithoutRemovingLeavesTheMessageForGetMessage) {
    HWND one = makeWindow("one");
    PostMessageA(one, WM_USER, 7, 8);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(PeekMessageA(&msg, one, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(msg.wParam, 7u);
    }
    EXPECT_EQ(GetMessageA(&msg, one, 0, 0), 1);
    EXPECT_EQ(msg.lParam, 8);
    EXPECT_FALSE(PeekMessageA(&msg, one, 0, 0, PM_NOREMOVE));
    // With nothing that could ever arrive, GetMessageA fails instead of
    // waiting for ever.
    EXPECT_EQ(GetMessageA(&msg, one, 0, 0), -1);
}

TEST_F(Standin, QuitComesAfterEveryPostedMessageWhateverTheWindowFilter) {
    HWND one = makeWindow("one");
    PostMessageA(one, WM_USER, 1, 0);
    PostQuitMessage(7);
    PostMessageA(one, WM_USER, 2, 0);  // after the quit message, still before it

    ASSERT_EQ(GetMessageA(&msg, one, 0, 0), 1);
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_EQ(GetMessageA(&msg, one, 0, 0), 1);
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_TRUE(PeekMessageA(&msg, one, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_TRUE(standin::quitRequested());
    EXPECT_EQ(GetMessageA(&msg, one, 0, 0), 0);
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(int(msg.wParam), 7);  // the exit code
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "retrieved once only";

    // A message posted after the quit has been retrieved is delivered as usual.
    PostMessageA(one, WM_USER, 3, 0);
    EXPECT_EQ(GetMessageA(&msg, one, 0, 0), 1);
    // A WM_QUIT posted like any message ends GetMessageA all the same.
    PostMessageA(nullptr, WM_QUIT, 4, 0);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.wParam, 4u);
}

TEST_F(Standin, DispatchRunsTheProcedureOfTheWindowsClass) {
    HWND one = makeWindow("one");
    HWND two = makeWindow("two");
    PostMessageA(two, WM_USER, 5, 6);
    PostMessageA(one, WM_USER, 7, 8);
    PostMessageA(nullptr, WM_USER, 9, 9);
    seen.clear();
    std::vector<LRESULT> results;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        EXPECT_FALSE(TranslateMessage(&msg));
        results.push_back(DispatchMessageA(&msg));
    }
    EXPECT_EQ(results, (std::vector<LRESULT>{102, 101, 0}));
    EXPECT_EQ(seen, (std::vector<Seen>{{two, WM_USER, 5, 6, 2}, {one, WM_USER, 7, 8, 1}}));
}

TEST_F(Standin, DefaultProcedureAcceptsCreationAndDestroysOnClose) {
    HWND parent = makeWindow("one");
    HWND child = makeWindow("two", parent);
    EXPECT_EQ(DefWindowProcA(parent, WM_NCCREATE, 0, 0), TRUE);
    EXPECT_EQ(DefWindowProcA(parent, WM_ERASEBKGND, 0, 0), 0);
    PostMessageA(child, WM_USER, 0, 0);
    PostMessageA(parent, WM_USER, 0, 0);
    standin::postInput(MSG{child, WM_KEYDOWN, 0, 0, 0, {0, 0}});
    seen.clear();

    EXPECT_EQ(DefWindowProcA(parent, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(seen, (std::vector<Seen>{{parent, WM_DESTROY, 0, 0, 1},
                                       {child, WM_DESTROY, 0, 0, 2},
                                       {child, WM_NCDESTROY, 0, 0, 2},
                                       {parent, WM_NCDESTROY, 0, 0, 1}}));
    EXPECT_EQ(standin::findWindow(parent), nullptr);
    EXPECT_EQ(standin::findWindow(child), nullptr);
    EXPECT_EQ(standin::queuedMessageCount(), 0u) << "a destroyed window's messages go with it";
    EXPECT_FALSE(PostMessageA(parent, WM_USER, 0, 0));
    HWND fresh = makeWindow("one");
    EXPECT_TRUE(fresh != parent && fresh != child) << "handles are not reused";
}

TEST_F(Standin, PaintIsRequestedUntilTheWindowIsValidated) {
    HWND one = makeWindow("one");
    HWND two = makeWindow("two");
    standin::invalidate(two);
    standin::invalidate(two);  // exposures coalesce into one request
    PostMessageA(two, WM_USER, 0, 0);
    EXPECT_FALSE(PeekMessageA(&msg, one, 0, 0, PM_REMOVE));

    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER)) << "posted messages come first";
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(GetMessageA(&msg, two, 0, 0), 1);
        EXPECT_EQ(msg.message, UINT(WM_PAINT));
        EXPECT_EQ(msg.hwnd, two);
    }
    // The default procedure validates.
    seen.clear();
    DispatchMessageA(&msg);
    EXPECT_EQ(messagesSeen(), std::vector<UINT>{WM_PAINT});
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(Standin, InputComesAfterPostedMessagesAndAMoveReplacesOnlyItsWindowsLastMove) {
    HWND one = makeWindow("one"), two = makeWindow("two");
    for (LPARAM i = 1; i <= 4; ++i)
        standin::postInput(MSG{i == 3 ? two : one, WM_MOUSEMOVE, 0, i, 0, {0, 0}});
    PostMessageA(two, WM_USER, 0, 5);
    PostQuitMessage(0);
    std::vector<LPARAM> order;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) order.push_back(msg.lParam);
    EXPECT_EQ(order, (std::vector<LPARAM>{5, 2, 3, 4}));
}

}  // namespace
