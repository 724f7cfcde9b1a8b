// The client game's life cycle and frame: module load, client start and shutdown,
// connecting, loading a world, and the order of work of one client frame.
#include "game_cl/cg_main.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_materials.h"
#include "game/g_move.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game/g_weapon.h"
#include "game_cl/cg_actions.h"
#include "game_cl/cg_centities.h"
#include "game_cl/cg_channels.h"
#include "game_cl/cg_commands.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_draw2d.h"
#include "game_cl/cg_ents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_marks.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_particles.h"
#include "game_cl/cg_predict.h"
#include "game_cl/cg_screen.h"
#include "game_cl/cg_view.h"
#include "game_cl/cg_world.h"
#include "game_sv/sg_public.h"
#include "game_ui/ui_main.h"

cg_t cg;
cgWorld_t cgw;

// ---- constants of the life cycle ----

// The movement parameters a connection starts with, until the server sends its own.
constexpr cmoveParams_t CG_DEFAULT_MOVE_PARAMS = {
    15.5f, 6.0f, 5.0f, 2.2f, 3.5f, 1.75f, 1.4f, 6.1f, 8.0f, 1000.0f,
    16.0f, 1.1f, 20.1f, 10.0f, 10.0f, 2.75f, 15.0f, 15.0f, 15.0f,
};

constexpr float CG_FOV_MIN = 10.0f, CG_FOV_MAX = 140.0f;
constexpr int32_t CG_HANDICAP_MIN = 10, CG_HANDICAP_MAX = 100;
constexpr float CG_PAIN_RATE = 4.0f;        // per second, toward the target
constexpr float CG_PAIN_PER_HURT = 0.65f;
// The engine's music volume is a whole number; a world gives 0..1.
constexpr float CG_MUSIC_VOLUME_SCALE = 255.0f;
constexpr const char *CG_LOOPBACK_TEXT = "127.0.0.1";  // the engine resolves it to its loop-back
constexpr const char *CG_MEDIA_FAILED = "Could not load map media";

// ---- media marks ----

// Registers the watermark set: everything registered after it belongs to the world.
static void CG_RegisterWatermarks() {
    cgWatermarks_t &w = cg.watermarks;
    w.material = Trap_RegisterMaterial("game/base/watermark.material");
    w.texture = Trap_RegisterTexture("game/base/watermark.tga");
    w.model = CG_LoadModel("game/base/watermark.model");
    w.lod = Trap_RegisterLOD("game/base/watermark.lo3", 0);
    w.sound = Trap_RegisterSound("game/base/watermark.wav");
    w.particle = CG_LoadParticle("game/base/watermark.particle");
    w.animation = CG_LoadAnimation(w.model, "game/base/watermark.am2");
}

// Releases every world medium: each kind from its watermark handle + 1 upward.
static void CG_ClearMediaAboveWaterMarks() {
    const cgWatermarks_t &w = cg.watermarks;
    Trap_UnregisterMaterial(w.material + 1);
    Trap_UnregisterTexture(w.texture + 1);
    Trap_UnregisterLOD(w.lod + 1);
    Trap_UnregisterSound(w.sound + 1);
    CG_UnloadModel(w.model + 1);
    CG_UnloadAnimation(w.animation + 1);
    CG_UnloadParticle(w.particle + 1);
}

// Forgets every loaded model, animation and particle class and every script text.
static void CG_UnloadAllMedia() {
    CG_ShutdownActionScripts();
    CG_UnloadModel(0);
    CG_UnloadAnimation(0);
    CG_UnloadParticle(0);
}

// ---- module load, client start and shutdown ----

void CG_Imp() {
    memset(&cg, 0, sizeof cg);
    cg.loadingBlocked = 1;
    CG_RegisterCommands();
    CG_RegisterVariables();
    CG_Name_v();
}

// One frame while the client game loads: a black screen and "LOADING..." in its middle.
static void CG_DrawLoadingFrame() {
    const int32_t white = Trap_RegisterTexture("game/c_textures/white.tga");
    const int32_t font = Trap_RegisterFont("game/base/normal.font");
    Trap_R_BeginFrame();
    CG_DrawStretchPic(0, 0, 0, 640, 480, color_black, -white, 0);
    CG_DrawString(0, 320, 240, 1.0f, "LOADING...", color_white, font, CG_TEXT_CENTER);
    Trap_R_EndFrame(nullptr);
}

