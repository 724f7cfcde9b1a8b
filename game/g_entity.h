// Numbers shared by the server game and the client game: entity kinds, the clip
// bits of entity contents and trace masks, item kinds and means of death.
#pragma once

#include <cstdint>

// Entity kinds: server kinds below 23, short-lived event entities 23 to 53,
// client-only effects 54 to 61.
enum entityType_t : int32_t {
    ET_NONE = 0,
    ET_PLAYER = 1,
    ET_GRENADE = 3,
    ET_DRONE = 4,
    ET_ITEM = 5,
    ET_CRYSTAL = 6,
    ET_TRAIL_RAILGUN_BLUE = 7,
    ET_TRAIL_RAILGUN = 8,
    ET_TRAIL_MINIGUN = 9,
    ET_TRAIL_SHOTGUN = 10,
    ET_TRAIL_BERSERK = 11,
    ET_MUSHROOM = 12,
    ET_STONE1 = 13,
    ET_STONE2 = 14,
    ET_STONE3 = 15,
    ET_CANDYCANE1 = 16,
    ET_CANDYCANE2 = 17,
    ET_FOAMMUSH1 = 18,
    ET_FOAMMUSH2 = 19,
    ET_BARREL = 20,
    ET_PROBE = 21,
    ET_FIRST_EVENT = 23,
    ET_LAST_EVENT = 53,
    ET_FIRST_EFFECT = 54,
    ET_METEOR = 54,
    ET_GIB = 55,
    ET_SHELL = 56,
    ET_GRENADE_FLASH = 57,
    ET_DIRT = 58,
    ET_SPARK = 59,
    ET_RAIN_SPARK = 60,
    ET_IMPACT_FLOWER = 61,
    ET_COUNT = 62
};

// Clip bits: an entity's contents, and the same bits as a trace's mask.
enum contents_t : uint32_t {
    CONTENTS_WORLD = 0x1,    // mask only
    CONTENTS_PLAYER = 0x2,   // 0 while dead
    CONTENTS_ITEM = 0x8,
    CONTENTS_CRYSTAL = 0x10,
    CONTENTS_PROP = 0x20,    // decorations
    CONTENTS_DRONE = 0x40,
};
constexpr uint32_t MASK_PLAYER_MOVE = CONTENTS_WORLD | CONTENTS_PLAYER;    // 3
constexpr uint32_t MASK_SPAWN_CLEAR = CONTENTS_PLAYER | CONTENTS_CRYSTAL;  // 18
constexpr uint32_t MASK_TOUCH = CONTENTS_ITEM | CONTENTS_CRYSTAL;          // 24
constexpr uint32_t MASK_ALL = 0x7FFFFFFF;

// Item kinds, also the prefixes of item world tags.
enum itemKind_t : int32_t {
    IT_LIFE = 0,
    IT_ARMOR = 1,
    IT_BERSERK = 2,
    IT_AMMO_MINIGUN = 3,
    IT_AMMO_SHOTGUN = 4,
    IT_AMMO_GRENGUN = 5,
    IT_AMMO_RAILGUN = 6,
    IT_AMMO_DIRTGUN = 7,
    ITEM_KIND_COUNT = 8
};

// Means of damage and death: 0 to 4 the weapons Meelgun to Railgun, 5 Dirtgun
// (or crushed), 6 anything else (suicide, fall, world).
enum means_t : int32_t {
    MOD_MEELGUN = 0,
    MOD_MINIGUN = 1,
    MOD_SHOTGUN = 2,
    MOD_GRENGUN = 3,
    MOD_RAILGUN = 4,
    MOD_DIRTGUN = 5,
    MOD_OTHER = 6,
    MEANS_COUNT = 7
};

// Impact surface of an entity: what a weapon's impact on it looks like.
enum impactSurface_t : int32_t { IMPACT_METAL = 0, IMPACT_DIRT = 1, IMPACT_FLESH = 2, IMPACT_SLIME = 3 };
