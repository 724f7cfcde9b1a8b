// Entity kinds that move or are picked up: grenades, drones, items and the crystal.
#include <algorithm>
#include <cstring>

#include "common/common.h"
#include "game/g_entity.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game/g_weapon.h"
#include "game_sv/sg_local.h"
#include "game_sv/sg_services.h"

static constexpr int32_t GRENADE_FUSE_MS = 10000;
static constexpr float GRENADE_GRAVITY = 10.0f;
static constexpr float GRENADE_DRAG = 6.0f;
static constexpr float GRENADE_DAMAGE = 65.0f;
static constexpr float GRENADE_WORLD_RADIUS = 2.2f;
static constexpr float GRENADE_EVENT_LIFT = 0.75f;
static constexpr float DRONE_HEIGHT = 8.0f;
static constexpr float DRONE_LIFT = 1.5f;
static constexpr float DRONE_MAX_SPEED = 3.0f;
static constexpr float DRONE_DAMPING = 0.035f;
static constexpr float PHYS_GRAVITY = 9.0f;
static constexpr int DRONE_REST_WORD = 0;  // per-kind word of a drone: 1 once it came to rest
static constexpr float ITEM_PHYS_RADIUS = 0.4f;
static constexpr float CRYSTAL_PHYS_RADIUS = 0.1f;
static constexpr float CRYSTAL_MAX_SPEED = 10.0f;
static constexpr int32_t ITEM_AMOUNT_BOUND = 1 << 20;

// Explosion surfaces and their event entities (43 air .. 46 flesh).
enum explodeSurface_t : int32_t { EXPLODE_AIR = 0, EXPLODE_DIRT = 1, EXPLODE_METAL = 2, EXPLODE_FLESH = 3 };
static constexpr int32_t EV_EXPLODE_FIRST = 43;
static const char *const EXPLODE_NAME[4] = {"AIR", "DIRT", "METAL", "FLESH"};

// Announcements of the crystal.
enum crystalAnnounce_t : int32_t { AN_BLUE_LEADS = 38, AN_RED_LEADS = 39, AN_ENEMY_HAS = 43, AN_WE_HAVE = 47 };

// Pick-up client events, by item kind (29 life .. 36 dirt gun ammunition).
static constexpr uint32_t CE_PICKUP_FIRST = 29;


// The connected client of an entity's owner number, or null.
static sgClient_t *OwnerClient(const sgEntity_t *e) { return SG_ConnectedClient(e->s.owner); }

// ---- grenade ----

static void Grenade_ThinkSG(sgEntity_t *self);

sgEntity_t *SG_CreateGrenade(const vec3_t origin, const vec3_t direction, float speed, sgClient_t *owner) {
    sgEntity_t *e = SG_CreateEntity(ET_GRENADE);
    if (!e) return nullptr;  // no entity to be had: no server runs
    e->className = "Grenade";
    e->thinkSG = Grenade_ThinkSG;
    e->s.owner = owner ? owner->number : -1;
    _VectorCopy(e->s.origin, origin);
    _VectorScale(e->velocity, speed, direction);
    e->r.visOffset = 0;
    e->r.visRadius = 0.3f;
    if (owner && owner->cs.berserk) e->kindByte = 1;
    // The model byte, the owner's team, picks the trail colour.
    e->modelByte = owner ? owner->cs.team : 0;
    e->s.team = e->modelByte;
    SG_FinishEntity(e);
    return e;
}

void SG_Explode(sgEntity_t *grenade, const vec3_t n, int32_t surface) {
    vec3_t at;
    _VectorAddMultiple(at, grenade->s.origin, n, GRENADE_EVENT_LIFT);
    SG_CreateEventEntity(EV_EXPLODE_FIRST + surface, at, n);
    if (sg_printExplosion.integer)
        Com_Printf("Explode: %d %d %s\n", grenade->number, qgame.frameCount, EXPLODE_NAME[surface]);
    float damage = GRENADE_DAMAGE;
    if (grenade->kindByte) damage *= sg_berserkFactor.value;
    vec3_t center;
    _VectorCopy(center, grenade->s.origin);
    SG_SplatterDamage(center, damage, OwnerClient(grenade), nullptr, CONTENTS_PLAYER, 0);
    SG_DamageMatter(center, GRENADE_WORLD_RADIUS, Com_ClampToInt(damage * sg_worldDamage.value));
}

