// The entity drawers through the stand-in engine: the procedural surfaces' vertex and
// index counts, materials and colours.
#include <gtest/gtest.h>

#include <cmath>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "game/g_entity.h"
#include "game/g_main.h"
#include "game/g_weapon.h"
#include "game_cl/cg_channels.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_centities.h"
#include "game_cl/cg_drawents.h"
#include "game_cl/cg_ents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_utils.h"
#include "tests/game/fake_engine.h"
#include "tests/game_cl/model_files.h"

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
        CG_ClearFramePools();
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

namespace {

using namespace model_files;

// A skeleton of count bones in a chain, each on the one before, with the given tags.
std::string ChainBO2(int32_t count, const std::vector<tagSpec_t> &tags) {
    std::vector<boneSpec_t> bones;
    for (int32_t i = 0; i < count; i++) bones.push_back({i - 1, {0, 0, 0}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}});
    return BO2(bones, tags);
}

tagSpec_t Tag(const char *name, int32_t bone, float x, float y, float z) {
    return {name, bone, {x, y, z}, {1, 0, 0, 0, 1, 0, 0, 0, 1}};
}

// The model drawers over a table of small models: players (body, gun, magazine), an
// item kind's boxes and mini guns, a generic prop, a flag pole and a drone.  Models
// tell themselves apart by their level-of-detail handle.
struct EntityModels : ModelTable {
    centity_t ent{};
    int32_t body = 0, bigBody = 0, gun = 0, ammo = 0, mini = 0, prop = 0, pole = 0, flagBlue = 0, flagRed = 0,
            drone = 0, droneOneEngine = 0;
    int32_t items[ITEM_KIND_COUNT]{};

    int32_t Model(const std::string &name, const std::string &skeleton = "") {
        fake::files[name + ".lo2"] = "mesh";
        fake::files[name + ".model"] = (skeleton.empty() ? "" : "model " + skeleton + "\n") + "lod 0 " + name + ".lo2\n";
        const int32_t qmod = CG_LoadModel((name + ".model").c_str());
        EXPECT_NE(qmod, 0) << name;
        return qmod;
    }

    void SetUp() override {
        ModelTable::SetUp();
        CG_RegisterVariables();
        G_DefineWeapons();
        Trap_GetQGame(&qgame);
        fake::registerFromFiles = true;
        fake::surfaceEntityBytes = sizeof(surfaceEntity_t);
        memset(&cg, 0, sizeof cg);
        CG_ClearFramePools();
        memset(g_entityMedia, 0, sizeof g_entityMedia);
        memset(g_weaponMedia, 0, sizeof g_weaponMedia);
        for (int i = 0; i < CG_MEDIA_SLOTS; i++) cgMedia.handles[i] = 1000 + i;
        cg.view.pvs = fake::viewPVS;
        fake::Set("cg_skipItemSpin", "1");

        fake::files["gun.bo2"] = ChainBO2(1, {Tag("TAG_ammo", 0, 0, -0.1f, 0.1f), Tag("TAG_muzzle", 0, 0, 0, 0.4f)});
        fake::files["big.bo2"] = ChainBO2(CG_ANIM_BONES_MAX + 1, CHAIN_TAGS);
        fake::files["pole.bo2"] = ChainBO2(1, {Tag("TAG_flag", -1, 0, 2, 0)});
        const tagSpec_t flag = Tag("TAG_flag", 0, 0, 0.6f, 0), right = Tag("TAG_engine_r", 0, 0.5f, 0, 0),
                        left = Tag("TAG_engine_l", 0, -0.5f, 0, 0), light = Tag("TAG_light", 0, 0, -0.3f, 0);
        fake::files["drone.bo2"] = ChainBO2(1, {flag, right, left, light});
        fake::files["drone1.bo2"] = ChainBO2(1, {flag, right, light});
        body = Model("body", "chain.bo2");
        bigBody = Model("big", "big.bo2");
        gun = Model("gun", "gun.bo2");
        ammo = Model("ammo");
        mini = Model("mini");
        prop = Model("prop");
        pole = Model("pole", "pole.bo2");
        flagBlue = Model("flag_blue");
        flagRed = Model("flag_red");
        drone = Model("drone", "drone.bo2");
        droneOneEngine = Model("drone1", "drone1.bo2");
        for (int32_t k = 0; k < ITEM_KIND_COUNT; k++) items[k] = Model("item" + std::to_string(k));

        g_entityMedia[ET_PLAYER].models[0] = g_entityMedia[ET_PLAYER].models[1] = body;
        g_entityMedia[ET_PLAYER].numModels = 4;
        g_weaponMedia[WP_MINIGUN] = weaponMedia_t{};
        g_weaponMedia[WP_MINIGUN].model = gun;
        g_weaponMedia[WP_MINIGUN].ammoModel = ammo;
        g_weaponMedia[WP_MINIGUN].miniModel = mini;
        // The item slots are registered armour first, then life.
        entityMedia_t &item = g_entityMedia[ET_ITEM];
        item.numModels = ITEM_KIND_COUNT;
        for (int32_t k = 0; k < ITEM_KIND_COUNT; k++) item.models[k] = items[k];
        item.models[IT_LIFE] = items[IT_ARMOR];
        item.models[IT_ARMOR] = items[IT_LIFE];
        g_entityMedia[ET_MUSHROOM].model = prop;
        g_entityMedia[ET_MUSHROOM].offset[1] = -0.5f;
        for (entityMedia_t *m : {&g_entityMedia[ET_DRONE], &g_entityMedia[ET_CRYSTAL]}) {
            m->models[0] = flagBlue;
            m->models[1] = flagRed;
            m->numModels = 2;
        }
        g_entityMedia[ET_DRONE].model = drone;
        g_entityMedia[ET_CRYSTAL].model = pole;  // stands in for a flag kind

        ent.s.inUse = 1;
        memcpy(&ent.s.ellipticAxis[0][0], identitymatrix3x3, sizeof ent.s.ellipticAxis);
        memcpy(ent.axes.ellipticAxis, identitymatrix3x3, sizeof ent.axes.ellipticAxis);
        G_SetupEntityAxis(&ent.axes, ent.s.angles);
        ent.s.weapon = WP_MINIGUN;
        ent.s.serial = 7;
        cg.predicted.entitySerial = 1;
        fake::errors.clear();
    }
    void TearDown() override {
        memset(g_entityMedia, 0, sizeof g_entityMedia);
        memset(g_weaponMedia, 0, sizeof g_weaponMedia);
        ModelTable::TearDown();
    }

