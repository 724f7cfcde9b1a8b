// Atoms: the list of them all, placement, messages, focus, input routing, and the
// picture, text and button kinds.
#include "game_ui/ui_atom.h"

#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_draw2d.h"
#include "game_ui/ui_local.h"

int32_t uiMedia[UIMEDIA_COUNT];

// Head of the circular list of every atom; new atoms go right after it, so a walk
// from the head meets the newest first.
static uiAtom_t ui_atomDummy;
static uint8_t ui_atomsInitialised;
static int32_t ui_focusDepth;  // UI_SetFocus calls under way

constexpr int32_t UI_VIRTUAL_WIDTH = 640;
constexpr int32_t UI_VIRTUAL_HEIGHT = 480;

// ---- list ----

void UI_InitAtoms() {
    ui_atomDummy.next = ui_atomDummy.prev = &ui_atomDummy;
    ui_atomsInitialised = 1;
}

void UI_ShutdownAtoms() {
    if (!ui_atomsInitialised) return;
    uiAtom_t *atom = ui_atomDummy.next;
    while (atom != &ui_atomDummy) {
        uiAtom_t *const next = atom->next;
        if (atom->kind == UIA_LIST && atom->list.records) G_Free(atom->list.records);
        atom->magic = 0;
        G_Free(atom);
        atom = next;
    }
    ui_atomDummy.next = ui_atomDummy.prev = &ui_atomDummy;
    ui.waitingKeyBox = nullptr;
}

uiAtom_t *UI_FirstAtom() { return UI_NextAtom(&ui_atomDummy); }

uiAtom_t *UI_NextAtom(const uiAtom_t *atom) {
    if (!ui_atomsInitialised || atom->next == &ui_atomDummy) return nullptr;
    return atom->next;
}

uiAtom_t *UI_NewAtom(uiAtom_t *parent, uiAtomKind_t kind, uiMessageProc_t proc) {
    if (!ui_atomsInitialised) UI_InitAtoms();
    auto *atom = static_cast<uiAtom_t *>(G_Alloc(sizeof(uiAtom_t)));
    memset(atom, 0, sizeof *atom);
    atom->magic = UI_ATOM_MAGIC;
    atom->kind = kind;
    atom->parent = parent;
    atom->defaultProc = proc;
    atom->next = ui_atomDummy.next;
    atom->prev = &ui_atomDummy;
    ui_atomDummy.next->prev = atom;
    ui_atomDummy.next = atom;
    return atom;
}

bool UI_CheckMagic(const uiAtom_t *atom, const char *procedure) {
    if (atom->magic == UI_ATOM_MAGIC) return true;
    Com_Error(ER_FATAL, "%s: Bad Magic", procedure);
    return false;
}

// ---- placement and drawing ----

void UI_GetScreenOrigin(const uiAtom_t *atom, int32_t *x, int32_t *y, int32_t w, int32_t h) {
    *x = atom->x;
    *y = atom->y;
    if (atom->align & UI_ALIGN_CENTER) {
        *x -= w / 2;
        *y -= h / 2;
    } else if (atom->align & UI_ALIGN_RIGHT) {
        *x -= w;
    }
    int ancestors = 0;
    for (const uiAtom_t *p = atom->parent; p; p = p->parent) {
        if (++ancestors > UI_MAX_ANCESTORS) {
            Com_Error(ER_FATAL, "UI_GetScreenOrigin: Stuck in loop");
            return;
        }
        *x += p->x;
        *y += p->y;
    }
}

bool UI_PointerIn(int32_t x, int32_t y, int32_t w, int32_t h) {
    return ui.mouseX >= x && ui.mouseX <= x + w && ui.mouseY >= y && ui.mouseY <= y + h;
}

void UI_DrawPic(float x, float y, float w, float h, const float *color, int32_t material) {
    CG_DrawStretchPic(0, x, y, w, h, color, material, 0);
}

