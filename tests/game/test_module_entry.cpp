// The module's side of the boundary: its entry record, its call dispatcher and
// the trap wrappers, against a recording stand-in for the engine.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_weapon.h"
#include "game/g_traps.h"
#include "game_cl/cg_main.h"
#include "game_cl/cg_local.h"
#include "game_sv/sg_local.h"
#include "tests/support/capture.h"

namespace {

// ---- a stand-in engine that records every trap ----

struct trapRecord_t {
    int number = -1;
    std::vector<int64_t> values;  // each word decoded by the kind the test expects
    bool restZero = true;         // the words after the last argument are zero
};

const char *expectKinds = "";  // P pointer, W 32-bit word, F float, B byte
std::vector<trapRecord_t> traps;
intptr_t trapResult;

int64_t Decode(char kind, const gameArg_t *args, int n) {
    switch (kind) {
        case 'P':
            return args[n];
        case 'W':
            return Arg_Int(args, n);
        case 'F': {
            int32_t bits;
            const float f = Arg_Float(args, n);
            memcpy(&bits, &f, sizeof(bits));
            return bits;
        }
        case 'B':
            return Arg_Byte(args, n);
        default:
            return 0;
    }
}

intptr_t RecordingTrap(int number, gameArg_t *args) {
    trapRecord_t r;
    r.number = number;
    const int n = static_cast<int>(strlen(expectKinds));
    for (int i = 0; i < n; i++) r.values.push_back(Decode(expectKinds[i], args, i));
    for (int i = n; i < GAME_MAX_ARGS; i++) r.restZero &= args[i] == 0;
    traps.push_back(r);
    return trapResult;
}

gameImport_t GoodImport() { return {GAME_API_MAGIC, GAME_API_VERSION, sizeof(gameImport_t), RecordingTrap}; }

struct ModuleFixture : testing::Test {
    void SetUp() override {
        memset(&sgs, 0, sizeof sgs);  // no server game runs, whatever another test left
        traps.clear();
        expectKinds = "";
        trapResult = 0;
        ASSERT_EQ(G_GetGameAPI(GoodImport()).magic, GAME_API_MAGIC);
    }
    void TearDown() override {
        Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
        Com_SetupError(nullptr);
    }
};

// ---- GetGameAPI ----

TEST(ModuleEntry, GetGameAPIReturnsTheExportRecord) {
    const gameExport_t ge = G_GetGameAPI(GoodImport());
    EXPECT_EQ(ge.magic, GAME_API_MAGIC);
    EXPECT_STREQ(ge.name, "Hollowmere");
    EXPECT_STREQ(ge.version, "1.10b");
    EXPECT_EQ(ge.protocol, 110u);
    EXPECT_EQ(ge.apiVersion, 11u);
    EXPECT_EQ(ge.size, sizeof(gameExport_t));
    EXPECT_EQ(ge.call, &G_Call);
    EXPECT_EQ(gi.trap, &RecordingTrap);
}

TEST(ModuleEntry, MismatchedImportIsRefusedWithAnEmptyRecord) {
    struct {
        const char *what;
        gameImport_t import;
    } const cases[] = {
        {"magic", {0x2C7AFD06, GAME_API_VERSION, sizeof(gameImport_t), RecordingTrap}},
        {"version 9", {GAME_API_MAGIC, 9, sizeof(gameImport_t), RecordingTrap}},
        {"size 20", {GAME_API_MAGIC, GAME_API_VERSION, 20, RecordingTrap}},
    };
    for (const auto &c : cases) {
        gi = gameImport_t{};
        const gameExport_t ge = G_GetGameAPI(c.import);
        EXPECT_EQ(ge.magic, 0u) << c.what;
        EXPECT_EQ(ge.call, nullptr) << c.what;
        EXPECT_EQ(gi.trap, nullptr) << c.what << ": a refused import is not kept";
    }
}

// ---- trap wrappers ----

char words[GAME_MAX_ARGS * 8];
template <typename T>
T Pt(int i) {
    return reinterpret_cast<T>(&words[i * 8]);
}
int32_t IntValue(int i) { return 1000 + i; }
float FloatValue(int i) { return 0.25f + static_cast<float>(i); }
uint8_t ByteValue(int i) { return static_cast<uint8_t>(200 + i); }

int64_t Expected(char kind, int i) {
    switch (kind) {
        case 'P':
            return reinterpret_cast<intptr_t>(Pt<void *>(i));
        case 'W':
            return IntValue(i);
        case 'F': {
            int32_t bits;
            const float f = FloatValue(i);
            memcpy(&bits, &f, sizeof(bits));
            return bits;
        }
        case 'B':
            return ByteValue(i);
        default:
            return -1;
    }
}

struct wrapperCase_t {
    gameTrapNum_t number;
    const char *kinds;     // how each argument word travels
    char result;           // '-' none, W word, B byte, P pointer
    intptr_t (*invoke)();  // calls the wrapper with IntValue(i), FloatValue(i), ByteValue(i), Pt(i)
};

// Every wrapper but the two float-valued ones, in trap number order.
const wrapperCase_t wrapperCases[] = {
    {GTRAP_GET_QGAME, "P", '-',
     []() -> intptr_t {
         Trap_GetQGame(Pt<qgame_t *>(0));
         return 0;
     }},
    {GTRAP_GET_TIME, "", 'W', []() -> intptr_t { return Trap_GetTime(); }},
    {GTRAP_RAND, "", 'W', []() -> intptr_t { return Trap_rand(); }},
    {GTRAP_VECTOR_ADD_NOISE, "PF", '-',
     []() -> intptr_t {
         Trap_VectorAddNoise(Pt<float *>(0), FloatValue(1));
         return 0;
     }},
    {GTRAP_CLIPBOARD_GET_STRING_LENGTH, "", 'W',
     []() -> intptr_t { return Trap_Clipboard_GetStringLength(); }},
    {GTRAP_CLIPBOARD_GET_STRING, "WP", 'B',
     []() -> intptr_t { return Trap_Clipboard_GetString(IntValue(0), Pt<char *>(1)); }},
    {GTRAP_CLIPBOARD_SET_STRING, "P", '-',
     []() -> intptr_t {
         Trap_Clipboard_SetString(Pt<const char *>(0));
         return 0;
     }},
    {GTRAP_PRINT, "PB", '-',
     []() -> intptr_t {
         Trap_Print(Pt<const char *>(0), ByteValue(1));
         return 0;
     }},
    {GTRAP_ERROR, "WP", 'W', []() -> intptr_t { return Trap_Error(IntValue(0), Pt<const char *>(1)); }},
    {GTRAP_RUN_SOMETHING, "", '-',
     []() -> intptr_t {
         Trap_RunSomething();
         return 0;
     }},
    {GTRAP_SLEEP, "W", '-',
     []() -> intptr_t {
         Trap_Sleep(IntValue(0));
         return 0;
     }},
    {GTRAP_SEND_OUT_OF_BAND_PRINT, "WPP", 'B',
     []() -> intptr_t {
         return Trap_SendOutOfBandPrint(IntValue(0), Pt<const netadr_t *>(1), Pt<const char *>(2));
     }},
    {GTRAP_ARGC, "", 'W', []() -> intptr_t { return Trap_Argc(); }},
    {GTRAP_ARGV, "W", 'P', []() -> intptr_t { return reinterpret_cast<intptr_t>(Trap_Argv(IntValue(0))); }},
    {GTRAP_ADD, "P", '-',
     []() -> intptr_t {
         Trap_Add(Pt<const char *>(0));
         return 0;
     }},
    {GTRAP_FLUSH, "", '-',
     []() -> intptr_t {
         Trap_Flush();
         return 0;
     }},
    {GTRAP_CREATE_CVAR, "PPPW", '-',
     []() -> intptr_t {
         Trap_CreateCVar(Pt<cmdVar_t *>(0), Pt<const char *>(1), Pt<const char *>(2), IntValue(3));
         return 0;
     }},
    {GTRAP_CREATE_CVAR_EX, "PPPWP", '-',
     []() -> intptr_t {
         Trap_CreateCVarEx(Pt<cmdVar_t *>(0), Pt<const char *>(1), Pt<const char *>(2), IntValue(3),
                           Pt<cmdCallback_t>(4));
         return 0;
     }},
    {GTRAP_CREATE_FUNCTION, "PPW", '-',
     []() -> intptr_t {
         Trap_CreateFunction(Pt<const char *>(0), Pt<cmdCallback_t>(1), IntValue(2));
         return 0;
     }},
    {GTRAP_SET_CVAR, "PP", '-',
     []() -> intptr_t {
         Trap_SetCVar(Pt<cmdVar_t *>(0), Pt<const char *>(1));
         return 0;
     }},
    {GTRAP_GET_CVAR, "P", 'P',
     []() -> intptr_t { return reinterpret_cast<intptr_t>(Trap_GetCVar(Pt<const char *>(0))); }},
    {GTRAP_COMPLETE_CMD, "P", 'B', []() -> intptr_t { return Trap_CompleteCmd(Pt<char *>(0)); }},
    {GTRAP_MEM_ALLOC, "W", 'P',
     []() -> intptr_t { return reinterpret_cast<intptr_t>(Trap_Mem_Alloc(IntValue(0))); }},
    {GTRAP_MEM_FREE, "P", '-',
     []() -> intptr_t {
         Trap_Mem_Free(Pt<void *>(0));
         return 0;
     }},
    {GTRAP_READ_FILE, "PP", 'W',
     []() -> intptr_t { return Trap_ReadFile(Pt<const char *>(0), Pt<void **>(1)); }},
    {GTRAP_READ_FILE_25K, "PP", 'W',
     []() -> intptr_t { return Trap_ReadFile25K(Pt<const char *>(0), Pt<void **>(1)); }},
    {GTRAP_WRITE_FILE, "PWP", 'W',
     []() -> intptr_t { return Trap_WriteFile(Pt<const char *>(0), IntValue(1), Pt<const void *>(2)); }},
    {GTRAP_FREE_FILE, "P", '-',
     []() -> intptr_t {
         Trap_FreeFile(Pt<void *>(0));
         return 0;
     }},
    {GTRAP_FOPEN, "PP", 'P',
     []() -> intptr_t {
         return reinterpret_cast<intptr_t>(Trap_FOpen(Pt<const char *>(0), Pt<const char *>(1)));
     }},
    {GTRAP_FCLOSE, "P", '-',
     []() -> intptr_t {
         Trap_FClose(Pt<FILE *>(0));
         return 0;
     }},
    {GTRAP_FREAD, "PWP", 'W',
     []() -> intptr_t { return Trap_FRead(Pt<void *>(0), IntValue(1), Pt<FILE *>(2)); }},
    {GTRAP_FWRITE, "PWP", 'W',
     []() -> intptr_t { return Trap_FWrite(Pt<const void *>(0), IntValue(1), Pt<FILE *>(2)); }},
    {GTRAP_FWRITE_STRING, "PP", 'W',
     []() -> intptr_t { return Trap_FWriteString(Pt<const char *>(0), Pt<FILE *>(1)); }},
    {GTRAP_LOAD_MPK, "", '-',
     []() -> intptr_t {
         Trap_LoadMpk();
         return 0;
     }},
    {GTRAP_FIND_FILES, "PPWW", 'W',
     []() -> intptr_t {
         return Trap_FindFiles(Pt<void *>(0), Pt<const char *>(1), IntValue(2), IntValue(3));
     }},
    {GTRAP_GET_FILE_MD5, "PP", 'B',
     []() -> intptr_t { return Trap_GetFileMD5(Pt<uint8_t *>(0), Pt<const char *>(1)); }},
    {GTRAP_TRACE, "PPP", '-',
     []() -> intptr_t {
         Trap_Trace(Pt<trace_t *>(0), Pt<const obb_t *>(1), Pt<const obb_t *>(2));
         return 0;
     }},
    {GTRAP_CLIP_DECAL, "PPPPPPPWW", '-',
     []() -> intptr_t {
         Trap_ClipDecal(Pt<int32_t *>(0), Pt<int32_t *>(1), Pt<void *>(2), Pt<void *>(3),
                        Pt<const float *>(4), Pt<const float *>(5), Pt<const float *>(6), IntValue(7),
                        IntValue(8));
         return 0;
     }},
    {GTRAP_UPLOAD_WORLD_MATERIALS, "P", '-',
     []() -> intptr_t {
         Trap_UploadWorldMaterials(Pt<const void *>(0));
         return 0;
     }},
    {GTRAP_SET_WORLD_ALTITUDES, "FFPB", '-',
     []() -> intptr_t {
         Trap_SetWorldAltitudes(FloatValue(0), FloatValue(1), Pt<const float *>(2), ByteValue(3));
         return 0;
     }},
    {GTRAP_UNDO_SNAPSHOT, "", '-',
     []() -> intptr_t {
         Trap_UndoSnapshot();
         return 0;
     }},
    {GTRAP_SETUP_SOUP, "PBPPF", '-',
     []() -> intptr_t {
         Trap_SetupSoup(Pt<const void *>(0), ByteValue(1), Pt<const float *>(2), Pt<const float *>(3),
                        FloatValue(4));
         return 0;
     }},
    {GTRAP_CHECK_SOUP_CONNECT, "", 'B', []() -> intptr_t { return Trap_CheckSoupConnect(); }},
    {GTRAP_SUB_SOUP, "WF", '-',
     []() -> intptr_t {
         Trap_SubSoup(IntValue(0), FloatValue(1));
         return 0;
     }},
    {GTRAP_ADD_SOUP, "WW", '-',
     []() -> intptr_t {
         Trap_AddSoup(IntValue(0), IntValue(1));
         return 0;
     }},
    {GTRAP_PAINT_SOUP, "WW", '-',
     []() -> intptr_t {
         Trap_PaintSoup(IntValue(0), IntValue(1));
         return 0;
     }},
    {GTRAP_BLUR_SOUP, "WWW", '-',
     []() -> intptr_t {
         Trap_BlurSoup(IntValue(0), IntValue(1), IntValue(2));
         return 0;
     }},
    {GTRAP_DAMAGE_MATTER, "PFWW", '-',
     []() -> intptr_t {
         Trap_DamageMatter(Pt<const float *>(0), FloatValue(1), IntValue(2), IntValue(3));
         return 0;
     }},
    {GTRAP_SV_UPLOAD_WORLD_INFO_STRING, "P", '-',
     []() -> intptr_t {
         Trap_SV_UploadWorldInfoString(Pt<const char *>(0));
         return 0;
     }},
    {GTRAP_GET_VIEW_PVS, "PPFF", 'P',
     []() -> intptr_t {
         return reinterpret_cast<intptr_t>(
             Trap_GetViewPVS(Pt<const float *>(0), Pt<const float *>(1), FloatValue(2), FloatValue(3)));
     }},
    {GTRAP_WO_CHECK_POINT_PVS, "PPF", 'B',
     []() -> intptr_t {
         return Trap_WO_CheckPointPVS(Pt<const void *>(0), Pt<const float *>(1), FloatValue(2));
     }},
    {GTRAP_WO_CHECK_BOUNDS_PVS, "PPPPP", 'B',
     []() -> intptr_t {
         return Trap_WO_CheckBoundsPVS(Pt<const void *>(0), Pt<const float *>(1), Pt<const float *>(2),
                                       Pt<const float *>(3), Pt<const float *>(4));
     }},
    {GTRAP_REGISTER_FONT, "P", 'W', []() -> intptr_t { return Trap_RegisterFont(Pt<const char *>(0)); }},
    {GTRAP_REGISTER_TEXTURE, "P", 'W',
     []() -> intptr_t { return Trap_RegisterTexture(Pt<const char *>(0)); }},
    {GTRAP_REGISTER_TEXTURE_NO_MIP, "P", 'W',
     []() -> intptr_t { return Trap_RegisterTextureNoMip(Pt<const char *>(0)); }},
    {GTRAP_REGISTER_TEXTURE_CUBE, "P", 'W',
     []() -> intptr_t { return Trap_RegisterTextureCube(Pt<const char *>(0)); }},
    {GTRAP_REGISTER_MATERIAL, "P", 'W',
     []() -> intptr_t { return Trap_RegisterMaterial(Pt<const char *>(0)); }},
    {GTRAP_RELOAD_MATERIAL, "W", '-',
     []() -> intptr_t {
         Trap_ReloadMaterial(IntValue(0));
         return 0;
     }},
    {GTRAP_REGISTER_SOUND, "P", 'W', []() -> intptr_t { return Trap_RegisterSound(Pt<const char *>(0)); }},
    {GTRAP_REGISTER_LOD, "PW", 'W',
     []() -> intptr_t { return Trap_RegisterLOD(Pt<const char *>(0), IntValue(1)); }},
    {GTRAP_GET_LOD_INFO, "WPP", '-',
     []() -> intptr_t {
         Trap_GetLODInfo(IntValue(0), Pt<void *>(1), Pt<void *>(2));
         return 0;
     }},
    {GTRAP_UNREGISTER_FONT, "W", '-',
     []() -> intptr_t {
         Trap_UnregisterFont(IntValue(0));
         return 0;
     }},
    {GTRAP_UNREGISTER_TEXTURE, "W", '-',
     []() -> intptr_t {
         Trap_UnregisterTexture(IntValue(0));
         return 0;
     }},
    {GTRAP_UNREGISTER_MATERIAL, "W", '-',
     []() -> intptr_t {
         Trap_UnregisterMaterial(IntValue(0));
         return 0;
     }},
    {GTRAP_UNREGISTER_LOD, "W", '-',
     []() -> intptr_t {
         Trap_UnregisterLOD(IntValue(0));
         return 0;
     }},
    {GTRAP_UNREGISTER_SOUND, "W", '-',
     []() -> intptr_t {
         Trap_UnregisterSound(IntValue(0));
         return 0;
     }},
    {GTRAP_S_SET_LISTENER, "PP", '-',
     []() -> intptr_t {
         Trap_S_SetListener(Pt<const float *>(0), Pt<const float *>(1));
         return 0;
     }},
    {GTRAP_S_STOP_PLAY_CHANNEL, "W", '-',
     []() -> intptr_t {
         Trap_S_StopPlayChannel(IntValue(0));
         return 0;
     }},
    {GTRAP_S_BEGIN_MUSIC, "PW", '-',
     []() -> intptr_t {
         Trap_S_BeginMusic(Pt<const char *>(0), IntValue(1));
         return 0;
     }},
    {GTRAP_S_END_MUSIC, "", '-',
     []() -> intptr_t {
         Trap_S_EndMusic();
         return 0;
     }},
    {GTRAP_S_PLAY_LOCAL_SOUND, "W", 'W', []() -> intptr_t { return Trap_S_PlayLocalSound(IntValue(0)); }},
    {GTRAP_S_PLAY_POINT_SOUND, "WP", 'W',
     []() -> intptr_t { return Trap_S_PlayPointSound(IntValue(0), Pt<const float *>(1)); }},
    {GTRAP_S_CLEAR_DMA, "", '-',
     []() -> intptr_t {
         Trap_S_ClearDMA();
         return 0;
     }},
    {GTRAP_R_GET_RENDERER_CONFIG, "P", '-',
     []() -> intptr_t {
         Trap_R_GetRendererConfig(Pt<void *>(0));
         return 0;
     }},
    {GTRAP_R_BEGIN_FRAME, "", '-',
     []() -> intptr_t {
         Trap_R_BeginFrame();
         return 0;
     }},
    {GTRAP_R_CLEAR_SCENE, "W", '-',
     []() -> intptr_t {
         Trap_R_ClearScene(IntValue(0));
         return 0;
     }},
    {GTRAP_R_ADD_SURFACES, "PB", '-',
     []() -> intptr_t {
         Trap_R_AddSurfaces(Pt<void *>(0), ByteValue(1));
         return 0;
     }},
    {GTRAP_R_ADD_SURFACE_ENTITY, "P", '-',
     []() -> intptr_t {
         Trap_R_AddSurfaceEntity(Pt<void *>(0));
         return 0;
     }},
    {GTRAP_R_ADD_LIGHT, "P", '-',
     []() -> intptr_t {
         Trap_R_AddLight(Pt<void *>(0));
         return 0;
     }},
    {GTRAP_R_RENDER_SCENE, "PP", '-',
     []() -> intptr_t {
         Trap_R_RenderScene(Pt<void *>(0), Pt<void *>(1));
         return 0;
     }},
    {GTRAP_R_END_FRAME, "P", '-',
     []() -> intptr_t {
         Trap_R_EndFrame(Pt<void *>(0));
         return 0;
     }},
    {GTRAP_R_ALLOC_SURFACES, "WB", 'P',
     []() -> intptr_t {
         return reinterpret_cast<intptr_t>(Trap_R_AllocSurfaces(IntValue(0), ByteValue(1)));
     }},
    {GTRAP_R_ALLOC_BONES, "W", 'P',
     []() -> intptr_t { return reinterpret_cast<intptr_t>(Trap_R_AllocBones(IntValue(0))); }},
    {GTRAP_R_SETUP_SURFACE_ENTITY, "P", '-',
     []() -> intptr_t {
         Trap_R_SetupSurfaceEntity(Pt<void *>(0));
         return 0;
     }},
    {GTRAP_R_ALLOC_LIGHT, "WPW", 'P',
     []() -> intptr_t {
         return reinterpret_cast<intptr_t>(Trap_R_AllocLight(IntValue(0), Pt<void *>(1), IntValue(2)));
     }},
    {GTRAP_R_GET_RENDER_DEST_WIDTH, "W", 'W',
     []() -> intptr_t { return Trap_R_GetRenderDestWidth(IntValue(0)); }},
    {GTRAP_R_GET_RENDER_DEST_HEIGHT, "W", 'W',
     []() -> intptr_t { return Trap_R_GetRenderDestHeight(IntValue(0)); }},
    {GTRAP_CL_GET_FONT_CHAR_WIDTH, "W", 'W',
     []() -> intptr_t { return Trap_CL_GetFontCharWidth(IntValue(0)); }},
    {GTRAP_CL_GET_FONT_CHAR_HEIGHT, "W", 'W',
     []() -> intptr_t { return Trap_CL_GetFontCharHeight(IntValue(0)); }},
    {GTRAP_CL_DRAW_STRING, "WFFFPWPWW", '-',
     []() -> intptr_t {
         Trap_CL_DrawString(IntValue(0), FloatValue(1), FloatValue(2), FloatValue(3), Pt<const char *>(4),
                            IntValue(5), Pt<const float *>(6), IntValue(7), IntValue(8));
         return 0;
     }},
    {GTRAP_CL_DRAW_TRIS_PIC, "WPPWWWB", '-',
     []() -> intptr_t {
         Trap_CL_DrawTrisPic(IntValue(0), Pt<const void *>(1), Pt<const void *>(2), IntValue(3), IntValue(4),
                             IntValue(5), ByteValue(6));
         return 0;
     }},
    {GTRAP_LOOKUP_DNS, "PP", 'B',
     []() -> intptr_t { return Trap_LookupDNS(Pt<netadr_t *>(0), Pt<const char *>(1)); }},
    {GTRAP_CL_UPLOAD_ECL, "P", '-',
     []() -> intptr_t {
         Trap_CL_UploadECL(Pt<void *>(0));
         return 0;
     }},
    {GTRAP_CL_CONNECT_TO_SERVER, "PPP", '-',
     []() -> intptr_t {
         Trap_CL_ConnectToServer(Pt<const char *>(0), Pt<const char *>(1), Pt<const char *>(2));
         return 0;
     }},
    {GTRAP_CL_DISCONNECT_FROM_SERVER, "P", '-',
     []() -> intptr_t {
         Trap_CL_DisconnectFromServer(Pt<const char *>(0));
         return 0;
     }},
    {GTRAP_CL_GET_SNAPSHOT, "PPP", '-',
     []() -> intptr_t {
         Trap_CL_GetSnapshot(Pt<void *>(0), Pt<void *>(1), Pt<void *>(2));
         return 0;
     }},
    {GTRAP_CL_SEND_CLIENT_COMMAND, "P", '-',
     []() -> intptr_t {
         Trap_CL_SendClientCommand(Pt<cc_t *>(0));
         return 0;
     }},
    {GTRAP_CL_GET_NEXT_SERVER_COMMAND, "P", '-',
     []() -> intptr_t {
         Trap_CL_GetNextServerCommand(Pt<char *>(0));
         return 0;
     }},
    {GTRAP_CL_SERVER_COMMAND_ARGC, "", 'W', []() -> intptr_t { return Trap_CL_ServerCommandArgc(); }},
    {GTRAP_CL_SERVER_COMMAND_ARGV, "W", 'P',
     []() -> intptr_t { return reinterpret_cast<intptr_t>(Trap_CL_ServerCommandArgv(IntValue(0))); }},
    {GTRAP_SET_CURSOR_MODE, "", '-',
     []() -> intptr_t {
         Trap_SetCursorMode();
         return 0;
     }},
    {GTRAP_SET_AIM_MODE, "", '-',
     []() -> intptr_t {
         Trap_SetAimMode();
         return 0;
     }},
    {GTRAP_CENTER_CURSOR, "", '-',
     []() -> intptr_t {
         Trap_CenterCursor();
         return 0;
     }},
    {GTRAP_GET_BINDING, "P", 'W', []() -> intptr_t { return Trap_GetBinding(Pt<const char *>(0)); }},
    {GTRAP_CLEAR_KEY_BINDING, "W", '-',
     []() -> intptr_t {
         Trap_ClearKeyBinding(IntValue(0));
         return 0;
     }},
    {GTRAP_CL_SEND_KEEP_ALIVE, "", '-',
     []() -> intptr_t {
         Trap_CL_SendKeepAlive();
         return 0;
     }},
    {GTRAP_CL_GET_STATS, "P", '-',
     []() -> intptr_t {
         Trap_CL_GetStats(Pt<void *>(0));
         return 0;
     }},
    {GTRAP_CL_UPDATE_INFO_STRING, "P", '-',
     []() -> intptr_t {
         Trap_CL_UpdateInfoString(Pt<const char *>(0));
         return 0;
     }},
    {GTRAP_CL_GET_WORLD_INFO_STRING, "", 'P',
     []() -> intptr_t { return reinterpret_cast<intptr_t>(Trap_CL_GetWorldInfoString()); }},
    {GTRAP_CIN_BEGIN_CINEMATIC, "P", 'B',
     []() -> intptr_t { return Trap_CIN_BeginCinematic(Pt<const char *>(0)); }},
    {GTRAP_CIN_END_CINEMATIC, "", '-',
     []() -> intptr_t {
         Trap_CIN_EndCinematic();
         return 0;
     }},
    {GTRAP_CIN_DRAW_CINEMATIC, "WWWWWPW", 'B',
     []() -> intptr_t {
         return Trap_CIN_DrawCinematic(IntValue(0), IntValue(1), IntValue(2), IntValue(3), IntValue(4),
                                       Pt<void *>(5), IntValue(6));
     }},
    {GTRAP_SV_START_SERVER, "P", '-',
     []() -> intptr_t {
         Trap_SV_StartServer(Pt<const char *>(0));
         return 0;
     }},
    {GTRAP_SV_LOAD_VO2, "PP", 'B',
     []() -> intptr_t { return Trap_SV_LoadVO2(Pt<const char *>(0), Pt<const uint8_t *>(1)); }},
    {GTRAP_SV_SHUTDOWN_SERVER, "B", '-',
     []() -> intptr_t {
         Trap_SV_ShutdownServer(ByteValue(0));
         return 0;
     }},
    {GTRAP_SV_UPLOAD_CLIENT_STATE_REFERENCE, "PW", '-',
     []() -> intptr_t {
         Trap_SV_UploadClientStateReference(Pt<void *>(0), IntValue(1));
         return 0;
     }},
    {GTRAP_SV_UPLOAD_ENTITY_STATE_REFERENCE, "PW", '-',
     []() -> intptr_t {
         Trap_SV_UploadEntityStateReference(Pt<void *>(0), IntValue(1));
         return 0;
     }},
    {GTRAP_SV_UPLOAD_SNAPSHOT_GAME_DATA_REFERENCE, "PW", '-',
     []() -> intptr_t {
         Trap_SV_UploadSnapshotGameDataReference(Pt<void *>(0), IntValue(1));
         return 0;
     }},
    {GTRAP_SV_GET_CLIENT_COMMAND, "W", 'P',
     []() -> intptr_t { return reinterpret_cast<intptr_t>(Trap_SV_GetClientCommand(IntValue(0))); }},
    {GTRAP_SV_GET_CLIENT_INFO, "W", 'P',
     []() -> intptr_t { return reinterpret_cast<intptr_t>(Trap_SV_GetClientInfo(IntValue(0))); }},
    {GTRAP_SV_ADD_CLIENT, "WPWW", '-',
     []() -> intptr_t {
         Trap_SV_AddClient(IntValue(0), Pt<const netadr_t *>(1), IntValue(2), IntValue(3));
         return 0;
     }},
    {GTRAP_SV_DELETE_CLIENT, "W", '-',
     []() -> intptr_t {
         Trap_SV_DeleteClient(IntValue(0));
         return 0;
     }},
    {GTRAP_SV_GET_CLIENT_PING, "W", 'W', []() -> intptr_t { return Trap_SV_GetClientPing(IntValue(0)); }},
    {GTRAP_SV_SEND_SERVER_COMMAND, "WP", '-',
     []() -> intptr_t {
         Trap_SV_SendServerCommand(IntValue(0), Pt<const char *>(1));
         return 0;
     }},
    {GTRAP_SV_LINK_ENTITY, "W", '-',
     []() -> intptr_t {
         Trap_SV_LinkEntity(IntValue(0));
         return 0;
     }},
    {GTRAP_SV_UNLINK_ENTITY, "W", '-',
     []() -> intptr_t {
         Trap_SV_UnlinkEntity(IntValue(0));
         return 0;
     }},
};

TEST_F(ModuleFixture, EveryWrapperPacksItsArgumentsForItsTrapNumber) {
    std::vector<int> seen;
    constexpr intptr_t result = 0x12345678;
    for (const wrapperCase_t &c : wrapperCases) {
        SCOPED_TRACE(testing::Message() << "trap " << c.number);
        traps.clear();
        expectKinds = c.kinds;
        trapResult = result;
        const intptr_t got = c.invoke();
        ASSERT_EQ(traps.size(), 1u);
        const trapRecord_t &r = traps[0];
        EXPECT_EQ(r.number, c.number);
        for (size_t i = 0; i < strlen(c.kinds); i++) {
            EXPECT_EQ(r.values[i], Expected(c.kinds[i], static_cast<int>(i))) << "word " << i;
        }
        EXPECT_TRUE(r.restZero);
        switch (c.result) {
            case 'W':
            case 'P':
                EXPECT_EQ(got, result);
                break;
            case 'B':
                EXPECT_EQ(got, 0x78);
                break;
            default:
                break;
        }
        seen.push_back(c.number);
    }
    // With Trap_crand and Trap_frand, every number but the reserved 125 has its wrapper.
    seen.push_back(GTRAP_CRAND);
    seen.push_back(GTRAP_FRAND);
    std::sort(seen.begin(), seen.end());
    std::vector<int> all;
    for (int n = 0; n < GTRAP_COUNT; n++) {
        if (n != GTRAP_RESERVED_125) all.push_back(n);
    }
    EXPECT_EQ(seen, all);
}

TEST_F(ModuleFixture, PrintHandsTheEngineTheAddressOfAByte) {
    gi.trap = [](int number, gameArg_t *args) -> intptr_t {
        EXPECT_EQ(number, GTRAP_PRINT);
        // The developer flag sits in a byte of its own: the bytes around it are not its.
        EXPECT_EQ(*reinterpret_cast<const uint8_t *>(args[1]), 1);
        return 0;
    };
    Trap_Print("x", 1);
}

TEST_F(ModuleFixture, FloatTrapsReturnTheFloatTheEngineDesignates) {
    static float cell;
    gi.trap = [](int number, gameArg_t *args) -> intptr_t {
        cell = number == GTRAP_CRAND ? -0.75f : 0.5f;
        args[0] = reinterpret_cast<gameArg_t>(&cell);
        return 12345;  // the result word is not the float
    };
    EXPECT_EQ(Trap_crand(), -0.75f);
    EXPECT_EQ(Trap_frand(), 0.5f);
}

// ---- call dispatcher ----

std::vector<hm_test::errorRecord_t> &errors = hm_test::captured.errors;

TEST_F(ModuleFixture, BadCallNumbersAreFatalAndYieldZero) {
    Com_SetupError(hm_test::CaptureError);
    errors.clear();
    gameArg_t args[GAME_MAX_ARGS] = {};
    EXPECT_EQ(G_Call(28, args), 0);
    EXPECT_EQ(G_Call(-1, args), 0);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].level, ER_FATAL);
    EXPECT_EQ(errors[0].text, "Call: Bad call 28");
    EXPECT_EQ(errors[1].text, "Call: Bad call -1");
}

