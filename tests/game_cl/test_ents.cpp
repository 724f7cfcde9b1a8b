// Snapshot entities: interpolation between the snapshot pair and the entities' events.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "game/g_entity.h"
#include "game/g_weapon.h"
#include "game_cl/cg_drawents.h"
#include "game_cl/cg_ents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_utils.h"
#include "tests/game/fake_engine.h"

namespace {

constexpr int SLOT = 40;
constexpr int32_t SERIAL = 700;

// Random numbers drawn since a state of the stand-in's sequence; every presented
// shot draws one (its roll), so this counts the shots presented.
int DrawsSince(uint32_t before) {
    const uint32_t now = fake::randState;
    fake::randState = before;
    for (int n = 0; n < 1000; n++) {
        if (fake::randState == now) {
            fake::randState = now;
            return n;
        }
        fake::Rand();
    }
    fake::randState = now;
    return -1;
}

class Entities : public testing::Test {
protected:
    std::unique_ptr<snapshot_t> older = std::make_unique<snapshot_t>();
    std::unique_ptr<snapshot_t> newer = std::make_unique<snapshot_t>();
    centity_t *ent = &cg.entities[SLOT];

    void SetUp() override {
        fake::Install();
        G_DefineWeapons();
        memset(&cg, 0, sizeof cg);
        memset(g_entityMedia, 0, sizeof g_entityMedia);
        for (weaponMedia_t &m : g_weaponMedia) m = weaponMedia_t{};
        CG_ClearFramePools();
        memset(older.get(), 0, sizeof *older);
        memset(newer.get(), 0, sizeof *newer);
        fake::Set("cg_interpolate", "1");
        for (const char *name : {"cg_thirdPerson", "cg_printLerpError"}) fake::Set(name, "0");
        older->number = 10;
        older->serverTime = 20000;
        newer->number = 11;
        newer->serverTime = 20050;
        for (snapshot_t *s : {older.get(), newer.get()}) {
            entityState_t &e = s->entities[SLOT];
            e.inUse = 1;
            e.type = ET_BARREL;
            e.serial = SERIAL;
            e.spawnTime = 19990;
            MatrixCopy3x3(reinterpret_cast<float *>(e.ellipticAxis), identitymatrix3x3);
        }
        older->entities[SLOT].origin[0] = 10;
        newer->entities[SLOT].origin[0] = 10.5f;
        cg.older = older.get();
        cg.newer = newer.get();
        cg.simTime = 20025;
    }
    void TearDown() override { fake::Uninstall(); }

