// The fixed array of 512 entities that the engine reads in place: allocation,
// linking, completion after each frame and deletion.
#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"

namespace {

// Fills the fields every new entity starts with and links its slot.
void Spawn(sgEntity_t *e, int32_t slot, int32_t type, int32_t owner) {
    memset(e, 0, sizeof *e);
    e->s.inUse = 1;
    e->s.type = type;
    e->s.owner = owner;
    e->s.serial = static_cast<int32_t>(sgs.entitySerial++);
    e->s.spawnTime = static_cast<int32_t>(qgame.time);
    e->createTime = static_cast<int32_t>(qgame.time);
    e->createFrame = static_cast<int32_t>(qgame.frameCount);
    e->number = slot;
}

}  // namespace

sgEntity_t *SG_EntityNum(int32_t number) {
    return number >= 0 && number < SG_MAX_ENTITIES ? &sg.entities[number] : nullptr;
}

sgEntity_t *SG_CreateEntity(int32_t type) {
    if (!sgs.running) {
        Com_Error(ER_FATAL, "SG_CreateEnt: Server must be initilized!");
        return nullptr;
    }
    int32_t slot = SG_FIRST_FREE_ENTITY;
    for (int32_t i = SG_FIRST_FREE_ENTITY; i < SG_MAX_ENTITIES; i++) {
        if (!sg.entities[i].s.inUse) {
            slot = i;
            break;
        }
    }
    sgEntity_t *e = &sg.entities[slot];
    // A full array gives up slot 16; its occupant is deleted properly so that no
    // crystal or spawner reference keeps pointing at the new entity.
    if (e->s.inUse) SG_DeleteEntity(e);
    Spawn(e, slot, type, -1);
    Trap_SV_LinkEntity(slot);
    return e;
}

sgEntity_t *SG_CreateEntityClient(int32_t n) {
    sgClient_t *client = SG_ClientRecord(n);
    if (!client) {
        Com_Error(ER_WARNING, "SG_CreateEntityClient: Bad client number %d", n);
        return nullptr;
    }
    sgEntity_t *e = &sg.entities[n];
    if (e->s.inUse) SG_DeleteEntity(e);
    Spawn(e, n, ET_PLAYER, n);
    e->client = client;
    client->entity = e;
    Trap_SV_LinkEntity(n);
    return e;
}

sgEntity_t *SG_CreateEventEntity(int32_t type, const vec3_t position, const vec3_t direction) {
    sgEntity_t *e = SG_CreateEntity(type);
    if (!e) return nullptr;
    _VectorCopy(e->s.origin, position);
    _VectorCopy(e->s.dir, direction);
    e->lifetime = SG_EVENT_LIFETIME;
    e->isEvent = 1;
    return e;
}

void SG_DeleteEntity(sgEntity_t *entity) {
    if (!entity) return;
    Trap_SV_UnlinkEntity(entity->number);
    entity->s.inUse = 0;
    if (entity->crystalLink) {
        *entity->crystalLink = nullptr;
        entity->crystalLink = nullptr;
    }
    if (sg.rules == RULES_CRYSTAL_ROUNDS && sg.crystal == entity) sg.crystal = nullptr;
    if (sg.rules == RULES_CAPTURE_CRYSTAL && entity->crystalTeam >= 0 && entity->crystalTeam < 2 &&
        sg.teamCrystal[entity->crystalTeam] == entity)
        sg.teamCrystal[entity->crystalTeam] = nullptr;
    for (int i = 0; i < sg.world.numTags; i++)
        if (sg.world.tags[i].item == entity) sg.world.tags[i].item = nullptr;
    if (entity->number >= 0 && entity->number < SG_CLIENTS && sgs.clients[entity->number].entity == entity)
        sgs.clients[entity->number].entity = nullptr;
}

void SG_DeleteEntitiesByType(int32_t type) {
    for (sgEntity_t &e : sg.entities)
        if (e.s.inUse && e.s.type == type) SG_DeleteEntity(&e);
}

void SG_DeleteAllEntities() {
    for (sgEntity_t &e : sg.entities)
        if (e.s.inUse) SG_DeleteEntity(&e);
    for (sgClient_t &c : sgs.clients) c.entity = nullptr;
}

bool SG_CheckEntity(sgEntity_t *entity) {
    const float length = VectorLength(entity->s.origin);
    if (length < SG_ENTITY_RANGE) return true;  // false for a length that is not a number, too
    Com_Error(ER_DEVWARNING, "SG_CheckEntity: Bad entity position %.2f %.2f %.2f", entity->s.origin[0],
              entity->s.origin[1], entity->s.origin[2]);
    SG_DeleteEntity(entity);
    return false;
}

void SG_FinishEntity(sgEntity_t *entity) {
    float *elliptic = &entity->s.ellipticAxis[0][0];
    G_UpdateEllipticAxis(sg.flatGravity, elliptic, entity->s.origin);
    G_EllipticAxis2Axis(entity->axis, elliptic, entity->s.angles, 1);
    SG_UpdateEntityBoundingBox(entity);
    SG_UpdateEntityHitBox(entity);
}