void CG_Init() {
    if (cg.initialized) {
        Com_DPrintf("CG_Init: Already initialized!!");
        return;
    }
    cg.loadingBlocked = 0;
    G_RefreshQGame();
    CG_DrawLoadingFrame();
    CG_RestartRenderer();
    CG_InitMarks();
    cg.initialized = 1;
    CG_Name_v();
    if (!cg_skipIntro.integer) UI_BeginCinematic(nullptr);
}

void CG_Shutdown() {
    if (!cg.initialized) return;
    if (cg.ecl.state != ECL_DISCONNECTED) CG_Disconnect(0);
    CG_ClearMarks();
    CG_UnloadAllMedia();
    cg.initialized = 0;
    memset(cg.tmModels, 0, sizeof cg.tmModels);
}

uint8_t CG_IsInitialized() { return cg.initialized; }

void CG_RestartRenderer() {
    CG_UnloadAllMedia();
    CG_LoadDefaultModel();
    CG_LoadDefaultParticle();
    CG_InitParticles();
    CG_InitActionScripts();
    Trap_CL_UploadECL(&cg);
    UI_RegisterMedia();
    CG_RegisterWatermarks();
    if (cg.ecl.state == ECL_CONNECTED) CG_MapChange(cg.mapPath);
}

// ---- connection ----

uint8_t CG_ConnectedToServer() {
    Com_Printf("We are connected to server");
    cg.menu = CG_MENU_NONE;
    cg.moveParams = CG_DEFAULT_MOVE_PARAMS;
    cg.ccNumber = 0;
    cg.issuedEvents = 0;
    cg.issuedMoveEvents = 0;
    return 1;
}

void CG_Connect(const netadr_t *address, const char *password) {
    // The engine reads the address back from text; its own name for the loop-back
    // is not one it resolves, so the loop-back goes as the number that is.
    // The number 127.0.0.1 is that loop-back, though: a server of another process on
    // this machine is reached through the network by the name "localhost".
    char text[64];
    if (address->type == NA_IP && address->ip[0] == 127 && address->ip[1] == 0 && address->ip[2] == 0 &&
        address->ip[3] == 1)
        Com_sprintf(text, sizeof text, "localhost:%d", address->port);
    else
        Com_strncpyz(text, address->type == NA_LOCAL ? CG_LOOPBACK_TEXT : Com_adrstr(address), sizeof text);
    Com_Printf("Connecting to %s...", text);
    CG_Disconnect(0);
    Trap_CL_ConnectToServer(text, password ? password : "", cg.playerName);
}

void CG_Disconnect(uint8_t flag) {
    if (cg.ecl.state == ECL_DISCONNECTED) return;
    Trap_CL_DisconnectFromServer("");
    CG_ClearMarks();
    CG_ClearMediaAboveWaterMarks();
    CG_ShutdownActionScripts();
    if (SG_IsRunning()) SG_ShutdownServer(flag);
}

// ---- world change ----

// The value of a world info key, "" when it is absent.
static const char *WorldValue(const char *key) {
    const char *value = Com_IS_GetValue(cg.worldInfo, key);
    return value ? value : "";
}

static void WorldVector(vec3_t out, const char *key) {
    const float *v = Com_GetVec(Com_IS_GetValue(cg.worldInfo, key));
    _VectorCopy(out, v);
}

// A path from the server's world info names a file of the game's tree: never an
// absolute path, never one that climbs out of the tree.
static bool CG_IsWorldPath(const char *path) {
    if (path[0] == '/' || path[0] == '\\') return false;
    if (Com_IsAlpha(static_cast<unsigned char>(path[0])) && path[1] == ':') return false;
    return strstr(path, "..") == nullptr;
}

// A failed world change: the reason is reported, the window shows what went wrong
// and the client leaves the server.
static uint8_t CG_MapChangeFailed() {
    UI_ShowDisconnectWindow(CG_MEDIA_FAILED);
    CG_Disconnect(0);
    return 0;
}

// The world's loading picture: its own image when it has one, else the interface's.
static void CG_RegisterLoadingImage() {
    char path[CG_PATH_SIZE];
    Com_strncpyz(path, WorldValue("image_path"), sizeof path);
    if (path[0] && !CG_IsWorldPath(path))
        Com_Error(ER_WARNING, "CG_MapChange: refused the loading image \"%s\"", path);
    else if (path[0])
        cgw.loadingImage = Trap_RegisterTextureNoMip(path);
    if (!cgw.loadingImage) cgw.loadingImage = UI_GetUserMapImage();
}

