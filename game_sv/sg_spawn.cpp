// Spawning: the ground below a point, random flat places, players' and crystals'
// start points, and the spawners that keep decorations, drones and items topped up.
#include <cstring>

#include "common/common.h"
#include "game/g_entity.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"
#include "game_sv/sg_services.h"

static constexpr float GROUND_SNAP = 0.1f;
static constexpr float SPACE_MARGIN = 10.0f;  // probes start this far above the space altitude
static constexpr int PLACE_TRIES = 5;
static constexpr int PLACE_MAX_TRIES = 16;    // while no ground is found at all
static constexpr float PLACE_WORST = -999999.9f;
static constexpr int FAR_PLACES = 4;
static constexpr float FAR_NONE = 99999.9f;
static constexpr float FAR_ENOUGH = 5.0f;     // clearance beyond this counts the same
static constexpr float PLAYER_FLATNESS = 0.6f;
static constexpr float PROP_FLATNESS = 0.7f;
static constexpr float ITEM_HEIGHT = 1.0f;
static constexpr int STATIC_TAGS = 64;        // numbered item tags per kind
static constexpr int32_t STATIC_DEFAULT_AMOUNT = 10;
static constexpr int CRYSTAL_TAGS = 10;       // "spawn_crystal0" .. "spawn_crystal9"
static constexpr float CRYSTAL_NOISE = 0.01f;

// The point near the centre that every ground probe of a ball world aims at: a
// little off the centre so that a ray never runs exactly along an axis.
static constexpr vec3_t BALL_CORE = {0.011f, -0.005f, 0.008f};

static const char *const ITEM_TAG_PREFIX[ITEM_KIND_COUNT] = {
    "item_life", "item_armor", "item_berserk", "item_minigun", "item_shotgun", "item_grengun", "item_railgun",
    "item_dirtgun"};

// Random item weights in kind order; their total is 9.55.
static constexpr float ITEM_WEIGHT[ITEM_KIND_COUNT] = {2.2f, 1.8f, 0.8f, 0.75f, 1.0f, 1.0f, 1.0f, 1.0f};


static bool Forge() { return sg.rules == RULES_FORGE; }

// ---- ground and places ----

float SG_GetGroundPosition(vec3_t out, const vec3_t point, float height) {
    vec3_t p, up, start, end;
    _VectorCopy(p, point);
    VectorSnap(p, GROUND_SNAP);
    _VectorCopy(up, G_GetUpVector(sg.flatGravity, p));
    if (sg.flatGravity) {
        _VectorCopy(start, p);
        _VectorAddMultiple(end, p, up, -(2.0f * sg.world.spaceBox[1] + 20.0f));
    } else {
        _VectorScale(start, SPACE_MARGIN + sg.world.spaceAltitude, up);
        _VectorCopy(end, BALL_CORE);
    }
    gameTrace_t tr;
    SG_RayTrace(&tr, start, end, nullptr, CONTENTS_WORLD, 0);
    if (tr.trace.fraction == 1.0f) {
        _VectorCopy(out, p);
        return 0;
    }
    _VectorAddMultiple(out, tr.trace.endpos, up, height);
    vec3_t normal;
    _VectorCopy(normal, tr.trace.plane);
    VectorNormalize(normal);
    return _DotProduct(up, normal);
}

// A random unit direction.
static void RandomDirection(vec3_t dir) {
    _VectorClear(dir);
    Trap_VectorAddNoise(dir, 1.0f);
    VectorNormalize(dir);
}