    entityState_t &A() { return older->entities[SLOT]; }
    entityState_t &B() { return newer->entities[SLOT]; }
    void Frame() {
        CG_InterpolateEntityState(ent, SLOT);
        if (ent->s.inUse) CG_RunEntityEvents(ent);
    }
    // A ring of count events, all shots of the minigun.
    static void Shots(entityState_t &e, uint32_t count) {
        e.eventCount = count;
        memset(e.events, 4, sizeof e.events);
    }
};

TEST_F(Entities, TheOriginIsInterpolatedBetweenTheSnapshots) {
    Frame();
    EXPECT_TRUE(ent->s.inUse);
    EXPECT_FLOAT_EQ(ent->s.origin[0], 10.25f);
    EXPECT_EQ(ent->media, &g_entityMedia[ET_BARREL]);
    EXPECT_EQ(ent->newestSnapshot, 11);
    EXPECT_FLOAT_EQ(ent->moved, 0.5f);
}

TEST_F(Entities, WithoutInterpolationTheEntityJumpsAtTheMidpoint) {
    fake::Set("cg_interpolate", "0");
    struct jumpCase_t {
        int32_t time;
        float x;
    } cases[] = {{20000, 10}, {20024, 10}, {20025, 10.5f}, {20049, 10.5f}, {20070, 10.5f}};
    for (const jumpCase_t &c : cases) {
        cg.simTime = c.time;
        Frame();
        EXPECT_EQ(ent->s.origin[0], c.x) << c.time;
    }
}

TEST_F(Entities, SnapshotsOfOneServerMomentShowTheNewer) {
    newer->serverTime = older->serverTime;
    cg.simTime = older->serverTime;
    for (const char *interpolate : {"0", "1"}) {
        fake::Set("cg_interpolate", interpolate);
        Frame();
        EXPECT_EQ(ent->s.origin[0], 10.5f) << interpolate;
    }
}

TEST_F(Entities, ASharpChangeOfSpeedShowsTheNewerPosition) {
    Frame();  // moved 0.5 in the first pair
    older->number = 11;
    newer->number = 12;
    older->serverTime = 20050;
    newer->serverTime = 20100;
    A().origin[0] = 10.5f;
    B().origin[0] = 12.5f;  // a bounce: 2 units in the second pair
    cg.simTime = 20075;
    Frame();
    EXPECT_EQ(ent->s.origin[0], 12.5f);
    EXPECT_FLOAT_EQ(ent->previousMoved, 0.5f);
    EXPECT_FLOAT_EQ(ent->moved, 2.0f);
}

TEST_F(Entities, ANewSerialInTheSlotStartsFromACleanRecord) {
    Frame();
    ent->played = 1;
    ent->eventsIssued = 33;
    ent->spawnEffectTime = 5;
    ent->lastFireWeapon = 4;
    ent->lerpError = 9;
    // The old entity went and a new one took the slot.
    for (entityState_t *e : {&A(), &B()}) {
        e->serial = SERIAL + 1;
        e->spawnTime = 20010;
        Shots(*e, 2);
    }
    const uint32_t before = fake::randState;
    Frame();
    EXPECT_EQ(ent->s.serial, SERIAL + 1);
    EXPECT_EQ(ent->played, 1);  // set again for its own impact, which it presented
    EXPECT_EQ(ent->spawnEffectTime, 0);
    EXPECT_EQ(ent->lerpError, 0);
    EXPECT_EQ(ent->eventsIssued, 2);
    EXPECT_EQ(DrawsSince(before), 2);  // its own two shots, nothing of the former entity's
    EXPECT_EQ(ent->lastFireWeapon, WP_MINIGUN);
}

TEST_F(Entities, AnEntityFirstSeenOldPresentsNoEarlierEvents) {
    struct ageCase_t {
        int32_t age;  // ms before the older snapshot's time
        int shots;    // presented
    } cases[] = {{10000, 0}, {500, 0}, {499, 3}, {0, 3}};
    for (const ageCase_t &c : cases) {
        memset(ent, 0, sizeof *ent);
        for (entityState_t *e : {&A(), &B()}) {
            e->spawnTime = older->serverTime - c.age;
            Shots(*e, 3);
        }
        const uint32_t before = fake::randState;
        Frame();
        EXPECT_EQ(DrawsSince(before), c.shots) << c.age;
        // Later events of the old entity are news.
        B().eventCount = 4;
        const uint32_t later = fake::randState;
        Frame();
        EXPECT_EQ(DrawsSince(later), 1) << c.age;
    }
}

TEST_F(Entities, OnlyTheNewest32PendingEventsArePresented) {
    // from: the counter already presented; the server's counter may run past the sign bit.
    struct backlogCase_t {
        uint32_t from;
        uint32_t count;
        int shots;
        bool mucking;
    } cases[] = {{0, 32, 32, false},          {0, 33, 32, true},          {0, 40, 32, true},
                 {0, 5, 5, false},            {0x7FFFFFF0, 0x80000005, 21, false},
                 {0x7FFFFFE0, 0x80000010, 32, true}, {0xFFFFFFF0, 0x00000004, 20, false}};
    for (const backlogCase_t &c : cases) {
        memset(ent, 0, sizeof *ent);
        fake::prints.clear();
        Shots(A(), 0);
        Shots(B(), 0);
        Frame();  // seen while young, with no events yet
        ent->eventsIssued = static_cast<int32_t>(c.from);
        Shots(A(), c.count);
        Shots(B(), c.count);
        const uint32_t before = fake::randState;
        Frame();
        EXPECT_EQ(DrawsSince(before), c.shots) << c.count;
        EXPECT_EQ(fake::Printed("CG_RunEntityEvents: Mucking event index"), c.mucking) << c.count;
        EXPECT_EQ(ent->eventsIssued, static_cast<int32_t>(c.count));
    }
}

TEST_F(Entities, TheViewersOwnEventsComeAsClientEventsInFirstPerson) {
    cg.predicted.entitySerial = SERIAL;
    Shots(A(), 2);
    Shots(B(), 2);
    A().events[1] = B().events[1] = 1;  // spawned
    const uint32_t before = fake::randState;
    fake::qg.time = 777777;
    Trap_GetQGame(&qgame);
    Frame();
    EXPECT_EQ(DrawsSince(before), 0);
    EXPECT_EQ(ent->spawnEffectTime, 777777);  // the spawn cylinder is drawn all the same
    // In third person the entity's own events are the ones shown.
    fake::Set("cg_thirdPerson", "1");
    B().eventCount = 3;
    B().events[2] = 4;
    const uint32_t later = fake::randState;
    Frame();
    EXPECT_EQ(DrawsSince(later), 1);
}

TEST_F(Entities, BadStatesFromTheServerAreRefused) {
    struct badCase_t {
        const char *name;
        int32_t type;
        float x;
        int32_t weapon, team;
        uint8_t anim1;
        bool inUse;
        const char *warning;
    } cases[] = {
        {"good", ET_BARREL, 100, 0, 0, 0, true, nullptr},
        {"good player", ET_PLAYER, 100, WP_NONEGUN, 1, 20, true, nullptr},
        {"good item", ET_ITEM, 100, 0, IT_AMMO_DIRTGUN, 0, true, nullptr},
        {"type too high", ET_COUNT, 0, 0, 0, 0, false, "Bad entity type from server"},
        {"type 1000", 1000, 0, 0, 0, 0, false, "Bad entity type from server"},
        {"negative type", -2, 0, 0, 0, 0, false, "Bad entity type from server"},
        {"far away", ET_BARREL, 4000, 0, 0, 0, false, "CG_InterpolateEntityState: Bad entity 40 (type: 20) pos"},
        {"not a number", ET_BARREL, NAN, 0, 0, 0, false, "CG_InterpolateEntityState: Bad entity 40 (type: 20) pos"},
        {"weapon 7", ET_PLAYER, 0, 7, 0, 0, false, "Bad entity 40 (type: 1) numbers"},
        {"weapon -1", ET_PLAYER, 0, -1, 0, 0, false, "Bad entity 40 (type: 1) numbers"},
        {"team 2", ET_PLAYER, 0, 0, 2, 0, false, "Bad entity 40 (type: 1) numbers"},
        {"team -1", ET_GRENADE, 0, 0, -1, 0, false, "Bad entity 40 (type: 3) numbers"},
        {"item kind 8", ET_ITEM, 0, 0, ITEM_KIND_COUNT, 0, false, "Bad entity 40 (type: 5) numbers"},
        {"animation 21", ET_PLAYER, 0, 0, 0, 21, false, "Bad entity 40 (type: 1) numbers"},
    };
    fake::Set("cg_interpolate", "0");
    for (const badCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        fake::errors.clear();
        memset(ent, 0, sizeof *ent);
        A().type = B().type = c.type;
        A().origin[0] = B().origin[0] = c.x;
        A().origin[1] = B().origin[1] = c.x;
        A().weapon = B().weapon = c.weapon;
        A().team = B().team = c.team;
        A().anim1 = B().anim1 = c.anim1;
        Frame();
        EXPECT_EQ(ent->s.inUse != 0, c.inUse);
        if (c.warning) {
            EXPECT_TRUE(fake::Reported(ER_DEVWARNING, c.warning));
        } else {
            EXPECT_TRUE(fake::errors.empty());
        }
    }
}

TEST_F(Entities, ASlotMissingFromEitherSnapshotIsNotInUse) {
    struct presenceCase_t {
        uint8_t a, b;
        int32_t serialB;
        bool inUse;
    } cases[] = {{1, 1, SERIAL, true}, {0, 1, SERIAL, false}, {1, 0, SERIAL, false}, {1, 1, SERIAL + 5, false}};
    for (const presenceCase_t &c : cases) {
        A().inUse = c.a;
        B().inUse = c.b;
        B().serial = c.serialB;
        CG_InterpolateEntityState(ent, SLOT);
        EXPECT_EQ(ent->s.inUse != 0, c.inUse) << int(c.a) << int(c.b) << c.serialB;
    }
    cg.older = nullptr;  // without the pair nothing changes
    ent->s.inUse = 1;
    CG_InterpolateEntityState(ent, SLOT);
    EXPECT_EQ(ent->s.inUse, 1);
}

TEST_F(Entities, ClearingForgetsEverySlot) {
    Frame();
    CG_ClearEntities();
    EXPECT_EQ(ent->s.inUse, 0);
    EXPECT_EQ(ent->s.serial, 0);
}

// ---- hand-over to the drawers ----

cgLight_t AddedLight(size_t i) {
    cgLight_t light;
    memcpy(&light, fake::lights.at(i).data(), sizeof light);
    return light;
}

TEST_F(Entities, AGrenadeFlashLightsUpAndFades) {
    struct flashCase_t {
        float life;
        bool lit;
        float radius, intensity;
    } cases[] = {
        {0.005f, false, 0, 0}, {0.15f, true, 2, 1}, {0.3f, true, 4, 1}, {0.5f, true, 4, 1}, {0.85f, true, 4, 0.5f},
    };
    centity_t &flash = cg.cEntities[3];
    for (const flashCase_t &c : cases) {
        fake::lights.clear();
        fake::lightsAllocated = 0;
        memset(&flash, 0, sizeof flash);
        flash.s.inUse = 1;
        flash.s.type = ET_GRENADE_FLASH;
        flash.s.origin[1] = 7;
        flash.media = &g_entityMedia[ET_GRENADE_FLASH];
        flash.lifeFraction = c.life;
        CG_AddEntitiesToScene();
        ASSERT_EQ(fake::lights.size(), c.lit ? 1u : 0u) << c.life;
        if (!c.lit) continue;
        const cgLight_t light = AddedLight(0);
        EXPECT_EQ(light.kind, CG_LIGHT_POINT);
        EXPECT_EQ(light.origin[1], 7);
        EXPECT_NEAR(light.range, c.radius, 1e-5f) << c.life;
        EXPECT_NEAR(light.intensity[0], c.intensity, 1e-5f) << c.life;
        EXPECT_EQ(light.color[0] + light.color[1], 2);  // yellow
        EXPECT_EQ(light.color[2], 0);
    }
}

TEST_F(Entities, OtherPlayersCarryAFlashlightAndTheViewerMayBeLeftOut) {
    struct selfCase_t {
        const char *name;
        int32_t serial;  // of the entity; the viewer's is SERIAL
        const char *thirdPerson, *skipSelf, *skipFlash;
        size_t lights;
    } cases[] = {
        {"another player", SERIAL + 1, "0", "0", "0", 1},
        {"another player, flashes off", SERIAL + 1, "0", "0", "1", 0},
        {"own, first person", SERIAL, "0", "0", "0", 0},
        {"own, third person", SERIAL, "1", "0", "0", 1},
        {"own, left out", SERIAL, "1", "1", "0", 0},
    };
    cg.predicted.entitySerial = SERIAL;
    for (const selfCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        fake::Set("cg_thirdPerson", c.thirdPerson);
        fake::Set("cg_skipSelf", c.skipSelf);
        fake::Set("cg_skipThirdPersonFlash", c.skipFlash);
        fake::lights.clear();
        fake::lightsAllocated = 0;
        memset(ent, 0, sizeof *ent);
        ent->s.inUse = 1;
        ent->s.type = ET_PLAYER;
        ent->s.serial = c.serial;
        ent->media = &g_entityMedia[ET_PLAYER];
        memcpy(ent->weaponTagAxis, identitymatrix3x3, sizeof ent->weaponTagAxis);
        CG_AddEntitiesToScene();
        ASSERT_EQ(fake::lights.size(), c.lights);
        if (c.lights) {
            const cgLight_t light = AddedLight(0);
            EXPECT_EQ(light.kind, CG_LIGHT_FLASH);
            EXPECT_EQ(light.flag, 0);  // not the viewer's own flashlight
            EXPECT_FLOAT_EQ(light.origin[1], 1.3f);
            EXPECT_FLOAT_EQ(light.origin[2], 0.3f);
        }
    }
}

TEST_F(Entities, AnUnknownDrawingTypeDropsTheGame) {
    entityMedia_t strange = g_entityMedia[ET_BARREL];
    strange.drawingType = 14;
    ent->s.inUse = 1;
    ent->media = &strange;
    CG_AddEntitiesToScene();
    EXPECT_TRUE(fake::Reported(ER_DROP, "CG_AddEntitiesToScene: Unknown drawing type 14"));
}

TEST_F(Entities, AStaticModelIndexOutsideTheKindsListDrawsNothing) {
    for (int32_t index : {-1, 0, 3, ENTITY_MEDIA_MODELS, 100000}) {
        ent->s.inUse = 1;
        ent->s.type = ET_GIB;
        ent->media = &g_entityMedia[ET_GIB];
        ent->modelIndex = index;
        ent->spinAngle = 30;
        ent->spinAxis[1] = 1;
        CG_AddEntityToScene(ent, 0);
    }
    EXPECT_TRUE(fake::errors.empty());
}

}  // namespace