// The fog's level of detail; false (reported) when the world has fog and it cannot be had.
static bool CG_RegisterFog() {
    char path[CG_PATH_SIZE];
    Com_strncpyz(path, WorldValue("fog_lod_path"), sizeof path);
    // An endless radius is no fog at all; a huge one asks for the largest size there is.
    if (!std::isfinite(cgw.fogRadius)) cgw.fogRadius = 0.0f;
    if (cgw.fogRadius > 0.0f && path[0]) {
        const double size = std::min(2.0 * cgw.fogRadius, double{INT32_MAX});
        if (CG_IsWorldPath(path)) cgw.fogLod = Trap_RegisterLOD(path, static_cast<int32_t>(size));
        if (!cgw.fogLod) {
            Com_Error(ER_ERROR, "Could not load fog media \"%s\"", path);
            return false;
        }
    } else {
        cgw.fogRadius = 0.0f;
    }
    return true;
}

// The sky material; false (reported) when the world names one that cannot be had.
static bool CG_RegisterSky() {
    char path[CG_PATH_SIZE];
    Com_strncpyz(path, WorldValue("sky_path"), sizeof path);
    if (!path[0]) return true;  // a world without a sky
    if (CG_IsWorldPath(path)) cgw.sky = Trap_RegisterMaterial(path);
    if (!cgw.sky) {
        Com_Error(ER_ERROR, "Could not load sky media \"%s\"", path);
        return false;
    }
    return true;
}

// Reads and parses world material i from the file the world names; false (reported)
// when the file cannot be read or its material is not valid.
static bool CG_LoadWorldMaterial(int i, const char *file) {
    char path[CG_PATH_SIZE];
    Com_strncpyz(path, file, sizeof path);
    void *text = nullptr;
    int parsed = 0;
    if (CG_IsWorldPath(path) && Trap_ReadFile(path, &text) >= 0 && text) {
        parsed = G_ParseWorldMaterial(&cgw.materials[i], static_cast<const char *>(text), path, 0);
        Trap_FreeFile(text);
    }
    if (!parsed) Com_Error(ER_ERROR, "Could not load material \"%s\" (1)", path);
    return parsed != 0;
}

// The world's materials "wm0" to "wm255"; the others keep their defaults.
static bool CG_LoadWorldMaterials() {
    const char *files[WORLD_MATERIALS];
    int32_t total = 0;
    for (int i = 0; i < WORLD_MATERIALS; i++) {
        // Looked-up values live in a few rotating buffers: keep only presence here.
        files[i] = Com_IS_GetValue(cg.worldInfo, va("wm%d", i)) ? "" : nullptr;
        if (files[i]) total++;
    }
    for (worldMaterial_t &wm : cgw.materials) G_SetWorldMaterialDefaults(&wm);
    CG_UpdateLoadingScreen(0, "World Materials", 0, total);
    int32_t done = 0;
    for (int i = 0; i < WORLD_MATERIALS; i++) {
        if (!files[i]) continue;
        if (!CG_LoadWorldMaterial(i, WorldValue(va("wm%d", i)))) return false;
        Trap_CL_SendKeepAlive();
        CG_UpdateLoadingScreen(0, "World Materials", ++done, total);
    }
    return true;
}

// The world's music replaces whatever played before.
static void CG_StartWorldMusic() {
    if (cg.musicPlaying) {
        cg.musicPlaying = 0;
        Trap_S_EndMusic();
    }
    // Written so that a volume that is not a number plays nothing.
    if (!cgw.musicPath[0] || !(cgw.musicVolume > 0.0f)) return;
    if (!CG_IsWorldPath(cgw.musicPath)) {
        Com_Error(ER_WARNING, "CG_MapChange: refused the music \"%s\"", cgw.musicPath);
        return;
    }
    const float volume = cgw.musicVolume > 1.0f ? 1.0f : cgw.musicVolume;  // louder than full is full
    Trap_S_BeginMusic(cgw.musicPath, static_cast<int32_t>(volume * CG_MUSIC_VOLUME_SCALE));
    cg.musicPlaying = 1;
}

