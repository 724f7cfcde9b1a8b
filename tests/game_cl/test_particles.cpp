// Particle classes and the particle pool against the stand-in engine: the reader's
// defaults and messages, the class table, emission, motion, fade and the quads
// handed to the renderer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "game/g_main.h"
#include "game/g_soup.h"
#include "game_cl/cg_actions.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_particles.h"
#include "tests/game/fake_engine.h"
#include "tests/game_cl/effects_setup.h"

namespace {

constexpr float IDENTITY[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

struct Particles : testing::Test {
    void SetUp() override {
        StartClientEffects();
        fake::materialHandles["p.material"] = 5;
    }
    void TearDown() override {
        G_SetUndefined();
        fake::Uninstall();
    }

    // A class from text, loaded under its own path.
    static int32_t Class(const std::string &text, const char *path = "p.particle") {
        fake::files[path] = text;
        return CG_LoadParticle(path);
    }
    static std::vector<particle_t *> Active() {
        std::vector<particle_t *> out;
        for (particle_t *p = g_activeDummy.next; p != &g_activeDummy; p = p->next) out.push_back(p);
        return out;
    }
    // One update of seconds.
    static void Step(float seconds) {
        qgame.frameSeconds = seconds;
        qgame.frameCount++;
        CG_UpdateParticles();
    }
    static surface_t Added(size_t i) {
        surface_t s;
        memcpy(&s, fake::surfaces[i].data(), sizeof s);
        return s;
    }
};

// ---- classes ----

TEST_F(Particles, AClassOfOnlyAMaterialAndATimeHasTheDefaults) {
    const int32_t h = Class("material p.material\nmaxTime 2\n");
    ASSERT_EQ(h, 1);
    const particleClass_t &c = *CG_GetParticleClass(h);
    EXPECT_STREQ(c.name, "p.particle");
    EXPECT_EQ(c.material, 5);
    EXPECT_EQ(c.spawnPosType, PSP_RECT);
    EXPECT_EQ(c.spawnDirType, PSD_CONE);
    EXPECT_EQ(c.spawnConeAngle, 10.0f);
    EXPECT_EQ(c.spawnMinSpeed, 1.0f);
    EXPECT_EQ(c.spawnMaxSpeed, 1.0f);
    EXPECT_EQ(c.spawnMinSize, 1.0f);
    EXPECT_EQ(c.spawnMaxAspectRatio, 1.0f);
    EXPECT_EQ(c.spawnMinRadius, 1.0f);
    EXPECT_EQ(c.maxTime, 2.0f);
    EXPECT_EQ(c.beginFade, 0.0f);
    EXPECT_EQ(c.endFade, 1.0f);
    EXPECT_EQ(c.pathType, PPT_STANDARD);
    const float white[4] = {1, 1, 1, 1}, clear[4] = {1, 1, 1, 0};
    EXPECT_EQ(0, memcmp(c.spawnColor, white, sizeof white));
    EXPECT_EQ(0, memcmp(c.fadeColor, clear, sizeof clear)) << "fades to transparent white";
    EXPECT_FLOAT_EQ(c.drawDistanceSquared, 75.0f * 75.0f);
    EXPECT_EQ(c.useTime, 0);
    // Only the empty report that shows the collected messages.
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_SHOWSAVEOFF, ""}}));
    EXPECT_EQ(CG_LoadParticle("p.particle"), h) << "a path is read once";
}