TEST_F(ModuleFixture, ImpForwardsPrintsAndErrorsThroughTraps) {
    gameArg_t args[GAME_MAX_ARGS] = {};
    G_Call(GCALL_MAIN_IMP, args);
    traps.clear();
    expectKinds = "PB";
    Com_Printf("normal");
    Com_DPrintf("developer");
    ASSERT_EQ(traps.size(), 2u);
    EXPECT_EQ(traps[0].number, GTRAP_PRINT);
    EXPECT_EQ(traps[0].values[1], 0);
    EXPECT_EQ(traps[1].values[1], 1);

    expectKinds = "WP";
    trapResult = 2;  // what the engine's error sink answered
    EXPECT_EQ(Com_Error(ER_WARNING, "bad %d", 7), 2);
    ASSERT_EQ(traps.size(), 3u);
    EXPECT_EQ(traps[2].number, GTRAP_ERROR);
    EXPECT_EQ(traps[2].values[0], ER_WARNING);
    EXPECT_STREQ(reinterpret_cast<const char *>(traps[2].values[1]), "bad 7");
}

TEST_F(ModuleFixture, ImpCreatesTheModulesVariablesInOrder) {
    gameArg_t args[GAME_MAX_ARGS] = {};
    expectKinds = "PPPW";
    G_Call(GCALL_MAIN_IMP, args);
    const cmdVar_t *const records[] = {&g_printStuck, &g_skipStuck, &g_flag, &g_maxSlide, &g_gravity};
    const char *const names[] = {"g_printStuck", "g_skipStuck", "g_flag", "g_maxSlide", "g_gravity"};
    const char *const defaults[] = {"0", "0", "0", "4", "0"};
    const int64_t flags[] = {0x4, 0x4, 0, 0xC, 0x4};
    ASSERT_EQ(traps.size(), 5u);
    for (size_t i = 0; i < 5; i++) {
        EXPECT_EQ(traps[i].number, GTRAP_CREATE_CVAR);
        EXPECT_EQ(traps[i].values[0], reinterpret_cast<intptr_t>(records[i]));
        EXPECT_STREQ(reinterpret_cast<const char *>(traps[i].values[1]), names[i]);
        EXPECT_STREQ(reinterpret_cast<const char *>(traps[i].values[2]), defaults[i]);
        EXPECT_EQ(traps[i].values[3], flags[i]) << names[i];
    }
}

