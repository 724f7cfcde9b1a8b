// The test renderer counts the surfaces of the particle and mark layouts apart, so
// that an end-to-end test can see particles and marks drawn.
#include <gtest/gtest.h>

#include "base/renderer.h"
#include "tests/headless/re_headless.h"
#include "tests/support/capture.h"

TEST(HeadlessRenderer, SurfacesOfLayouts25And31AreCountedApart) {
    hm_test::StartCapture();
    RE_InstallHeadless();
    const reHeadlessCounts_t before = re_headless.total;
    RE_BeginFrame();
    const int32_t layouts[] = {SURFACE_LAYOUT_COLOR, SURFACE_LAYOUT_COLOR, SURFACE_LAYOUT_DECAL, 7};
    for (int32_t layout : layouts) RE_AddSurfaces(RE_AllocSurfaces(layout, 0), 0);
    EXPECT_EQ(re_headless.frame.colorSurfaces, 2);
    EXPECT_EQ(re_headless.frame.decalSurfaces, 1);
    EXPECT_EQ(re_headless.total.colorSurfaces - before.colorSurfaces, 2);
    EXPECT_EQ(re_headless.total.decalSurfaces - before.decalSurfaces, 1);
    RE_BeginFrame();
    EXPECT_EQ(re_headless.frame.colorSurfaces, 0);
    hm_test::StopCapture();
}