TEST_F(Particles, KeysSetOnlyTheirOwnFields) {
    const particleClass_t &c = *CG_GetParticleClass(
        Class("spawnPosType SPHERE\nspawnPosType RECT\nspawnRect 1 2 3\nspawnDirType CONE\nspawnDirType PYRAMID\n"
              "spawnColor 0.5 0.25 1 0.75\nfadeColor 0 0 0 0.5\npathType ORBIT\nspawnMaxSize 2\nuseTime\n"
              "spawnBias 4\nmaxTime 1e999\n"));
    EXPECT_EQ(c.spawnPosType, PSP_RECT);
    EXPECT_EQ(c.spawnDirType, PSD_PYRAMID);
    EXPECT_EQ(c.spawnRect[0], 1.0f);
    EXPECT_EQ(c.spawnRect[2], 3.0f) << "a direction type keeps the rectangle";
    EXPECT_EQ(c.fadeColor[3], 0.5f) << "a given fade colour keeps its alpha";
    EXPECT_EQ(c.spawnColor[1], 0.25f);
    EXPECT_EQ(c.pathType, PPT_ORBIT);
    EXPECT_FLOAT_EQ(c.drawDistanceSquared, 150.0f * 150.0f);
    EXPECT_EQ(c.useTime, 1);
    EXPECT_EQ(c.useOneSurface, 1);
    EXPECT_EQ(c.spawnBias[0], 4.0f);
    EXPECT_EQ(c.spawnBias[1], 0.0f) << "a missing value reads 0";
    EXPECT_EQ(c.maxTime, 0.0f) << "a value past the float range reads 0, not infinity";
}

TEST_F(Particles, ParseMessagesNameTheClassAndLineAndAreShownOnce) {
    const int32_t h = Class("material p.material\n\nbogus 1\n// a comment\nspawnPosType\nspawnDirType FUNNEL\n"
                            "pathType ORBIT\n  pathType\n",
                            "odd.particle");
    EXPECT_NE(h, 0) << "messages do not stop the class";
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{
                                {ER_SAVEOFF, "odd.particle(3): Unknown token \"bogus\""},
                                {ER_SAVEOFF, "odd.particle(3): Unknown token \"1\""},
                                {ER_SAVEOFF, "odd.particle(5): spawnPosType <RECT or SPHERE>"},
                                {ER_SAVEOFF, "odd.particle(6): Unknown spawnDirType \"FUNNEL\""},
                                {ER_SAVEOFF, "odd.particle(8): pathType <STANDARD or ORBIT>"},
                                {ER_SHOWSAVEOFF, ""},
                            }));
    const particleClass_t &c = *CG_GetParticleClass(h);
    EXPECT_EQ(c.spawnDirType, 0) << "an unknown value makes the field 0";
    EXPECT_EQ(c.pathType, 0) << "so does a missing one";
    EXPECT_TRUE(fake::Printed("Loaded \"odd.particle\""));
}

// A long file is read in one pass: counting each token's line from the start of
// the file made this take minutes.
TEST_F(Particles, ALongFileIsReadInTimeAndStillNamesTheRightLine) {
    std::string text;
    for (int i = 0; i < 100000; i++) text += "useTime\n";
    text += "bogus\n";
    Class(text.c_str(), "long.particle");
    ASSERT_FALSE(fake::errors.empty());
    EXPECT_EQ(fake::errors.front(), (fake::error_t{ER_SAVEOFF, "long.particle(100001): Unknown token \"bogus\""}));
}

// Handles index the per-material lists: one the renderer gives past them is refused.
TEST_F(Particles, AMaterialHandleOutsideTheListsIsRefusedWithAMessage) {
    struct materialCase_t {
        int32_t handle;
        int32_t kept;
        bool reported;
    };
    const materialCase_t cases[] = {{1023, 1023, false}, {1024, 0, true}, {70000, 0, true}, {-3, 0, true}};
    int n = 0;
    for (const materialCase_t &mc : cases) {
        fake::errors.clear();
        fake::materialHandles["m.material"] = mc.handle;
        const std::string path = "m" + std::to_string(n++) + ".particle";
        const int32_t h = Class("maxTime 1\nmaterial m.material\n", path.c_str());
        EXPECT_EQ(CG_GetParticleClass(h)->material, mc.kept) << mc.handle;
        EXPECT_EQ(fake::errors.size(), mc.reported ? 2u : 1u) << mc.handle;
        if (mc.reported) {
            EXPECT_EQ(fake::errors[0], (fake::error_t{ER_SAVEOFF, path + "(2): Material \"m.material\" has handle " +
                                                                      std::to_string(mc.handle) + ", outside 0 to 1023"}));
        }
        CG_CreateParticle(h, std::vector<float>{5, 5, 5}.data(), IDENTITY);
    }
    EXPECT_EQ(g_numActiveParticles, 4);
}

