// The snapshot wire layout: which bytes of clientState_t and entityState_t each
// change-mask bit compares and writes, and how.  The server's writer and the
// client's reader walk these same tables, so the layout is stated once and taken
// from the records themselves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/g_public.h"

// A run of bytes of a record.  size 0: no run.
struct wireRun_t {
    int16_t offset, size;
};

// The bytes of one field (an element of an array field as well).
#define WIRE_FIELD(record, field) \
    wireRun_t{static_cast<int16_t>(offsetof(record, field)), static_cast<int16_t>(sizeof(record::field))}
// The bytes from the first field to the end of the last one.
#define WIRE_SPAN(record, first, last)                                                \
    wireRun_t{static_cast<int16_t>(offsetof(record, first)),                          \
              static_cast<int16_t>(offsetof(record, last) + sizeof(record::last) - offsetof(record, first))}

// ---- clientState_t ----

enum csCoding_t : uint8_t {
    CSW_BYTES = 0,  // the runs' bytes as they are
    CSW_HEAT = 1,   // one float written as one byte: trunc(f * WIRE_HEAT_UNITS) & 255
};

// One bit of the 32-bit change mask: the bit is set when a compared run differs
// from the base, and then the written runs travel, in order.
struct csWireGroup_t {
    uint8_t bit;
    csCoding_t coding;
    wireRun_t write[2];
    wireRun_t compare[2];  // empty: the written runs
};

#define CS_FIELD(f) WIRE_FIELD(clientState_t, f)
#define CS_SPAN(a, b) WIRE_SPAN(clientState_t, a, b)
// In wire order: bits 12, 13 and 14 travel before bit 11.
inline constexpr csWireGroup_t SNAP_CLIENT_GROUPS[] = {
    {0, CSW_BYTES, {CS_FIELD(moveType)}, {}},
    {1, CSW_BYTES, {CS_FIELD(flags)}, {}},
    {2, CSW_BYTES, {CS_FIELD(ccNumber)}, {}},
    {3, CSW_BYTES, {CS_FIELD(origin)}, {}},
    {4, CSW_BYTES, {CS_FIELD(velocity)}, {}},
    {5, CSW_BYTES, {CS_SPAN(weapon, pendingWeapon)}, {}},
    {6, CSW_BYTES, {CS_SPAN(crouch, height)}, {}},
    {7, CSW_BYTES, {CS_FIELD(weaponTime), CS_FIELD(fireDir)}, {}},
    {8, CSW_BYTES, {CS_FIELD(zoom)}, {}},
    {9, CSW_BYTES, {CS_FIELD(hitFlash), CS_FIELD(hitDir)}, {}},
    {10, CSW_BYTES, {CS_FIELD(slowdown)}, {}},
    {12, CSW_BYTES, {CS_SPAN(bobPhase, joltVelocity)}, {}},
    {13, CSW_BYTES, {CS_FIELD(stepPhase)}, {}},
    {14, CSW_BYTES, {CS_FIELD(smoothOffset)}, {}},
    {11, CSW_BYTES, {CS_SPAN(kickAngles, kickVelocity)}, {}},
    {15, CSW_BYTES, {CS_SPAN(moveAnim, weaponState), CS_SPAN(weaponTimeShown, animTime2)}, {}},
    {16, CSW_BYTES, {CS_SPAN(eventCount, events)}, {}},
    {17, CSW_BYTES, {CS_SPAN(moveEventCount, moveEvents)}, {}},
    {18, CSW_BYTES, {CS_FIELD(entitySerial)}, {}},
    {19, CSW_BYTES, {CS_SPAN(viewAngles, viewAxis[0])}, {}},
    {20, CSW_HEAT, {CS_FIELD(barrelHeat)}, {}},
    {21, CSW_BYTES, {CS_SPAN(ownedWeapons, spawnByte)}, {}},
    {22, CSW_BYTES, {CS_SPAN(deformMaterial, team)}, {}},
    {23, CSW_BYTES, {CS_SPAN(health, armor)}, {}},
    {24, CSW_BYTES, {CS_SPAN(berserk, deformSize)}, {}},
    {25, CSW_BYTES, {CS_FIELD(counters[0])}, {}},
    {26, CSW_BYTES, {CS_FIELD(counters[1])}, {}},
    // The last counter carries the first four clips along, though only it is compared.
    {27, CSW_BYTES, {CS_SPAN(counters[2], clip[3])}, {CS_FIELD(counters[2])}},
    {28, CSW_BYTES, {CS_SPAN(reserve, reserved264)}, {}},  // lastCcTime travels here
    {29, CSW_BYTES, {CS_SPAN(clip[0], clip[4])}, {}},
    {30, CSW_BYTES, {CS_SPAN(clip[5], reserved243)}, {}},
    {31, CSW_BYTES, {CS_FIELD(group266)}, {}},
};
// After the masked groups: the low 4 bits of every radar kind, then the two
// position bytes of every blip whose kind is not 0.
constexpr wireRun_t SNAP_RADAR_KINDS = CS_FIELD(radarKinds);
constexpr wireRun_t SNAP_RADAR_BLIPS = CS_FIELD(radarBlips);
constexpr int SNAP_RADAR_SLOTS = sizeof(clientState_t::radarKinds);
constexpr int SNAP_RADAR_BITS = 4;
#undef CS_FIELD
#undef CS_SPAN

