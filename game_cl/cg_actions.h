// Action scripts: small text files of steps ("{ ... }" blocks) that play an effect
// over a few frames at a place: particles, sounds, sparks, gibs, dirt, other scripts.
// Scripts are loaded once and shared; each start takes a playing slot that walks
// the script's text one step per frame (or after its delays).
#pragma once

#include <cstdint>

#include "common/com_vector.h"

constexpr int MAX_ACTION_SCRIPTS = 256;     // loaded scripts
constexpr int MAX_ACTION_PLAYINGS = 256;    // scripts playing at once
constexpr int ACTION_PATH_SIZE = 256;       // a script's path, with its zero
constexpr int ACTION_MAX_PARTICLES = 1000;  // particles one spawn word makes at most

// One loaded script: its path and the whole file text as the engine read it.
struct actionScript_t {
    char path[ACTION_PATH_SIZE];
    char *text;  // zero-terminated; the engine's buffer, handed back at shutdown
};

// One playing instance; free while script is null.
struct actionPlaying_t {
    const actionScript_t *script;
    const char *cursor;  // where the next step begins in script->text
    vec3_t position;
    float axis[9];       // rows
    float arg0, arg1;
    int32_t frameDelay;  // frames still to wait
    float timeDelay;     // seconds still to wait
};

extern actionScript_t g_actionScripts[MAX_ACTION_SCRIPTS];
extern int32_t g_numActionScripts;
extern actionPlaying_t g_actionPlayings[MAX_ACTION_PLAYINGS];

// The step being interpreted: its place, axis and the starter's two numbers.
extern vec3_t a_pos;
extern float a_axis[9];
extern float a_arg0, a_arg1;

void CG_InitActionScripts();      // forgets every script and frees every slot (renderer start)
// Hands every script's text back to the engine and frees every slot, since a slot
// would point into a text that is gone.
void CG_ShutdownActionScripts();
void CG_StopAllActionScripts();   // frees every playing slot (world change)
void CG_StopActionScript(actionPlaying_t *slot);
void CG_UpdateActionScripts();    // plays every slot one frame on (connected frames)

// The loaded script of a path, loaded on first use; null when the file is missing
// or the table is full (both reported).
const actionScript_t *RegisterActionScript(const char *path);
// RegisterActionScript as a media handle: the script's index + 1, 0 on failure.
int32_t CG_LoadActionScript(const char *path);

// Starts a script at a place with an axis (rows; a zero row stands for the identity)
// and plays its first step at once.
void CG_RunActionScript(const char *path, const vec3_t origin, const float axis[9], float arg0, float arg1);
// Runs one action word of text at once (an animation frame's action); false, with
// a report, when the text holds no word that is an action.
bool CG_RunAction(const char *text, const vec3_t origin, const float axis[9], float arg0, float arg1);
