// The entity kinds' client media: one record per entity type.
#include <cstring>

#include "common/common.h"
#include "game/g_traps.h"
#include "game/g_main.h"
#include "game_cl/cg_actions.h"
#include "game_cl/cg_centities.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"

entityMedia_t g_entityMedia[ET_COUNT];

const entityMedia_t *CG_EntityMedia(int32_t type) {
    return type >= 0 && type < ET_COUNT ? &g_entityMedia[type] : nullptr;
}

namespace {

// Clears a type's record and gives it its drawing type and client think.
entityMedia_t &Begin(int32_t type, int32_t drawingType, cgThink_t think) {
    entityMedia_t &m = g_entityMedia[type];
    memset(&m, 0, sizeof m);
    m.drawingType = drawingType;
    m.think = think;
    return m;
}

// Registers the further model slots in order.
template <size_t N>
void Models(entityMedia_t &m, const char *const (&paths)[N]) {
    static_assert(N <= ENTITY_MEDIA_MODELS);
    for (size_t i = 0; i < N; i++) m.models[i] = CG_RegisterModel(paths[i]);
    m.numModels = static_cast<int32_t>(N);
}

// A kind drawn by one generic model.
void Generic(int32_t type, const char *path, cgThink_t think = nullptr) {
    Begin(type, DT_GENERIC, think).model = CG_RegisterModel(path);
}

constexpr float GRENADE_TRAIL_STEP = 0.25f;  // units a grenade flies between trail scripts
constexpr int32_t MUSHROOM_PERIOD_MS = 250;

}  // namespace

void CG_GrenadeThink(centity_t *cent) {
    vec3_t moved;
    _VectorSub(moved, cent->s.origin, cent->lastTrailPoint);
    if (VectorLength(moved) < GRENADE_TRAIL_STEP) return;
    // The grenade's model byte is its owner's team: any non-zero byte counts as red.
    CG_RunActionScript(cent->s.team ? "game/c_actions/grenade_trail_red.action"
                                    : "game/c_actions/grenade_trail_blue.action",
                       cent->s.origin, cent->axes.viewAxis, 0.0f, 0.0f);
    _VectorCopy(cent->lastTrailPoint, cent->s.origin);
}

void CG_MushroomThink(centity_t *cent) {
    if (G_TimeAge(static_cast<uint32_t>(cent->lastThinkTime)) < MUSHROOM_PERIOD_MS) return;
    cent->lastThinkTime = static_cast<int32_t>(qgame.time);
    CG_RunActionScript("game/c_actions/mushroom.action", cent->s.origin, cent->axes.viewAxis, 0.0f, 0.0f);
}

void CG_RegisterGrenade() { Generic(ET_GRENADE, "game/w_grengun/grenade_big.model", CG_GrenadeThink); }

void CG_RegisterDrone() {
    entityMedia_t &m = Begin(ET_DRONE, DT_DRONE, nullptr);
    m.model = CG_RegisterModel("game/e_drone/drone.model");
    Models(m, {"game/e_drone/flag_blue.model", "game/e_drone/flag_red.model"});
}

void CG_RegisterItem() {
    // Slots in this order; the item drawer picks one by item kind.
    Models(Begin(ET_ITEM, DT_ITEM, nullptr),
           {"game/e_armor/armor.model", "game/e_health/health.model", "game/e_berserker/berserker.model",
            "game/e_box/box_mini.model", "game/e_box/box_shot.model", "game/e_box/box_gren.model",
            "game/e_box/box_rail.model", "game/e_box/box_dirt.model"});
}

void CG_RegisterCrystal() {
    Begin(ET_CRYSTAL, DT_CRYSTAL, nullptr).model = CG_RegisterModel("game/e_crystal/crystal.model");
}

void CG_RegisterBulletTrails() {
    for (int32_t type = ET_TRAIL_RAILGUN_BLUE; type <= ET_TRAIL_BERSERK; type++) Begin(type, DT_TRAIL, nullptr);
}

