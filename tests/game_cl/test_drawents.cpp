// The entity drawers through the stand-in engine: the procedural surfaces' vertex and
// index counts, materials and colours.
#include <gtest/gtest.h>

#include <cstring>

#include "game/g_entity.h"
#include "game/g_main.h"
#include "game/g_weapon.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_drawents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "tests/game/fake_engine.h"

namespace {

surface_t Surface(size_t i) {
    surface_t s;
    memcpy(&s, fake::surfaces.at(i).data(), sizeof s);
    return s;
}

class DrawEnts : public testing::Test {
protected:
    centity_t ent{};
    entityMedia_t media{};

    void SetUp() override {
        fake::Install();
        memset(&cg, 0, sizeof cg);
        memset(&cgw, 0, sizeof cgw);
        CG_RegisterVariables();
        G_DefineWeapons();
        Trap_GetQGame(&qgame);
        cg.view.pvs = fake::viewPVS;
        for (int i = 0; i < CG_MEDIA_SLOTS; i++) cgMedia.handles[i] = 1000 + i;
        ent.s.inUse = 1;
        ent.media = &media;
        memcpy(ent.axes.viewAxisT, identitymatrix3x3, sizeof ent.axes.viewAxisT);
        memcpy(ent.axes.levelAxisT, identitymatrix3x3, sizeof ent.axes.levelAxisT);
        memcpy(&ent.s.ellipticAxis[0][0], identitymatrix3x3, sizeof ent.s.ellipticAxis);
        ent.s.origin[2] = 5;
        ent.s.origin2[2] = 10;
        cg.view.origin[0] = 3;  // beside the segment the trails span
    }
    void TearDown() override { fake::Uninstall(); }
};

TEST_F(DrawEnts, ProceduralSurfacesHaveTheirVertexAndIndexCounts) {
    const float *axis = identitymatrix3x3;
    cg.flatGravity = 1;  // up is +y everywhere
    CG_DrawCylinder(ent.s.origin, axis, 0.6f, 2.0f, 9, 0.5f);
    CG_DrawBeacon(&ent, 0);
    ent.s.type = ET_TRAIL_BERSERK;
    CG_DrawBulletTrail(&ent);
    CG_DrawMeteor(&ent);
    ent.s.dir[1] = 1;
    CG_DrawFlower(&ent);
    struct countCase_t {
        int32_t verts, indexes, material;
        uint32_t flags;
    };
    const countCase_t expected[] = {
        {34, 96, 9, 0},
        {51, 192, 1000 + CGM_BEACON_GREEN, 0},
        {4, 6, 1000 + CGM_RAIL_BERSERK, 64},
        {4, 6, 1000 + CGM_METEOR, 96},
        {5, 12, 1000 + CGM_IMPACT_FLOWER, 64},
    };
    ASSERT_EQ(fake::surfaces.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); i++) {
        SCOPED_TRACE(i);
        const surface_t s = Surface(i);
        EXPECT_EQ(s.numVerts, expected[i].verts);
        EXPECT_EQ(s.numIndexes, expected[i].indexes);
        EXPECT_EQ(s.material, expected[i].material);
        EXPECT_EQ(s.flags, expected[i].flags);
        // Every index names one of the surface's own vertexes.
        for (int k = 0; k < s.numIndexes; k++) EXPECT_LT(s.indexes[k], s.numVerts);
    }
    // The cylinder's alpha, the beacon's fade to nothing at its top.
    const auto *cylinder = static_cast<const drawVert_t *>(Surface(0).verts);
    EXPECT_EQ(cylinder[0].rgba[3], 127);
    EXPECT_FLOAT_EQ(cylinder[1].xyz[1] - cylinder[0].xyz[1], 2.0f);
    const auto *beacon = static_cast<const drawVert_t *>(Surface(1).verts);
    EXPECT_EQ(beacon[0].rgba[3], 255);
    EXPECT_EQ(beacon[2].rgba[3], 0);
    EXPECT_FLOAT_EQ(beacon[2].xyz[1], 25.0f);
}

TEST_F(DrawEnts, BulletTrailsByTypeAndNothingForOtherTypes) {
    cg.refdef.fogColor[0] = 1;
    struct trailCase_t {
        int32_t type;
        int32_t slot;  // -1: nothing drawn
        uint8_t red;
    };
    const trailCase_t cases[] = {
        {ET_TRAIL_RAILGUN_BLUE, CGM_RAIL_RAILGUN_BLUE, 255}, {ET_TRAIL_RAILGUN, CGM_RAIL_RAILGUN_RED, 255},
        {ET_TRAIL_MINIGUN, CGM_RAIL_MINIGUN, 51},           {ET_TRAIL_SHOTGUN, CGM_RAIL_SHOTGUN, 51},
        {ET_TRAIL_BERSERK, CGM_RAIL_BERSERK, 102},          {ET_MUSHROOM, -1, 0},
    };
    for (const trailCase_t &c : cases) {
        SCOPED_TRACE(c.type);
        fake::surfaces.clear();
        ent.s.type = c.type;
        CG_DrawBulletTrail(&ent);
        if (c.slot < 0) {
            EXPECT_TRUE(fake::surfaces.empty());
            continue;
        }
        ASSERT_EQ(fake::surfaces.size(), 1u);
        EXPECT_EQ(Surface(0).material, 1000 + c.slot);
        EXPECT_EQ(static_cast<const drawVert_t *>(Surface(0).verts)[0].rgba[0], c.red);
    }
}