    static surfaceEntity_t Instance(size_t i) {
        surfaceEntity_t e;
        memcpy(&e, fake::surfaceEntities.at(i).data(), sizeof e);
        return e;
    }
    int32_t Errors(const std::string &text) const {
        int32_t n = 0;
        for (const fake::error_t &e : fake::errors) n += e.text == text;
        return n;
    }
};

// What one drawer call added: each instance's model, flags and bone count.
struct drawn_t {
    int32_t qmod;
    uint32_t flags;
    int32_t bones;
};

// Items turn and bob smoothly however long the game time has run: a frame's step
// moves them by the frame's share, in the first second and weeks later alike.
TEST(ItemMotion, EachFrameMovesAnItemByItsShareAtAnyGameTime) {
    for (const uint32_t start : {0x5FFFFu, 0x10000000u, 0x7FFF0000u, 0xFFFF0000u}) {
        SCOPED_TRACE(start);
        float bob, spin;
        CG_ItemMotion(start, &bob, &spin);
        for (uint32_t frame = 1; frame <= 50; frame++) {
            float nextBob, nextSpin;
            CG_ItemMotion(start + frame * 10, &nextBob, &nextSpin);
            const float turned = std::fmod(nextSpin - spin + 360.0f, 360.0f);
            EXPECT_NEAR(turned, 0.7f, 0.01f) << "70 degrees a second, over 10 ms";
            EXPECT_LE(std::fabs(nextBob - bob), 0.125f * 2.5f * 0.01f + 1e-4f) << "at most the bob's top rate";
            EXPECT_GE(nextSpin, 0.0f);
            EXPECT_LT(nextSpin, 360.0f);
            bob = nextBob;
            spin = nextSpin;
        }
    }
}

