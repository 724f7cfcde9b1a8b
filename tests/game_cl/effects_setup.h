// The client game's particle and mark pools against the stand-in engine on a flat
// world, as the particle tests and the effects benchmark both start them.
#pragma once

#include "game/g_main.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_marks.h"
#include "game_cl/cg_particles.h"
#include "tests/game/fake_engine.h"

inline void StartClientEffects() {
    fake::Install();
    fake::flatWorld = true;
    qgame = fake::qg;
    G_SetCG();
    CG_RegisterVariables();
    cg.flatGravity = 1;
    CG_LoadDefaultParticle();
    CG_InitParticles();
    CG_InitMarks();
}