TEST_F(DrawEnts, BalloonGrowsWithDistanceWithinItsLimits) {
    cg.gameData.rules = 1;
    cg.view.axis[0] = 1;  // right
    cg.view.axis[4] = 1;  // up
    struct balloonCase_t {
        float distance, half;
    };
    for (const balloonCase_t &c : {balloonCase_t{3, 0.33846155f}, {13, 0.44f}, {30, 0.55846155f}}) {
        SCOPED_TRACE(c.distance);
        fake::surfaces.clear();
        memset(cg.view.origin, 0, sizeof cg.view.origin);
        cg.view.origin[2] = ent.s.origin[2] - c.distance;
        CG_DrawBalloon(&ent);
        ASSERT_EQ(fake::surfaces.size(), 1u);
        const auto *v = static_cast<const drawVert_t *>(Surface(0).verts);
        EXPECT_NEAR(v[1].xyz[0] - v[0].xyz[0], 2 * c.half, 1e-5f);
    }
    // Not under death match, not for the other team.
    fake::surfaces.clear();
    ent.s.team = 1;
    CG_DrawBalloon(&ent);
    ent.s.team = 0;
    cg.gameData.rules = 0;
    CG_DrawBalloon(&ent);
    EXPECT_TRUE(fake::surfaces.empty());
}

TEST_F(DrawEnts, SmoothTrailKeepsItsHistoryStillAndSixteenPointsMoving) {
    media.trailSize = 0.05f;
    media.trailMaterial = 4;
    ent.s.type = ET_SPARK;
    for (int frame = 0; frame < 3; frame++) CG_DrawSmoothTrail(&ent);
    EXPECT_EQ(ent.numTrailPoints, 2);  // the first draw starts it; standing still adds nothing
    for (int move = 0; move < 20; move++) {
        fake::surfaces.clear();
        ent.s.origin[0] += 1;
        CG_DrawSmoothTrail(&ent);
    }
    EXPECT_EQ(ent.numTrailPoints, 16);
    const surface_t s = Surface(0);
    EXPECT_EQ(s.numVerts, 32);
    EXPECT_EQ(s.numIndexes, 90);
    const auto *v = static_cast<const drawVert_t *>(s.verts);
    EXPECT_EQ(v[0].rgba[3], 255);   // the head
    EXPECT_EQ(v[31].rgba[3], 0);    // the tail fades out
}

TEST_F(DrawEnts, DrawersSkipWhenTheRendererHasNoRoomLeft) {
    fake::refuseSurfaces = true;
    CG_DrawCylinder(ent.s.origin, identitymatrix3x3, 1, 1, 1, 1);
    CG_DrawBeacon(&ent, 1);
    ent.s.type = ET_TRAIL_RAILGUN;
    CG_DrawBulletTrail(&ent);
    CG_DrawMeteor(&ent);
    CG_DrawFlower(&ent);
    media.trailMaterial = 1;
    CG_DrawSmoothTrail(&ent);
    fake::decalVertexes = 3;
    fake::decalIndexes = 3;
    CG_DrawDropShadow(ent.s.origin, identitymatrix3x3, 1.5f, 1);  // the ball world lies below
    EXPECT_TRUE(fake::surfaces.empty());
    EXPECT_EQ(fake::decalClips, 1);
}

TEST_F(DrawEnts, DropShadowIsTheClippedDecalUnderThePoint) {
    // The ball world of radius 50: a point 1 above its surface, the view near.
    const vec3_t point = {0, 51, 0};
    _VectorCopy(cg.view.origin, point);
    fake::decalVertexes = 6;
    fake::decalIndexes = 12;
    CG_DrawDropShadow(point, identitymatrix3x3, 1.5f, 33);
    ASSERT_EQ(fake::surfaces.size(), 1u);
    EXPECT_EQ(Surface(0).numVerts, 6);
    EXPECT_EQ(Surface(0).numIndexes, 12);
    EXPECT_EQ(Surface(0).material, 33);
    // Too far from the view, or nothing below within 4: no shadow.
    cg.view.origin[0] = 20;
    CG_DrawDropShadow(point, identitymatrix3x3, 1.5f, 33);
    _VectorCopy(cg.view.origin, point);
    const vec3_t high = {0, 60, 0};
    CG_DrawDropShadow(high, identitymatrix3x3, 1.5f, 33);
    EXPECT_EQ(fake::surfaces.size(), 1u);
}

}  // namespace
