// The skeleton readers behind the model loader, and the byte reading that the
// skeleton and animation readers share.  Not for the rest of the client game:
// it reaches skeletons through model_t.
#pragma once

#include <cstdint>

#include "common/common.h"
#include "game_cl/cg_model.h"

// A little-endian 32-bit float at *cursor (any alignment); the cursor moves past it.
float CG_GrabLittleFloat(const byte **cursor);

// Moves the text cursor past the tokens left on its line.
void CG_SkipRestOfLine(const char **p);

// Read the skeleton file path into the model's bones, tags and root.  False, with
// the reason reported and nothing allocated, when the file is missing or not a
// sound skeleton: counts outside their limits, a file shorter than it announces,
// a parent or tag bone outside -1..bones-1, a bone that is its own ancestor, or
// bones without a root.  modelPath names the model in the root message of BO2.
bool CG_LoadBO2(model_t *model, const char *path, const char *modelPath);
bool CG_LoadBO3(model_t *model, const char *path);

// Releases the model's bone and tag arrays and zeroes their counts.
void CG_FreeSkeleton(model_t *model);
