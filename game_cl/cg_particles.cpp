// Particles.  This build makes none, so there is nothing to free or move.
#include "game_cl/cg_particles.h"

void CG_InitParticles() {}
void CG_ClearParticles() {}
void CG_UpdateParticles() {}
