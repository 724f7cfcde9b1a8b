// Particles: the simulation of the particle classes' particles.
#pragma once

void CG_InitParticles();    // every particle free (renderer start)
void CG_ClearParticles();   // every particle free (world change, client event)
void CG_UpdateParticles();  // moves and ages every particle by this frame
