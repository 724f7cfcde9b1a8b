// Cinematics: short films in .dxv files, played a frame at a time into a rectangle,
// and the two tools that make a film from numbered images and a sound ("cin_encode")
// and turn one back into images ("cin_decode").
//
// .dxv file, 32-bit little-endian integers: the frame count, then per frame its size n
// and n bytes of a run-length coded frame block (CIN_BLOCK_SIZE bytes decoded).
#pragma once

#include <cstdint>

#include "common/common.h"

constexpr int CIN_WIDTH = 400;
constexpr int CIN_HEIGHT = 300;
constexpr int CIN_PIXELS = CIN_WIDTH * CIN_HEIGHT;
constexpr int CIN_PALETTE_COLORS = 256;
constexpr int CIN_PALETTE_SIZE = CIN_PALETTE_COLORS * 3;       // R, G, B bytes
constexpr int CIN_SOUND_COUNT_OFFSET = CIN_PALETTE_SIZE + CIN_PIXELS;
constexpr int CIN_SOUND_OFFSET = CIN_SOUND_COUNT_OFFSET + 4;
constexpr int CIN_SOUND_FRAMES_MAX = 5100;                     // stereo frames of room in a block
constexpr int CIN_SOUND_SIZE = CIN_SOUND_FRAMES_MAX * 4;       // two signed 16-bit samples a frame
constexpr int CIN_BLOCK_SIZE = CIN_SOUND_OFFSET + CIN_SOUND_SIZE;  // 141,172
constexpr int CIN_IMAGE_SIZE = CIN_PIXELS * 3;                 // decoded RGB image
constexpr int32_t CIN_FRAME_MSEC = 30;                         // a frame changes after more than this
constexpr int CIN_ENCODE_FRAMES = 361;                         // images cin_encode looks for
constexpr int CIN_FIRST_SOUND_FRAMES = 5100;                   // sound of the first block
constexpr int CIN_SOUND_FRAMES = 1700;                         // sound of every later block
static_assert(CIN_BLOCK_SIZE == 141172, "a frame block is 141,172 bytes");

// Reads up to count bytes of a film into destination; the bytes read.
typedef int32_t (*cinRead_t)(void *destination, int32_t count, void *source);

// Creates "cin_encode" and "cin_decode".
void CIN_Imp();
// Client start and shut-down: nothing to set up.
void CIN_Init();
void CIN_Shutdown();
// Closes an open film and opens the path; true when its frame count could be read.
uint8_t CIN_BeginCinematic(const char *path);
// Closes the film if one is open.
void CIN_EndCinematic();
// Draws the film into the rectangle, advancing a frame when more than CIN_FRAME_MSEC of
// game time have passed (the first draw always shows frame 0); false once it has ended
// or a frame is bad, which closes it.
uint8_t CIN_DrawCinematic(int32_t destination, int32_t x, int32_t y, int32_t w, int32_t h, void *a, int32_t b);
// Reads one frame (size, then the coded block) from source and turns it into RGB
// (CIN_IMAGE_SIZE bytes); false at the end of the data or when the frame does not
// decode to exactly one block.  soundFrames (may be null) gets the block's sound count.
bool CIN_ReadFrame(cinRead_t read, void *source, byte *rgb, uint32_t *soundFrames);
// Builds a block's palette from an RGB image: the 256 fullest colour bins in order.
void CIN_MakePalette(byte palette[CIN_PALETTE_SIZE], const byte *rgb, int32_t pixels);
// Each pixel's nearest palette entry (the lowest on ties).
void CIN_MapPixels(byte *indexes, const byte *rgb, int32_t pixels, const byte palette[CIN_PALETTE_SIZE]);
