// The check box: a toggle that flips when Mouse1 goes down and up inside it.
#include "common/common.h"
#include "game_ui/ui_atom.h"
#include "game_ui/ui_local.h"

static void MessageCheckBox(uiAtom_t *atom, uint32_t message, int32_t a, int32_t) {
    if (!UI_CheckMagic(atom, "MessageCheckBox")) return;
    uiCheckBoxTail_t &c = atom->checkBox;
    int32_t x, y;
    UI_GetScreenOrigin(atom, &x, &y, atom->w, atom->h);
    if (message == UIM_DRAW) {
        if (c.pressed) UI_DrawPic(x, y, atom->w, atom->h, color_white, c.pressedMaterial);
        UI_DrawPic(x, y, atom->w, atom->h, color_white, atom->material);
        if (c.marked) UI_DrawPic(x, y, atom->w, atom->h, color_white, c.markMaterial);
        return;
    }
    if ((message != UIM_KEYDOWN && message != UIM_KEYUP) || a != UI_KEY_MOUSE1) return;
    if (!UI_PointerIn(x, y, atom->w, atom->h)) {
        c.pressed = 0;  // a press that wandered off does not count
        return;
    }
    UI_SetFocus(atom);
    if (message == UIM_KEYDOWN) {
        c.pressed = 1;
    } else if (c.pressed) {
        c.marked = !c.marked;
        c.pressed = 0;
    }
}

uiAtom_t *UI_CreateCheckBox(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t material,
                            int32_t markMaterial, int32_t pressedMaterial, uint32_t align) {
    uiAtom_t *atom = UI_NewAtom(parent, UIA_CHECKBOX, MessageCheckBox);
    atom->x = x;
    atom->y = y;
    atom->w = w;
    atom->h = h;
    atom->material = material;
    atom->checkBox.markMaterial = markMaterial;
    atom->checkBox.pressedMaterial = pressedMaterial;
    UI_CopyColor(atom->bgColor, color_black);
    UI_CopyColor(atom->color, color_white);
    atom->align = align;
    return atom;
}

void UI_SetCheckBoxMarked(uiAtom_t *atom, uint8_t marked) { atom->checkBox.marked = marked; }
uint8_t UI_GetCheckBoxMarked(const uiAtom_t *atom) { return atom->checkBox.marked; }
