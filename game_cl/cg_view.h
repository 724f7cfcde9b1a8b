// The view and the 3D scene.
#pragma once

void CG_SetupView();  // the camera of this frame (connected frames)
void CG_DrawScene();  // renders the scene from the camera
