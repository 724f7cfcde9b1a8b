// Action scripts: loading, starting and playing, and the words of their steps.
//
// A script is interpreted from its loaded text on every step; a slot keeps only its
// cursor.  Words come from the common tokenizer, whose buffers are reused a few
// calls later: every word is copied out before anything else (a nested script, a
// particle class registration) runs the tokenizer again.
#include "game_cl/cg_actions.h"

#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_entity.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_centities.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_particles.h"

actionScript_t g_actionScripts[MAX_ACTION_SCRIPTS];
int32_t g_numActionScripts;
actionPlaying_t g_actionPlayings[MAX_ACTION_PLAYINGS];

vec3_t a_pos;
float a_axis[9];
float a_arg0, a_arg1;

namespace {

constexpr float IDENTITY_AXIS[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
constexpr int EXPLOSION_NUMBERS = 8;  // the most numbers an explosion word reads
// Scripts that one start or one slot's frame may start through `run` words.  A step
// that runs its own script twice would otherwise double the work at every level.
constexpr int MAX_NESTED_STARTS = MAX_ACTION_PLAYINGS;

int nestingDepth;  // slots being played, one inside another
int nestedStarts;  // started by `run` below the outermost slot so far

// A word of the script, owned by the caller so later tokenizer calls leave it alone.
struct word_t {
    char text[MAX_TOKEN_CHARS];
};

// The next word on the same line (an argument): "" at the end of the line.
void ReadArgument(const char **cursor, word_t *out) {
    Com_strncpyz(out->text, Com_Parse(cursor, false), sizeof out->text);
}

// A float narrowed toward zero into the 32-bit range; not-a-number is 0.
int32_t TruncateToInt(float f) {
    if (!(f == f)) return 0;
    if (f >= 2147483520.0f) return INT32_MAX;  // the largest float below 2^31
    if (f <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(f);
}

// An argument that may name the step's arg0 or arg1, as a float.
float ArgumentValue(const char *word) {
    if (!strcmp(word, "arg0")) return a_arg0;
    if (!strcmp(word, "arg1")) return a_arg1;
    return Com_atof(word);
}

// The same as a whole number: arg0 and arg1 truncated toward zero.
int32_t ArgumentCount(const char *word) {
    if (!strcmp(word, "arg0")) return TruncateToInt(a_arg0);
    if (!strcmp(word, "arg1")) return TruncateToInt(a_arg1);
    return Com_atoi(word);
}

// The nearest whole number, halves up, within the pool's size: a count beyond the
// pool would only replace the effects it just made.
int32_t RoundedCount(float x) {
    if (!(x >= 1.0f)) return x >= 0.5f ? 1 : 0;  // also not-a-number
    const float whole = std::floor(x);
    const float rounded = x - whole >= 0.5f ? whole + 1.0f : whole;
    return rounded >= static_cast<float>(CG_ENTITIES) ? CG_ENTITIES : static_cast<int32_t>(rounded);
}

void SetStep(const vec3_t position, const float axis[9], float arg0, float arg1) {
    _VectorCopy(a_pos, position);
    _AxisCopy(a_axis, axis);
    a_arg0 = arg0;
    a_arg1 = arg1;
}

void SpawnParticles(const char **cursor) {
    word_t countWord, path;
    ReadArgument(cursor, &countWord);
    ReadArgument(cursor, &path);
    int32_t count = ArgumentCount(countWord.text);
    const int32_t particleClass = path.text[0] ? CG_LoadParticle(path.text) : 0;
    if (!particleClass) {
        Com_Error(ER_DEVWARNING, "ParseSpawnParticles: Could not get particle \"%s\"", path.text);
        return;
    }
    if (count > ACTION_MAX_PARTICLES) count = ACTION_MAX_PARTICLES;
    for (int32_t i = 0; i < count; i++) CG_CreateParticle(particleClass, a_pos, a_axis);
}

void PlaySound(const char **cursor, bool positioned) {
    word_t path;
    ReadArgument(cursor, &path);
    const int32_t sound = Trap_RegisterSound(path.text);
    if (!sound) return;
    if (positioned)
        Trap_S_PlayPointSound(sound, a_pos);
    else
        Trap_S_PlayLocalSound(sound);
}

// The numbers of an explosion word: plain decimals, missing ones 0.  One that is no
// finite number ("nan", "1e999") also reads 0: it would give the effects positions
// that are no number, which then reach the world's traces.
void ReadNumbers(const char **cursor, float *out, int count) {
    for (int i = 0; i < count; i++) {
        word_t w;
        ReadArgument(cursor, &w);
        const float v = Com_atof(w.text);
        out[i] = std::isfinite(v) ? v : 0.0f;
    }
}

// minCount maxCount spread minSpeed maxSpeed [red green blue]: the count is drawn
// first, then the speed.
void Explosion(const char **cursor, entityType_t kind) {
    float n[EXPLOSION_NUMBERS];
    ReadNumbers(cursor, n, kind == ET_SPARK ? 8 : 5);
    const float r1 = Trap_frand();
    const float r2 = Trap_frand();
    const int32_t count = RoundedCount(n[0] + (n[1] - n[0]) * r1);
    const float speed = n[3] + (n[4] - n[3]) * r2;
    const float spread = n[2];
    const float *direction = &a_axis[3];
    if (kind == ET_SPARK) {
        const vec3_t colour = {n[5], n[6], n[7]};
        CG_CreateSparkExplosion(a_pos, direction, speed, spread, count, colour);
    } else if (kind == ET_GIB) {
        CG_CreateGibExplosion(a_pos, direction, speed, spread, count);
    } else {
        CG_CreateDirtExplosion(a_pos, direction, speed, spread, count);
    }
}

// One action word and its arguments at the cursor; false when the word is none.
bool RunActionWord(const char *word, const char **cursor) {
    if (!strcmp(word, "spawnParticle") || !strcmp(word, "spawnParticles")) {
        SpawnParticles(cursor);
    } else if (!strcmp(word, "playLocalSound")) {
        PlaySound(cursor, false);
    } else if (!strcmp(word, "playSound")) {
        PlaySound(cursor, true);
    } else if (!strcmp(word, "sparkExplosion")) {
        Explosion(cursor, ET_SPARK);
    } else if (!strcmp(word, "gibExplosion")) {
        Explosion(cursor, ET_GIB);
    } else if (!strcmp(word, "dirtExplosion")) {
        Explosion(cursor, ET_DIRT);
    } else if (!strcmp(word, "tagAmmoGun")) {
        cg.magazineInHand = 0;
    } else if (!strcmp(word, "tagAmmoHand")) {
        cg.magazineInHand = 1;
    } else if (!strcmp(word, "run")) {
        word_t path;
        ReadArgument(cursor, &path);
        // The step's values, copied: the nested start overwrites the step variables.
        vec3_t position;
        float axis[9];
        _VectorCopy(position, a_pos);
        _AxisCopy(axis, a_axis);
        const float arg0 = a_arg0, arg1 = a_arg1;
        CG_RunActionScript(path.text, position, axis, arg0, arg1);
        SetStep(position, axis, arg0, arg1);
    } else if (!strcmp(word, "spawnEntity") || !strcmp(word, "spawnLight") || !strcmp(word, "mark")) {
        // Accepted for older scripts; they do nothing and read no arguments.
    } else {
        return false;
    }
    return true;
}

void PlaySlot(actionPlaying_t *p);

// Plays a slot; the outermost one begins a new allowance of nested starts.
void PlayNested(actionPlaying_t *p) {
    if (nestingDepth == 0) nestedStarts = 0;
    nestingDepth++;
    PlaySlot(p);
    nestingDepth--;
}

// Plays one slot: waits out its delays, then interprets the next step.
void PlaySlot(actionPlaying_t *p) {
    // Saturating: a delay written as the most negative number must not wrap.
    if (p->frameDelay > INT32_MIN) p->frameDelay--;
    p->timeDelay -= qgame.frameSeconds;
    if (p->frameDelay >= 1 || p->timeDelay > 0.0f) return;
    p->frameDelay = 0;
    p->timeDelay = 0.0f;
    SetStep(p->position, p->axis, p->arg0, p->arg1);

    const char *cursor = p->cursor;
    word_t word;
    Com_strncpyz(word.text, Com_ParseCurly(&cursor, true), sizeof word.text);
    if (!word.text[0]) {
        CG_StopActionScript(p);
        return;
    }
    if (strcmp(word.text, "{")) {
        Com_Error(ER_ERROR, "RunActionPlaying \"%s\": Actions must be inside { }", p->script->path);
        CG_StopActionScript(p);
        return;
    }
    for (;;) {
        Com_strncpyz(word.text, Com_ParseCurly(&cursor, true), sizeof word.text);
        if (!word.text[0]) {
            CG_StopActionScript(p);
            return;
        }
        if (!strcmp(word.text, "}")) {
            p->cursor = cursor;
            return;
        }
        if (!strcmp(word.text, "randTerminate")) {
            word_t arg;
            ReadArgument(&cursor, &arg);
            if (ArgumentValue(arg.text) >= Trap_frand()) {
                CG_StopActionScript(p);
                return;
            }
        } else if (!strcmp(word.text, "frameDelay")) {
            word_t arg;
            ReadArgument(&cursor, &arg);
            p->frameDelay = ArgumentCount(arg.text);
        } else if (!strcmp(word.text, "timeDelay")) {
            word_t arg;
            ReadArgument(&cursor, &arg);
            p->timeDelay = ArgumentValue(arg.text);
        } else if (!RunActionWord(word.text, &cursor)) {
            Com_Error(ER_ERROR, "RunActionPlaying: Unknown token \"%s\"", word.text);
            CG_StopActionScript(p);
            return;
        }
    }
}

}  // namespace

void CG_InitActionScripts() {
    memset(g_actionScripts, 0, sizeof g_actionScripts);
    g_numActionScripts = 0;
    CG_StopAllActionScripts();
}

void CG_ShutdownActionScripts() {
    for (int32_t i = 0; i < g_numActionScripts; i++) {
        if (g_actionScripts[i].text) Trap_FreeFile(g_actionScripts[i].text);
        g_actionScripts[i].text = nullptr;
    }
    g_numActionScripts = 0;
    CG_StopAllActionScripts();
}

void CG_StopActionScript(actionPlaying_t *slot) {
    if (slot) memset(slot, 0, sizeof *slot);
}

void CG_StopAllActionScripts() { memset(g_actionPlayings, 0, sizeof g_actionPlayings); }

void CG_UpdateActionScripts() {
    for (actionPlaying_t &p : g_actionPlayings)
        if (p.script) PlayNested(&p);
}

const actionScript_t *RegisterActionScript(const char *path) {
    if (!path) path = "";
    for (int32_t i = 0; i < g_numActionScripts; i++)
        if (!strcmp(g_actionScripts[i].path, path)) return &g_actionScripts[i];
    // A path the entry cannot hold whole would never be found again: every start
    // would load it anew until the table is full.
    if (strlen(path) >= sizeof g_actionScripts[0].path) {
        Com_Error(ER_ERROR, "RegisterActionScript: Could not open file \"%s\"", path);
        return nullptr;
    }
    if (g_numActionScripts >= MAX_ACTION_SCRIPTS) {
        Com_Error(ER_FATAL, "RegisterActionScript: MAX_ACTION_SCRIPTS");
        return nullptr;
    }
    if (Trap_ReadFile(path, nullptr) <= 0) {
        Com_Error(ER_ERROR, "RegisterActionScript: Could not open file \"%s\"", path);
        return nullptr;
    }
    actionScript_t &s = g_actionScripts[g_numActionScripts];
    memset(&s, 0, sizeof s);
    Com_strncpyz(s.path, path, sizeof s.path);
    void *text = nullptr;
    if (Trap_ReadFile(path, &text) < 0 || !text) {
        Com_Error(ER_ERROR, "RegisterActionScript: Could not open file \"%s\"", path);
        memset(&s, 0, sizeof s);
        return nullptr;
    }
    s.text = static_cast<char *>(text);
    g_numActionScripts++;
    Com_DPrintf("RegAS: \"\xA4" "08%s\xA4" "00\"", s.path);
    return &s;
}

int32_t CG_LoadActionScript(const char *path) {
    const actionScript_t *s = RegisterActionScript(path);
    return s ? static_cast<int32_t>(s - g_actionScripts) + 1 : 0;
}

void CG_RunActionScript(const char *path, const vec3_t origin, const float axis[9], float arg0, float arg1) {
    if (cg_skipActionScript.integer) return;
    if (nestingDepth > 0 && ++nestedStarts > MAX_NESTED_STARTS) {
        Com_Error(ER_DEVWARNING, "CG_RunActionScript: Too many scripts started at once, \"%s\" not started",
                  path ? path : "");
        return;
    }
    const float *rows = axis;
    if (!rows || VectorIsZero(&rows[0]) || VectorIsZero(&rows[3]) || VectorIsZero(&rows[6])) rows = IDENTITY_AXIS;
    const actionScript_t *script = RegisterActionScript(path);
    if (!script) return;
    actionPlaying_t *slot = nullptr;
    for (actionPlaying_t &p : g_actionPlayings)
        if (!p.script) {
            slot = &p;
            break;
        }
    if (!slot) {
        Com_Error(ER_DEVWARNING, "BeginPlayingActionScript: No free slots");
        return;
    }
    memset(slot, 0, sizeof *slot);
    slot->script = script;
    slot->cursor = script->text;
    _VectorCopy(slot->position, origin);
    _AxisCopy(slot->axis, rows);
    slot->arg0 = arg0;
    slot->arg1 = arg1;
    PlayNested(slot);
}

bool CG_RunAction(const char *text, const vec3_t origin, const float axis[9], float arg0, float arg1) {
    SetStep(origin, axis, arg0, arg1);
    const char *cursor = text ? text : "";
    word_t word;
    Com_strncpyz(word.text, Com_Parse(&cursor, true), sizeof word.text);
    if (word.text[0] && RunActionWord(word.text, &cursor)) return true;
    Com_Error(ER_ERROR, "CG_RunAction: Could not run action \"%s\"", cursor);
    return false;
}