TEST_F(ModuleFixture, ServerGameVariablesAreCreatedAtEngineStartOnly) {
    // The variables outlive a game-time wrap; creating them twice would be fatal.
    for (uint8_t engineStart : {1, 0}) {
        traps.clear();
        expectKinds = "PP";
        gameArg_t args[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(&engineStart)};
        G_Call(GCALL_SG_IMP, args);
        size_t variables = 0, commands = 0;
        for (const trapRecord_t &r : traps) {
            variables += r.number == GTRAP_CREATE_CVAR || r.number == GTRAP_CREATE_CVAR_EX;
            commands += r.number == GTRAP_CREATE_FUNCTION;
        }
        EXPECT_EQ(variables, engineStart ? 69u : 0u);
        EXPECT_EQ(commands, engineStart ? 15u : 0u);
        EXPECT_EQ(traps.size(), variables + commands);
    }
}

TEST_F(ModuleFixture, InitAndFrameRefreshTheGameStateThroughTrapZero) {
    gameArg_t args[GAME_MAX_ARGS] = {};
    expectKinds = "P";
    G_Call(GCALL_MAIN_INIT, args);
    G_Call(GCALL_MAIN_FRAME, args);
    std::vector<int64_t> refreshes;
    for (const trapRecord_t &r : traps) {
        if (r.number == GTRAP_GET_QGAME) refreshes.push_back(r.values[0]);
    }
    EXPECT_EQ(refreshes,
              (std::vector<int64_t>{reinterpret_cast<intptr_t>(&qgame), reinterpret_cast<intptr_t>(&qgame)}));
}

