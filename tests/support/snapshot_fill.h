// Snapshots of plausible play for codec tests and benchmarks: a player's client
// state and entities whose fields hold values of the kinds the server game stores
// (small integers, positions, unit vectors, angles, event rings), and a base that
// keeps some fields, moves some a little and changes the rest.
#pragma once

#include <cstdint>
#include <cstring>

#include "game/g_public.h"

template <typename T> uint8_t *Record(T *r) { return reinterpret_cast<uint8_t *>(r); }
template <typename T> const uint8_t *Record(const T *r) { return reinterpret_cast<const uint8_t *>(r); }

struct snapFill_t {
    uint32_t seed;
    uint32_t Next() { return seed = seed * 1664525u + 1013904223u; }
    float Range(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(Next() >> 8) / 16777216.0f; }
    void Put(uint8_t *record, size_t offset, const void *v, size_t size) { memcpy(record + offset, v, size); }
    void PutFloat(uint8_t *record, size_t offset, float f) { Put(record, offset, &f, sizeof f); }
    void PutLong(uint8_t *record, size_t offset, int32_t v) { Put(record, offset, &v, sizeof v); }
    void Bytes(uint8_t *record, size_t offset, size_t size) {
        for (size_t i = 0; i < size; i++) record[offset + i] = static_cast<uint8_t>(Next() >> 24);
    }
    void Floats(uint8_t *record, size_t offset, int n, float lo, float hi) {
        for (int i = 0; i < n; i++) PutFloat(record, offset + 4 * i, Range(lo, hi));
    }

    // A client state: every byte random except where a field holds a float or a kind.
    void Client(uint8_t *cs) {
        Bytes(cs, 0, sizeof(clientState_t));
        Floats(cs, offsetof(clientState_t, origin), 6, -60, 60);
        Floats(cs, offsetof(clientState_t, fireDir), 3, -1, 1);
        Floats(cs, offsetof(clientState_t, weaponTime), 4, 0, 1);
        Floats(cs, offsetof(clientState_t, barrelHeat), 1, 0, 1);
        for (int i = 0; i < 8; i++)
            cs[offsetof(clientState_t, radarKinds) + i] = static_cast<uint8_t>(Next() % 6 ? Next() % 16 : 0);
        Floats(cs, offsetof(clientState_t, viewAngles), 3, 0, 360);
        Floats(cs, offsetof(clientState_t, viewAxis), 9, -1, 1);
    }

    // An entity in use with its fields in their ranges.
    void Entity(uint8_t *es) {
        Bytes(es, 0, sizeof(entityState_t));
        es[0] = 1;
        PutLong(es, offsetof(entityState_t, type), static_cast<int32_t>(Next() % 62));
        PutLong(es, offsetof(entityState_t, owner), static_cast<int32_t>(Next() % 6) - 1);
        Floats(es, offsetof(entityState_t, origin), 6, -60, 60);
        Floats(es, offsetof(entityState_t, dir), 3, -1, 1);
        Floats(es, offsetof(entityState_t, angles), 6, -720, 720);
        Floats(es, offsetof(entityState_t, ellipticAxis), 9, -1, 1);
        Floats(es, offsetof(entityState_t, param), 1, -100, 100);
        Floats(es, offsetof(entityState_t, animTime1), 2, 0, 10);
    }

    // A base of next: a quarter of the 4-byte words kept, a quarter moved by less
    // than one unit (as floats), the rest changed.
    void Drift(uint8_t *base, const uint8_t *next, size_t size) {
        memcpy(base, next, size);
        for (size_t at = 4; at + 4 <= size; at += 4) {
            const uint32_t pick = Next() % 4;
            if (pick == 0) continue;
            float f;
            memcpy(&f, next + at, 4);
            if (pick == 1 && f == f && f > -1e6f && f < 1e6f) {
                PutFloat(base, at, f + Range(-0.9f, 0.9f));
            } else if (pick >= 2) {
                Bytes(base, at, 4);
            }
        }
    }

    // A snapshot with the given players (client states as entities of type 1) and
    // other entities; base, when given, is its drifted predecessor holding most of them.
    void Snapshot(snapshot_t *s, snapshot_t *base, int players, int entities) {
        memset(s, 0, sizeof *s);
        s->number = static_cast<int32_t>(Next() % 100000) + 40;
        s->lastCommand = static_cast<int32_t>(Next() % 100000);
        s->serverTime = static_cast<int32_t>(Next() % 1000000);
        uint32_t words[SNAPSHOT_GAME_WORDS];
        for (uint32_t &w : words) w = Next() % 3 ? Next() % 1000 : 0;
        memcpy(&s->gameData, words, sizeof words);
        s->matterChecksum = static_cast<int32_t>(Next());
        s->infoAck = static_cast<int32_t>(Next() % 20);
        Client(Record(&s->client));
        for (int i = 0; i < players + entities; i++) {
            const int n = i < players ? i : players + static_cast<int>(Next() % (SNAPSHOT_MAX_ENTITIES - players));
            Entity(Record(&s->entities[n]));
            if (i < players) s->entities[n].type = 1;
        }
        if (!base) return;
        memset(base, 0, sizeof *base);
        base->number = s->number - 1 - static_cast<int32_t>(Next() % 8);
        base->lastCommand = s->lastCommand - 1;
        base->serverTime = s->serverTime - 50;
        for (uint32_t &w : words) w = Next() % 4 ? w : 7;
        memcpy(&base->gameData, words, sizeof words);
        base->matterChecksum = s->matterChecksum;
        base->infoAck = s->infoAck;
        Drift(Record(&base->client), Record(&s->client), sizeof base->client);
        for (int n = 0; n < SNAPSHOT_MAX_ENTITIES; n++) {
            if (s->entities[n].inUse && Next() % 8)
                Drift(Record(&base->entities[n]), Record(&s->entities[n]), sizeof(entityState_t));
        }
        // A few entities the base held and the snapshot no longer does.
        for (int i = 0; i < 3; i++) Entity(Record(&base->entities[SNAPSHOT_MAX_ENTITIES - 1 - i * 7]));
        memset(&s->entities[SNAPSHOT_MAX_ENTITIES - 1], 0, sizeof(entityState_t));
    }
};
