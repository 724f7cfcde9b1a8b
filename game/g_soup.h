// Deformation shapes: closed triangle meshes ("soups") loaded from SOUP files.
//
// The dirt gun carves, fills, paints and smooths the world with them (the engine
// reads a loaded shape in place through trap 43) and the client game draws them
// as a translucent preview.  Shapes live in a fixed table from G_Init until
// G_Shutdown; a pointer into it stays valid until G_FreeAllSOUPS.
//
// SOUP file, little-endian:
//   0  u32 magic SOUP_MAGIC        4  u32 version SOUP_VERSION
//   8  i32 numVerts                12 i32 numIndexes (three per triangle)
//   16 f32[3] x numVerts positions, in shape units around the shape's origin
//   then i32 x numIndexes vertex indexes; trailing bytes are ignored.
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/g_public.h"  // soup_t and its limits, read in place by the engine

constexpr uint32_t SOUP_MAGIC = 0xABCD9876;
constexpr int32_t SOUP_VERSION = 1;
constexpr int SOUP_HEADER_SIZE = 16;
constexpr int MAX_SOUPS = 256;            // slots of g_soups
constexpr int SOUP_MAX_VERTS = 1024;      // vertices of one shape
constexpr int SOUP_MAX_TRIANGLES = 2048;  // planes the convexity test holds
constexpr float SOUP_CONVEX_EPSILON = 0.001f;  // a vertex this far in front of a face breaks convexity

extern soup_t g_soups[MAX_SOUPS];
extern int32_t g_numSoups;  // used slots, filled in load order

// The dirt gun's shapes by mode (build, wall, platform, paint, blur), loaded with
// the weapons; the first also carves the world where weapons damage it.  A mode
// whose shape could not be loaded holds null.
constexpr int DIRT_DEFORM_MODES = 5;
extern soup_t *g_dirtDeformSoups[DIRT_DEFORM_MODES];

// Loads a SOUP file through the engine's file system with its positions
// multiplied by scale.  Null when the table is full or the file is missing or
// bad (a scaled position beyond SOUP_MAX_COORD or a face whose plane is no
// number is bad); the reason is reported with the path and no slot is taken.
soup_t *G_LoadSOUP(const char *path, float scale);
// The same from bytes already in memory; path only names the shape in messages.
soup_t *G_LoadSOUPFromMemory(const void *data, size_t size, const char *path, float scale);
// Frees every shape's arrays; the next load takes slot 0.
void G_FreeAllSOUPS();

// Draws the shape into the current client-game frame: the stored positions turned
// by the rows of axis, multiplied by scale and moved to origin, in white with the
// given alpha.  Nothing when the origin lies outside the view's visible set.
void G_DrawSOUP(const soup_t *soup, int32_t material, const float origin[3], const float axis[9],
                uint8_t alpha, float scale);

// The visible set of the client game's current view; its view set-up stores it
// every frame.  While it is null no shape is drawn.
extern const void *g_soupViewPVS;