TEST_F(ModuleFixture, InitDefinesTheSevenWeaponsInNumberOrder) {
    memset(g_weaponClass, 0, sizeof g_weaponClass);
    gameArg_t args[GAME_MAX_ARGS] = {};
    G_Call(GCALL_MAIN_INIT, args);
    const char *const names[] = {"Meelgun", "Minigun", "Shotgun", "Grengun", "Railgun", "Dirtgun"};
    for (int w = 0; w < 6; w++) {
        ASSERT_NE(g_weaponClass[w].shortName, nullptr) << w;
        EXPECT_STREQ(g_weaponClass[w].shortName, names[w]);
    }
    ASSERT_NE(g_weaponClass[6].name, nullptr);
    EXPECT_EQ(g_weaponClass[6].shortName, nullptr) << "the Nonegun has no short name";
}

TEST_F(ModuleFixture, ServerInfoIsEmptyWhileNoServerRuns) {
    char rules[256] = "x", name[256] = "x", version[256] = "x";
    int32_t protocol = 5;
    gameArg_t args[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(rules), reinterpret_cast<gameArg_t>(name),
                                     reinterpret_cast<gameArg_t>(&protocol),
                                     reinterpret_cast<gameArg_t>(version)};
    EXPECT_EQ(G_Call(GCALL_SG_GET_SERVER_INFO, args), 0);
    EXPECT_STREQ(rules, "");
    EXPECT_STREQ(name, "");
    EXPECT_STREQ(version, "");
    EXPECT_EQ(protocol, 0);
}

