// The view and the 3D scene.  This build renders no scene: the camera stays where
// it is and nothing is drawn.
#include "game_cl/cg_view.h"

void CG_SetupView() {}
void CG_DrawScene() {}
