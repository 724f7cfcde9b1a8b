// The key box: shows the key bound to one action and captures the next key pressed.
// It is 10 characters wide and one high; the capture lasts while it has the focus.
#include "common/com_keys.h"
#include "common/common.h"
#include "game/g_traps.h"
#include "game_ui/ui_atom.h"
#include "game_ui/ui_local.h"

static void BindKey(uiAtom_t *atom, int32_t key) {
    // One key drives at most one action on the screen.
    for (uiAtom_t *other = UI_FirstAtom(); other; other = UI_NextAtom(other)) {
        if (other != atom && other->kind == UIA_KEYBOX && other->visible && other->keyBox.key == key)
            other->keyBox.key = 0;
    }
    atom->keyBox.oldKey = atom->keyBox.key;
    atom->keyBox.key = key;
    UI_SetFocus(nullptr);
    ui.caretBlink = 0;
    ui.waitingKeyBox = nullptr;
    if (atom->keyBox.onBind) atom->keyBox.onBind(atom);
}

static void MessageKeyBox(uiAtom_t *atom, uint32_t message, int32_t a, int32_t) {
    if (!UI_CheckMagic(atom, "MessageKeyBox")) return;
    const int32_t cw = Trap_CL_GetFontCharWidth(atom->font);
    const int32_t ch = Trap_CL_GetFontCharHeight(atom->font);
    int32_t x, y;
    UI_GetScreenOrigin(atom, &x, &y, atom->w, atom->h);
    if (message == UIM_DRAW) {
        if (atom->material) UI_DrawPic(x, y, cw * UI_KEYBOX_CHARS, ch, atom->bgColor, atom->material);
        const float cx = x + cw * UI_KEYBOX_CHARS * 0.5f, cy = y + ch * 0.5f;
        if (!atom->focus) {
            if (atom->keyBox.key >= 1)
                UI_DrawText(cx, cy, key_names[atom->keyBox.key], atom->color, atom->font, UI_TEXT_CENTER);
        } else if (ui.caretBlink > 0) {
            UI_DrawText(cx, cy, "Input", color_green, atom->font, UI_TEXT_CENTER);  // blinks while capturing
        }
        return;
    }
    // Key numbers outside the key-name table never bind.
    if (message != UIM_KEYDOWN || a < 0 || a >= MAX_KEYS) return;
    if (atom->focus && a == UI_KEY_ESCAPE) {
        UI_SetFocus(nullptr);
        ui.waitingKeyBox = nullptr;
    } else if (atom->focus) {
        BindKey(atom, a);
    } else if (a == UI_KEY_MOUSE1 && UI_PointerIn(x, y, cw * UI_KEYBOX_CHARS, ch)) {
        UI_SetFocus(atom);
        ui.waitingKeyBox = atom;
    }
}

uiAtom_t *UI_CreateKeyBox(uiAtom_t *parent, int32_t x, int32_t y, int32_t material, uiAtomCallback_t onBind,
                          uint32_t align) {
    uiAtom_t *atom = UI_NewAtom(parent, UIA_KEYBOX, MessageKeyBox);
    atom->x = x;
    atom->y = y;
    atom->material = material;
    atom->keyBox.onBind = onBind;
    atom->font = uiMedia[UIMEDIA_NORMAL_FONT];
    UI_CopyColor(atom->bgColor, color_white);
    UI_CopyColor(atom->color, color_white);
    atom->align = align;
    return atom;
}

int32_t UI_GetKey(const uiAtom_t *atom) { return atom->keyBox.key; }
int32_t UI_GetOldKey(const uiAtom_t *atom) { return atom->keyBox.oldKey; }
void UI_SetKey(uiAtom_t *atom, int32_t key) { atom->keyBox.key = atom->keyBox.oldKey = key; }