TEST_F(ModuleFixture, DropWithAClientNumberOutsideTheTableIsRefused) {
    Com_SetupError(hm_test::CaptureError);
    errors.clear();
    for (int32_t client : {-1, 16, 1 << 30}) {
        gameArg_t args[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(&client),
                                         reinterpret_cast<gameArg_t>("kicked")};
        EXPECT_EQ(G_Call(GCALL_SG_CLIENT_DROP, args), 0);
    }
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[1].level, ER_WARNING);
    EXPECT_EQ(errors[1].text, "GE_DropClient: Bad client number 16");
}

TEST_F(ModuleFixture, ClientGameIsInitialisedBetweenItsInitAndShutdownCalls) {
    gameArg_t args[GAME_MAX_ARGS] = {};
    EXPECT_EQ(G_IsClientInitilized(), 0);
    G_Call(GCALL_CG_INIT, args);
    EXPECT_EQ(G_IsClientInitilized(), 1);
    G_Call(GCALL_CG_SHUTDOWN, args);
    EXPECT_EQ(G_IsClientInitilized(), 0);
}

// A stand-in console for the client game's input commands: it keeps the commands
// declared, answers the words of the line that runs and records queued lines.
struct consoleTrap_t {
    std::map<std::string, std::pair<cmdCallback_t, int32_t>> commands;  // handler and flags
    std::vector<std::string> words, added, printed;
} console;

