// The null backend as a headless program meets it: its window's messages,
// and its script's messages reaching a scene through runApp.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gloam/app/app.h"
#include "gloam/app/run.h"
#include "gloam/platform/null/null_standin.h"
#include "gloam/platform/standin.h"
#include "gloam/render/renderer.h"
#include "tests/support/fake_gl.h"

using namespace gloam;
using nullstandin::ScriptedMessage;

namespace {

struct Seen {
    std::int64_t afterFrame;  // frames drawn when it arrived
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> seen;
std::int64_t frames = 0;

LRESULT CALLBACK recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({0, message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

class Probe : public Scene {
    void frame(const FrameInfo& time) override { frames = time.number; }
    bool message(HWND, UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back({frames, message, wParam, lParam});
        return true;
    }
};

class NullBackend : public ::testing::Test {
protected:
    void SetUp() override {
        nullstandin::reset();
        fakegl::reset();
        appInstance = nullptr;
        seen.clear();
        frames = 0;
    }
};

TEST_F(NullBackend, WindowsOpenAndCloseWithWindowsMessagesInWindowsOrder) {
    WNDCLASSA c{};
    c.lpfnWndProc = recorder;
    c.lpszClassName = "probe";
    ASSERT_NE(RegisterClassA(&c), 0);
    const UINT created[] = {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE,
                            WM_CREATE,        WM_SIZE,     WM_MOVE};
    const struct {
        DWORD style;
        LPARAM size;  // what WM_SIZE reports of a 1024 x 768 window
        bool shown;
    } cases[] = {{WS_OVERLAPPEDWINDOW, MAKELPARAM(1008, 729), false},
                 {WS_POPUP | WS_VISIBLE, MAKELPARAM(1024, 768), true}};
    for (const auto& t : cases) {
        seen.clear();
        HWND window = CreateWindowExA(0, "probe", "", t.style, 0, 0, 1024, 768, nullptr, nullptr,
                                      nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        std::vector<UINT> expected(std::begin(created), std::end(created));
        if (t.shown) expected.push_back(WM_SHOWWINDOW);
        ASSERT_EQ(seen.size(), expected.size());
        for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i].message, expected[i]);
        EXPECT_EQ(seen[4].lParam, t.size);
        seen.clear();
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
        DestroyWindow(window);
        const std::vector<UINT> after =
            t.shown ? std::vector<UINT>{WM_PAINT, WM_DESTROY, WM_NCDESTROY}
                    : std::vector<UINT>{WM_SHOWWINDOW, WM_PAINT, WM_DESTROY, WM_NCDESTROY};
        ASSERT_EQ(seen.size(), after.size());
        for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i].message, after[i]);
        EXPECT_EQ(standin::findWindow(window), nullptr);
    }
}

// Input joins the queue as a user's does, moves folding into the latest;
// other messages arrive as the window system posts them.
TEST_F(NullBackend, ScriptedMessagesReachTheSceneAfterTheirFrame) {
    const struct {
        const char* script;
        std::int64_t framesOption;
        std::int64_t framesDrawn;
        std::vector<Seen> received;
    } cases[] = {
        {"2 WM_KEYDOWN 0x41 0x1E0001; 2 WM_MOUSEHWHEEL 0x780000 0x20001",
         3,
         3,
         {{2, WM_KEYDOWN, 'A', 0x1E0001}, {2, WM_MOUSEHWHEEL, 0x780000, 0x20001}}},
        {"2 WM_CLOSE", 0, 2, {}},
        {"1 WM_MOUSEMOVE 0 0x50004; 1 WM_MOUSEMOVE 0 0x60007\n1 WM_LBUTTONDOWN 1 0x60007; 3 0x10",
         0,
         3,
         {{1, WM_MOUSEMOVE, 0, 0x60007}, {1, WM_LBUTTONDOWN, MK_LBUTTON, 0x60007}}},
        {"1 1024 5 6", 2, 2, {}},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.script);
        SetUp();
        std::vector<ScriptedMessage> script;
        std::string error;
        ASSERT_TRUE(nullstandin::parseScript(t.script, script, error)) << error;
        nullstandin::setScript(script);
        Probe probe;
        EXPECT_EQ(runApp(probe, {"probe", 640, 480, SW_SHOW}, {t.framesOption, "", {}}),
                  exitSuccess);
        EXPECT_EQ(frames, t.framesDrawn);
        EXPECT_EQ(seen, t.received);
    }
}

TEST_F(NullBackend, AScriptThatCannotBeReadIsRefusedNamingTheEntryAndWhy) {
    const struct {
        const char* script;
        const char* error;  // empty: read
    } cases[] = {
        {";; 3 WM_KEYUP -1 0x7B\n", ""},
        {"1 WM_CLOSE; 0 WM_CLOSE", "entry 2 (\"0 WM_CLOSE\"): the frame \"0\" is not a whole"},
        {"2 WM_CLSE", "entry 1 (\"2 WM_CLSE\"): \"WM_CLSE\" is neither"},
        {"2 WM_KEYDOWN 0x100000000", "the parameter \"0x100000000\" is not a number of 32 bits"},
        {"2 WM_KEYDOWN 1x", "the parameter \"1x\" is not"},
        {" 7 ", "entry 1 (\"7\"): a frame and a message are needed"},
        {"1 WM_CHAR 1 2 3", "more than a frame, a message and its two parameters"},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.script);
        std::vector<ScriptedMessage> script;
        std::string error;
        EXPECT_EQ(nullstandin::parseScript(t.script, script, error), *t.error == '\0');
        EXPECT_NE(error.find(t.error), std::string::npos) << error;
    }
    std::vector<ScriptedMessage> script;
    std::string error;
    ASSERT_TRUE(nullstandin::parseScript(";; 3 WM_KEYUP -1 0x7B\n", script, error));
    EXPECT_EQ(script, (std::vector<ScriptedMessage>{{3, WM_KEYUP, WPARAM(-1), 0x7B}}));

    // From the environment, a script that cannot be read keeps the window
    // from opening, and so the run from starting.
    setenv("GLOAM_NULL_SCRIPT", "1 WM_KEYDOWN; x", 1);
    Probe probe;
    EXPECT_EQ(runApp(probe, {"probe", 640, 480, SW_SHOW}, {2, "", {}}), exitFailure);
    unsetenv("GLOAM_NULL_SCRIPT");
    EXPECT_EQ(frames, 0);
}

}  // namespace
