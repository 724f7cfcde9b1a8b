// The client game's console variables.  Each is a record of the module's own,
// created once at module load; the others read its text or its readings.
#pragma once

#include "game/g_public.h"

// Flags of the client game's variables and commands: everything needs a running client.
constexpr uint32_t CG_VAR = CMD_CLIENT;
constexpr uint32_t CG_TOOL = CMD_CLIENT | CMD_CHEAT;                      // developer tools
constexpr uint32_t CG_TOOL_NOSAVE = CMD_CLIENT | CMD_CHEAT | CMD_NOSAVE;  // tools never written to the configuration
constexpr uint32_t CG_NAME_FLAGS = CMD_CLIENT | CMD_ALWAYSSAVE;           // the player name

// The player's name; only a valid text reaches cg.playerName.
extern cmdVar_t name;

// Default "0".
extern cmdVar_t cg_skipCrosshair, cg_crosshairX, cg_crosshairY, cg_drawFps, cg_aspectRatio, cg_thirdPersonOrbit,
    cg_flag, cg_gunX, cg_hueRide, cg_skipGun, cg_skipHud, cg_drawPerformance, cg_skipSelf, cg_skipIntro,
    cg_printLerpError, cg_skipBalloons, cg_lodBias, cg_skipMeteor, cg_skipSecondaryHelp, cg_skipRadar, cg_skipScene,
    cg_skipSky, cg_noclipSolidBlack, cg_skipForceLocal, cg_skipSparkRain, cg_skipCenterPrint, cg_notAloneSound,
    cg_skipBottomHud, cg_debug, cg_printScorboardParse;
extern cmdVar_t cg_thirdPerson, cg_printAnim, cg_drawHitBox, cg_guides, cg_forceStatic, cg_printProcessCc,
    cg_drawCoords, cg_skipParticleCreate, cg_keepMarks, cg_skipParticleDraw, cg_skipParticleUpdate, cg_printParticle,
    cg_skipMuzzleLight, cg_printEvents, cg_skipItemSpin, cg_skipFlash, cg_skipFlareDraw, cg_skipActionScript,
    cg_skipTrace, cg_printLod, cg_debugPlayerAnim, cg_skipModels, cg_skipWorld, tm_x, tm_y, tm_z, tm_roll, tm_pitch,
    tm_yaw, tm_frame, tm_light;
extern cmdVar_t cg_lockCam, cg_fogRed, cg_fogGreen, cg_fogBlue, cg_fogSight;
// Default "1".
extern cmdVar_t cg_interpolate, cg_prediction, cg_retessMark, cg_skipThirdPersonFlash, cg_particleCutOff, cg_autoReload,
    cg_autoChangeWeapon, cg_hudStyle;
extern cmdVar_t cg_selfShadow, cg_drawMuzzle, cg_drawMarks, cg_markScale, cg_skipDroneLight, tm_speed, tm_light_red,
    tm_light_green, tm_light_blue, tm_light_intensity;
// Defaults of their own: cg_fov is clamped to 10..140 each frame, cg_handicap is sent clamped to 10..100.
extern cmdVar_t cg_fov, cg_thirdPersonRadius, cg_gunY, cg_gunZ, cg_flashX, cg_flashY, cg_flashZ, cg_flashFov,
    cg_muzzleScale, cg_muzzleFadeTime, cg_zNear, cg_bobHeight, cg_itemModelCutOff, cg_handicap, tm_anim0, tm_anim1,
    tm_anim2, tm_anim3, tm_light_radius;

// Creates every variable with its default and flags; the name's default carries a
// random number 0..999.  Run once at module load.
void CG_RegisterVariables();
// The name's change callback: a name the validator refuses (it says why) leaves
// cg.playerName as it was.  Also run at the end of module load and at client start.
void CG_Name_v();