intptr_t ConsoleTrap(int number, gameArg_t *args) {
    switch (number) {
    case GTRAP_CREATE_FUNCTION:
        console.commands[Arg_Ptr<const char>(args, 0)] = {Arg_Ptr<void()>(args, 1), Arg_Int(args, 2)};
        return 0;
    case GTRAP_ARGC: return static_cast<intptr_t>(console.words.size());
    case GTRAP_ARGV: {
        const size_t n = static_cast<size_t>(Arg_Int(args, 0));
        return reinterpret_cast<intptr_t>(n < console.words.size() ? console.words[n].c_str() : "");
    }
    case GTRAP_ADD: console.added.emplace_back(Arg_Ptr<const char>(args, 0)); return 0;
    default: return 0;
    }
}

void RunLine(const std::vector<std::string> &line) {
    console.words = line;
    console.commands.at(line[0]).first();
}

TEST_F(ModuleFixture, ClientGameDeclaresTheInputCommandsTheEngineQueues) {
    console = consoleTrap_t{};
    ASSERT_EQ(G_GetGameAPI({GAME_API_MAGIC, GAME_API_VERSION, sizeof(gameImport_t), ConsoleTrap}).magic,
              GAME_API_MAGIC);
    Com_SetupPrintf(PRF_SINKS, [](const char *text) { console.printed.emplace_back(text); }, nullptr);
    gameArg_t args[GAME_MAX_ARGS] = {};
    G_Call(GCALL_CG_IMP, args);
    console.printed.clear();  // this console keeps no variables, so the empty name was refused
    for (const char *name : {"in_key_down", "in_key_up", "in_char", "in_mouse", "in_yaw", "in_pitch", "in_roll"}) {
        ASSERT_EQ(console.commands.count(name), 1u) << name;
        EXPECT_EQ(console.commands[name].second, CMD_CLIENT) << name;
    }

    // The console key (41) with control (29), with shift (42), then alone.
    for (const auto &line : std::vector<std::vector<std::string>>{
             {"in_key_down", "29"}, {"in_key_down", "41"}, {"in_key_up", "41"}, {"in_key_up", "29"},
             {"in_key_down", "42"}, {"in_key_down", "41"}, {"in_key_up", "41"}, {"in_key_up", "42"},
             {"in_key_down", "41"}, {"in_char", "97"}, {"in_mouse", "3", "4"}})
        RunLine(line);
    EXPECT_EQ(console.added, (std::vector<std::string>{"con_toggle 1.0", "con_toggle 0.11", "con_toggle"}));
    EXPECT_EQ(cg.consoleKeyHeld, 1);
    EXPECT_EQ(cg.shiftHeld, 0);
    EXPECT_EQ(cg.controlHeld, 0);

    // Yaw and pitch sit on a grid of 65,536 steps per turn.
    constexpr float GRID = 360.0f / 65536.0f;
    struct {
        const char *command, *degrees;
        float yaw, pitch;
    } const turns[] = {
        {"in_yaw", "370", 10.0f, 0.0f},   {"in_yaw", "-20", 350.0f, 0.0f},
        {"in_pitch", "100", 350.0f, 90.0f}, {"in_pitch", "-200", 350.0f, -90.0f},
    };
    for (const auto &t : turns) {
        RunLine({t.command, t.degrees});
        EXPECT_NEAR(cg.inputAngles[2], t.yaw, GRID) << t.command << " " << t.degrees;
        EXPECT_NEAR(cg.inputAngles[1], t.pitch, GRID) << t.command << " " << t.degrees;
    }
    RunLine({"in_yaw"});
    RunLine({"in_pitch", "1", "2"});
    EXPECT_EQ(console.printed, (std::vector<std::string>{"USAGE: in_yaw <degrees>", "USAGE: in_pitch <degrees>"}));
}