void CG_RegisterMushroom() {
    entityMedia_t &m = Begin(ET_MUSHROOM, DT_GENERIC, CG_MushroomThink);
    m.model = CG_RegisterModel("game/e_mush/mush.model");
    m.offset[1] = -0.02f;
}

void CG_RegisterStones() {
    Generic(ET_STONE1, "game/e_stone/stone.model");
    Generic(ET_STONE2, "game/e_stone/stone2.model");
    Generic(ET_STONE3, "game/e_stone/stone3.model");
}

void CG_RegisterCandyCanes() {
    Generic(ET_CANDYCANE1, "game/e_candycane/candycane1.model");
    Generic(ET_CANDYCANE2, "game/e_candycane/candycane2.model");
}

void CG_RegisterFoamMushrooms() {
    Generic(ET_FOAMMUSH1, "game/e_foammush/foam_mush_brown.model");
    Generic(ET_FOAMMUSH2, "game/e_foammush/foam_mush_pink.model");
}

void CG_RegisterBarrel() { Generic(ET_BARREL, "game/e_barrel/barrel.model"); }
void CG_RegisterProbe() { Generic(ET_PROBE, "game/e_probe/probe.model"); }

// ---- client-only effect kinds ----

void CG_RegisterMeteor() { Begin(ET_METEOR, DT_METEOR, Meteor_Think); }

void CG_RegisterGib() {
    Models(Begin(ET_GIB, DT_STATIC, Gib_Think), {"game/e_gib/gib.model", "game/e_gib/vanti_leg.model",
                                               "game/e_gib/vanti_arm.model", "game/e_gib/vanti_head.model"});
}

void CG_RegisterShell() { Generic(ET_SHELL, "game/w_minigun/shell.model", Shell_Think); }
void CG_RegisterGrenadeFlash() { Begin(ET_GRENADE_FLASH, DT_LIGHT, GrenadeFlash_Think); }
void CG_RegisterDirt() { Generic(ET_DIRT, "game/e_dirt/dirt.model", Dirt_Think); }

static void SmoothTrail(int32_t type, const char *material, cgThink_t think) {
    entityMedia_t &m = Begin(type, DT_SMOOTH_TRAIL, think);
    m.trailMaterial = CG_RegisterMaterial(material);
    m.trailSize = 0.05f;
}

void CG_RegisterSpark() { SmoothTrail(ET_SPARK, "game/c_materials/spark_static.material", Spark_Think); }
void CG_RegisterRainSpark() { SmoothTrail(ET_RAIN_SPARK, "game/c_materials/rain_spark.material", Spark_Rain_Think); }
void CG_RegisterImpactFlower() { Begin(ET_IMPACT_FLOWER, DT_FLOWER, ImpactFlower_Think); }

void CG_RegisterEntities() {
    static void (*const REGISTER[])() = {
        CG_RegisterPlayer,   CG_RegisterGrenade,       CG_RegisterBulletTrails, CG_RegisterItem,
        CG_RegisterCrystal,  CG_RegisterMushroom,      CG_RegisterDrone,        CG_RegisterStones,
        CG_RegisterCandyCanes, CG_RegisterFoamMushrooms, CG_RegisterBarrel,     CG_RegisterProbe,
        CG_RegisterMeteor,   CG_RegisterShell,         CG_RegisterGrenadeFlash, CG_RegisterDirt,
        CG_RegisterGib,      CG_RegisterSpark,         CG_RegisterRainSpark,    CG_RegisterImpactFlower,
    };
    constexpr int32_t steps = static_cast<int32_t>(sizeof REGISTER / sizeof REGISTER[0]);
    for (int32_t i = 0; i < steps; i++) {
        CG_MediaLoadingStep("Entities", i, steps);
        Trap_CL_SendKeepAlive();
        REGISTER[i]();
    }
    CG_MediaLoadingStep("Entities", steps, steps);
}