TEST_F(Particles, TheTableKeepsMissingFilesRefusesThe65thAndChecksHandles) {
    EXPECT_EQ(CG_LoadParticle("missing.particle"), 0);
    EXPECT_EQ(fake::errors,
              (std::vector<fake::error_t>{{ER_ERROR, "CG_ReloadParticle: Could not open file \"missing.particle\""}}));
    EXPECT_EQ(CG_GetNumParticles(), 2) << "the entry stays under its name";
    EXPECT_EQ(CG_LoadParticle("missing.particle"), 1) << "and a later load finds it";
    EXPECT_EQ(CG_GetParticleClass(1)->maxTime, 0.0f);

    for (int i = CG_GetNumParticles(); i < PARTICLE_CLASSES_MAX; i++)
        Class("maxTime 1", ("c" + std::to_string(i) + ".particle").c_str());
    ASSERT_EQ(CG_GetNumParticles(), PARTICLE_CLASSES_MAX);
    fake::errors.clear();
    EXPECT_EQ(Class("maxTime 1", "one-more.particle"), 0);
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_FATAL, "CG_RegisterParticle: Max particle classes is 64"}}));

    fake::errors.clear();
    EXPECT_STREQ(CG_GetParticleClass(PARTICLE_CLASSES_MAX)->name, "DUMMY");
    EXPECT_STREQ(CG_GetParticleClass(-1)->name, "DUMMY");
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_DEVWARNING, "CG_GetParticle: qp out range"},
                                                         {ER_DEVWARNING, "CG_GetParticle: qp out range"}}));
    CG_UnloadParticle(3);
    EXPECT_EQ(CG_GetNumParticles(), 3);
    fake::errors.clear();
    EXPECT_STREQ(CG_GetParticleClass(3)->name, "DUMMY") << "a handle equal to the count is out of range";
}

TEST_F(Particles, ListAndReloadTools) {
    const int32_t h = Class("material p.material\nmaxTime 1\n");
    fake::prints.clear();
    CG_ParticleList_f();
    EXPECT_EQ(fake::prints, (std::vector<std::string>{"-----------", " 0: \xA4" "08\"DUMMY\"\xA4" "00 QMat: \xA4" "080",
                                                       " 1: \xA4" "08\"p.particle\"\xA4" "00 QMat: \xA4" "085",
                                                       "2 particles", "-----------"}));

    fake::files["p.particle"] = "material p.material\nmaxTime 7\n";
    fake::args = {"particleReload", "1"};
    CG_ParticleReload_f();
    EXPECT_EQ(CG_GetParticleClass(h)->maxTime, 7.0f) << "reread in place";

    fake::errors.clear();
    fake::args = {"particleReload", "0"};
    CG_ParticleReload_f();
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_ERROR, "CG_ReloadParticle: Could not open file \"DUMMY\""}}));
    EXPECT_STREQ(CG_GetParticleClass(0)->name, "DUMMY");

    fake::prints.clear();
    fake::args = {"particleReload"};
    CG_ParticleReload_f();
    fake::args = {"particleReload", "9"};
    CG_ParticleReload_f();
    EXPECT_EQ(fake::prints, (std::vector<std::string>{"USAGE: particlereload <particle number>"}));
}

// ---- simulation ----