TEST_F(ModuleFixture, FrameCallsSetTheirContextOnlyWhileTheyRun) {
    gameArg_t args[GAME_MAX_ARGS] = {};
    g_isSG = GAME_CONTEXT_SG;
    G_Call(GCALL_CG_FRAME, args);
    EXPECT_EQ(g_isSG, GAME_CONTEXT_UNDEFINED);
    g_isSG = GAME_CONTEXT_CG;
    G_Call(GCALL_SG_FRAME, args);
    EXPECT_EQ(g_isSG, GAME_CONTEXT_UNDEFINED);
}

// ---- standard configuration ----

// The module writes its key script through the engine's file-writing trap; this
// trap keeps what it was handed and answers as a disk would.
std::string written;
std::string writtenPath;
int32_t writeAnswer;  // -2: the whole size, as a disk with room

intptr_t WriteFileTrap(int number, gameArg_t *args) {
    if (number != GTRAP_WRITE_FILE) return 0;
    writtenPath = Arg_Ptr<const char>(args, 0);
    const int32_t size = Arg_Int(args, 1);
    written.assign(Arg_Ptr<const char>(args, 2), static_cast<size_t>(size));
    return writeAnswer == -2 ? size : writeAnswer;
}

struct StandardConfigFixture : ModuleFixture {
    void SetUp() override {
        ModuleFixture::SetUp();
        written.clear();
        writtenPath.clear();
        writeAnswer = -2;
        ASSERT_EQ(G_GetGameAPI({GAME_API_MAGIC, GAME_API_VERSION, sizeof(gameImport_t), WriteFileTrap}).magic,
                  GAME_API_MAGIC);
    }
};

