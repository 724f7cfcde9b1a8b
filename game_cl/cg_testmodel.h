// The model authors' test models and test light, placed from the console
// (tm_loadModel, tm_unloadModel, tm_clearTime and the tm_ variables).
#pragma once

// The test models of slots 0 to 3 in order, up to the first empty slot: each at its
// parent slot's tag, or by tm_x, tm_y, tm_z and tm_roll, tm_pitch, tm_yaw from where
// it was loaded, posed by tm_anim0 to tm_anim3 held at the test time.
void CG_AddTestModelToScene();
// A point light at the player's eye while tm_light is set.
void CG_AddTestLightToScene();
