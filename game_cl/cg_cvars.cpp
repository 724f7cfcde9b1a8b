// The client game's console variables: their records, defaults and flags.
#include "game_cl/cg_cvars.h"

#include "common/common.h"
#include "game/g_traps.h"
#include "game_cl/cg_local.h"

cmdVar_t name;
cmdVar_t cg_skipCrosshair, cg_crosshairX, cg_crosshairY, cg_drawFps, cg_aspectRatio, cg_thirdPersonOrbit, cg_flag,
    cg_gunX, cg_hueRide, cg_skipGun, cg_skipHud, cg_drawPerformance, cg_skipSelf, cg_skipIntro, cg_printLerpError,
    cg_skipBalloons, cg_lodBias, cg_skipMeteor, cg_skipSecondaryHelp, cg_skipRadar, cg_skipScene, cg_skipSky,
    cg_noclipSolidBlack, cg_skipForceLocal, cg_skipSparkRain, cg_skipCenterPrint, cg_notAloneSound, cg_skipBottomHud,
    cg_debug, cg_printScorboardParse;
cmdVar_t cg_thirdPerson, cg_printAnim, cg_drawHitBox, cg_guides, cg_forceStatic, cg_printProcessCc, cg_drawCoords,
    cg_skipParticleCreate, cg_keepMarks, cg_skipParticleDraw, cg_skipParticleUpdate, cg_printParticle,
    cg_skipMuzzleLight, cg_printEvents, cg_skipItemSpin, cg_skipFlash, cg_skipFlareDraw, cg_skipActionScript,
    cg_skipTrace, cg_printLod, cg_debugPlayerAnim, cg_skipModels, cg_skipWorld, tm_x, tm_y, tm_z, tm_roll, tm_pitch,
    tm_yaw, tm_frame, tm_light;
cmdVar_t cg_lockCam, cg_fogRed, cg_fogGreen, cg_fogBlue, cg_fogSight;
cmdVar_t cg_interpolate, cg_prediction, cg_retessMark, cg_skipThirdPersonFlash, cg_particleCutOff, cg_autoReload,
    cg_autoChangeWeapon, cg_hudStyle;
cmdVar_t cg_selfShadow, cg_drawMuzzle, cg_drawMarks, cg_markScale, cg_skipDroneLight, tm_speed, tm_light_red,
    tm_light_green, tm_light_blue, tm_light_intensity;
cmdVar_t cg_fov, cg_thirdPersonRadius, cg_gunY, cg_gunZ, cg_flashX, cg_flashY, cg_flashZ, cg_flashFov, cg_muzzleScale,
    cg_muzzleFadeTime, cg_zNear, cg_bobHeight, cg_itemModelCutOff, cg_handicap, tm_anim0, tm_anim1, tm_anim2, tm_anim3,
    tm_light_radius;

namespace {
struct cgVarRow_t {
    cmdVar_t *var;
    const char *name;
    const char *defaultText;
    uint32_t flags;
};
}  // namespace

