// The world script (".world"): the world file, its look, rules, geometry,
// materials, tags and weapon settings; and the world info string built from it.
//
// Tokens come from the common tokenizer with braces as words of their own.
// Top-level keys are read across line ends; a key's values stand on its own line,
// a missing value reading as an empty word (0 for numbers).
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"

namespace {

constexpr int32_t BERSERK_MAX_MS = 200000;
constexpr int32_t SPARK_RAIN_MIN = 10;
// The engine adds its own keys to the world info string: leave it room.
constexpr int WORLD_INFO_LIMIT = MAX_INFO_STRING - 200;

constexpr const char *WEAPON_BLOCKS[SG_WORLD_WEAPONS] = {"meelgun", "minigun", "shotgun",
                                                          "grengun", "railgun", "dirtgun"};

struct parser_t {
    const char *path;
    const char *start;   // the whole text, for line numbers
    const char *cursor;
};

int Line(const parser_t &p) { return Com_GetLineNumber(p.start, p.cursor); }

// The next word, across line ends.
const char *Next(parser_t &p) { return Com_ParseCurly(&p.cursor, true); }
// The next word on the current line; empty at its end.
const char *Value(parser_t &p) { return Com_ParseCurly(&p.cursor, false); }
int32_t IntValue(parser_t &p) { return Com_atoi(Value(p)); }
float FloatValue(parser_t &p) { return Com_atof(Value(p)); }
void VecValue(parser_t &p, float *out, int count) {
    for (int i = 0; i < count; i++) out[i] = FloatValue(p);
}
void TextValue(parser_t &p, char *out, int size) { Com_strncpyz(out, Value(p), size); }
void SkipLine(parser_t &p) {
    while (Value(p)[0]) {
    }
}

bool Fail(const parser_t &p, const char *text) {
    Com_Error(ER_ERROR, "\"%s\"(%d): %s", p.path, Line(p), text);
    return false;
}

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

bool ParseMaterials(parser_t &p, sgWorld_t &w) {
    if (Com_strcmp(Next(p), "{")) return Fail(p, "Expected { not found after worldMaterials");
    for (;;) {
        char word[SG_PATH_SIZE];
        Com_strncpyz(word, Next(p), sizeof word);
        if (!word[0]) return Fail(p, "File ended without closing worldMaterials with }");
        if (!Com_strcmp(word, "}")) return true;
        const int32_t n = Com_atoi(word);
        if (n < 0 || n >= WORLD_MATERIALS) return Fail(p, "worldMaterials num must be in range 0 to 255");
        char file[SG_PATH_SIZE];
        TextValue(p, file, sizeof file);
        void *text = nullptr;
        if (Trap_ReadFile(file, &text) < 0 || !text) return Fail(p, va("Could not open file \"%s\"", file));
        const int ok = G_ParseWorldMaterial(&w.materials[n], static_cast<const char *>(text), file, 0);
        Trap_FreeFile(text);
        if (!ok) return Fail(p, va("Could not parse material file \"%s\"", file));
    }
}

bool ParseTags(parser_t &p, sgWorld_t &w) {
    if (Com_strcmp(Next(p), "{")) return Fail(p, "Expected { not found after worldTags");
    for (;;) {
        char name[SG_TEXT_SIZE];
        Com_strncpyz(name, Next(p), sizeof name);
        if (!name[0]) return Fail(p, "File ended without closing worldTags with }");
        if (!Com_strcmp(name, "}")) return true;
        if (w.numTags >= SG_MAX_WORLD_TAGS) return Fail(p, va("Max %d world tags", SG_MAX_WORLD_TAGS));
        if (strlen(name) >= SG_TAG_NAME_SIZE) return Fail(p, va("WorldTags can max be %d chars", SG_TAG_NAME_SIZE - 1));
        if (SG_GetWorldTag(name)) return Fail(p, va("worldTag \"%s\" already taken", name));
        worldTag_t &tag = w.tags[w.numTags++];
        Com_strncpyz(tag.name, name, sizeof tag.name);
        tag.hash = Com_GetNoobHash(tag.name);
        VecValue(p, tag.pos, 3);
        VecValue(p, tag.params, 6);
    }
}

bool ParseWeaponBlock(parser_t &p, int weapon) {
    sgWeaponSettings_t &ws = sg.world.weapons[weapon];
    const weaponClass_t *wc = G_WeaponClass(weapon);
    const int32_t maxReserve = wc ? wc->maxReserve : 0;
    const int32_t maxTick = weapon == WP_DIRTGUN ? (wc ? wc->clipSize : 0) : maxReserve;
    if (Com_strcmp(Next(p), "{")) return Fail(p, "Expected { not found after mini/shot/gren/rail/dirt-gun");
    for (;;) {
        char key[SG_PATH_SIZE];
        Com_strncpyz(key, Next(p), sizeof key);
        if (!key[0]) return Fail(p, "File ended without closing with }");
        if (!Com_strcmp(key, "}")) {
            ws.present = 1;
            return true;
        }
        if (!Com_strcmp(key, "spawnAmmoMag")) {
            ws.spawnAmmoMag = IntValue(p);
            ws.spawnAmmoMagGiven = 1;
        } else if (!Com_strcmp(key, "spawnAmmoTotal")) {
            ws.spawnAmmoTotal = IntValue(p);
            ws.spawnAmmoTotalGiven = 1;
        } else if (!Com_strcmp(key, "spawnWeapon")) {
            ws.spawnWeapon = 1;
        } else if (!Com_strcmp(key, "itemAmmo")) {
            ws.itemAmmo = Clamp(IntValue(p), 0, maxReserve);
            ws.itemAmmoGiven = 1;
        } else if (!Com_strcmp(key, "tickRate")) {
            ws.tickRate = IntValue(p);
        } else if (!Com_strcmp(key, "tickMax")) {
            ws.tickMax = Clamp(IntValue(p), 0, maxTick);
        } else if (!Com_strcmp(key, "skipItem")) {
            ws.skipItem = 1;
        }
    }
}

void SetDefaults(sgWorld_t &w) {
    w.rules = RULES_CRYSTAL_ROUNDS;
    w.maxPlayers = 8;
    w.spaceAltitude = 80.0f;
    w.coreAltitude = 5.0f;
    w.spectatorAngles[1] = 90.0f;
    w.maxItems = 4;
    w.itemSpawnTime = 1000;
    w.skyAnglesSpeed[0] = 1.0f;
    w.ccSpawnRadius = 14.0f;
    w.musicVolume = 1.0f;
    w.itemLifeAmount = 50;
    w.itemArmorAmount = 75;
    w.itemBerserkAmount = 20000;
    for (worldMaterial_t &m : w.materials) G_SetWorldMaterialDefaults(&m);
}

// One top-level key.  False when the parse must stop.
bool ParseKey(parser_t &p, const char *key, sgWorld_t &w) {
    auto is = [key](const char *name) { return !Com_strcmp(key, name); };
    if (is("worldMaterials")) {
        const bool ok = ParseMaterials(p, w);
        // A dedicated server has no client game to show what the material files' parse
        // saved off: show it here, loaded or not, so the store is emptied too.
        Com_Error(ER_SHOWSAVEOFF, "%s", "");
        return ok;
    }
    if (is("worldTags")) return ParseTags(p, w);
    if (is("serverActions") || is("clientActions")) return true;
    for (int i = 0; i < SG_WORLD_WEAPONS; i++)
        if (is(WEAPON_BLOCKS[i])) return ParseWeaponBlock(p, i);
    if (is("matter")) TextValue(p, w.matter, sizeof w.matter);
    else if (is("name")) TextValue(p, w.name, sizeof w.name);
    else if (is("skyBox")) TextValue(p, w.skyBox, sizeof w.skyBox);
    else if (is("rules")) {
        const char *value = Value(p);
        w.rules = G_GetRules(value);
    } else if (is("maxPlayers")) w.maxPlayers = IntValue(p);
    else if (is("spaceAltitude")) w.spaceAltitude = FloatValue(p);
    else if (is("coreAltitude")) w.coreAltitude = FloatValue(p);
    else if (is("spaceBox")) VecValue(p, w.spaceBox, 3);
    else if (is("loadingImage")) TextValue(p, w.loadingImage, sizeof w.loadingImage);
    else if (is("description") || is("loadingMiniImage")) SkipLine(p);
    else if (is("spectatorPos")) VecValue(p, w.spectatorPos, 3);
    else if (is("spectatorAngles")) VecValue(p, w.spectatorAngles, 3);
    else if (is("maxItems")) w.maxItems = IntValue(p);
    else if (is("itemSpawnTime")) w.itemSpawnTime = IntValue(p);
    else if (is("numMushrooms")) w.numMushrooms = IntValue(p);
    else if (is("numStones")) w.numStones = IntValue(p);
    else if (is("numCandyCanes")) w.numCandyCanes = IntValue(p);
    else if (is("numFoamMushes")) w.numFoamMushes = IntValue(p);
    else if (is("numProbes")) w.numProbes = IntValue(p);
    else if (is("numBarrels")) w.numBarrels = IntValue(p);
    else if (is("skyAnglesSpeed")) VecValue(p, w.skyAnglesSpeed, 3);
    else if (is("blueTeamWM")) w.blueTeamWM = IntValue(p);
    else if (is("redTeamWM")) w.redTeamWM = IntValue(p);
    else if (is("crSpawnBluePos") || is("spawnBluePos")) VecValue(p, w.spawnBluePos, 3);
    else if (is("crSpawnRedPos") || is("spawnRedPos")) VecValue(p, w.spawnRedPos, 3);
    else if (is("crSpawnBlueRadius") || is("spawnBlueRadius")) w.spawnBlueRadius = FloatValue(p);
    else if (is("crSpawnRedRadius") || is("spawnRedRadius")) w.spawnRedRadius = FloatValue(p);
    else if (is("ccSpawnRadius")) w.ccSpawnRadius = FloatValue(p);
    else if (is("crZoneBluePos")) VecValue(p, w.zoneBluePos, 3);
    else if (is("crZoneRedPos")) VecValue(p, w.zoneRedPos, 3);
    else if (is("crZoneBlueRadius")) w.zoneBlueRadius = FloatValue(p);
    else if (is("crZoneRedRadius")) w.zoneRedRadius = FloatValue(p);
    else if (is("fogColor")) VecValue(p, w.fogColor, 4);
    else if (is("fogRadius")) w.fogRadius = FloatValue(p);
    else if (is("fogSight")) w.fogSight = FloatValue(p);
    else if (is("fogLod")) TextValue(p, w.fogLod, sizeof w.fogLod);
    else if (is("musicPath")) TextValue(p, w.musicPath, sizeof w.musicPath);
    else if (is("musicVolume")) {
        w.musicVolume = FloatValue(p);
        if (w.musicVolume > 1.0f) w.musicVolume = 1.0f;
    } else if (is("itemLifeAmount")) w.itemLifeAmount = IntValue(p);
    else if (is("itemArmorAmount")) w.itemArmorAmount = IntValue(p);
    else if (is("itemBerserkAmount")) {
        // Seconds in the file; the product is taken in 64 bits so that a huge number cannot wrap.
        const int64_t ms = static_cast<int64_t>(IntValue(p)) * 1000;
        w.itemBerserkAmount = static_cast<int32_t>(ms > BERSERK_MAX_MS ? BERSERK_MAX_MS : (ms < 0 ? 0 : ms));
    } else if (is("spark_rain_interval")) {
        w.sparkRainInterval = IntValue(p);
        if (w.sparkRainInterval != 0 && w.sparkRainInterval < SPARK_RAIN_MIN) w.sparkRainInterval = SPARK_RAIN_MIN;
    } else if (is("deathFloor")) {
        w.deathFloor = 1;
        w.deathFloorHeight = FloatValue(p);
    } else if (is("linearGravity")) w.linearGravity = 1;
    else if (is("itemSkipLife")) w.itemSkipLife = 1;
    else if (is("itemSkipArmor")) w.itemSkipArmor = 1;
    else if (is("itemSkipBerserk")) w.itemSkipBerserk = 1;
    else if (is("itemBerserkMax")) w.itemBerserkMax = IntValue(p);
    else if (is("}")) return Fail(p, "Bad closing bracket");
    else Com_Error(ER_ERROR, "\"%s\"(%d): Unknown token \"%s\"", p.path, Line(p), key);
    return true;
}

// Adds an entry unless the text would pass the limit; once full, nothing more is
// added.  `lost` is set when an entry is left out.
void AddBounded(char *is, const char *key, const char *value, bool &full, bool &lost) {
    if (full) return;
    const size_t entry = strlen(key) + strlen(value) + INFO_ENTRY_OVERHEAD;
    if (strlen(is) + entry > static_cast<size_t>(WORLD_INFO_LIMIT)) {
        full = lost = true;
        return;
    }
    if (!Com_IS_AddKey(is, key, value)) lost = true;  // a value holding '"' or ';'
}

}  // namespace