TEST_F(Particles, TheFullPoolRefusesOneMoreAndKeepsTheOthers) {
    const int32_t h = Class("maxTime 5\n");
    const float origin[3] = {10, 10, 10};
    for (int i = 0; i < MAX_PARTICLES; i++) CG_CreateParticle(h, origin, IDENTITY);
    EXPECT_EQ(g_numActiveParticles, MAX_PARTICLES);
    fake::prints.clear();
    CG_CreateParticle(h, origin, IDENTITY);
    EXPECT_EQ(g_numActiveParticles, MAX_PARTICLES);
    EXPECT_EQ(Active().size(), static_cast<size_t>(MAX_PARTICLES));
    EXPECT_TRUE(fake::Printed("CG_CreateParticle: Particle list full"));
    CG_ClearParticles();
    EXPECT_EQ(g_numActiveParticles, 0);
    CG_CreateParticle(h, origin, IDENTITY);
    EXPECT_EQ(g_numActiveParticles, 1) << "cleared entries are free again";
}

TEST_F(Particles, AnActionSpawnsItsCountOfParticlesAtItsPlace) {
    Class("maxTime 5\nspawnMinSpeed 0\nspawnMaxSpeed 0\n");
    const float place[3] = {4, 20, 6};
    struct spawnCase_t {
        const char *text;
        float arg0;
        size_t made;
    };
    const spawnCase_t cases[] = {{"spawnParticles arg0 p.particle", 2.9f, 2},
                                 {"spawnParticle 5000 p.particle", 0, 1000},
                                 {"spawnParticles 0 p.particle", 0, 0}};
    for (const spawnCase_t &sc : cases) {
        CG_ClearParticles();
        ASSERT_TRUE(CG_RunAction(sc.text, place, IDENTITY, sc.arg0, 0)) << sc.text;
        EXPECT_EQ(Active().size(), sc.made) << sc.text;
        for (const particle_t *p : Active()) EXPECT_EQ(0, memcmp(p->position, place, sizeof place));
    }
}

TEST_F(Particles, NothingIsMadeForHandleZeroOrWhenCreationIsSkipped) {
    const int32_t h = Class("maxTime 5\n");
    const float origin[3] = {10, 10, 10};
    CG_CreateParticle(0, origin, IDENTITY);
    fake::Set("cg_skipParticleCreate", "1");
    CG_CreateParticle(h, origin, IDENTITY);
    EXPECT_EQ(g_numActiveParticles, 0);
}

TEST_F(Particles, ParticlesDieAtTheirTimeAndNearTheWorldCentre) {
    const int32_t instant = Class("maxTime 0\n", "instant.particle");
    const int32_t lasting = Class("maxTime 1\nspawnMinSpeed 0\nspawnMaxSpeed 0\n", "lasting.particle");
    const float far[3] = {0, 20, 0}, centre[3] = {0, 0.5f, 0};
    CG_CreateParticle(instant, far, IDENTITY);
    CG_CreateParticle(lasting, far, IDENTITY);
    CG_CreateParticle(lasting, centre, IDENTITY);
    Step(0.01f);
    ASSERT_EQ(Active().size(), 1u) << "maximum time 0 goes in its first update; the centre kills";
    EXPECT_EQ(Active()[0]->position[1], 20.0f);
    Step(0.98f);
    EXPECT_EQ(g_numActiveParticles, 1);
    Step(0.02f);
    EXPECT_EQ(g_numActiveParticles, 0);
}

