// Horizontal and vertical scroll bars: a track and a draggable thumb a fifth of its
// length that reports a position between 0 and 1.
#include "common/common.h"
#include "game_ui/ui_atom.h"
#include "game_ui/ui_local.h"

static float Clamp01(float position) {
    if (!(position >= 0.0f)) return 0.0f;  // also a position that is not a number
    return position > 1.0f ? 1.0f : position;
}

static void Report(uiAtom_t *atom) {
    if (atom->scroll.update) atom->scroll.update(atom, atom->scroll.position);
}

// Both bars run the same steps along their own axis.
static void MessageScroll(uiAtom_t *atom, uint32_t message, int32_t a, bool vertical) {
    if (!UI_CheckMagic(atom, "MessageScroll")) return;
    uiScrollTail_t &s = atom->scroll;
    int32_t x, y;
    UI_GetScreenOrigin(atom, &x, &y, atom->w, atom->h);
    const int32_t length = vertical ? atom->h : atom->w;
    const int32_t start = vertical ? y : x;
    const int32_t thumb = length / UI_SCROLL_THUMB_PART;
    const int32_t thumbStart = start + static_cast<int32_t>(static_cast<float>(length - thumb) * s.position);
    const int32_t pointer = vertical ? ui.mouseY : ui.mouseX;
    int32_t &last = vertical ? s.lastY : s.lastX;
    const bool onThumb = vertical ? UI_PointerIn(x, thumbStart, atom->w, thumb)
                                  : UI_PointerIn(thumbStart, y, thumb, atom->h);
    switch (message) {
    case UIM_DRAW:
        UI_DrawPic(x, y, atom->w, atom->h, atom->bgColor, s.trackMaterial);
        if (vertical) {
            UI_DrawPic(x, thumbStart, atom->w, thumb, atom->bgColor, s.thumbMaterial);
        } else {
            UI_DrawPic(thumbStart, y, thumb, atom->h, atom->bgColor, s.thumbMaterial);
        }
        break;
    case UIM_KEYDOWN:
    case UIM_KEYUP:
        if (a != UI_KEY_MOUSE1 || !onThumb) break;  // the track outside the thumb does nothing
        UI_SetFocus(atom);
        s.dragging = message == UIM_KEYDOWN;
        break;
    case UIM_MOUSEMOVE: {
        const bool before = pointer < thumbStart, after = pointer > thumbStart + thumb;
        // A drag that outruns the thumb ends at the nearer end of the track.
        if (s.dragging && (before || after)) {
            s.position = before ? 0.0f : 1.0f;
            Report(atom);
        }
        if (before || after) {
            s.dragging = 0;
        } else if (!s.dragging) {
            last = pointer;
        } else if (length - thumb > 0) {  // a bar without travel has nothing to move
            s.position = Clamp01(s.position + static_cast<float>(pointer - last) / static_cast<float>(length - thumb));
            Report(atom);
            last = pointer;
        }
        break;
    }
    default: break;
    }
}

static void MessageVerticalScroll(uiAtom_t *atom, uint32_t message, int32_t a, int32_t) {
    MessageScroll(atom, message, a, true);
}

static void MessageHorizontalScroll(uiAtom_t *atom, uint32_t message, int32_t a, int32_t) {
    MessageScroll(atom, message, a, false);
}

static uiAtom_t *CreateScroll(uiAtom_t *parent, uiAtomKind_t kind, uiMessageProc_t proc, int32_t x, int32_t y,
                              int32_t w, int32_t h, int32_t trackMaterial, int32_t thumbMaterial, uint32_t align) {
    uiAtom_t *atom = UI_NewAtom(parent, kind, proc);
    atom->x = x;
    atom->y = y;
    atom->w = w;
    atom->h = h;
    atom->scroll.trackMaterial = trackMaterial;
    atom->scroll.thumbMaterial = thumbMaterial;
    UI_CopyColor(atom->bgColor, color_white);
    UI_CopyColor(atom->color, color_white);
    atom->align = align;
    return atom;
}

uiAtom_t *UI_CreateHorizontalScroll(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h,
                                    int32_t trackMaterial, int32_t thumbMaterial, uint32_t align) {
    return CreateScroll(parent, UIA_HSCROLL, MessageHorizontalScroll, x, y, w, h, trackMaterial, thumbMaterial,
                        align);
}

uiAtom_t *UI_CreateVerticalScroll(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h,
                                  int32_t trackMaterial, int32_t thumbMaterial, uint32_t align) {
    return CreateScroll(parent, UIA_VSCROLL, MessageVerticalScroll, x, y, w, h, trackMaterial, thumbMaterial, align);
}

void UI_SetScrollPosition(uiAtom_t *atom, float position) { atom->scroll.position = Clamp01(position); }
float UI_GetScrollPosition(const uiAtom_t *atom) { return atom->scroll.position; }
void UI_SetScrollUpdatePosition(uiAtom_t *atom, uiScrollCallback_t callback) { atom->scroll.update = callback; }