void UI_DrawText(float x, float y, const char *text, const float *color, int32_t font, int32_t flags) {
    if (text[0]) CG_DrawString(0, x, y, 1.0f, text, color, font, flags);
}

// ---- setters ----

void UI_CopyColor(float *dst, const float *src) { memcpy(dst, src ? src : color_white, 4 * sizeof(float)); }

void UI_SetParent(uiAtom_t *atom, uiAtom_t *parent) { atom->parent = parent; }
void UI_SetPosition(uiAtom_t *atom, int32_t x, int32_t y) {
    atom->x = x;
    atom->y = y;
}
void UI_SetWidthHeight(uiAtom_t *atom, int32_t w, int32_t h) {
    atom->w = w;
    atom->h = h;
}
void UI_SetQMat(uiAtom_t *atom, int32_t material) { atom->material = material; }
void UI_SetFont(uiAtom_t *atom, int32_t font) { atom->font = font; }
int32_t UI_GetFont(const uiAtom_t *atom) { return atom->font; }
void UI_SetColor(uiAtom_t *atom, const float *color) { UI_CopyColor(atom->color, color); }
void UI_SetBGColor(uiAtom_t *atom, const float *color) { UI_CopyColor(atom->bgColor, color); }
void UI_SetVisible(uiAtom_t *atom, uint8_t visible) {
    if (atom) atom->visible = visible;
}
void UI_SetMessageBox(uiAtom_t *atom, uint8_t flag) { atom->messageBox = flag; }
void UI_SetHighLight(uiAtom_t *atom, uint8_t flag) { atom->highLight = flag; }
void UI_SetCustomMessageProc(uiAtom_t *atom, uiMessageProc_t proc) { atom->customProc = proc; }
void UI_SetButtonFunctions(uiAtom_t *atom, uiAtomCallback_t leave, uiAtomCallback_t enter, uiAtomCallback_t press,
                           uiAtomCallback_t release) {
    atom->button.leave = leave;
    atom->button.enter = enter;
    atom->button.press = press;
    atom->button.release = release;
}
void UI_SetLineWidht(uiAtom_t *atom, int32_t width) { atom->lineWidth = width; }
void UI_GetText(const uiAtom_t *atom, char *buffer) { Com_strncpyz(buffer, atom->text, UI_ATOM_TEXT); }

void UI_SetText(uiAtom_t *atom, const char *text) {
    Com_strncpyz(atom->text, text ? text : "", UI_ATOM_TEXT);
    if (atom->kind == UIA_EDITBOX) {
        atom->edit.caret = atom->edit.anchor = atom->edit.scroll = 0;
        atom->edit.length = static_cast<int32_t>(strlen(atom->text));
    }
}

// ---- messages and focus ----

void UI_Message(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b) {
    if (!atom) return;
    if (atom->customProc) {
        atom->customProc(atom, message, a, b);
    } else if (atom->defaultProc) {
        atom->defaultProc(atom, message, a, b);
    }
}

void UI_DefaultMessageProc(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b) {
    if (atom && atom->defaultProc) atom->defaultProc(atom, message, a, b);
}

void UI_SetFocus(uiAtom_t *atom) {
    if (ui_focusDepth > 0) {
        Com_Error(ER_FATAL, "UI_SetFocus: Recursive call");
        return;
    }
    ui_focusDepth++;
    for (uiAtom_t *other = UI_FirstAtom(); other; other = UI_NextAtom(other)) {
        if (other == atom || !other->focus) continue;
        other->focus = 0;
        UI_Message(other, UIM_FOCUSLOST, 0, 0);
    }
    if (atom) {
        atom->focus = 1;
        UI_Message(atom, UIM_FOCUSGAINED, 0, 0);
    }
    ui_focusDepth--;
}

void UI_SetAllAtomsNonVisible() {
    for (uiAtom_t *atom = UI_FirstAtom(); atom; atom = UI_NextAtom(atom)) atom->visible = 0;
}

// ---- input routing ----