TEST_F(Particles, StandardPathsFallAlongTheLocalUpAndOrbitsCircleTheZAxis) {
    // Cone angle 0: straight along the axis's second row at speed 10.
    const int32_t falling = Class("spawnConeAngle 0\nspawnMinSpeed 10\nspawnMaxSpeed 10\ngravityFactor 2\n", "f.particle");
    const int32_t orbit = Class("spawnConeAngle 0\nspawnMinSpeed 3\nspawnMaxSpeed 3\npathType ORBIT\n", "o.particle");
    const float a[3] = {100, 0, 0};
    CG_CreateParticle(falling, a, IDENTITY);
    particle_t *p = Active()[0];
    EXPECT_EQ(p->velocity[1], 10.0f);
    EXPECT_EQ(p->localUp[1], 1.0f) << "up on a flat world";
    Step(0.5f);
    EXPECT_FLOAT_EQ(p->position[1], 5.0f);
    EXPECT_FLOAT_EQ(p->velocity[1], 9.0f);

    CG_DeleteParticle(p);
    const float b[3] = {10, 0, 0};
    CG_CreateParticle(orbit, b, IDENTITY);
    p = Active()[0];
    Step(1.0f);
    EXPECT_FLOAT_EQ(p->position[0], 10.0f);
    EXPECT_FLOAT_EQ(p->position[1], 3.0f);
    // Tangent to the circle through (10, 3) at speed 3.
    const float r = std::sqrt(109.0f);
    EXPECT_FLOAT_EQ(p->velocity[0], -3.0f * 3.0f / r);
    EXPECT_FLOAT_EQ(p->velocity[1], 3.0f * 10.0f / r);
    EXPECT_EQ(p->velocity[2], 0.0f);
}

TEST_F(Particles, FadingGoesLinearlyBetweenTheColoursOnlyWhenTheFadeHasASpan) {
    struct fadeCase_t {
        const char *fade;
        float seconds;  // of a life of 1
        uint8_t rgba[4];
    };
    const fadeCase_t cases[] = {
        {"beginFade 0\nendFade 1\n", 0.5f, {127, 0, 127, 255}},
        {"beginFade 0\nendFade 1\n", 0.25f, {191, 0, 63, 255}},
        {"beginFade 0.5\nendFade 0.5\n", 0.75f, {255, 0, 0, 255}},
        {"beginFade 0.5\nendFade 1\n", 0.25f, {255, 0, 0, 255}},
        {"beginFade 0.5\nendFade 0.6\n", 0.75f, {0, 0, 255, 255}},
    };
    int n = 0;
    for (const fadeCase_t &fc : cases) {
        const std::string path = "fade" + std::to_string(n++) + ".particle";
        const int32_t h = Class(std::string("maxTime 1\nspawnColor 1 0 0 1\nfadeColor 0 0 1 1\nspawnMinSpeed 0\n"
                                            "spawnMaxSpeed 0\n") + fc.fade,
                                path.c_str());
        const float origin[3] = {0, 20, 0};
        CG_CreateParticle(h, origin, IDENTITY);
        Step(fc.seconds);
        ASSERT_EQ(Active().size(), 1u);
        EXPECT_EQ(0, memcmp(Active()[0]->color, fc.rgba, 4)) << fc.fade << " at " << fc.seconds << ": "
            << +Active()[0]->color[0] << " " << +Active()[0]->color[2];
        CG_ClearParticles();
    }
}

TEST_F(Particles, ColoursOutsideZeroToOneAreClampedToBytes) {
    const int32_t h = Class("spawnColor 2 -1 0.5 1\n");
    const float origin[3] = {0, 20, 0};
    CG_CreateParticle(h, origin, IDENTITY);
    const uint8_t want[4] = {255, 0, 127, 255};
    EXPECT_EQ(0, memcmp(Active()[0]->color, want, 4));
}