static void Grenade_ThinkSG(sgEntity_t *self) {
    const float dt = qgame.frameSeconds;
    if (SG_Since(self->s.spawnTime) > GRENADE_FUSE_MS) {
        vec3_t up;
        _VectorCopy(up, self->s.origin);
        VectorNormalize(up);
        SG_Explode(self, up, EXPLODE_AIR);
        SG_DeleteEntity(self);
        return;
    }
    _VectorAddMultiple(self->velocity, self->velocity, G_GetUpVector(sg.flatGravity, self->s.origin),
                       -GRENADE_GRAVITY * dt);
    const float speed = _Max(VectorLength(self->velocity) - GRENADE_DRAG * dt, 0.0f);
    VectorNormalize(self->velocity);
    _VectorScale(self->velocity, speed, self->velocity);

    vec3_t end;
    _VectorAddMultiple(end, self->s.origin, self->velocity, dt);
    const sgClient_t *owner = OwnerClient(self);
    gameTrace_t tr;
    SG_RayTrace(&tr, self->s.origin, end, owner ? owner->entity : nullptr, MASK_ALL, 0);
    if (tr.trace.fraction >= 1.0f) {
        _VectorCopy(self->s.origin, tr.trace.endpos);
        return;
    }
    vec3_t n;
    _VectorCopy(n, tr.trace.plane);
    VectorNormalize(n);
    const sgEntity_t *hit = static_cast<const sgEntity_t *>(tr.entity);
    const int32_t surface = !hit ? EXPLODE_DIRT : hit->s.type == ET_PLAYER ? EXPLODE_FLESH : EXPLODE_METAL;
    SG_Explode(self, n, surface);
    SG_DeleteEntity(self);
}

void SG_ClearEntityOwner(const sgClient_t *client) {
    for (sgEntity_t &e : sg.entities)
        if (e.s.inUse && e.s.owner == client->number && e.number >= SG_FIRST_FREE_ENTITY) e.s.owner = -1;
}

// ---- drone ----

static void Drone_ThinkSG(sgEntity_t *self);

sgEntity_t *SG_CreateDrone(const vec3_t position, int32_t team) {
    vec3_t at;
    SG_GetGroundPosition(at, position, 6.0f);
    sgEntity_t *e = SG_CreateEntity(ET_DRONE);
    if (!e) return nullptr;  // no entity to be had: no server runs
    e->className = "Drone";
    e->thinkSG = Drone_ThinkSG;
    e->kind = ET_DRONE;
    e->contents = CONTENTS_DRONE;
    e->hasHitBox = 1;
    e->boxFlag = 1;
    e->hitHalfSize[0] = e->hitHalfSize[1] = e->hitHalfSize[2] = 0.75f;
    e->team = team;
    _VectorCopy(e->s.origin, at);
    SG_FinishEntity(e);
    return e;
}

static void Drone_ThinkSG(sgEntity_t *self) {
    const float dt = qgame.frameSeconds;
    self->modelByte = static_cast<uint8_t>(self->team);
    self->s.team = self->team;
    vec3_t ground;
    SG_GetGroundPosition(ground, self->s.origin, 0);
    const float h = PointDistance(ground, self->s.origin);
    float v = self->verticalSpeed;
    if (h >= DRONE_HEIGHT)
        v = _Max(v - DRONE_LIFT * dt, -DRONE_MAX_SPEED);
    else
        v = _Min(v + DRONE_LIFT * dt, DRONE_MAX_SPEED);
    const float size = _Abs(v) - DRONE_DAMPING * dt;
    if (size <= 0) {
        self->verticalSpeed = 0;
        self->words[DRONE_REST_WORD] = 1;  // read by nothing: kept for the record
        return;
    }
    v = v < 0 ? -size : size;
    self->verticalSpeed = v;
    _VectorAddMultiple(self->s.origin, self->s.origin, G_GetUpVector(sg.flatGravity, self->s.origin), v * dt);
}

// ---- items ----

static void Item_ThinkSG(sgEntity_t *self) { SG_EntityPhys(self, ITEM_PHYS_RADIUS, PHYS_GRAVITY); }
static void Item_ThinkTouch(sgEntity_t *self, sgEntity_t *toucher);

// The weapon an ammunition item belongs to (kinds 3-7 give weapons 1-5).
static int32_t ItemWeapon(int32_t kind) { return kind - 2; }

