// The edit box: a one-line text field with caret, selection, clipboard, word moves
// and an optional password mask.  Its w counts characters of its font.
#include <cstring>

#include "common/common.h"
#include "game/g_traps.h"
#include "game_cl/cg_local.h"
#include "game_ui/ui_atom.h"
#include "game_ui/ui_local.h"

static bool HasSelection(const uiEditTail_t &e) { return e.caret != e.anchor; }

// Brings the caret into view in steps.  The view never starts past the caret, so the
// loop ends for any width and for a text loaded longer than the box's capacity.
static void ScrollToCaret(uiAtom_t *atom) {
    uiEditTail_t &e = atom->edit;
    while (e.caret - e.scroll < 0) {
        e.scroll -= UI_EDIT_SCROLL_STEP;
        if (e.scroll < 0) e.scroll = 0;
    }
    const int32_t width = atom->w > 0 ? atom->w : 0;
    while (e.caret - e.scroll > width) {
        e.scroll += UI_EDIT_SCROLL_STEP;
        if (e.scroll > e.caret) e.scroll = e.caret;
    }
}

// Removes count characters at from (the rest moves down with its terminator).
static void RemoveChars(uiAtom_t *atom, int32_t from, int32_t count) {
    uiEditTail_t &e = atom->edit;
    memmove(atom->text + from, atom->text + from + count, static_cast<size_t>(e.length - from - count + 1));
    e.length -= count;
}

static void DeleteSelection(uiAtom_t *atom) {
    uiEditTail_t &e = atom->edit;
    const int32_t lo = e.caret < e.anchor ? e.caret : e.anchor;
    const int32_t hi = e.caret < e.anchor ? e.anchor : e.caret;
    RemoveChars(atom, lo, hi - lo);
    e.caret = e.anchor = lo;
    ScrollToCaret(atom);
}

static void Copy(const uiAtom_t *atom) {
    const uiEditTail_t &e = atom->edit;
    int32_t lo = e.caret < e.anchor ? e.caret : e.anchor;
    int32_t hi = e.caret < e.anchor ? e.anchor : e.caret;
    if (hi - lo <= 0 || hi - lo >= UI_ATOM_TEXT) return;
    if (lo < 0) lo = 0;
    if (hi > e.length) hi = e.length;
    char clip[UI_ATOM_TEXT];
    memcpy(clip, atom->text + lo, static_cast<size_t>(hi - lo));
    clip[hi - lo] = 0;
    Trap_Clipboard_SetString(clip);
}

static void Paste(uiAtom_t *atom) {
    uiEditTail_t &e = atom->edit;
    ui.caretBlink = 1;
    if (HasSelection(e)) DeleteSelection(atom);
    const int32_t n = Trap_Clipboard_GetStringLength();  // with its terminator
    if (n <= 0 || n + e.length >= UI_ATOM_TEXT) return;
    char clip[UI_ATOM_TEXT] = {};
    Trap_Clipboard_GetString(n, clip);
    clip[n - 1] = 0;
    const int32_t k = static_cast<int32_t>(strcspn(clip, "\r\n"));  // the first line only
    if (k == 0) return;
    memmove(atom->text + e.caret + k, atom->text + e.caret, static_cast<size_t>(e.length - e.caret + 1));
    memcpy(atom->text + e.caret, clip, static_cast<size_t>(k));
    e.length += k;
    e.caret += k;
    e.anchor += k;
    const int32_t most = e.maxText - 1 > 0 ? e.maxText - 1 : 0;
    if (e.length > most) e.length = most;
    if (e.caret > most) e.caret = most;
    if (e.anchor > most) e.anchor = most;
    atom->text[e.length] = 0;
    ScrollToCaret(atom);
}