TEST_F(Particles, EmissionPlacesAndAimsParticlesByTheClass) {
    // A sphere of radius 0 places every particle on the origin.
    const int32_t sphere = Class("spawnPosType SPHERE\nspawnMinRadius 0\nspawnMaxRadius 0\n", "s.particle");
    const float origin[3] = {3, 20, -4};
    for (int i = 0; i < 20; i++) CG_CreateParticle(sphere, origin, IDENTITY);
    for (const particle_t *p : Active()) EXPECT_EQ(0, memcmp(p->position, origin, sizeof origin));
    CG_ClearParticles();

    // A pyramid of 30 degrees about row 1 of a turned axis (row 1 = +z): each
    // direction leans at most 30 degrees toward each of the other rows; speed 4.
    const float turned[9] = {1, 0, 0, 0, 0, 1, 0, -1, 0};
    const int32_t pyramid =
        Class("spawnDirType PYRAMID\nspawnConeAngle 30\nspawnMinSpeed 4\nspawnMaxSpeed 4\n", "py.particle");
    for (int i = 0; i < 200; i++) CG_CreateParticle(pyramid, origin, turned);
    float widest = 0.0f;
    for (const particle_t *p : Active()) {
        const float *v = p->velocity;
        EXPECT_NEAR(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 4.0f, 1e-4f);
        EXPECT_GT(v[2], 0.0f) << "about row 1";
        const float towardRow0 = std::atan2(v[0], v[2]) / DEG2RAD, towardRow2 = std::asin(-v[1] / 4.0f) / DEG2RAD;
        EXPECT_LE(std::fabs(towardRow2), 30.001f);
        EXPECT_LE(std::fabs(towardRow0), 30.001f);
        widest = std::fmax(widest, std::fabs(towardRow2));
    }
    EXPECT_GT(widest, 20.0f) << "the pyramid is filled, not only its axis";
}

TEST_F(Particles, QuadsFaceTheViewerAtTheirAspectAndRotation) {
    const int32_t h = Class("material p.material\nspawnMinAspectRatio 2\nspawnMaxAspectRatio 2\n"
                            "spawnMinRotation 90\nspawnMaxRotation 90\nspawnMinSpeed 0\nspawnMaxSpeed 0\n");
    const float origin[3] = {0, 10, 10};
    CG_CreateParticle(h, origin, IDENTITY);
    const float eye[3] = {0, 10, 0};
    const float view[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};  // looking along +z, up +y
    CG_AddParticlesToSceneFrom({eye, view, 90.0f, nullptr});
    ASSERT_EQ(fake::surfaces.size(), 1u);
    const surface_t s = Added(0);
    EXPECT_EQ(s.material, 5);
    EXPECT_EQ(s.numVerts, 4);
    EXPECT_EQ(s.numIndexes, 6);
    EXPECT_EQ(fake::allocLayouts, std::vector<int32_t>{SURFACE_LAYOUT_COLOR});
    const int32_t triangles[6] = {0, 2, 1, 0, 3, 2};
    EXPECT_EQ(0, memcmp(s.indexes, triangles, sizeof triangles));
    const auto *v = static_cast<const drawVert_t *>(s.verts);
    auto edge = [&](int a, int b, int axis) { return v[b].xyz[axis] - v[a].xyz[axis]; };
    // Unturned, right is along x (width 2) and up along y (height 1); turned by 90
    // degrees the width runs along y.
    EXPECT_NEAR(std::fabs(edge(0, 1, 1)), 2.0f, 1e-5f);
    EXPECT_NEAR(edge(0, 1, 0), 0.0f, 1e-5f);
    EXPECT_NEAR(std::fabs(edge(1, 2, 0)), 1.0f, 1e-5f);
    EXPECT_NEAR(edge(1, 2, 1), 0.0f, 1e-5f);
    for (int k = 0; k < 4; k++) EXPECT_FLOAT_EQ(v[k].xyz[2], 10.0f);
    EXPECT_EQ(v[2].st[0], 1.0f);
    EXPECT_EQ(v[2].st[1], 1.0f);
    EXPECT_EQ(v[1].rgba[3], 255);
    EXPECT_EQ(g_numDrawnParticles, 1);
}