// Rounds in an ammunition item when neither the creator nor the world says.
static constexpr int32_t DEFAULT_AMMO[ITEM_KIND_COUNT] = {0, 0, 0, 80, 20, 16, 16, 20};

sgEntity_t *SG_CreateItem(const vec3_t position, const vec3_t velocity, int32_t kind, int32_t amount,
                          worldTag_t *spawner, uint8_t randomSpawned) {
    if (kind < 0 || kind >= ITEM_KIND_COUNT) {
        Com_Error(ER_WARNING, "SG_CreateItem: Unknown item %d", kind);
        return nullptr;
    }
    const bool ammo = kind >= IT_AMMO_MINIGUN;
    if (ammo && !sg.world.weapons[ItemWeapon(kind)].present) return nullptr;

    sgEntity_t *e = SG_CreateEntity(ET_ITEM);

    if (!e) return nullptr;  // no entity to be had: no server runs
    e->className = "Item";
    e->thinkSG = Item_ThinkSG;
    e->thinkTouch = Item_ThinkTouch;
    e->kind = ET_ITEM;
    e->contents = CONTENTS_ITEM;
    e->hasHitBox = 1;
    e->boxFlag = 1;
    _VectorCopy(e->s.origin, position);
    _VectorCopy(e->velocity, velocity);
    e->modelByte = static_cast<uint8_t>(kind);
    e->s.team = kind;
    e->itemKind = kind;
    e->boxOffset = ammo ? 0.13f : 0.33f;
    e->hitOffset[1] = e->boxOffset;
    e->hitHalfSize[0] = e->hitHalfSize[2] = 0.4f;
    e->hitHalfSize[1] = ammo ? 0.26f : 0.35f;
    e->r.visOffset = 0;
    e->r.visRadius = 1.0f;

    if (!amount) {
        switch (kind) {
        case IT_LIFE: amount = sg.world.itemLifeAmount; break;
        case IT_ARMOR: amount = sg.world.itemArmorAmount; break;
        case IT_BERSERK: amount = 0; break;
        default: {
            const sgWeaponSettings_t &ws = sg.world.weapons[ItemWeapon(kind)];
            amount = ws.itemAmmoGiven ? ws.itemAmmo : DEFAULT_AMMO[kind];
        }
        }
    }
    // A tag's amount may be any int; bounded here, the pick-up sums stay far from overflow
    // and still exceed every cap (the widest field is 16 bits).
    e->itemAmount = std::clamp(amount, -ITEM_AMOUNT_BOUND, ITEM_AMOUNT_BOUND);
    e->randomSpawned = randomSpawned ? 1 : 0;
    if (spawner) {
        e->spawner = spawner;
        spawner->item = e;
    }
    SG_FinishEntity(e);
    return e;
}

// Berserk from an item: amount 0 renews the world's full time, an amount in seconds
// adds to what is left; no pick-up makes it last longer than the full time from now.
void SG_GiveBerserk(sgClient_t *client, int32_t amount) {
    const int64_t full = sg.world.itemBerserkAmount;
    const int64_t left = std::max<int64_t>(std::min<int64_t>(full, full - SG_Since(client->berserk.berserkStart)), 0);
    // What is left after the pick-up, in ms, is kept between none and the full
    // time; the start lies that much before the full time ends.
    int64_t after = amount ? left + static_cast<int64_t>(amount) * 1000 : full;
    if (after > full) after = full;
    if (after < 0) after = 0;
    client->berserk.berserkStart = SG_Later(static_cast<int32_t>(after - full));
}

// Ammunition from an item: a weapon not yet owned is given with a clip of the
// rounds (the rest in reserve); else the rounds go to the reserve.  True when given.
static bool GiveAmmunition(sgClient_t *client, int32_t w, int32_t amount) {
    clientState_t &cs = client->cs;
    const weaponClass_t *wc = G_WeaponClass(w);
    if (!(cs.ownedWeapons & (1u << w))) {
        cs.ownedWeapons |= static_cast<uint8_t>(1u << w);
        if (w == WP_DIRTGUN) {
            cs.clip[w] = SG_ClampByte(amount);
            cs.reserve[w] = 0;
        } else {
            cs.clip[w] = SG_ClampByte(std::min(amount, wc->clipSize));
            cs.reserve[w] = SG_ClampShort(std::max(amount - wc->clipSize, 0));
        }
        SG_ClientPrintf(client, "cg_print_center \"Picked up \xA4" "08%s\xA4" "00\"", wc->shortName);
        return true;
    }
    // The caps come after the pick-up (PickUpCaps).
    if (w == WP_DIRTGUN)
        cs.clip[w] = SG_ClampByte(cs.clip[w] + amount);
    else
        cs.reserve[w] = SG_ClampShort(cs.reserve[w] + amount);
    static const char *const ROUNDS[WEAPON_COUNT] = {"", "Bullets", "Shells", "Grenades", "Rails", "DirtAmmo", ""};
    SG_ClientPrintf(client, "cg_print_center \"Picked up \xA4" "08%d %s\xA4" "00\"", amount, ROUNDS[w]);
    return false;
}