// While a modal window is open only its own atoms take input; for keys and characters
// that holds only while the console is up, since a lowered console is typed into.
static bool ModalAllows(const uiAtom_t *atom, bool consoleMatters) {
    if (ui.modal == MODAL_NONE || atom->messageBox) return true;
    return consoleMatters && UI_ConsoleIsDown() != 0.0f;
}

static bool IsByte(int32_t v) { return v >= 0 && v <= 255; }

void UI_Mouse(int32_t x, int32_t y) {
    rendererConfig_t config{};
    Trap_R_GetRendererConfig(&config);
    if (config.width <= 0 || config.height <= 0) return;  // no screen to place the pointer on
    ui.mouseX = static_cast<int32_t>(int64_t{x} * UI_VIRTUAL_WIDTH / config.width);
    ui.mouseY = static_cast<int32_t>(int64_t{y} * UI_VIRTUAL_HEIGHT / config.height);
    for (uiAtom_t *atom = UI_FirstAtom(); atom; atom = UI_NextAtom(atom)) {
        if (atom->visible && ModalAllows(atom, false)) UI_Message(atom, UIM_MOUSEMOVE, x, y);
    }
}

void UI_Char(int32_t c) {
    if (!IsByte(c)) return;
    for (uiAtom_t *atom = UI_FirstAtom(); atom; atom = UI_NextAtom(atom)) {
        if (atom->visible && atom->focus && ModalAllows(atom, true)) UI_Message(atom, UIM_CHAR, c, 0);
    }
}

void UI_Key(int32_t key, uint8_t down) {
    if (!IsByte(key)) return;
    const uint32_t message = down ? UIM_KEYDOWN : UIM_KEYUP;
    const bool click = key == UI_KEY_MOUSE1 || key == UI_KEY_MOUSE2 || key == UI_KEY_MOUSE3;
    // A click where the lowered console covers the pointer is the console's.
    if (click && UI_ConsoleIsDown() * UI_VIRTUAL_HEIGHT > static_cast<float>(ui.mouseY)) return;
    for (uiAtom_t *atom = UI_FirstAtom(); atom; atom = UI_NextAtom(atom)) {
        if (atom->visible && (click || atom->focus) && ModalAllows(atom, true)) UI_Message(atom, message, key, 0);
    }
}

// ---- picture ----

static void MessagePic(uiAtom_t *atom, uint32_t message, int32_t, int32_t) {
    if (!UI_CheckMagic(atom, "MessagePic")) return;
    if (message != UIM_DRAW) return;
    int32_t x, y;
    UI_GetScreenOrigin(atom, &x, &y, atom->w, atom->h);
    UI_DrawPic(x, y, atom->w, atom->h, atom->color, atom->material);
}

uiAtom_t *UI_CreatePic(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t material,
                       const float *color, uint32_t align) {
    uiAtom_t *atom = UI_NewAtom(parent, UIA_PIC, MessagePic);
    atom->x = x;
    atom->y = y;
    atom->w = w;
    atom->h = h;
    atom->material = material;
    UI_CopyColor(atom->color, color);
    atom->align = align;
    return atom;
}

// ---- text ----

static void MessageText(uiAtom_t *atom, uint32_t message, int32_t, int32_t) {
    if (!UI_CheckMagic(atom, "MessageText")) return;
    if (message != UIM_DRAW) return;
    const int32_t cw = Trap_CL_GetFontCharWidth(atom->font);
    const int32_t ch = Trap_CL_GetFontCharHeight(atom->font);
    const int32_t length = static_cast<int32_t>(strlen(atom->text));
    int32_t x, y;
    UI_GetScreenOrigin(atom, &x, &y, length * cw, ch);
    if (atom->lineWidth == 0) {
        UI_DrawText(x, y, atom->text, atom->color, atom->font, 0);
        return;
    }
    if (cw <= 0) return;  // a font without a cell width cannot be laid out in lines
    // A line narrower than one character still shows one, so the text always runs out.
    const int32_t perLine = atom->lineWidth / cw > 0 ? atom->lineWidth / cw : 1;
    char line[UI_ATOM_TEXT];
    for (int32_t at = 0; at < length;) {
        const int32_t n = length - at < perLine ? length - at : perLine;
        memcpy(line, atom->text + at, static_cast<size_t>(n));
        line[n] = 0;
        UI_DrawText(x, y, line, atom->color, atom->font, 0);
        y += ch + 1;
        at += n;
        while (atom->text[at] == ' ') at++;  // a line does not begin with the blanks at its cut
    }
}