bool SG_ParseWorldScript(const char *path) {
    void *buffer = nullptr;
    if (Trap_ReadFile(path, &buffer) < 0 || !buffer) {
        Com_Error(ER_ERROR, "G_ParseWorldScript: Could not open file \"%s\"", path);
        return false;
    }
    sgWorld_t &w = sg.world;
    memset(&w, 0, sizeof w);
    Com_strncpyz(w.path, path, sizeof w.path);
    SetDefaults(w);

    parser_t p{w.path, static_cast<const char *>(buffer), static_cast<const char *>(buffer)};
    bool ok = true;
    for (;;) {
        char key[SG_TEXT_SIZE];
        Com_strncpyz(key, Next(p), sizeof key);
        if (!key[0]) break;
        if (!ParseKey(p, key, w)) {
            ok = false;
            break;
        }
    }
    Trap_FreeFile(buffer);
    if (!ok) return false;

    if (VectorIsZero(w.spectatorPos)) w.spectatorPos[0] = w.spaceAltitude + 4.0f;
    // The tags' frames depend on the gravity kind, which may be given after them.
    for (int i = 0; i < w.numTags; i++)
        G_CreateEllipticAxis(w.linearGravity, w.tags[i].ellipticAxis, w.tags[i].pos);
    return true;
}