// ---- entityState_t ----

enum esCoding_t : uint8_t {
    ESW_BYTES = 0,         // the run's bytes as they are
    ESW_TYPE = 1,          // SNAP_TYPE_BITS bits of the entity type
    ESW_OWNER = 2,         // SNAP_OWNER_BITS bits: 0..SNAP_OWNER_MAX, anything else as SNAP_OWNER_NONE
    ESW_VECTOR = 3,        // a changed vector, whole, when the delta bit after it does not code it
    ESW_VECTOR_DELTA = 4,  // every component changed by less than 1: shorts of the change * WIRE_DELTA_UNITS
    ESW_DIR = 5,           // a unit vector as one byte of the byte directions
    ESW_ANGLES = 6,        // three angles as shorts: a * WIRE_ANGLE_UNITS / WIRE_ANGLE_RANGE
    ESW_UNIT_SHORTS = 7,   // three floats as shorts: v * WIRE_DELTA_UNITS
};

// One bit of the 24-bit change mask, in bit order.
struct esWireField_t {
    uint8_t bit;
    esCoding_t coding;
    wireRun_t compare;
    wireRun_t write;
};

constexpr int SNAP_TYPE_BITS = 10;
constexpr int SNAP_OWNER_BITS = 5;
// Owners above this travel as "none": only the first four client slots reach the
// client as owners.
constexpr int32_t SNAP_OWNER_MAX = 3;
constexpr int32_t SNAP_OWNER_NONE = 4;
constexpr int SNAP_ENTITY_MASK_BITS = 24;
constexpr int SNAP_ENTITY_NUMBER_BITS = 9;

#define ES_FIELD(f) WIRE_FIELD(entityState_t, f)
#define ES_SPAN(a, b) WIRE_SPAN(entityState_t, a, b)
inline constexpr esWireField_t SNAP_ENTITY_FIELDS[] = {
    {0, ESW_TYPE, ES_FIELD(type), ES_FIELD(type)},
    {1, ESW_OWNER, ES_FIELD(owner), ES_FIELD(owner)},
    {2, ESW_BYTES, ES_FIELD(serial), ES_FIELD(serial)},
    {3, ESW_BYTES, ES_FIELD(spawnTime), ES_FIELD(spawnTime)},
    {4, ESW_VECTOR, ES_FIELD(origin), ES_FIELD(origin)},
    {5, ESW_VECTOR_DELTA, ES_FIELD(origin), ES_FIELD(origin)},
    {6, ESW_VECTOR, ES_FIELD(origin2), ES_FIELD(origin2)},
    {7, ESW_VECTOR_DELTA, ES_FIELD(origin2), ES_FIELD(origin2)},
    {8, ESW_DIR, ES_FIELD(dir), ES_FIELD(dir)},
    {9, ESW_ANGLES, ES_FIELD(angles), ES_FIELD(angles)},
    {10, ESW_ANGLES, ES_FIELD(angles2), ES_FIELD(angles2)},
    {11, ESW_UNIT_SHORTS, ES_FIELD(ellipticAxis[0]), ES_FIELD(ellipticAxis[0])},  // the up row only
    {12, ESW_BYTES, ES_FIELD(param), ES_FIELD(param)},
    {13, ESW_BYTES, ES_FIELD(anim1), ES_FIELD(anim1)},
    {14, ESW_BYTES, ES_FIELD(anim2), ES_FIELD(anim2)},
    {15, ESW_BYTES, ES_FIELD(animTime1), ES_FIELD(animTime1)},
    {16, ESW_BYTES, ES_FIELD(animTime2), ES_FIELD(animTime2)},
    {17, ESW_BYTES, ES_SPAN(team, berserk), ES_SPAN(team, berserk)},
    {18, ESW_BYTES, ES_FIELD(eFlags), ES_FIELD(eFlags)},
    // The counter decides; the whole ring goes with it.
    {19, ESW_BYTES, ES_FIELD(eventCount), ES_SPAN(eventCount, events)},
    {20, ESW_BYTES, ES_FIELD(words[0]), ES_FIELD(words[0])},
    {21, ESW_BYTES, ES_FIELD(words[1]), ES_FIELD(words[1])},
    {22, ESW_BYTES, ES_FIELD(words[2]), ES_FIELD(words[2])},
    {23, ESW_BYTES, ES_FIELD(words[3]), ES_FIELD(words[3])},
};
// Both angle triples, wrapped to 0..360 before an entity is compared and written.
constexpr wireRun_t SNAP_ENTITY_ANGLES = ES_SPAN(angles, angles2);
#undef ES_FIELD
#undef ES_SPAN

// ---- checks ----