void SG_RandomNoneSteepSurfaceSpawn(vec3_t out, float height, float minFlatness, const float *center,
                                    float radius) {
    const bool flat = sg.flatGravity != 0;
    const float top = sg.world.spaceBox[1];
    if (center && VectorIsZero(center) && radius == 0) center = nullptr;
    if (flat) radius = _Min(radius, _Max(sg.world.spaceBox[0], sg.world.spaceBox[2]));

    vec3_t probe;
    if (center && radius == 0) {
        if (flat) {
            probe[0] = center[0];
            probe[1] = top + 1.0f;
            probe[2] = center[2];
        } else {
            _VectorCopy(probe, center);
            VectorNormalize(probe);
            _VectorScale(probe, SPACE_MARGIN + sg.world.spaceAltitude, probe);
        }
        SG_GetGroundPosition(out, probe, height);
        return;
    }

    float best = PLACE_WORST;
    vec3_t bestPlace = {0, 0, 0};
    int tries = PLACE_TRIES;
    for (int i = 0; i < tries; i++) {
        if (flat) {
            if (center) {
                probe[0] = center[0] + Trap_crand() * radius;
                probe[2] = center[2] + Trap_crand() * radius;
            } else {
                probe[0] = Trap_crand() * sg.world.spaceBox[0];
                probe[2] = Trap_crand() * sg.world.spaceBox[2];
            }
            probe[1] = top + 1.0f;
        } else {
            vec3_t dir;
            RandomDirection(dir);
            if (center) {
                _VectorAddMultiple(dir, center, dir, Trap_frand() * radius);
                VectorNormalize(dir);
            }
            _VectorScale(probe, SPACE_MARGIN + sg.world.spaceAltitude, dir);
        }
        vec3_t place;
        const float f = _Abs(SG_GetGroundPosition(place, probe, height));
        if (f >= minFlatness) {
            _VectorCopy(out, place);
            return;
        }
        if (f > best) {
            best = f;
            _VectorCopy(bestPlace, place);
        }
        if (i >= PLACE_TRIES - 2 && best == 0 && tries < PLACE_MAX_TRIES) tries++;
    }
    _VectorCopy(out, bestPlace);
}

// How far a place lies from the nearest entity of the mask, counted up to FAR_ENOUGH.
static float Clearance(const vec3_t place, uint32_t contentsMask) {
    float nearest = FAR_NONE;
    for (const sgEntity_t &e : sg.entities) {
        if (!e.s.inUse || !(e.contents & contentsMask)) continue;
        nearest = _Min(nearest, PointDistance(place, e.s.origin));
    }
    return _Min(nearest, FAR_ENOUGH);
}

void SG_RandomNoneSteepFarEntitySurfaceSpawn(vec3_t out, float height, float minFlatness, uint32_t contentsMask,
                                             const float *center, float radius) {
    float best = -1;
    for (int i = 0; i < FAR_PLACES; i++) {
        vec3_t place;
        SG_RandomNoneSteepSurfaceSpawn(place, height, minFlatness, center, radius);
        const float clearance = Clearance(place, contentsMask);
        if (i == 0 || clearance > best) {
            best = clearance;
            _VectorCopy(out, place);
        }
    }
}

// ---- start points ----

// The position of a team's crystal tag, or the default beside the centre with a warning.
static void TeamCrystalTag(vec3_t out, int32_t team, bool warn) {
    const char *name = team == TEAM_BLUE ? "spawn_blue_crystal" : "spawn_red_crystal";
    const worldTag_t *tag = SG_GetWorldTag(name);
    if (tag) {
        _VectorCopy(out, tag->pos);
        return;
    }
    out[0] = 0;
    out[1] = 0;
    out[2] = team == TEAM_BLUE ? 10.0f : -10.0f;
    if (warn) Com_Error(ER_WARNING, "Could not find %s using default", name);
}

void SG_GetPlayerSpawnPoint(vec3_t out, int32_t team) {
    vec3_t center;
    const float *c = nullptr;
    float radius = 0;
    if (sg.rules == RULES_CRYSTAL_ROUNDS) {
        _VectorCopy(center, team == TEAM_BLUE ? sg.world.spawnBluePos : sg.world.spawnRedPos);
        radius = team == TEAM_BLUE ? sg.world.spawnBlueRadius : sg.world.spawnRedRadius;
        c = center;
    } else if (sg.rules == RULES_CAPTURE_CRYSTAL) {
        TeamCrystalTag(center, team, true);
        radius = sg.world.ccSpawnRadius;
        c = center;
    }
    SG_RandomNoneSteepFarEntitySurfaceSpawn(out, 0, PLAYER_FLATNESS, MASK_SPAWN_CLEAR, c, radius);
    if (!sg.flatGravity && VectorLength(out) < sg.world.coreAltitude)
        Com_Error(ER_WARNING, "SG_GetPlayerSpawnPoint: spawn_pos length: %f", VectorLength(out));
}

