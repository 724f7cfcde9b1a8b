// The common library: compiled into the engine and into the game module, each
// with its own copy of every static.
#pragma once

#include "common/com_print.h"
#include "common/com_mem.h"
#include "common/com_string.h"
#include "common/com_info.h"
#include "common/com_hash.h"
#include "common/com_keys.h"
#include "common/com_vector.h"
#include "common/com_geometry.h"
#include "common/com_grid.h"
#include "common/com_noise.h"
#include "common/com_eval.h"
#include "common/com_msg.h"
#include "common/com_time.h"