// After every pick-up: life and armour within the client's caps and, unless a
// weapon was just given, the spare rounds of weapons 1-4 within their classes' caps
// and the dirt gun's clip within its size, whichever item it was; whatever put them
// above (a world's spawn rounds, an operator's give) is undone here.
static void PickUpCaps(sgClient_t *client, bool weaponGiven) {
    clientState_t &cs = client->cs;
    cs.health = SG_ClampByte(std::min<int32_t>(cs.health, SG_MaxLife(client)));
    cs.armor = SG_ClampByte(std::min<int32_t>(cs.armor, SG_MaxArmor(client)));
    if (weaponGiven) return;
    for (int32_t w = WP_MINIGUN; w <= WP_RAILGUN; w++)
        cs.reserve[w] = SG_ClampShort(std::min<int32_t>(cs.reserve[w], G_WeaponClass(w)->maxReserve));
    cs.clip[WP_DIRTGUN] = SG_ClampByte(std::min<int32_t>(cs.clip[WP_DIRTGUN], G_WeaponClass(WP_DIRTGUN)->clipSize));
}

static void Item_ThinkTouch(sgEntity_t *self, sgEntity_t *toucher) {
    sgClient_t *client = toucher->client;
    if (!client) return;
    clientState_t &cs = client->cs;
    const int32_t kind = self->itemKind, amount = self->itemAmount;
    bool weaponGiven = false;
    switch (kind) {
    case IT_LIFE:
        cs.health = SG_ClampByte(cs.health + amount);
        SG_ClientPrintf(client, "cg_print_center \"Picked up \xA4" "08%d Health\xA4" "00\"", amount);
        client->stats.pickupLife++;
        break;
    case IT_ARMOR:
        cs.armor = SG_ClampByte(cs.armor + amount);
        SG_ClientPrintf(client, "cg_print_center \"Picked up \xA4" "08%d Armor\xA4" "00\"", amount);
        client->stats.pickupArmor++;
        break;
    case IT_BERSERK:
        SG_GiveBerserk(client, amount);
        SG_ClientPrintf(client, "cg_print_center \"Berserk \xA4" "08DOUBLE DAMAGE\xA4" "00\"");
        SG_Printf(PRINT_ALL, "%s has gone BERSERK!", SG_ClientColorName(client));
        client->stats.pickupBerserk++;
        break;
    default:
        if (kind < IT_AMMO_MINIGUN || kind > IT_AMMO_DIRTGUN) {
            // Creation refuses other kinds; a record that says otherwise is dropped.
            Com_Error(ER_WARNING, "ITEM ThinkTouch: Unknown item %d", kind);
            SG_DeleteEntity(self);
            return;
        }
        weaponGiven = GiveAmmunition(client, ItemWeapon(kind), amount);
        client->stats.pickups[ItemWeapon(kind)]++;
        break;
    }
    PickUpCaps(client, weaponGiven);
    SG_AddClientEvent(client, CE_PICKUP_FIRST + static_cast<uint32_t>(kind));
    SG_DeleteEntity(self);
}

// ---- crystal ----

static void Crystal_ThinkSG(sgEntity_t *self) { SG_EntityPhys(self, CRYSTAL_PHYS_RADIUS, PHYS_GRAVITY); }
static void Crystal_ThinkTouch(sgEntity_t *self, sgEntity_t *toucher);

static int32_t OtherTeam(int32_t team) { return team == TEAM_BLUE ? TEAM_RED : TEAM_BLUE; }

