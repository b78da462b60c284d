// How ChoosePixelFormat ranks configurations, on made-up lists.

#include <gtest/gtest.h>

#include <vector>

#include "gloam/platform/x11/x11_standin.h"

using namespace gloam;

namespace {

using x11standin::closestFormat;
using x11standin::FormatTraits;

FormatTraits windowFormat(int colour, int alpha, int depth, int stencil = 0) {
    FormatTraits f;
    f.window = true;
    f.rgba = true;
    f.doubleBuffer = true;
    f.colorBits = colour;
    f.alphaBits = alpha;
    f.depthBits = depth;
    f.stencilBits = stencil;
    return f;
}

PIXELFORMATDESCRIPTOR request(int colour, int depth,
                              DWORD flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL |
                                            PFD_DOUBLEBUFFER) {
    PIXELFORMATDESCRIPTOR p{};
    p.nSize = sizeof p;
    p.nVersion = 1;
    p.dwFlags = flags;
    p.iPixelType = PFD_TYPE_RGBA;
    p.cColorBits = BYTE(colour);
    p.cDepthBits = BYTE(depth);
    return p;
}

TEST(ClosestFormat, ExactBitsWinThenTheSmallestExcessThenTheLargestShortfall) {
    std::vector<FormatTraits> formats = {windowFormat(24, 8, 24, 8), windowFormat(24, 0, 16),
                                         windowFormat(24, 0, 32), windowFormat(24, 0, 24)};
    EXPECT_EQ(closestFormat(formats, request(24, 32)), 2);
    EXPECT_EQ(closestFormat(formats, request(24, 24)), 3) << "no alpha or stencil was asked for";
    EXPECT_EQ(closestFormat(formats, request(24, 20)), 3);
    formats.erase(formats.begin() + 2);
    EXPECT_EQ(closestFormat(formats, request(24, 32)), 2)
        << "24 depth bits are closer to 32 than 16, and no alpha was asked for";
    // Colour outweighs depth.
    std::vector<FormatTraits> shallowColour = {windowFormat(16, 0, 32), windowFormat(24, 0, 16)};
    EXPECT_EQ(closestFormat(shallowColour, request(24, 32)), 1);
}

TEST(ClosestFormat, WhatTheRequestCannotDoWithoutIsNeverGivenUp) {
    FormatTraits single = windowFormat(24, 0, 32);
    single.doubleBuffer = false;
    FormatTraits offscreen = windowFormat(24, 0, 32);
    offscreen.window = false;
    FormatTraits indexed = windowFormat(24, 0, 32);
    indexed.rgba = false;
    indexed.colorIndex = true;
    std::vector<FormatTraits> formats = {single, offscreen, indexed};
    EXPECT_EQ(closestFormat(formats, request(24, 32)), -1);
    EXPECT_EQ(closestFormat(formats, request(24, 32, PFD_DRAW_TO_WINDOW)), 0);
    PIXELFORMATDESCRIPTOR colourIndex = request(8, 0, PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER);
    colourIndex.iPixelType = PFD_TYPE_COLORINDEX;
    EXPECT_EQ(closestFormat(formats, colourIndex), 2);
    EXPECT_EQ(closestFormat({}, request(24, 32)), -1);
}

TEST(ClosestFormat, MatchingBufferingAndNoCaveatBreakTies) {
    FormatTraits doubled = windowFormat(24, 0, 32);
    FormatTraits single = windowFormat(24, 0, 16);
    single.doubleBuffer = false;
    std::vector<FormatTraits> formats = {doubled, single};
    EXPECT_EQ(closestFormat(formats, request(24, 32, PFD_DRAW_TO_WINDOW)), 1)
        << "a single-buffered request prefers single buffering over depth";
    FormatTraits slow = windowFormat(24, 0, 32);
    slow.slow = true;
    FormatTraits multisampled = windowFormat(24, 0, 32);
    multisampled.samples = 4;
    std::vector<FormatTraits> equals = {slow, multisampled, doubled};
    EXPECT_EQ(closestFormat(equals, request(24, 32)), 2);
}

}  // namespace