TEST_F(Particles, TheCutOffDistanceFollowsSizeFieldOfViewAndTheVariable) {
    const int32_t h = Class("spawnMinSpeed 0\nspawnMaxSpeed 0\n");
    const float eye[3] = {0, 10, 0};
    for (float z : {74.0f, 76.0f}) {
        const float at[3] = {0, 10, z};
        CG_CreateParticle(h, at, IDENTITY);
    }
    CG_AddParticlesToSceneFrom({eye, IDENTITY, 90.0f, nullptr});
    EXPECT_EQ(g_numDrawnParticles, 1) << "75 units at cut-off 1, 90 degrees, size 1";
    CG_AddParticlesToSceneFrom({eye, IDENTITY, 0.0f, nullptr});
    EXPECT_EQ(g_numDrawnParticles, 2) << "a narrower view reaches farther";
    fake::pvsAnswer = 0;
    CG_AddParticlesToSceneFrom({eye, IDENTITY, 90.0f, nullptr});
    EXPECT_EQ(g_numDrawnParticles, 0) << "outside the visible set";
    fake::pvsAnswer = 1;
    fake::Set("cg_skipParticleDraw", "1");
    fake::surfaces.clear();
    CG_AddParticlesToSceneFrom({eye, IDENTITY, 90.0f, nullptr});
    EXPECT_EQ(g_numDrawnParticles, 0);
    EXPECT_TRUE(fake::surfaces.empty());
}

TEST_F(Particles, MaterialsGetOneSurfaceEachUnlessTheClassAsksForOneAParticle) {
    fake::materialHandles["q.material"] = 9;
    const int32_t shared = Class("material p.material\nspawnMinSpeed 0\nspawnMaxSpeed 0\n", "a.particle");
    const int32_t timed =
        Class("material q.material\nspawnMinSpeed 0\nspawnMaxSpeed 0\nmaxTime 4\nuseTime\n", "b.particle");
    const float at[3] = {0, 10, 10}, eye[3] = {0, 10, 0};
    for (int i = 0; i < 3; i++) CG_CreateParticle(shared, at, IDENTITY);
    for (int i = 0; i < 2; i++) CG_CreateParticle(timed, at, IDENTITY);
    Step(1.0f);
    CG_AddParticlesToSceneFrom({eye, IDENTITY, 90.0f, nullptr});
    ASSERT_EQ(fake::surfaces.size(), 3u);
    const surface_t a = Added(0), b = Added(1), c = Added(2);
    EXPECT_EQ(a.material, 5);
    EXPECT_EQ(a.numVerts, 12);
    EXPECT_EQ(a.numIndexes, 18);
    EXPECT_EQ(b.material, 9);
    EXPECT_EQ(b.numVerts, 4);
    EXPECT_EQ(c.numVerts, 4);
    EXPECT_EQ(static_cast<const drawVert_t *>(c.verts), static_cast<const drawVert_t *>(b.verts) + 4)
        << "each surface starts at the next free vertex";
    EXPECT_NE(b.flags & SURFACE_FLAG_TIME, 0u);
    EXPECT_FLOAT_EQ(b.effect, 0.25f) << "age / maximum time";
    EXPECT_EQ(a.flags & SURFACE_FLAG_TIME, 0u);
    EXPECT_EQ(g_numDrawnParticles, 5);

    fake::prints.clear();
    CG_ParticleStats_f();
    EXPECT_EQ(fake::prints, (std::vector<std::string>{"    \xA4" "08       5\xA4" "00 active particles",
                                                       "    \xA4" "08       5\xA4" "00 drawn particles"}));
}

TEST_F(Particles, NoSurfaceFromTheRendererDrawsNothing) {
    const int32_t h = Class("spawnMinSpeed 0\nspawnMaxSpeed 0\nuseTime\n");
    const float at[3] = {0, 10, 10}, eye[3] = {0, 10, 0};
    for (int i = 0; i < 3; i++) CG_CreateParticle(h, at, IDENTITY);
    fake::refuseSurfaces = true;
    CG_AddParticlesToSceneFrom({eye, IDENTITY, 90.0f, nullptr});
    EXPECT_TRUE(fake::surfaces.empty());
    EXPECT_EQ(g_numDrawnParticles, 0);
}

}  // namespace
