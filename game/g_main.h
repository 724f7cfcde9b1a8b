// The module's entry record, its call dispatcher and its main operations.
#pragma once

#include <cstdint>

#include "common/com_time.h"
#include "game/g_public.h"

constexpr const char *GAME_NAME = "Hollowmere";
constexpr const char *GAME_VERSION = "1.10b";
constexpr const char *STANDARD_CONFIG_NAME = "config.cfg";
// A fall of the game time by more than this (ms, half its run) is its restart; a
// smaller step back is not.
constexpr uint32_t G_TIME_RESTART_FALL = 0x40000000;

// Which side of the game runs: shared services (traces, events) dispatch on it.
enum gameContext_t : int32_t {
    GAME_CONTEXT_UNDEFINED = 0,
    GAME_CONTEXT_SG = 1,  // inside the server game's frame
    GAME_CONTEXT_CG = 2,  // inside the client game's frame
};

extern qgame_t qgame;    // the engine's state, refreshed by G_RefreshQGame
// Where the game time last restarted, as the module saw it: the engine hands out no
// record of it, so the module notes the fall back to COM_TIME_START itself.
extern comRestart_t g_timeRestart;

// The module's own console variables, created by G_Imp.
extern cmdVar_t g_printStuck;  // not 0: movement prints where a body got stuck
extern cmdVar_t g_skipStuck;
extern cmdVar_t g_flag;
extern cmdVar_t g_maxSlide;
extern cmdVar_t g_gravity;
extern int32_t g_isSG;   // a gameContext_t

void G_SetUndefined();  // no side's frame runs
void G_SetSG();         // the server game's frame runs
void G_SetCG();         // the client game's frame runs

// Checks the engine's import record and keeps it; returns the module's export
// record, or an all-zero one (which the engine refuses) when the import does not match.
gameExport_t G_GetGameAPI(gameImport_t import);
// The call dispatcher handed to the engine: routes a call number to its operation.
int32_t G_Call(int number, gameArg_t *args);

void G_Imp();                  // installs the print and error sinks, creates the module's variables
void G_Init();                 // greets, sets up byte order, refreshes qgame
void G_Shutdown();             // shuts the server game down, frees the shapes
void G_Frame();                // refreshes qgame
// Takes the engine's state into qgame and notes a restart of the game time.
void G_RefreshQGame();
// ms since a stamp of qgame.time, across its restarts: the module's ages of its own
// game-time stamps go through this, never through a plain difference.
int32_t G_TimeAge(uint32_t stamp);
void G_WriteStandardConfig();  // writes the default key script to config.cfg in the working directory

// The default key script, exactly as written to config.cfg.
extern const char G_STANDARD_CONFIG[];

// The sinks installed by G_Imp: each forwards to the engine through one trap.
void G_Print(const char *text);
void G_DPrint(const char *text);
int qG_Error(int level, const char *text);

void GE_ShutdownServer();                                // the server game's shutdown
void GE_DropClient(int32_t client, const char *reason);  // drops client 0..15; other numbers are refused
uint8_t G_IsClientInitilized();                          // the client game's initialised flag
void GE_WorldDeform();                                   // nothing

int32_t G_Argc();               // words of the console command running now
const char *G_Argv(int32_t n);  // word n of it
void *G_Alloc(uint32_t size);   // an engine memory block
void G_Free(void *block);       // releases a block of G_Alloc