static void Insert(uiAtom_t *atom, int32_t c) {
    uiEditTail_t &e = atom->edit;
    ui.caretBlink = 1;
    if (e.caret >= e.maxText - 1 || e.length >= e.maxText - 1) return;  // full
    if (HasSelection(e)) DeleteSelection(atom);
    memmove(atom->text + e.caret + 1, atom->text + e.caret, static_cast<size_t>(e.length - e.caret + 1));
    atom->text[e.caret] = static_cast<char>(c);
    e.length++;
    e.caret = e.anchor = e.caret + 1;
    ScrollToCaret(atom);
}

static void KeyDown(uiAtom_t *atom, int32_t key) {
    uiEditTail_t &e = atom->edit;
    const int32_t cw = Trap_CL_GetFontCharWidth(atom->font);
    const int32_t ch = Trap_CL_GetFontCharHeight(atom->font);
    switch (key) {
    case UI_KEY_CONTROL: ui.ctrlHeld = 1; return;
    case UI_KEY_LSHIFT:
    case UI_KEY_RSHIFT: ui.shiftHeld = 1; return;
    case UI_KEY_MOUSE1: {
        int32_t x, y;
        UI_GetScreenOrigin(atom, &x, &y, atom->w, atom->h);
        if (!UI_PointerIn(x, y, cw * atom->w, ch)) return;
        if (!atom->focus) e.caret = e.anchor = e.length;
        UI_SetFocus(atom);
        return;
    }
    case UI_KEY_HOME: e.caret = 0; break;
    case UI_KEY_END: e.caret = e.length; break;
    case UI_KEY_LEFT:
        if (ui.ctrlHeld) {
            e.caret = Com_WordMove(atom->text, e.caret - 1, 1);
        } else if (e.caret > 0) {
            e.caret--;
        }
        break;
    case UI_KEY_RIGHT:
        if (ui.ctrlHeld) {
            e.caret = Com_WordMove(atom->text, e.caret, 0);
        } else if (e.caret < e.length) {
            e.caret++;
        }
        break;
    case UI_KEY_BACKSPACE:
        if (HasSelection(e)) {
            DeleteSelection(atom);
        } else if (e.caret > 0) {
            const int32_t n = ui.ctrlHeld ? e.caret - Com_WordMove(atom->text, e.caret - 1, 1) : 1;
            RemoveChars(atom, e.caret - n, n);
            e.caret = e.anchor = e.caret - n;
        }
        ui.caretBlink = 1;
        ScrollToCaret(atom);
        return;
    case UI_KEY_DELETE:
        if (HasSelection(e)) {
            DeleteSelection(atom);
        } else if (e.caret < e.length) {
            const int32_t n = ui.ctrlHeld ? Com_WordMove(atom->text, e.caret, 0) - e.caret : 1;
            RemoveChars(atom, e.caret, n);
        }
        ui.caretBlink = 1;
        ScrollToCaret(atom);
        return;
    default: return;
    }
    // Home, End, Left and Right: Shift extends the selection from the anchor.
    if (!ui.shiftHeld) e.anchor = e.caret;
    ui.caretBlink = 1;
    ScrollToCaret(atom);
}

static void KeyUp(int32_t key) {
    if (key == UI_KEY_CONTROL) ui.ctrlHeld = 0;
    if (key == UI_KEY_LSHIFT || key == UI_KEY_RSHIFT) ui.shiftHeld = 0;
}

static void Char(uiAtom_t *atom, int32_t c) {
    // The clipboard keys arrive as control characters while the client game sees Control held.
    if (cg.controlHeld && c == UI_CHAR_CUT) {
        Copy(atom);
        if (HasSelection(atom->edit)) {
            DeleteSelection(atom);
        } else {
            ScrollToCaret(atom);
        }
    } else if (cg.controlHeld && c == UI_CHAR_COPY) {
        Copy(atom);
    } else if (cg.controlHeld && c == UI_CHAR_PASTE) {
        Paste(atom);
    } else if (c == UI_CHAR_ENTER) {
        UI_SetFocus(nullptr);
    } else if (!Com_IsFuckedChar(c)) {
        Insert(atom, c);
    }
}