TEST_F(EntityModels, EachDrawerAddsItsInstances) {
    const uint32_t OWN = CG_INSTANCE_OWN_BODY, DETAIL = CG_INSTANCE_DETAIL;
    struct row_t {
        const char *what;
        std::function<void()> draw;
        std::vector<drawn_t> expected;
    };
    const std::vector<row_t> rows = {
        {"player", [&] { CG_DrawPlayerModel(&ent, 0); }, {{body, 0, 3}, {gun, 0, 0}, {ammo, 0, 0}}},
        {"own player in first person", [&] { CG_DrawPlayerModel(&ent, 1); },
         {{body, OWN, 3}, {gun, OWN, 0}, {ammo, OWN, 0}}},
        {"berserk player: the body again in the suit",
         [&] {
             ent.s.berserk = 3;
             CG_DrawPlayerModel(&ent, 0);
         },
         {{body, 0, 3}, {body, 0, 3}, {gun, 0, 0}, {ammo, 0, 0}}},
        {"life item", [&] {
             ent.s.team = IT_LIFE;
             CG_DrawItemModel(&ent);
         }, {{items[IT_LIFE], 0, 0}}},
        {"armour item", [&] {
             ent.s.team = IT_ARMOR;
             CG_DrawItemModel(&ent);
         }, {{items[IT_ARMOR], 0, 0}}},
        {"ammunition 10 away, cut-off 7: the box only",
         [&] {
             ent.s.team = IT_AMMO_MINIGUN;
             cg.view.origin[0] = 10;
             CG_DrawItemModel(&ent);
         },
         {{items[IT_AMMO_MINIGUN], 0, 0}}},
        {"ammunition 10 away, cut-off 0: box and mini gun",
         [&] {
             ent.s.team = IT_AMMO_MINIGUN;
             cg.view.origin[0] = 10;
             fake::Set("cg_itemModelCutOff", "0");
             CG_DrawItemModel(&ent);
         },
         {{items[IT_AMMO_MINIGUN], 0, 0}, {mini, DETAIL, 0}}},
        {"ammunition 5 away, cut-off 7: box and mini gun",
         [&] {
             ent.s.team = IT_AMMO_MINIGUN;
             cg.view.origin[0] = 5;
             CG_DrawItemModel(&ent);
         },
         {{items[IT_AMMO_MINIGUN], 0, 0}, {mini, DETAIL, 0}}},
        {"generic", [&] {
             ent.media = &g_entityMedia[ET_MUSHROOM];
             CG_DrawGenericModel(&ent);
         }, {{prop, 0, 0}}},
        {"flag: pole and the red team's flag",
         [&] {
             ent.media = &g_entityMedia[ET_CRYSTAL];
             ent.s.team = 1;
             CG_DrawFlag(&ent);
         },
         {{pole, 0, 0}, {flagRed, 0, 0}}},
        {"drone: body in its rest pose and the blue flag",
         [&] {
             ent.media = &g_entityMedia[ET_DRONE];
             CG_DrawDrone(&ent);
         },
         {{drone, 0, 1}, {flagBlue, 0, 0}}},
        // Numbers from the server that name no model.
        {"item kinds outside the table", [&] {
             for (int32_t kind : {-1, static_cast<int32_t>(ITEM_KIND_COUNT), 1 << 30}) {
                 ent.s.team = kind;
                 CG_DrawItemModel(&ent);
             }
         }, {}},
        {"a team without a body", [&] {
             ent.s.team = 2;  // teams 0 and 1
             CG_DrawPlayerModel(&ent, 0);
         }, {}},
        {"a weapon number outside the table: the body only", [&] {
             for (int32_t weapon : {-1, static_cast<int32_t>(WEAPON_COUNT)}) {
                 ent.s.weapon = weapon;
                 CG_DrawPlayerModel(&ent, 0);
             }
             ent.s.weapon = WP_MINIGUN;
         }, {{body, 0, 3}, {body, 0, 3}}},
        {"a flag of no team: the pole only", [&] {
             ent.media = &g_entityMedia[ET_CRYSTAL];
             ent.s.team = -2;
             CG_DrawFlag(&ent);
         }, {{pole, 0, 0}}},
        {"a drone of no team: the body only", [&] {
             ent.media = &g_entityMedia[ET_DRONE];
             ent.s.team = 9;
             CG_DrawDrone(&ent);
         }, {{drone, 0, 1}}},
    };
    for (const row_t &r : rows) {
        SCOPED_TRACE(r.what);
        fake::surfaceEntities.clear();
        fake::Set("cg_itemModelCutOff", "7");
        memset(cg.view.origin, 0, sizeof cg.view.origin);
        ent.media = &g_entityMedia[ET_ITEM];
        ent.s.team = 0;
        ent.s.berserk = 0;
        r.draw();
        ASSERT_EQ(fake::surfaceEntities.size(), r.expected.size());
        for (size_t i = 0; i < r.expected.size(); i++) {
            SCOPED_TRACE(i);
            const surfaceEntity_t e = Instance(i);
            EXPECT_EQ(e.lod, CG_GetModel(r.expected[i].qmod)->lods[0]);
            EXPECT_EQ(e.flags, r.expected[i].flags);
            EXPECT_EQ(e.numBones, r.expected[i].bones);
        }
    }
    // The berserk body's second instance wears the suit in every material slot.
    fake::surfaceEntities.clear();
    ent.s.team = 0;
    ent.s.berserk = 1;
    CG_DrawPlayerModel(&ent, 0);
    EXPECT_EQ(Instance(1).materials[0], 1000 + CGM_BERSERK_SUIT);
    EXPECT_EQ(Instance(1).materials[7], 1000 + CGM_BERSERK_SUIT);
}

TEST_F(EntityModels, SkeletonTooLargeIsRefusedAndItsAttachmentsAreNotPlacedByOlderBones) {
    CG_DrawPlayerModel(&ent, 0);
    ASSERT_EQ(cg.numLastBones, 3);
    fake::surfaceEntities.clear();
    g_entityMedia[ET_PLAYER].models[0] = bigBody;
    CG_DrawPlayerModel(&ent, 0);
    CG_DrawPlayerModel(&ent, 0);
    EXPECT_TRUE(fake::surfaceEntities.empty()) << "neither the body nor a gun at the last player's hand";
    EXPECT_EQ(cg.numLastBones, 0);
    EXPECT_EQ(fake::errors.size(), 1u) << "reported once";
}