uint8_t CG_MapChange(const char *path) {
    // The path may be cg.mapPath itself (a renderer restart): keep a copy.
    char mapPath[CG_PATH_SIZE];
    Com_strncpyz(mapPath, path ? path : "", sizeof mapPath);

    memset(&cgw, 0, sizeof cgw);
    cg.worldInfo = Trap_CL_GetWorldInfoString();
    CG_UpdateLoadingScreen(0, "World", 0, 0);
    Trap_CL_SendKeepAlive();
    Trap_S_ClearDMA();
    CG_StopAllActionScripts();
    CG_ClearMediaAboveWaterMarks();
    Trap_CL_SendKeepAlive();

    Com_strncpyz(cgw.name, WorldValue("name"), sizeof cgw.name);
    cgw.coreAlt = Com_atof(WorldValue("core_alt"));
    cgw.spaceAlt = Com_atof(WorldValue("space_alt"));
    Com_strncpyz(cgw.musicPath, WorldValue("music_path"), sizeof cgw.musicPath);
    cgw.musicVolume = Com_atof(WorldValue("music_volume"));
    WorldVector(cgw.spaceBox, "space_box");
    WorldVector(cgw.skySpeed, "sky_speed");
    WorldVector(cgw.fogColor, "fog_color");
    cgw.fogSight = Com_atof(WorldValue("fog_sight"));
    cgw.fogRadius = Com_atof(WorldValue("fog_radius"));
    cgw.sparkRain = Com_atoi(WorldValue("spark_rain"));
    cgw.linearGravity = static_cast<uint8_t>(Com_atoi(WorldValue("linear_gravity")));

    if (!Trap_RegisterMaterial("game/base/sv_pure_check.material")) {
        Com_Error(ER_ERROR, "Could not load map media (sv_pure 1?)");
        UI_ShowDisconnectWindow("Could not load map media (sv_pure 1?)");
        CG_Disconnect(0);
        return 0;
    }
    CG_RegisterLoadingImage();
    CG_UpdateLoadingScreen(0, "Fog", 0, 0);
    if (!CG_RegisterFog()) return CG_MapChangeFailed();
    CG_UpdateLoadingScreen(0, "Sky", 0, 0);
    if (!CG_RegisterSky()) return CG_MapChangeFailed();
    if (!CG_LoadWorldMaterials()) return CG_MapChangeFailed();

    Trap_CL_SendKeepAlive();

    UI_ConsoleForceUp();
    G_UploadWorldMaterials(cgw.materials);
    Trap_SetWorldAltitudes(cgw.coreAlt, cgw.spaceAlt, cgw.spaceBox, cgw.linearGravity);
    Trap_CL_SendKeepAlive();

    CG_RegisterMedia();
    CG_RegisterWeapons();
    Trap_CL_SendKeepAlive();
    CG_RegisterEntities();
    Trap_CL_SendKeepAlive();

    CG_ClearChannel(&cg.weaponChannel);
    for (channel_t (&set)[CG_BODY_CHANNELS] : cg.bodyChannels)
        for (channel_t &c : set) CG_ClearChannel(&c);
    for (channel_t &c : cg.magazineChannels) CG_ClearChannel(&c);
    CG_ClearChannel(&cg.drumChannel);
    cg.older = cg.newer = nullptr;
    memset(&cg.predicted, 0, sizeof cg.predicted);
    cg.predicted.moveType = MT_SPECTATOR;
    CG_ClearEntities();
    CG_ClearCEntities();
    CG_ClearParticles();
    CG_ClearMarks();
    CG_InitWorld();
    Trap_CL_SendKeepAlive();

    CG_StartWorldMusic();

    Com_strncpyz(cg.mapPath, mapPath, sizeof cg.mapPath);
    UI_ConsoleClearNotify();
    return 1;
}

// ---- the frame ----

// How much the screen shows pain: by life left, plus the last damage's flash.
static float CG_PainTarget(int32_t life, float hurt) {
    float target = 0.0f;
    if (life < 10) target = 0.6f;
    else if (life < 20) target = 0.45f;
    else if (life < 30) target = 0.3f;
    else if (life < 40) target = 0.2f;
    else if (life < 50) target = 0.1f;
    target += CG_PAIN_PER_HURT * hurt;
    return target > 1.0f ? 1.0f : target;
}

// pain moves toward its target at a fixed rate and stops there.
static void CG_UpdatePain() {
    const float target = CG_PainTarget(cg.predicted.health, cg.predicted.hitFlash);
    const float step = CG_PAIN_RATE * qgame.frameSeconds;
    if (cg.pain < target) cg.pain = cg.pain + step > target ? target : cg.pain + step;
    else if (cg.pain > target) cg.pain = cg.pain - step < target ? target : cg.pain - step;
}

void CG_AddPain(float amount) {
    cg.pain += amount;
    if (cg.pain > 1.0f) cg.pain = 1.0f;
}