sgEntity_t *SG_CreateCrystal(const vec3_t position, const vec3_t velocity, int32_t team, uint8_t atHome) {
    if (VectorLength(velocity) > CRYSTAL_MAX_SPEED) Com_Error(ER_WARNING, "SG_CreateCrystal: VectorLength( speed ) > 10");
    team = team == TEAM_RED ? TEAM_RED : TEAM_BLUE;
    sgEntity_t *e = SG_CreateEntity(ET_CRYSTAL);
    if (!e) return nullptr;  // no entity to be had: no server runs
    e->className = "Crystal";
    e->thinkSG = Crystal_ThinkSG;
    e->thinkTouch = Crystal_ThinkTouch;
    e->kind = ET_CRYSTAL;
    e->contents = CONTENTS_CRYSTAL;
    e->hasHitBox = 1;
    e->boxFlag = 1;
    e->hitHalfSize[0] = e->hitHalfSize[1] = e->hitHalfSize[2] = 0.5f;
    e->r.svFlags |= SVF_ALWAYS_SEND;
    e->r.visOffset = 0.5f;
    e->r.visRadius = 1.0f;
    _VectorCopy(e->s.origin, position);
    _VectorCopy(e->velocity, velocity);
    e->team = team;
    e->atHome = atHome;
    if (team == TEAM_RED) e->s.eFlags |= 0x1;
    if (sg.rules == RULES_CRYSTAL_ROUNDS) {
        sg.crystal = e;
        sg.crystalCarrier = nullptr;
        e->crystalLink = &sg.crystal;
    } else if (sg.rules == RULES_CAPTURE_CRYSTAL) {
        sg.teamCrystal[team] = e;
        sg.teamCrystalCarrier[team] = nullptr;
        e->crystalTeam = team;
        e->crystalLink = &sg.teamCrystal[team];
    }
    SG_FinishEntity(e);
    return e;
}

static const char *CrystalName(int32_t team) { return team == TEAM_BLUE ? "\xA4" "05BLUE\xA4" "00" : "\xA4" "06RED\xA4" "00"; }

static void Crystal_ThinkTouch(sgEntity_t *self, sgEntity_t *toucher) {
    sgClient_t *c = toucher->client;
    if (!c) return;
    const int32_t team = c->cs.team == TEAM_RED ? TEAM_RED : TEAM_BLUE;
    const int32_t enemy = OtherTeam(team);
    if (sg.rules == RULES_CAPTURE_CRYSTAL) {
        if ((c->cs.flags & CSF_CRYSTAL) && sg.teamCrystalCarrier[enemy] == c && self->atHome && self->team == team) {
            const int32_t lead = SG_TeamLead();
            c->stats.captures++;
            c->cs.flags &= ~CSF_CRYSTAL;
            sg.teamCrystalCarrier[enemy] = nullptr;
            if (team == TEAM_BLUE)
                sg.blueScore++;
            else
                sg.redScore++;
            const char *name = SG_ClientColorName(c);
            SG_Printf(PRINT_ALL, "%s captured %s crystal", name, CrystalName(enemy));
            SG_Printf(PRINT_CENTER, "%s captured %s crystal", name, CrystalName(enemy));
            const int32_t now = SG_TeamLead();
            if (now != lead && now >= 0) SG_AnnounceAll(now == TEAM_BLUE ? AN_BLUE_LEADS : AN_RED_LEADS);
            return;
        }
        if (self->team == team) {
            if (self->atHome) return;
            SG_DeleteEntity(self);
            SG_Printf(PRINT_ALL, "%s returned %s crystal", SG_ClientColorName(c), CrystalName(team));
            return;
        }
    }
    if (sg.rules != RULES_CRYSTAL_ROUNDS && sg.rules != RULES_CAPTURE_CRYSTAL) return;
    SG_AnnounceTeam(team, AN_WE_HAVE);
    SG_AnnounceTeam(enemy, AN_ENEMY_HAS);
    c->cs.flags |= CSF_CRYSTAL;
    if (sg.rules == RULES_CRYSTAL_ROUNDS) {
        const char *name = SG_ClientColorName(c);
        SG_Printf(PRINT_ALL, "%s has the crystal", name);
        SG_Printf(PRINT_CENTER, "%s has the crystal", name);
        SG_DeleteEntity(self);
        sg.crystal = nullptr;
        sg.crystalCarrier = c;
    } else {
        const int32_t crystalTeam = self->team;
        SG_Printf(PRINT_ALL, "%s got the %s crystal", SG_ClientColorName(c), CrystalName(crystalTeam));
        SG_DeleteEntity(self);
        sg.teamCrystal[crystalTeam] = nullptr;
        sg.teamCrystalCarrier[crystalTeam] = c;
    }
}