TEST_F(EntityModels, AnotherPlayersMuzzleFlashesForSevenFramesAfterItsShot) {
    fake::Set("cg_muzzleFadeTime", "1000");
    ent.lastFireFrame = qgame.frameCount;
    ent.lastFireTime = static_cast<int32_t>(qgame.time);
    struct flashCase_t {
        uint32_t framesAfter;
        int32_t serial;  // the viewer's own player is 1
        size_t lights;   // the minigun's muzzle light
    };
    for (const flashCase_t c : {flashCase_t{0, 7, 1}, {6, 7, 1}, {7, 7, 0}, {0, 1, 0}}) {
        SCOPED_TRACE(testing::Message() << c.framesAfter << " frames, serial " << c.serial);
        fake::lights.clear();
        qgame.frameCount = ent.lastFireFrame + c.framesAfter;
        ent.s.serial = c.serial;
        CG_DrawPlayerModel(&ent, 0);
        EXPECT_EQ(fake::lights.size(), c.lights);
    }
}

// A gib is an effect entity: it is drawn with the model it was made with, in the
// frame it keeps itself, not in the drawing axis only snapshot entities have.
TEST_F(EntityModels, AGibIsDrawnWithItsOwnModelInItsOwnFrame) {
    entityMedia_t &gib = g_entityMedia[ET_GIB];
    gib.drawingType = DT_STATIC;
    gib.numModels = 4;
    for (int i = 0; i < 4; i++) gib.models[i] = items[i];
    const vec3_t origin = {1, 2, 3}, still = {0, 0, 0};
    CG_CreateGib(origin, still, 2);
    centity_t *made = nullptr;
    for (centity_t &e : cg.cEntities)
        if (e.s.inUse && e.s.type == ET_GIB) made = &e;
    ASSERT_NE(made, nullptr);
    const float frame[9] = {0, 0, 1, 0, 1, 0, -1, 0, 0};  // a quarter turn about the up
    memcpy(made->axis, frame, sizeof frame);
    CG_AddEntityToScene(made, 0);
    ASSERT_EQ(fake::surfaceEntities.size(), 1u);
    const surfaceEntity_t drawn = Instance(0);
    EXPECT_EQ(drawn.lod, CG_GetModel(items[2])->lods[0]) << "model 2 of the kind's list";

    EXPECT_EQ(memcmp(drawn.axis, frame, sizeof frame), 0);
}

TEST_F(EntityModels, DroneWithoutAnEngineTagReportsWhenTheEngineIsDueAndThenDrawsNoLight) {
    g_entityMedia[ET_DRONE].model = droneOneEngine;
    ent.media = &g_entityMedia[ET_DRONE];
    ent.s.team = 1;
    fake::Set("cg_skipDroneLight", "0");
    const std::string missing = "CG_DrawDrone: Found not engine tags in \"drone1.model\"";
    const uint32_t start = qgame.time;
    struct frame_t {
        uint32_t at;      // ms after the first frame
        int32_t reports;  // so far
        size_t lights;    // so far
    };
    for (const frame_t f : {frame_t{0, 1, 0}, {50, 1, 1}, {99, 1, 2}, {100, 2, 2}, {150, 2, 3}, {230, 3, 3}}) {
        SCOPED_TRACE(f.at);
        qgame.time = start + f.at;
        CG_DrawDrone(&ent);
        EXPECT_EQ(Errors(missing), f.reports);
        EXPECT_EQ(fake::lights.size(), f.lights);
    }
    // The light of a red drone: a projected spot toward the world centre.
    cgLight_t light;
    memcpy(&light, fake::lights.at(0).data(), sizeof light);
    EXPECT_EQ(light.kind, CG_LIGHT_FLASH);
    EXPECT_EQ(light.texture, 1000 + CGM_DRONE_SPOT_RED);
    EXPECT_FLOAT_EQ(light.fov, 60.0f);
    EXPECT_FLOAT_EQ(light.intensity[1], 3.0f);
    EXPECT_FLOAT_EQ(light.axis[7], 1.0f) << "the tag hangs below the centre";
    // With both engines the light shines in every frame.
    g_entityMedia[ET_DRONE].model = drone;
    fake::lights.clear();
    for (uint32_t at : {300u, 350u, 400u}) {
        qgame.time = start + at;
        CG_DrawDrone(&ent);
    }
    EXPECT_EQ(fake::lights.size(), 3u);
    EXPECT_EQ(Errors(missing), 3);
}

}  // namespace
