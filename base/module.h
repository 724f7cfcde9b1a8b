// The game-module host: loading and checking the module, the Call wrappers by
// which the engine reaches it, and the trap dispatcher by which it reaches the engine.
//
// The engine never calls into the module except through the Call_ wrappers, and
// every wrapper does nothing (and yields 0) while no module is loaded.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/renderer.h"
#include "common/com_msg.h"
#include "game/g_public.h"

// The export record of the loaded module; all zero (call null) while none is loaded.
extern gameExport_t ge;

// Loads "<name>_linux.so" from the working directory and checks its export
// record; a refused module leaves nothing loaded.  Called once by the import phase.
void Base_LoadGame(const char *name);
// Call 2, then closes the library and clears `ge`; nothing when no module is loaded.
void Base_UnloadGame();
// Closes the library without any call into the module (the panic shutdown).
void Base_CloseGame();
// 1 while a module is loaded.
bool Base_GameLoaded();

// The trap dispatcher handed to the module: runs trap `number` with its words.
intptr_t Gi_Trap(int number, gameArg_t *args);
// ---- the engine's side of the simple traps, also callable directly ----
// Fills a module's record with the engine's state as it is at this moment, all but
// the newer-version byte; the padding is left as it is; null does nothing.
void Gi_GetQGame(qgame_t *out);
// The same with the newer-version byte too: what trap 0 hands the module.
void Gi_GetQGame2(qgame_t *out);
// Prints a module's text through the normal or (developer not 0) the developer sink.
void Gi_Print(const char *text, uint8_t developer);
uint32_t Gi_GetTime();                        // the engine clock, Base_Time
rhandle_t Gi_RegisterTexture(const char *name);       // with mipmaps
rhandle_t Gi_RegisterTextureNoMip(const char *name);  // without mipmaps
rhandle_t Gi_RegisterTextureCube(const char *name);   // a cube texture
// Sends a formatted out-of-band text; 1 when it was handed to the system.
uint8_t Gi_SendOutOfBandPrint(int32_t fromClient, const netadr_t *address, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
// Reads a whole file and writes its MD5 digest (16 bytes); 0 when it cannot be read (trap 37).
uint8_t Base_GetFileMD5(uint8_t *digest, const char *path);

// ---- Call wrappers, one per call number ----
void Call_Main_Imp();
void Call_Main_Init();
void Call_Main_Shutdown();
void Call_Main_Frame();
void Call_SG_Imp(uint8_t engineStart);
void Call_SG_ClientConnect(const netadr_t *address, const char *name, int32_t reserved, int32_t challenge);
void Call_SG_ClientDrop(int32_t client, const char *reason);
void Call_SG_Frame();
void Call_SG_Shutdown();
void Call_SG_GetServerInfo(char *rules, char *gameName, int32_t *protocol, char *version);
void Call_CG_Imp();
void Call_CG_Init();
void Call_CG_Shutdown();
uint8_t Call_CG_ConnectedToServer();
uint8_t Call_CG_MapChange(const char *worldInfo);
void Call_CG_RestartRenderer();
void Call_CG_CCFrame();
void Call_CG_Frame();
void Call_CG_Print(const char *text);
uint8_t Call_CG_AllowBind();
void Call_CG_WorldDeform(const float *mins, const float *maxs);
void Call_CG_DumpServers(FILE *config);
void Call_UI_Imp(const char *consoleText);
void Call_UI_Init();
void Call_UI_Shutdown();
void Call_WriteStandardConfig();
void Call_Disconnect();
void Call_DisconnectScreen2(const char *reason);