static void DrawEditBox(uiAtom_t *atom) {
    const uiEditTail_t &e = atom->edit;
    const int32_t cw = Trap_CL_GetFontCharWidth(atom->font);
    const int32_t ch = Trap_CL_GetFontCharHeight(atom->font);
    int32_t x, y;
    UI_GetScreenOrigin(atom, &x, &y, atom->w, atom->h);
    int32_t shown = e.length - e.scroll < atom->w ? e.length - e.scroll : atom->w;
    if (shown < 0) shown = 0;
    char view[UI_ATOM_TEXT];
    if (atom->align & UI_ALIGN_PASSWORD) {
        if (shown > UI_PASSWORD_SHOWN) shown = UI_PASSWORD_SHOWN;
        memset(view, '*', static_cast<size_t>(shown));
    } else {
        memcpy(view, atom->text + e.scroll, static_cast<size_t>(shown));
    }
    view[shown] = 0;
    if (atom->material) UI_DrawPic(x - 3, y - 2, cw * atom->w + 6, ch + 4, atom->bgColor, atom->material);
    const auto column = [&](int32_t position) {
        const int32_t c = x + cw * (position - e.scroll);
        return c < x ? x : (c > x + cw * atom->w ? x + cw * atom->w : c);
    };
    const int32_t a = column(e.caret), b = column(e.anchor);
    if (a != b)
        UI_DrawPic(a < b ? a : b, y, a < b ? b - a : a - b, ch, e.selectionColor, uiMedia[UIMEDIA_WHITE]);
    UI_DrawText(x, y, view, atom->color, atom->font, UI_TEXT_RAW);
    if (ui.caretBlink > 0 && atom->focus)
        UI_DrawPic(x + cw * (e.caret - e.scroll), y + 1, 1, ch - 2, atom->color, uiMedia[UIMEDIA_WHITE]);
}

static void MessageEditBox(uiAtom_t *atom, uint32_t message, int32_t a, int32_t) {
    if (!UI_CheckMagic(atom, "MessageEditBox")) return;
    switch (message) {
    case UIM_DRAW: DrawEditBox(atom); break;
    case UIM_KEYDOWN: KeyDown(atom, a); break;
    case UIM_KEYUP: KeyUp(a); break;
    case UIM_CHAR: Char(atom, a); break;
    default: break;
    }
}

uiAtom_t *UI_CreateEditBox(uiAtom_t *parent, int32_t x, int32_t y, int32_t widthInChars, const char *text,
                           int32_t material, uint32_t align) {
    uiAtom_t *atom = UI_NewAtom(parent, UIA_EDITBOX, MessageEditBox);
    atom->x = x;
    atom->y = y;
    atom->w = widthInChars;
    atom->material = material;
    atom->font = uiMedia[UIMEDIA_NORMAL_FONT];
    UI_CopyColor(atom->bgColor, color_white);
    UI_CopyColor(atom->color, color_white);
    atom->align = align;
    atom->edit.maxText = UI_ATOM_TEXT;
    UI_SetText(atom, text);
    static constexpr float selection[4] = {0, 0, 0.8f, 1};
    UI_CopyColor(atom->edit.selectionColor, selection);
    return atom;
}

void UI_SetEditCaret(uiAtom_t *atom, int32_t caret, int32_t anchor) {
    uiEditTail_t &e = atom->edit;
    e.caret = caret < 0 ? 0 : (caret > e.length ? e.length : caret);
    e.anchor = anchor < 0 ? 0 : (anchor > e.length ? e.length : anchor);
}

// The text field holds UI_ATOM_TEXT bytes: a larger capacity would let typing run past it.
void UI_SetEditMaxText(uiAtom_t *atom, int32_t max) {
    atom->edit.maxText = max < 0 ? 0 : (max > UI_ATOM_TEXT ? UI_ATOM_TEXT : max);
}
