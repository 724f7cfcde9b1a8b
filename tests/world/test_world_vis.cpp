#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/com_geometry.h"
#include "common/com_grid.h"
#include "tests/world/world_build.h"
#include "world/wo_local.h"

namespace {

using namespace worldbuild;

// A closed room: a box of matter over voxels 40..87 around a hollow 48..79 holding the
// origin, and a small ball of matter far off around voxel (110, 110, 110).  Walls of
// density 255 leave solid cells inside them; density 200 leaves pages without surface.
voxel_t RoomVoxel(int x, int y, int z, int density) {
    const auto in = [&](int lo, int hi) { return x >= lo && x < hi && y >= lo && y < hi && z >= lo && z < hi; };
    const int dx = x - 110, dy = y - 110, dz = z - 110;
    if ((in(40, 88) && !in(48, 80)) || dx * dx + dy * dy + dz * dz <= 25)
        return static_cast<voxel_t>(density);
    return wo_emptyVoxel;
}

void BuildRoom(int density) {
    Build([density](int x, int y, int z) { return RoomVoxel(x, y, z, density); });
    TessAll();
}

// World position of the centre of voxel v.
float At(int v) { return WO_VoxelToWorld(v); }

int CountBits(const pagePVS_t &set) {
    int n = 0;
    for (byte b : set.bits)
        n += std::popcount(b);
    return n;
}

// Cells of the room's hollow (page cells 12..19) that the set holds.
int HollowCellsSet(const pagePVS_t &set) {
    int n = 0;
    for (int z = 12; z < 20; z++)
        for (int y = 12; y < 20; y++)
            for (int x = 12; x < 20; x++)
                n += WO_PVSBit(&set, x, y, z);
    return n;
}

struct Switch {
    cmdVar_t &var;
    explicit Switch(cmdVar_t &v, int value) : var(v) { var.integer = value; }
    ~Switch() { var.integer = 0; }
};

class WorldVis : public ::testing::Test {
protected:
    pagePVS_t set;
    void SetUp() override { memset(&set, 0xAA, sizeof(set)); }
};

TEST_F(WorldVis, EyeInAClosedRoomSeesTheRoomAndItsWallsOnly) {
    BuildRoom(255);
    ASSERT_EQ(wo_pageGrid[WO_CellIndex(10, 16, 16)], WO_CELL_SOLID) << "the fixture's wall has a solid layer";
    const vec3_t eye = {0.3f, 0.2f, 0.1f};
    WO_SetupOVS(&set, eye);
    EXPECT_EQ(HollowCellsSet(set), 8 * 8 * 8) << "the whole hollow";
    EXPECT_TRUE(WO_PVSBit(&set, 10, 16, 16)) << "the cell that blocks is marked";
    EXPECT_FALSE(WO_PVSBit(&set, 9, 16, 16)) << "the wall's outer side";
    EXPECT_FALSE(WO_PVSBit(&set, 27, 27, 27)) << "the far ball";
    for (int c = 0; c < 3; c++) {
        EXPECT_GE(wo_pagedMins[c], 9);
        EXPECT_LE(wo_pagedMaxs[c], 28);
    }

    const vec3_t ball = {At(110), At(110), At(110)}, inRoom = {At(70), At(55), At(60)};
    EXPECT_FALSE(WO_CheckPointPVS(&set, ball, 0));
    EXPECT_FALSE(WO_CheckPointPVS(&set, ball, 3));
    EXPECT_TRUE(WO_CheckPointPVS(&set, inRoom, 0));
    EXPECT_TRUE(WO_CheckPointPVS(&set, ball, 40)) << "a sphere that reaches into the room";
    const vec3_t axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, half = {2, 2, 2};
    EXPECT_FALSE(WO_CheckBoundsPVS(&set, half, half, axes[0], ball));
    EXPECT_TRUE(WO_CheckBoundsPVS(&set, half, half, axes[0], inRoom));

    // Outside the paged bounds everything is visible, even with an empty set.
    pagePVS_t none = {};
    const vec3_t corner = {-50, -50, -50}, far = {1e30f, 0, 0}, nowhere = {NAN, 0, 0};
    EXPECT_TRUE(WO_CheckPointPVS(&none, corner, 0));
    EXPECT_TRUE(WO_CheckPointPVS(&none, far, 0));
    EXPECT_TRUE(WO_CheckPointPVS(&none, nowhere, 1));
    EXPECT_TRUE(WO_CheckPagePVS(&none, 0, 0, 0));
    EXPECT_FALSE(WO_CheckPagePVS(&none, 16, 16, 16));
    EXPECT_TRUE(WO_CheckPointPVS(nullptr, ball, 0));
}

TEST_F(WorldVis, EyeInTheOpenFieldSeesTheBallButNotIntoTheRoom) {
    BuildRoom(255);
    const vec3_t eye = {At(100), At(104), At(98)};
    WO_SetupOVS(&set, eye);
    EXPECT_TRUE(WO_PVSBit(&set, 27, 27, 27));
    EXPECT_TRUE(WO_PVSBit(&set, 21, 21, 21)) << "the room's corner facing the eye";
    EXPECT_EQ(HollowCellsSet(set), 0);
    const vec3_t ball = {At(110), At(110), At(110)}, inRoom = {At(64), At(64), At(64)};
    EXPECT_TRUE(WO_CheckPointPVS(&set, ball, 0));
    EXPECT_FALSE(WO_CheckPointPVS(&set, inRoom, 0));
}

TEST_F(WorldVis, PagesWithoutSurfaceBlockSightUnlessSwitchedOff) {
    BuildRoom(200);
    ASSERT_TRUE(WO_CellPage(WO_CellIndex(10, 16, 16)) && WO_CellPage(WO_CellIndex(10, 16, 16))->pvsOptimized);
    const vec3_t eye = {0.3f, 0.2f, 0.1f};
    WO_SetupOVS(&set, eye);
    EXPECT_TRUE(WO_PVSBit(&set, 10, 16, 16));
    EXPECT_FALSE(WO_PVSBit(&set, 27, 27, 27));
    {
        Switch through(wo_skipPvsOptimize, 1);
        WO_SetupOVS(&set, eye);
        EXPECT_TRUE(WO_PVSBit(&set, 27, 27, 27));
        EXPECT_TRUE(WO_PVSBit(&set, 9, 16, 16));
    }
}

TEST_F(WorldVis, EyeInsideASolidCellSeesOnlyThatCell) {
    BuildRoom(255);
    const vec3_t eye = {At(42), At(64), At(64)};  // the solid layer of the wall
    WO_SetupOVS(&set, eye);
    EXPECT_EQ(CountBits(set), 1);
    EXPECT_TRUE(WO_PVSBit(&set, 10, 16, 16));
}

// Without planes every node is inside, so the set shows the octree's root cube.
TEST_F(WorldVis, FrustumWalkRootCoversThePagedBoundsInsideTheGrid) {
    const struct {
        int lo[3], hi[3];
        int root, size;
    } cases[] = {
        {{10, 12, 14}, {10, 12, 14}, 10, 8},  // hi - lo = 4: size 8, root at the lowest cell
        {{25, 25, 25}, {31, 31, 31}, 24, 8},  // moved back so that it ends at 32
        {{0, 3, 0}, {31, 5, 2}, 0, 32},
    };
    for (const auto &c : cases) {
        Reset();
        for (int k = 0; k < (memcmp(c.lo, c.hi, sizeof(c.lo)) ? 2 : 1); k++) {
            const int *cell = k ? c.hi : c.lo;
            page_t *p = WO_SpawnPage(cell[0], cell[1], cell[2]);
            ASSERT_NE(p, nullptr);
            memset(p->voxels, 0, sizeof(p->voxels));
        }
        WO_CalcPagedBounds();
        WO_SetupFVSFromClipPlanes(&set, 0, nullptr);
        EXPECT_EQ(CountBits(set), c.size * c.size * c.size) << c.root;
        EXPECT_TRUE(WO_PVSBit(&set, c.root, c.root, c.root)) << c.root;
        EXPECT_TRUE(WO_PVSBit(&set, c.root + c.size - 1, c.root, c.root + c.size - 1)) << c.root;
        if (c.root > 0) {
            EXPECT_FALSE(WO_PVSBit(&set, c.root - 1, c.root, c.root)) << c.root;
        }
    }
}

TEST_F(WorldVis, FrustumSetHoldsWhatLiesAheadOfTheEye) {
    Build(Ball(40));
    TessAll();
    const vec3_t eye = {0.1f, 0.1f, 0.1f};
    WO_SetupFVS(&set, eye, identitymatrix3x3, 90, 90, 4);
    EXPECT_TRUE(WO_PVSBit(&set, 16, 16, 26));
    EXPECT_TRUE(WO_PVSBit(&set, 22, 16, 26)) << "inside the 45 degree side";
    EXPECT_FALSE(WO_PVSBit(&set, 16, 16, 6)) << "behind";
    EXPECT_FALSE(WO_PVSBit(&set, 26, 16, 20)) << "outside the side plane";

    // The view set is both sets at once.
    pagePVS_t occlusion;
    WO_SetupOVS(&occlusion, eye);
    WO_SetupPVS(&wo_view_pvs, &occlusion, &set);
    for (int i = 0; i < 4096; i++)
        ASSERT_EQ(wo_view_pvs.bits[i], occlusion.bits[i] & set.bits[i]) << i;

    Switch all(wo_skipfvs, 1);
    WO_SetupFVS(&set, eye, identitymatrix3x3, 90, 90, 4);
    EXPECT_EQ(CountBits(set), WO_GRID_CELLS);
}

TEST_F(WorldVis, WithoutVisibilityBuildsLeaveTheirSetAndTestsSayVisible) {
    BuildRoom(255);
    Switch off(wo_skippvs, 1);
    pagePVS_t before = set, zero = {};
    const vec3_t eye = {0.3f, 0.2f, 0.1f}, ball = {At(110), At(110), At(110)};
    WO_SetupOVS(&set, eye);
    WO_SetupFVS(&set, eye, identitymatrix3x3, 90, 90, 4);
    WO_SetupPVS(&set, &zero, &zero);
    EXPECT_EQ(memcmp(&set, &before, sizeof(set)), 0);
    EXPECT_TRUE(WO_CheckPointPVS(&zero, ball, 0));
    EXPECT_TRUE(WO_CheckPagePVS(&zero, 16, 16, 16));
    const vec3_t axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, half = {1, 1, 1};
    EXPECT_TRUE(WO_CheckBoundsPVS(&zero, half, half, axes[0], ball));
}

TEST_F(WorldVis, OcclusionSwitchedOffSetsEverything) {
    BuildRoom(255);
    Switch all(wo_skipovs, 1);
    const vec3_t eye = {0.3f, 0.2f, 0.1f};
    WO_SetupOVS(&set, eye);
    EXPECT_EQ(CountBits(set), WO_GRID_CELLS);
}

// The occlusion set by its definition: Com_Bresenham3D lines from the eye's cell to
// every cell of the faces of the paged bounds, each stopping at the first solid cell
// or surfaceless page.
pagePVS_t g_reference;
int ReferenceCell(const int c[3]) {
    g_reference.bits[(c[2] * 32 + c[1]) * 4 + (c[0] >> 3)] |= static_cast<byte>(1u << (c[0] & 7));
    const int32_t v = wo_pageGrid[WO_CellIndex(c[0], c[1], c[2])];
    return !(v == WO_CELL_SOLID || (v >= WO_CELL_PAGE && wo_pages[v - WO_CELL_PAGE].pvsOptimized &&
                                    !wo_skipPvsOptimize.integer));
}
void ReferenceOVS(const vec3_t eye) {
    memset(&g_reference, 0, sizeof(g_reference));
    int e[3];
    for (int i = 0; i < 3; i++)
        e[i] = std::clamp(WO_WorldToPage(eye[i]), 0, 31);
    for (int z = wo_pagedMins[2]; z <= wo_pagedMaxs[2]; z++)
        for (int y = wo_pagedMins[1]; y <= wo_pagedMaxs[1]; y++)
            for (int x = wo_pagedMins[0]; x <= wo_pagedMaxs[0]; x++) {
                const bool face = x == wo_pagedMins[0] || x == wo_pagedMaxs[0] || y == wo_pagedMins[1] ||
                                  y == wo_pagedMaxs[1] || z == wo_pagedMins[2] || z == wo_pagedMaxs[2];
                const int t[3] = {x, y, z};
                if (face)
                    Com_Bresenham3D(e, t, ReferenceCell);
            }
}

TEST_F(WorldVis, OcclusionSetIsTheUnionOfTheGridLinesToTheFaces) {
    const vec3_t eyes[] = {{0.3f, 0.2f, 0.1f}, {At(100), At(104), At(98)}, {At(45), At(60), At(70)},
                           {-60, 70, 10}, {At(52), At(52), At(52)}};
    for (int density : {255, 200}) {
        BuildRoom(density);
        for (int through : {0, 1}) {
            Switch sw(wo_skipPvsOptimize, through);
            for (const float *eye : eyes) {
                WO_SetupOVS(&set, eye);
                ReferenceOVS(eye);
                ASSERT_EQ(memcmp(&set, &g_reference, sizeof(set)), 0)
                    << density << " " << through << " " << eye[0] << " " << eye[1] << " " << eye[2];
            }
        }
    }
}

// Sets at a stamp are the sets WO_SetupOVS builds: when they are built, when they are
// kept and handed out again, and after each kind of change the stamp covers.
TEST_F(WorldVis, SetsAtAStampAreTheSetsOfTheWorldAsItIsNow) {
    BuildRoom(255);
    const vec3_t inside = {0.3f, 0.2f, 0.1f}, nearby = {0.9f, 0.4f, 0.2f}, outside = {At(100), At(104), At(98)};
    const vec3_t *eyes[] = {&inside, &nearby, &outside};
    pagePVS_t fresh;
    const auto expectFresh = [&](uint64_t stamp, const char *when) {
        for (int pass = 0; pass < 2; pass++)  // built, then handed out again
            for (const vec3_t *eye : eyes) {
                WO_SetupOVSAtStamp(&set, *eye, stamp);
                WO_SetupOVS(&fresh, *eye);
                ASSERT_EQ(memcmp(&set, &fresh, sizeof(set)), 0) << when << " pass " << pass << " " << (*eye)[0];
            }
    };
    ASSERT_EQ(WO_OVSEyeCell(inside), WO_OVSEyeCell(nearby)) << "two eyes in one cell share a set";
    uint64_t stamp = WO_OVSStamp();
    ASSERT_NE(stamp, 0u);
    expectFresh(stamp, "first");
    EXPECT_EQ(WO_OVSStamp(), stamp) << "nothing changed";
    const pagePVS_t closed = set;

    // A hole through the wall (cells 9..11 at y = z = 16) lets the eye inside see out.
    for (int x = 9; x <= 11; x++) {
        const int cell = WO_CellIndex(x, 16, 16);
        if (wo_pageGrid[cell] >= WO_CELL_PAGE)
            WO_FreePage(x, 16, 16, 0);
        wo_pageGrid[cell] = WO_CELL_EMPTY;
    }
    const uint64_t opened = WO_OVSStamp();
    EXPECT_NE(opened, stamp);
    expectFresh(opened, "hole");
    WO_SetupOVSAtStamp(&set, inside, opened);
    EXPECT_NE(memcmp(&set, &closed, sizeof(set)), 0) << "the hole shows";
    // A set asked at a stamp that is not the newest is built as WO_SetupOVS builds it.
    expectFresh(stamp, "old stamp");

    // Each switch the sets depend on changes the stamp.
    BuildRoom(200);
    stamp = WO_OVSStamp();
    expectFresh(stamp, "pages without surface");
    {
        Switch through(wo_skipPvsOptimize, 1);
        EXPECT_NE(WO_OVSStamp(), stamp);
        expectFresh(WO_OVSStamp(), "pages do not block");
    }
    {
        Switch all(wo_skipovs, 1);
        EXPECT_NE(WO_OVSStamp(), stamp);
        expectFresh(WO_OVSStamp(), "occlusion off");
    }
    {
        // Without visibility there is no stamp, and the set is left as it is.
        Switch off(wo_skippvs, 1);
        EXPECT_EQ(WO_OVSStamp(), 0u);
        memset(&set, 0x5A, sizeof(set));
        WO_SetupOVSAtStamp(&set, inside, 0);
        EXPECT_EQ(set.bits[7], 0x5A);
    }
    stamp = WO_OVSStamp();
    expectFresh(stamp, "back on");
    // The paged bounds are part of it too: a page far off widens them.
    page_t *far = WO_SpawnPage(2, 2, 2);
    ASSERT_NE(far, nullptr);
    memset(far->voxels, 0, sizeof(far->voxels));
    WO_CalcPagedBounds();
    EXPECT_NE(WO_OVSStamp(), stamp);
    expectFresh(WO_OVSStamp(), "wider bounds");
}

TEST(WorldVisBounds, CalcBoundsTakesTheEightCornersAndClampsOnRequest) {
    const vec3_t axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const vec3_t a = {2, 1, 3}, b = {1, 2, -1};
    const vec3_t origin = {0, 0, 0};
    int mins[3], maxs[3];
    WO_CalcBounds(mins, maxs, a, b, axes, origin, 0, false);
    // x and y reach +-2; z enters with its own sign only: -1 .. 3.
    const int expectMins[3] = {WO_WorldToPage(-2), WO_WorldToPage(-2), WO_WorldToPage(-1)};
    const int expectMaxs[3] = {WO_WorldToPage(2), WO_WorldToPage(2), WO_WorldToPage(3)};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(mins[i], expectMins[i]) << i;
        EXPECT_EQ(maxs[i], expectMaxs[i]) << i;
    }

    const vec3_t edge = {50, -50, 49}, big = {6, 6, 6};
    WO_CalcBounds(mins, maxs, big, big, axes, edge, 0.05f, false);
    EXPECT_GT(maxs[0], 31);
    EXPECT_LT(mins[1], 0);
    WO_CalcBounds(mins, maxs, big, big, axes, edge, 0.05f, true);
    for (int i = 0; i < 3; i++) {
        EXPECT_GE(mins[i], 0);
        EXPECT_LE(maxs[i], 31);
        EXPECT_LE(mins[i], maxs[i]);
    }
}

}  // namespace
