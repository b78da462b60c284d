// The fake records through the same builders that tests use for expected
// calls, so a swapped or mistyped argument would cancel out in comparisons.
// These checks read the log through its text and accessors instead.
#include "tests/fakegl/fake_gl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Every entry point of more than one argument, where one could be dropped
// or doubled, and every way of printing one.
TEST(FakeGl, RecordsEveryArgumentOfEachEntryPoint) {
    fakegl::reset();
    int buffer = 0;
    glAlphaFunc(GL_GEQUAL, 0.05f);
    glBindTexture(GL_TEXTURE_2D, 7);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBlendFunc(GL_ONE, GL_ZERO);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0.0f, 0.25f, 0.5f, 1.0f);
    glColor4f(1.5f, -2.0f, 3.0f, 0.8f);
    glTexCoord3f(0.125f, 0.75f, 0.0f);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexImage2D(GL_TEXTURE_2D, 1, 4, 64, 32, 0, GL_RGBA, GL_UNSIGNED_BYTE, &buffer);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glVertex3f(-1.0f, 2.0f, 1e-3f);
    glViewport(-3, 4, 1024, 768);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, 16, 8, GL_RGB, GL_UNSIGNED_BYTE, &buffer);
    gluLookAt(600.0, 800.0, 0.1, 0.0, -0.0, 0.0, 0.0, 1.0, 0.0);
    gluPerspective(45.0, 1024.0 / 768.0, 1.0, 8000.0);

    std::vector<std::string> text;
    for (const auto& c : fakegl::calls()) text.push_back(fakegl::format(c));
    char address[32];
    std::snprintf(address, sizeof address, "%p)", static_cast<void*>(&buffer));
    const std::string p = address;
    const std::vector<std::string> expected = {
        "glAlphaFunc(GL_GEQUAL, 0.0500000007f)",
        "glBindTexture(GL_TEXTURE_2D, 7)",
        "glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA)",
        "glBlendFunc(GL_ONE, GL_ZERO)",
        "glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT)",
        "glClearColor(0f, 0.25f, 0.5f, 1f)",
        "glColor4f(1.5f, -2f, 3f, 0.800000012f)",
        "glTexCoord3f(0.125f, 0.75f, 0f)",
        "glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, 8448f [GL_MODULATE])",
        "glTexImage2D(GL_TEXTURE_2D, 1, 4, 64, 32, 0, GL_RGBA, GL_UNSIGNED_BYTE, " + p,
        "glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, 9987f [GL_LINEAR_MIPMAP_LINEAR])",
        "glVertex3f(-1f, 2f, 0.00100000005f)",
        "glViewport(-3, 4, 1024, 768)",
        "gluBuild2DMipmaps(GL_TEXTURE_2D, 3, 16, 8, GL_RGB, GL_UNSIGNED_BYTE, " + p,
        "gluLookAt(600, 800, 0.10000000000000001, 0, -0, 0, 0, 1, 0)",
        "gluPerspective(45, 1.3333333333333333, 1, 8000)",
    };
    EXPECT_EQ(text, expected);

    // The accessors give back what was passed, position by position.
    const auto& log = fakegl::calls();
    ASSERT_EQ(log.size(), expected.size());
    EXPECT_EQ(log[9].pointerArg(8), &buffer);
    EXPECT_EQ(log[13].pointerArg(6), &buffer);
    EXPECT_EQ(log[12].intArg(0), -3);
    EXPECT_EQ(log[6].floatArg(1), -2.0f);
    EXPECT_EQ(log[15].doubleArg(1), 1024.0 / 768.0);
    EXPECT_EQ(fakegl::count(fakegl::Fn::glBlendFunc), 2u);
}

TEST(FakeGl, CallsCompareBitForBit) {
    namespace gl = fakegl::call;
    EXPECT_EQ(gl::glVertex3f(1.0f, 2.0f, 3.0f), gl::glVertex3f(1.0f, 2.0f, 3.0f));
    EXPECT_FALSE(gl::glVertex3f(0.0f, 0.0f, 0.0f) == gl::glVertex3f(-0.0f, 0.0f, 0.0f));
    EXPECT_FALSE(gl::glVertex3f(0.1f, 0.0f, 0.0f) == gl::glVertex3f(0.100000009f, 0.0f, 0.0f));
    EXPECT_FALSE(gl::gluPerspective(45.0, 0.1, 1.0, 8000.0) ==
                 gl::gluPerspective(45.0, static_cast<double>(0.1f), 1.0, 8000.0));

    fakegl::reset();
    glEnable(GL_BLEND);
    glEnd();
    EXPECT_TRUE(fakegl::callsAre({gl::glEnable(GL_BLEND), gl::glEnd()}));
    EXPECT_FALSE(fakegl::callsAre({gl::glEnable(GL_BLEND), gl::glEnd(), gl::glEnd()}));
    const auto failure = fakegl::callsAre({gl::glEnable(GL_ALPHA_TEST), gl::glEnd()});
    EXPECT_NE(std::string(failure.message()).find("> #0 glEnable(GL_ALPHA_TEST)"),
              std::string::npos)
        << failure.message();
}

}  // namespace