constexpr bool Snap_RunInside(wireRun_t run, size_t recordSize) {
    return run.offset >= 0 && run.size >= 0 && static_cast<size_t>(run.offset + run.size) <= recordSize;
}
constexpr bool Snap_ClientGroupsValid() {
    uint32_t bits = 0;
    for (const csWireGroup_t &g : SNAP_CLIENT_GROUPS) {
        if (g.bit >= 32 || (bits & (1u << g.bit)) || !g.write[0].size) return false;
        bits |= 1u << g.bit;
        for (const wireRun_t &r : g.write)
            if (!Snap_RunInside(r, sizeof(clientState_t))) return false;
        for (const wireRun_t &r : g.compare)
            if (!Snap_RunInside(r, sizeof(clientState_t))) return false;
        if (g.coding == CSW_HEAT && (g.write[0].size != sizeof(float) || g.write[1].size)) return false;
    }
    return bits == 0xFFFFFFFFu;
}
constexpr bool Snap_EntityFieldsValid() {
    int bit = 0;
    for (const esWireField_t &f : SNAP_ENTITY_FIELDS) {
        if (f.bit != bit++) return false;
        if (!Snap_RunInside(f.compare, sizeof(entityState_t)) || !Snap_RunInside(f.write, sizeof(entityState_t)))
            return false;
    }
    return bit == SNAP_ENTITY_MASK_BITS;
}
static_assert(Snap_ClientGroupsValid(), "every client-state bit once, every run inside the record");
static_assert(Snap_EntityFieldsValid(), "entity bits in order, every run inside the record");
// Spot checks against the byte positions the wire format was defined by.
static_assert(SNAP_CLIENT_GROUPS[27].write[0].offset == 232 && SNAP_CLIENT_GROUPS[27].write[0].size == 8);
static_assert(SNAP_CLIENT_GROUPS[28].write[0].offset == 246 && SNAP_CLIENT_GROUPS[28].write[0].size == 20);
static_assert(SNAP_CLIENT_GROUPS[30].write[0].offset == 241 && SNAP_CLIENT_GROUPS[30].write[0].size == 5);
static_assert(SNAP_CLIENT_GROUPS[19].write[0].offset == 300 && SNAP_CLIENT_GROUPS[19].write[0].size == 24);
static_assert(SNAP_ENTITY_FIELDS[17].write.offset == 132 && SNAP_ENTITY_FIELDS[17].write.size == 16);
static_assert(SNAP_ENTITY_FIELDS[19].write.size == 36 && SNAP_ENTITY_FIELDS[11].write.offset == 80);
static_assert(SNAP_RADAR_KINDS.offset == 276 && SNAP_RADAR_BLIPS.offset == 284);
static_assert(SNAP_ENTITY_ANGLES.offset == 56 && SNAP_ENTITY_ANGLES.size == 24);

// ---- the codec ----
// One writer and one reader of the layout above, used by the server and the client
// alike.  Writers append to the current write message; readers take from the
// current read message and never write outside their destination records.  A read
// that runs out sets the message's overflow flag; the snapshot reader reports it.

// Why a snapshot body was refused.
enum snapError_t : uint8_t {
    SNAP_OK = 0,
    SNAP_BAD_COMMAND = 2,  // a negative last command
    SNAP_BAD_COUNT = 3,     // more entities than a snapshot holds
    SNAP_BAD_ENTITY = 4,    // an entity number outside the array
    SNAP_PAST_END = 5,      // the message ended inside the snapshot
};

// Game data: a 32-bit mask of the words that differ from base (null: zeros), then those words.
void Snap_WriteGameData(const snapshotGameData_t *data, const snapshotGameData_t *base);
// The client state against base (null: zeros); the mask bits of force travel even when unchanged.
void Snap_WriteClientState(const uint8_t *state, const uint8_t *base, uint32_t force);
// The entity state against base (null: zeros); its angles are wrapped in place first,
// so the caller's copy holds what the reader gets back.
void Snap_WriteEntityState(uint8_t *state, const uint8_t *base);
// Number, base number (-1 without base), last command, server time, game data,
// matter checksum, info acknowledgement, client state, entity count and the entities
// in use.  An entity that would leave fewer than tailBits free stays out, and so do
// the rest: they are cleared in s, which later snapshots are coded against.
// Returns the entities written.
int Snap_WriteSnapshot(snapshot_t *s, const snapshot_t *base, uint32_t clientForce, int tailBits);

void Snap_ReadGameData(snapshotGameData_t *data, const snapshotGameData_t *base);
void Snap_ReadClientState(uint8_t *state, const uint8_t *base);
// Sets the first word to 1 (in this snapshot); an owner above SNAP_OWNER_MAX reads as -1.
void Snap_ReadEntityState(uint8_t *state, const uint8_t *base);
// Everything after the number and the base number, into s (cleared by the caller)
// against base (null: zeros).  Not SNAP_OK: s holds a partial decode and must not be kept.
snapError_t Snap_ReadSnapshotBody(snapshot_t *s, const snapshot_t *base);
// The frame of a decoded state, of which only the first row travels: the up row points
// away from the ball's centre (along +y on a flat world), the first row is made unit
// length, and the third is the first crossed with the up row.
void Snap_RebuildAxes(float axis[3][3], const float origin[3], bool flat);