bool SG_GetCrystalSpawnPoint(vec3_t out, int32_t team, uint8_t warn) {
    if (sg.rules == RULES_CAPTURE_CRYSTAL) {
        if (team != TEAM_BLUE && team != TEAM_RED) return false;
        TeamCrystalTag(out, team, warn != 0);
        return true;
    }
    if (sg.rules != RULES_CRYSTAL_ROUNDS) return false;
    const worldTag_t *tag = SG_GetWorldTag("spawn_crystal");
    if (!tag) {
        // Draw among the numbered tags only when one exists, so the draw ends.
        const worldTag_t *numbered[CRYSTAL_TAGS];
        int found = 0;
        for (int i = 0; i < CRYSTAL_TAGS; i++) {
            numbered[i] = SG_GetWorldTag(va("spawn_crystal%d", i));
            if (numbered[i]) found++;
        }
        if (!found) {
            // A map without crystal tags runs without a crystal: say so once, never end the server.
            if (warn && !sg.crystalTagWarned[0])
                Com_Error(ER_WARNING, "SG_GetCrystalSpawnPoint: Could not find crystal spawn point");
            if (warn) sg.crystalTagWarned[0] = 1;
            return false;
        }
        while (!tag) tag = numbered[Trap_rand() % CRYSTAL_TAGS];
    }
    _VectorCopy(out, tag->pos);
    Trap_VectorAddNoise(out, CRYSTAL_NOISE);
    return true;
}

// ---- spawners ----

// Randomly spawned entities in use of the kinds first .. first + variants - 1.
static int32_t CountRandom(int32_t first, int32_t variants) {
    int32_t n = 0;
    for (int32_t k = first; k < first + variants; k++) n += SG_CountEntityType(k, 1);
    return n;
}

// One decoration more while fewer than the world's count lie about (never in forge).
static bool DecorationWanted(int32_t first, int32_t variants, int32_t limit, vec3_t place) {
    if (Forge() || CountRandom(first, variants) >= limit) return false;
    SG_RandomNoneSteepSurfaceSpawn(place, 0, PROP_FLATNESS, nullptr, 0);
    return true;
}

void SG_SpawnMushroom() {
    vec3_t p;
    if (DecorationWanted(ET_MUSHROOM, 1, sg.world.numMushrooms, p)) SG_CreateMushroom(p, 1);
}

void SG_SpawnStone() {
    vec3_t p;
    if (DecorationWanted(ET_STONE1, 3, sg.world.numStones, p)) SG_CreateStone(p, ET_STONE1 + Trap_rand() % 3, 1);
}

void SG_SpawnCandyCane() {
    vec3_t p;
    if (DecorationWanted(ET_CANDYCANE1, 2, sg.world.numCandyCanes, p))
        SG_CreateCandyCane(p, ET_CANDYCANE1 + Trap_rand() % 2, 1);
}

void SG_SpawnFoamMush() {
    vec3_t p;
    if (DecorationWanted(ET_FOAMMUSH1, 2, sg.world.numFoamMushes, p))
        SG_CreateFoamMush(p, ET_FOAMMUSH1 + Trap_rand() % 2, 1);
}

void SG_SpawnBarrel() {
    vec3_t p;
    if (DecorationWanted(ET_BARREL, 1, sg.world.numBarrels, p)) SG_CreateBarrel(p, 1);
}

void SG_SpawnProbe() {
    vec3_t p;
    if (DecorationWanted(ET_PROBE, 1, sg.world.numProbes, p)) SG_CreateProbe(p, 1);
}

void SG_SpawnSlime() {}

static bool TeamHasDrone(int32_t team) {
    for (const sgEntity_t &e : sg.entities)
        if (e.s.inUse && e.s.type == ET_DRONE && e.team == team) return true;
    return false;
}

void SG_SpawnDrone() {
    if (sg.rules != RULES_CRYSTAL_ROUNDS && sg.rules != RULES_CAPTURE_CRYSTAL) return;
    static const char *const TAG[2] = {"spawn_blue_drone", "spawn_red_drone"};
    for (int32_t team = TEAM_BLUE; team <= TEAM_RED; team++) {
        if (TeamHasDrone(team)) continue;
        const worldTag_t *tag = SG_GetWorldTag(TAG[team]);
        if (tag) SG_CreateDrone(tag->pos, team);
    }
}