uiAtom_t *UI_CreateText(uiAtom_t *parent, int32_t x, int32_t y, const char *text, const float *color,
                        int32_t font, uint32_t align) {
    uiAtom_t *atom = UI_NewAtom(parent, UIA_TEXT, MessageText);
    atom->x = x;
    atom->y = y;
    Com_strncpyz(atom->text, text ? text : "", UI_ATOM_TEXT);
    UI_CopyColor(atom->color, color);
    atom->font = font;
    atom->align = align;
    return atom;
}

// ---- button ----

static void RunCallback(uiAtomCallback_t callback, uiAtom_t *atom) {
    if (callback) callback(atom);
}

static void MessageButton(uiAtom_t *atom, uint32_t message, int32_t a, int32_t) {
    if (!UI_CheckMagic(atom, "MessageButton")) return;
    uiButtonTail_t &b = atom->button;
    int32_t x, y;
    UI_GetScreenOrigin(atom, &x, &y, atom->w, atom->h);
    const bool inside = UI_PointerIn(x, y, atom->w, atom->h);
    switch (message) {
    case UIM_DRAW:
        if (atom->highLight && b.highlightMaterial)
            UI_DrawPic(x, y, atom->w, atom->h, atom->color, b.highlightMaterial);
        UI_DrawPic(x, y, atom->w, atom->h, atom->bgColor, atom->material);
        UI_DrawText(x + atom->w * 0.5f, y + atom->h * 0.5f, atom->text, atom->color, atom->font, UI_TEXT_CENTER);
        break;
    case UIM_MOUSEMOVE:
        // Both callbacks run on every move, not only when the pointer crosses the edge.
        if (inside) {
            if (b.pressed) break;
            atom->material = b.hoverMaterial;
            RunCallback(b.enter, atom);
        } else {
            b.pressed = 0;
            atom->material = b.normalMaterial;
            RunCallback(b.leave, atom);
        }
        break;
    case UIM_KEYDOWN:
        if (a != UI_KEY_MOUSE1 || !inside) break;
        UI_SetFocus(atom);
        b.pressed = 1;
        atom->material = b.pressedMaterial;
        Trap_S_PlayLocalSound(uiMedia[UIMEDIA_CLICK_SOUND]);
        RunCallback(b.press, atom);
        break;
    case UIM_KEYUP:
        if (a != UI_KEY_MOUSE1 || !inside) break;
        UI_SetFocus(atom);
        b.pressed = 0;
        atom->material = b.hoverMaterial;
        RunCallback(b.release, atom);
        break;
    default: break;
    }
}

uiAtom_t *UI_CreateButton(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t material,
                          int32_t hoverMaterial, int32_t pressedMaterial, int32_t highlightMaterial,
                          const char *text, uint32_t align) {
    uiAtom_t *atom = UI_NewAtom(parent, UIA_BUTTON, MessageButton);
    atom->x = x;
    atom->y = y;
    atom->w = w;
    atom->h = h;
    atom->material = atom->button.normalMaterial = material;
    atom->button.hoverMaterial = hoverMaterial;
    atom->button.pressedMaterial = pressedMaterial;
    atom->button.highlightMaterial = highlightMaterial;
    Com_strncpyz(atom->text, text ? text : "", UI_ATOM_TEXT);
    atom->font = uiMedia[UIMEDIA_NORMAL_FONT];
    UI_CopyColor(atom->bgColor, color_white);
    UI_CopyColor(atom->color, color_white);
    atom->align = align;
    return atom;
}