const worldTag_t *SG_GetWorldTag(const char *name) {
    if (!name) return nullptr;
    const uint32_t hash = Com_GetNoobHash(name);
    for (int i = 0; i < sg.world.numTags; i++) {
        const worldTag_t &t = sg.world.tags[i];
        if (t.hash == hash && !Com_strcmp(t.name, name)) return &t;
    }
    return nullptr;
}

void SG_WorldThink() {
    SG_SpawnRandomItem();
    SG_SpawnMushroom();
    SG_SpawnStone();
    SG_SpawnCandyCane();
    SG_SpawnFoamMush();
    SG_SpawnBarrel();
    SG_SpawnProbe();
    SG_SpawnDrone();
    SG_SpawnStaticItem();
}

void SG_InitWorld() {}

void SG_UpdateWorldInfoString(char *buffer, const sgWorld_t *world) {
    char is[MAX_INFO_STRING];
    Com_IS_ClearAllKeys(is);
    bool full = false, lost = false;
    auto add = [&](const char *key, const char *value) { AddBounded(is, key, value, full, lost); };
    add("path", world->path);
    add("name", world->name);
    add("sky_path", world->skyBox);
    add("sky_speed", Com_PutVec(world->skyAnglesSpeed));
    add("image_path", world->loadingImage);
    add("spec_pos", Com_PutVec(world->spectatorPos));
    add("space_alt", Com_PutFloat(world->spaceAltitude));
    add("core_alt", Com_PutFloat(world->coreAltitude));
    add("space_box", Com_PutVec(world->spaceBox));
    add("fog_color", Com_PutVec(world->fogColor));
    add("fog_radius", Com_PutFloat(world->fogRadius));
    add("fog_sight", Com_PutFloat(world->fogSight));
    add("fog_lod_path", world->fogLod);
    add("music_path", world->musicPath);
    add("music_volume", Com_PutFloat(world->musicVolume));
    add("spark_rain", Com_PutLong(world->sparkRainInterval));
    add("linear_gravity", Com_PutLong(world->linearGravity ? 1 : 0));
    if (const worldTag_t *meteor = SG_GetWorldTag("meteor_rain_dir")) add("meteor_dir", Com_PutVec(meteor->pos));
    for (int i = 0; i < WORLD_MATERIALS; i++)
        if (world->materials[i].name[0]) add(va("wm%d", i), world->materials[i].file);
    // Built every frame; a loss is reported when the text changes, not in every frame.
    if (Com_strcmp(buffer, is)) {
        Com_strncpyz(buffer, is, MAX_INFO_STRING);
        if (lost) Com_Error(ER_WARNING, "SG_UpdateWorldInfoString: world info string full, entries left out");
    }
    Trap_SV_UploadWorldInfoString(buffer);
}