// The client info string the engine sends to the server when it changes.
static void CG_UpdateInfoString() {
    Com_IS_ClearAllKeys(cg.infoString);
    Com_IS_AddKey(cg.infoString, "name", cg.playerName);
    Com_IS_AddKey(cg.infoString, "team", va("%d", static_cast<int32_t>(cg.team)));
    cmdVar_t *handicapVar = Trap_GetCVar("cg_handicap");
    int32_t handicap = handicapVar ? handicapVar->integer : CG_HANDICAP_MAX;
    handicap = handicap < CG_HANDICAP_MIN ? CG_HANDICAP_MIN : (handicap > CG_HANDICAP_MAX ? CG_HANDICAP_MAX : handicap);
    Com_IS_AddKey(cg.infoString, "handicap", va("%d", handicap));
    Trap_CL_UpdateInfoString(cg.infoString);
}

// Every snapshot entity for this frame: interpolated, its kind's think, its events.
static void CG_UpdateSnapshotEntities() {
    for (int32_t i = 0; i < CG_ENTITIES; i++) {
        centity_t &e = cg.entities[i];
        CG_InterpolateEntityState(&e, i);
        if (!e.s.inUse) continue;
        if (e.media && e.media->think) e.media->think(&e);
        CG_RunEntityEvents(&e);
    }
}

// The cEntities think; a survivor without a fixed axis is turned to stand on the
// world at its new place.
static void CG_UpdateCEntities() {
    for (centity_t &e : cg.cEntities) {
        if (!e.s.inUse) continue;
        if (e.media && e.media->think) {
            e.media->think(&e);
            if (!e.s.inUse) continue;
        }
        if (e.keepAxis) continue;
        G_UpdateEllipticAxis(cg.flatGravity, &e.s.ellipticAxis[0][0], e.s.origin);
        G_EllipticAxis2Axis(e.axis, &e.s.ellipticAxis[0][0], e.s.angles, 1);
    }
}

// The weapons' own frames: the held one's view frame, then every class's client frame.
static void CG_WeaponFrames() {
    if (const weaponClass_t *held = G_WeaponClass(cg.predicted.weapon); held && held->heldFrame) held->heldFrame();
    for (const weaponClass_t &wc : g_weaponClass)
        if (wc.clientFrame) wc.clientFrame();
}

// The part of the frame that needs a server: the player, the view, effects, entities.
static void CG_ConnectedFrame() {
    CG_PredictClientState();
    if (cg.predicted.weapon != cg.previousState.weapon)
        cg.lastUsedWeapon = static_cast<uint32_t>(cg.previousState.weapon);
    CG_SetupView();
    CG_UpdateParticles();
    CG_UpdateSparkRain();
    CG_IssueClientEvents();
    CG_IssueClientFlaggs();
    CG_UpdatePain();
    CG_RequestZoom();
    CG_UpdateInfoString();
    Trap_S_SetListener(cg.viewOrigin, cg.viewAxis);
    CG_UpdateSnapshotEntities();
    CG_UpdateCEntities();
    CG_WeaponFrames();
    CG_UpdateChannel(&cg.weaponChannel);
    CG_UpdateActionScripts();
    CG_WorldThink();
}

// cg_fov stays within what the view can draw.
static void CG_ClampFov() {
    cmdVar_t *fov = Trap_GetCVar("cg_fov");
    if (!fov) return;
    if (!(fov->value >= CG_FOV_MIN)) Trap_SetCVar(fov, "10");  // a value that is no number, too
    else if (fov->value > CG_FOV_MAX) Trap_SetCVar(fov, "140");
}

void CG_Frame() {
    G_SetCG();
    G_RefreshQGame();
    cg.flatGravity = cgw.linearGravity ? 1 : 0;
    cg.worldInfo = Trap_CL_GetWorldInfoString();
    if (cmdVar_t *speed = Trap_GetCVar("tm_speed")) cg.tmTime += speed->value * qgame.frameSeconds;
    CG_ClampFov();
    Trap_CL_GetSnapshot(&cg.older, &cg.newer, &cg.simTime);
    CG_RunServerCommands();

    if (cg.ecl.state == ECL_CONNECTED) {
        CG_ConnectedFrame();
    } else if (cg.ecl.state == ECL_DISCONNECTED && SG_IsRunning()) {
        // Only while disconnected: asking again during the handshake would first
        // disconnect, and that stops the very server being joined.
        const cmdVar_t *skip = Trap_GetCVar("cg_skipForceLocal");
        if (!skip || !skip->integer) {
            Com_Printf("Force local connection...");
            Trap_Add("connect 127.0.0.1");
        }
    }

    UI_Frame();
    CG_UpdateScreen();
    G_SetUndefined();
}