#define CG_VAR_ROW(var, text, flags) \
    { &var, #var, text, flags }
static constexpr cgVarRow_t cg_varRows[] = {
    CG_VAR_ROW(cg_skipCrosshair, "0", CG_VAR),
    CG_VAR_ROW(cg_crosshairX, "0", CG_VAR),
    CG_VAR_ROW(cg_crosshairY, "0", CG_VAR),
    CG_VAR_ROW(cg_drawFps, "0", CG_VAR),
    CG_VAR_ROW(cg_aspectRatio, "0", CG_VAR),
    CG_VAR_ROW(cg_thirdPersonOrbit, "0", CG_VAR),
    CG_VAR_ROW(cg_flag, "0", CG_VAR),
    CG_VAR_ROW(cg_gunX, "0", CG_VAR),
    CG_VAR_ROW(cg_hueRide, "0", CG_VAR),
    CG_VAR_ROW(cg_skipGun, "0", CG_VAR),
    CG_VAR_ROW(cg_skipHud, "0", CG_VAR),
    CG_VAR_ROW(cg_drawPerformance, "0", CG_VAR),
    CG_VAR_ROW(cg_skipSelf, "0", CG_VAR),
    CG_VAR_ROW(cg_skipIntro, "0", CG_VAR),
    CG_VAR_ROW(cg_printLerpError, "0", CG_VAR),
    CG_VAR_ROW(cg_skipBalloons, "0", CG_VAR),
    CG_VAR_ROW(cg_lodBias, "0", CG_VAR),
    CG_VAR_ROW(cg_skipMeteor, "0", CG_VAR),
    CG_VAR_ROW(cg_skipSecondaryHelp, "0", CG_VAR),
    CG_VAR_ROW(cg_skipRadar, "0", CG_VAR),
    CG_VAR_ROW(cg_skipScene, "0", CG_VAR),
    CG_VAR_ROW(cg_skipSky, "0", CG_VAR),
    CG_VAR_ROW(cg_noclipSolidBlack, "0", CG_VAR),
    CG_VAR_ROW(cg_skipForceLocal, "0", CG_VAR),
    CG_VAR_ROW(cg_skipSparkRain, "0", CG_VAR),
    CG_VAR_ROW(cg_skipCenterPrint, "0", CG_VAR),
    CG_VAR_ROW(cg_notAloneSound, "0", CG_VAR),
    CG_VAR_ROW(cg_skipBottomHud, "0", CG_VAR),
    CG_VAR_ROW(cg_debug, "0", CG_VAR),
    CG_VAR_ROW(cg_printScorboardParse, "0", CG_VAR),
    CG_VAR_ROW(cg_thirdPerson, "0", CG_TOOL),
    CG_VAR_ROW(cg_printAnim, "0", CG_TOOL),
    CG_VAR_ROW(cg_drawHitBox, "0", CG_TOOL),
    CG_VAR_ROW(cg_guides, "0", CG_TOOL),
    CG_VAR_ROW(cg_forceStatic, "0", CG_TOOL),
    CG_VAR_ROW(cg_printProcessCc, "0", CG_TOOL),
    CG_VAR_ROW(cg_drawCoords, "0", CG_TOOL),
    CG_VAR_ROW(cg_skipParticleCreate, "0", CG_TOOL),
    CG_VAR_ROW(cg_keepMarks, "0", CG_TOOL),
    CG_VAR_ROW(cg_skipParticleDraw, "0", CG_TOOL),
    CG_VAR_ROW(cg_skipParticleUpdate, "0", CG_TOOL),
    CG_VAR_ROW(cg_printParticle, "0", CG_TOOL),
    CG_VAR_ROW(cg_skipMuzzleLight, "0", CG_TOOL),
    CG_VAR_ROW(cg_printEvents, "0", CG_TOOL),
    CG_VAR_ROW(cg_skipItemSpin, "0", CG_TOOL),
    CG_VAR_ROW(cg_skipFlash, "0", CG_TOOL),
    CG_VAR_ROW(cg_skipFlareDraw, "0", CG_TOOL),
    CG_VAR_ROW(cg_skipActionScript, "0", CG_TOOL),
    CG_VAR_ROW(cg_skipTrace, "0", CG_TOOL),
    CG_VAR_ROW(cg_printLod, "0", CG_TOOL),
    CG_VAR_ROW(cg_debugPlayerAnim, "0", CG_TOOL),
    CG_VAR_ROW(cg_skipModels, "0", CG_TOOL),
    CG_VAR_ROW(cg_skipWorld, "0", CG_TOOL),
    CG_VAR_ROW(tm_x, "0", CG_TOOL),
    CG_VAR_ROW(tm_y, "0", CG_TOOL),
    CG_VAR_ROW(tm_z, "0", CG_TOOL),
    CG_VAR_ROW(tm_roll, "0", CG_TOOL),
    CG_VAR_ROW(tm_pitch, "0", CG_TOOL),
    CG_VAR_ROW(tm_yaw, "0", CG_TOOL),
    CG_VAR_ROW(tm_frame, "0", CG_TOOL),
    CG_VAR_ROW(tm_light, "0", CG_TOOL),
    CG_VAR_ROW(cg_lockCam, "0", CG_TOOL_NOSAVE),
    CG_VAR_ROW(cg_fogRed, "0", CG_TOOL_NOSAVE),
    CG_VAR_ROW(cg_fogGreen, "0", CG_TOOL_NOSAVE),
    CG_VAR_ROW(cg_fogBlue, "0", CG_TOOL_NOSAVE),
    CG_VAR_ROW(cg_fogSight, "0", CG_TOOL_NOSAVE),
    CG_VAR_ROW(cg_interpolate, "1", CG_VAR),
    CG_VAR_ROW(cg_prediction, "1", CG_VAR),
    CG_VAR_ROW(cg_retessMark, "1", CG_VAR),
    CG_VAR_ROW(cg_skipThirdPersonFlash, "1", CG_VAR),
    CG_VAR_ROW(cg_particleCutOff, "1", CG_VAR),
    CG_VAR_ROW(cg_autoReload, "1", CG_VAR),
    CG_VAR_ROW(cg_autoChangeWeapon, "1", CG_VAR),
    CG_VAR_ROW(cg_hudStyle, "1", CG_VAR),
    CG_VAR_ROW(cg_selfShadow, "1", CG_TOOL),
    CG_VAR_ROW(cg_drawMuzzle, "1", CG_TOOL),
    CG_VAR_ROW(cg_drawMarks, "1", CG_TOOL),
    CG_VAR_ROW(cg_markScale, "1", CG_TOOL),
    CG_VAR_ROW(cg_skipDroneLight, "1", CG_TOOL),
    CG_VAR_ROW(tm_speed, "1", CG_TOOL),
    CG_VAR_ROW(tm_light_red, "1", CG_TOOL),
    CG_VAR_ROW(tm_light_green, "1", CG_TOOL),
    CG_VAR_ROW(tm_light_blue, "1", CG_TOOL),
    CG_VAR_ROW(tm_light_intensity, "1", CG_TOOL),
    CG_VAR_ROW(cg_fov, "95", CG_VAR),
    CG_VAR_ROW(cg_thirdPersonRadius, "3", CG_VAR),
    CG_VAR_ROW(cg_gunY, "0.05", CG_VAR),
    CG_VAR_ROW(cg_gunZ, "0.19", CG_VAR),
    CG_VAR_ROW(cg_flashX, "0.035", CG_VAR),
    CG_VAR_ROW(cg_flashY, "-0.075", CG_TOOL),
    CG_VAR_ROW(cg_flashZ, "0.01", CG_TOOL),
    CG_VAR_ROW(cg_flashFov, "80", CG_TOOL),
    CG_VAR_ROW(cg_muzzleScale, "1.0", CG_TOOL),
    CG_VAR_ROW(cg_muzzleFadeTime, "4", CG_TOOL),
    CG_VAR_ROW(cg_zNear, "0.1", CG_VAR),
    CG_VAR_ROW(cg_bobHeight, "0.03", CG_VAR),
    CG_VAR_ROW(cg_itemModelCutOff, "7", CG_VAR),
    CG_VAR_ROW(cg_handicap, "100", CG_VAR),
    CG_VAR_ROW(tm_anim0, "", CG_TOOL),
    CG_VAR_ROW(tm_anim1, "", CG_TOOL),
    CG_VAR_ROW(tm_anim2, "", CG_TOOL),
    CG_VAR_ROW(tm_anim3, "", CG_TOOL),
    CG_VAR_ROW(tm_light_radius, "10", CG_TOOL),
};
#undef CG_VAR_ROW

// Longest player name, with its zero: the validator refuses anything longer.
constexpr int CG_PLAYER_NAME_MAX = CG_NAME_SIZE;

void CG_Name_v() {
    if (!Com_ValidateName(name.string, CG_PLAYER_NAME_MAX, "name", VN_PRINT)) return;
    Com_strncpyz(cg.playerName, name.string, sizeof cg.playerName);
}

void CG_RegisterVariables() {
    char defaultName[CG_NAME_SIZE];
    Com_sprintf(defaultName, sizeof defaultName, "Tulbo%d", Trap_rand() % 1000);
    Trap_CreateCVarEx(&name, "name", defaultName, CG_NAME_FLAGS, CG_Name_v);
    for (const cgVarRow_t &row : cg_varRows) Trap_CreateCVar(row.var, row.name, row.defaultText, row.flags);
}