TEST_F(StandardConfigFixture, StandardConfigIsTheDefaultKeyScriptByteForByte) {
    gameArg_t args[GAME_MAX_ARGS] = {};
    G_Call(GCALL_WRITE_STANDARD_CONFIG, args);
    EXPECT_EQ(writtenPath, "config.cfg");
    const std::string text = written;
    EXPECT_EQ(text.size(), 1100u);
    EXPECT_EQ(text, G_STANDARD_CONFIG);

    // The script rebuilt from its table: key, mode, command, and which of them
    // stand between double quotes in the file.
    struct line_t {
        const char *key, *mode, *command;
        bool quoteKey, quoteMode, quoteCommand;
    };
    std::vector<line_t> table = {
        {"F10", "pressed", "cc_spawn_blue", false, false, false},
        {"F11", "pressed", "cc_spawn_red", false, false, false},
        {"up", "down", "cc_forward", false, false, false},
        {"down", "down", "cc_backward", false, false, false},
        {"left", "down", "cc_left", false, false, false},
        {"right", "down", "cc_right", false, false, false},
        {"w", "down", "cc_forward", false, false, false},
        {"s", "down", "cc_backward", false, false, false},
        {"a", "down", "cc_left", false, false, false},
        {"d", "down", "cc_right", false, false, false},
        {"r", "pressed", "cc_reload", false, false, false},
        {"home", "down", "cc_jump", false, false, false},
        {"ctrl", "down", "cc_crouch", false, false, false},
        {"t", "pressed", "cc_say", false, false, true},
        {"y", "pressed", "cc_sayteam", false, false, true},
        {"wheel down", "pressed", "cc_dirtbackward", true, false, false},
        {"wheel up", "pressed", "cc_dirtforward", true, false, false},
        {"space", "down", "cc_jump", true, false, false},
        {"mouse2", "pressed", "cc_fire2", true, true, false},
        {"+", "pressed", "cc_nextdeformmat", false, false, false},
        {"num -", "pressed", "cc_prevdeformmat", true, false, false},
        {"F1", "pressed", "cc_prevdeformsize", true, false, false},
        {"F2", "pressed", "cc_nextdeformsize", true, false, false},
        {"Left Shift", "down", "cc_creep", true, false, false},
        {"mouse1", "down", "cc_fire", false, false, false},
        {"Wheel Up", "pressed", "cc_nextWeapon", true, false, false},
        {"Wheel Down", "pressed", "cc_prevWeapon", true, false, false},
    };
    static const char *const digits[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9"};
    static const char *const weapons[] = {"cc_weapon1", "cc_weapon2", "cc_weapon3", "cc_weapon4", "cc_weapon5",
                                          "cc_weapon6", "cc_weapon7", "cc_weapon8", "cc_weapon9"};
    for (int n = 0; n < 9; n++) table.push_back({digits[n], "pressed", weapons[n], false, false, false});
    table.push_back({"0", "pressed", "cc_weapon10", false, false, false});
    table.push_back({"tab", "down", "cc_scoreboard", false, false, false});
    auto word = [](const char *w, bool quoted) { return quoted ? "\"" + std::string(w) + "\"" : std::string(w); };
    std::string expected = "unbindall\nm_invert 0\n";
    for (const line_t &l : table)
        expected += "bind " + word(l.key, l.quoteKey) + " " + word(l.mode, l.quoteMode) + " " +
                    word(l.command, l.quoteCommand) + "\n";
    EXPECT_EQ(text, expected);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 40);
    EXPECT_EQ(text.substr(0, 21), "unbindall\nm_invert 0\n");
    EXPECT_NE(text.find("\nbind \"mouse2\" \"pressed\" cc_fire2\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\nbind 0 pressed cc_weapon10\nbind tab down cc_scoreboard\n"));
}

TEST_F(StandardConfigFixture, StandardConfigThatCannotBeWrittenWholeIsAnError) {
    Com_SetupError(hm_test::CaptureError);
    std::vector<std::string> printed;
    static std::vector<std::string> *sink;
    sink = &printed;
    Com_SetupPrintf(PRF_SINKS, [](const char *t) { sink->emplace_back(t); }, nullptr);
    for (const int32_t answer : {-1, 0, 1099}) {  // no file, nothing written, a full disk
        errors.clear();
        printed.clear();
        writeAnswer = answer;
        G_WriteStandardConfig();
        ASSERT_EQ(errors.size(), 1u) << answer;
        EXPECT_EQ(errors[0].level, ER_ERROR);
        EXPECT_EQ(errors[0].text, "Could not write standard config");
        EXPECT_TRUE(printed.empty()) << "a failed write is not reported as written";
    }
}

}  // namespace