// Berserk items lying in the world plus playing clients with berserk left.
static int32_t BerserkInPlay() {
    int32_t n = 0;
    for (const sgEntity_t &e : sg.entities)
        if (e.s.inUse && e.s.type == ET_ITEM && e.itemKind == IT_BERSERK) n++;
    for (const sgClient_t &c : sgs.clients)
        if (c.inUse && c.cs.moveType == CS_PLAYING && c.cs.berserk > 0) n++;
    return n;
}

// The kind of a random item for a draw r in 0..1; a draw above the last bound is kind 7.
int32_t SG_RandomItemKind(float r) {
    float total = 0;
    for (float w : ITEM_WEIGHT) total += w;
    float bound = 0;
    for (int32_t k = 0; k < ITEM_KIND_COUNT; k++) {
        bound += ITEM_WEIGHT[k] / total;
        if (bound >= r) return k;
    }
    return IT_AMMO_DIRTGUN;
}

// Whether the world lets an item of this kind appear now.
static bool ItemAllowed(int32_t kind) {
    switch (kind) {
    case IT_LIFE: return !sg.world.itemSkipLife;
    case IT_ARMOR: return !sg.world.itemSkipArmor;
    case IT_BERSERK:
        return !sg.world.itemSkipBerserk && !(sg.world.itemBerserkMax > 0 && BerserkInPlay() >= sg.world.itemBerserkMax);
    default:
        if (kind == IT_AMMO_DIRTGUN && sg_subGive.integer) return false;
        return !sg.world.weapons[kind - 2].skipItem;
    }
}

void SG_SpawnRandomItem() {
    if (sg_skipRandomItems.integer || Forge()) return;
    const int32_t now = SG_Now();
    if (SG_Since(sg.lastRandomItem) < sg.world.itemSpawnTime) return;
    sg.lastRandomItem = now;
    const int32_t n = SG_CountEntityType(ET_ITEM, 1);
    if (sg_debugSpawnItmes.integer)
        Com_Printf("SG_SpawnRandomItem: itmes %d > max itmes %d\n", n, sg.world.maxItems);
    if (n >= sg.world.maxItems) return;
    const float r = Trap_frand();
    const int32_t kind = SG_RandomItemKind(r);
    if (sg_debugSpawnItmes.integer) Com_Printf("SG_SpawnRandomItem: totalt weight: %.2f r: %.2f i: %d\n", 9.55, r, kind);
    if (!ItemAllowed(kind)) return;
    vec3_t place;
    const vec3_t still = {0, 0, 0};
    SG_RandomNoneSteepFarEntitySurfaceSpawn(place, ITEM_HEIGHT, PROP_FLATNESS, MASK_ALL, nullptr, 0);
    SG_CreateItem(place, still, kind, 0, nullptr, 1);
}

// The item lying on a tag, or null once it was taken or its slot reused.
static bool TagItemLies(const worldTag_t *tag) {
    const sgEntity_t *e = tag->item;
    return e && e->s.inUse && e->s.type == ET_ITEM && e->spawner == tag;
}

void SG_SpawnStaticItem() {
    if (Forge()) return;
    const int32_t now = SG_Now();
    const vec3_t still = {0, 0, 0};
    for (int32_t kind = 0; kind < ITEM_KIND_COUNT; kind++) {
        if (sg_skipStaticItems.integer) return;
        for (int n = 0; n < STATIC_TAGS; n++) {
            const worldTag_t *found = SG_GetWorldTag(va("%s%d", ITEM_TAG_PREFIX[kind], n));
            if (!found) continue;
            worldTag_t *tag = &sg.world.tags[found - sg.world.tags];
            if (TagItemLies(tag)) continue;
            const float every = tag->params[1];  // seconds between spawns; 0 or less: once
            if (tag->spawned && (every <= 0 || SG_Since(tag->lastSpawn) < static_cast<double>(every) * 1000.0)) continue;
            const double a = tag->params[0];
            const int32_t amount = a == 0 ? STATIC_DEFAULT_AMOUNT : Com_ClampToInt(a < 0 ? a - 0.5 : a + 0.5);
            tag->item = SG_CreateItem(tag->pos, still, kind, amount, tag, 0);
            tag->lastSpawn = now;
            tag->spawned = 1;
            if (sg_debugSpawnItmes.integer) Com_Printf("SG_SpawnStaticItem_itr: CREATED %d\n", kind);
        }
    }
}
