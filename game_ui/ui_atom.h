// The widget toolkit: atoms, the list that holds them all, the message protocol
// through which they draw themselves and take input, the routing of the client
// game's keys, characters and pointer to them, and the focus.
//
// Every screen builds its atoms once, in code, at fixed coordinates of the virtual
// 640 x 480 screen; every frame the interface hides them all and each screen shows
// and draws (UIM_DRAW) the ones it wants.  Input therefore reaches exactly the
// atoms shown in the last frame.  Atoms live until UI_ShutdownAtoms.
#pragma once

#include <cstdint>

#include "game_ui/ui_main.h"

constexpr uint32_t UI_ATOM_MAGIC = 0x569F0156;  // in every live atom
constexpr int UI_ATOM_TEXT = 1024;              // an atom's text with its zero byte
constexpr int UI_MAX_ANCESTORS = 1000;          // a longer parent chain is taken for a loop
constexpr int UI_LIST_LINE = 256;               // a list record's text with its zero byte
constexpr int UI_LIST_ICON_SLOTS = 4;
constexpr int UI_LIST_MAX_ICONS = 3;            // icons drawn per record at most
constexpr int UI_LIST_MARGIN = 5;               // virtual units between the box and its rows
constexpr int32_t UI_DOUBLE_CLICK_MSEC = 500;   // two presses closer than this activate a record
constexpr int UI_EDIT_SCROLL_STEP = 8;          // characters the edit box's view moves by
constexpr int UI_PASSWORD_SHOWN = 105;          // asterisks a password box shows at most
constexpr int UI_KEYBOX_CHARS = 10;             // width of a key box in characters
constexpr int UI_SCROLL_THUMB_PART = 5;         // a scroll bar's thumb is its length / 5

enum uiAtomKind_t : uint32_t {
    UIA_PIC = 0,
    UIA_TEXT = 1,
    UIA_BUTTON = 2,
    UIA_HSCROLL = 3,
    UIA_VSCROLL = 4,
    UIA_LIST = 5,
    UIA_EDITBOX = 6,
    UIA_KEYBOX = 7,
    UIA_CHECKBOX = 8,
};

enum uiAtomMessage_t : uint32_t {
    UIM_INIT = 0,          // no kind acts on it
    UIM_DRAW = 1,          // draw yourself
    UIM_KEYDOWN = 2,       // a = key number
    UIM_KEYUP = 3,         // a = key number
    UIM_CHAR = 4,          // a = character byte
    UIM_MOUSEMOVE = 5,     // a, b = pointer as the client game passed it; kinds use ui.mouseX/Y
    UIM_FOCUSLOST = 6,
    UIM_FOCUSGAINED = 7,
    UIM_ACTIVATE = 8,      // a list's double click on its marked record, to its custom procedure only
};

// Alignment bits of an atom.
enum uiAlign_t : uint32_t {
    UI_ALIGN_CENTER = 1,    // (x, y) is the box's centre
    UI_ALIGN_RIGHT = 2,     // x is the box's right edge
    UI_ALIGN_PASSWORD = 4,  // edit boxes: show asterisks
};

// Key numbers the toolkit acts on: keyboard scan codes, the mouse buttons and wheel at 200-204.
enum uiKey_t : int32_t {
    UI_KEY_ESCAPE = 1,
    UI_KEY_BACKSPACE = 14,
    UI_KEY_ENTER = 28,
    UI_KEY_CONTROL = 29,
    UI_KEY_LSHIFT = 42,
    UI_KEY_RSHIFT = 54,
    UI_KEY_HOME = 71,
    UI_KEY_UP = 72,
    UI_KEY_PGUP = 73,
    UI_KEY_LEFT = 75,
    UI_KEY_RIGHT = 77,
    UI_KEY_END = 79,
    UI_KEY_DOWN = 80,
    UI_KEY_PGDN = 81,
    UI_KEY_DELETE = 83,
    UI_KEY_MOUSE1 = 200,
    UI_KEY_MOUSE2 = 201,
    UI_KEY_MOUSE3 = 202,
    UI_KEY_WHEEL_UP = 203,
    UI_KEY_WHEEL_DOWN = 204,
};

// Characters the edit box treats apart.
enum uiChar_t : int32_t {
    UI_CHAR_COPY = 3,    // Control with c
    UI_CHAR_ENTER = 13,
    UI_CHAR_PASTE = 22,  // Control with v
    UI_CHAR_CUT = 24,    // Control with x
};

struct uiAtom_t;
using uiMessageProc_t = void (*)(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b);
using uiAtomCallback_t = void (*)(uiAtom_t *atom);
using uiScrollCallback_t = void (*)(uiAtom_t *atom, float position);

struct uiButtonTail_t {
    int32_t normalMaterial, hoverMaterial, pressedMaterial, highlightMaterial;
    uint32_t pressed;  // Mouse1 went down inside and the pointer has not left since
    uiAtomCallback_t leave, enter, press, release;
};

struct uiListRecord_t {
    uint32_t noun;  // the record's identity, chosen by the screen; 0 by default
    char text[UI_LIST_LINE];
    int32_t iconCount;  // 0..UI_LIST_MAX_ICONS
    int32_t icons[UI_LIST_ICON_SLOTS];
};

struct uiListTail_t {
    int32_t markMaterial;
    uint32_t lastClickTime;  // game time (ms) of the last Mouse1 press on the list
    int32_t lastClickX, lastClickY;
    int32_t markedRecord;    // -1 for none
    uint32_t wantedNoun;     // noun of the record the user marked last, kept across rebuilds; 0 none
    int32_t firstVisible;    // record shown in the first row
    int32_t recordCount;
    uiListRecord_t *records;  // owned by the atom
    uint32_t checksum;       // of the text the records were built from; 0 never built
};

struct uiEditTail_t {
    int32_t maxText;  // capacity with the zero byte: at most maxText - 1 characters are typed
    int32_t length;
    int32_t caret;    // 0..length
    int32_t anchor;   // other end of the selection; equal to caret when nothing is selected
    int32_t scroll;   // first character shown
    float selectionColor[4];
};

struct uiKeyBoxTail_t {
    int32_t key;     // bound key number, 0 none
    int32_t oldKey;  // the key bound before the last capture
    uiAtomCallback_t onBind;
};

struct uiCheckBoxTail_t {
    uint8_t pressed;  // Mouse1 went down inside
    uint8_t marked;
    int32_t markMaterial, pressedMaterial;
};

struct uiScrollTail_t {
    uint8_t dragging;
    int32_t lastY, lastX;  // pointer at the last move (vertical, horizontal bars)
    float position;        // 0..1
    int32_t trackMaterial, thumbMaterial;
    uiScrollCallback_t update;
};

// One widget.  Positions are virtual units relative to the parent chain.
struct uiAtom_t {
    uint32_t magic;    // UI_ATOM_MAGIC while alive
    uint32_t kind;     // uiAtomKind_t
    uiAtom_t *parent;  // null at the top
    uint8_t visible;   // shown this frame
    uint8_t focus;
    uint8_t messageBox;  // belongs to a modal window: keeps its input while one is open
    uint8_t highLight;   // buttons: draw the highlight picture
    uiAtom_t *next, *prev;
    char text[UI_ATOM_TEXT];
    int32_t material;  // face picture, 0 none
    int32_t font;
    float bgColor[4];  // tint of the face
    float color[4];    // text, and a pic atom's picture
    int32_t x, y, w, h;  // an edit box's w counts characters
    uint32_t align;      // uiAlign_t bits
    uiMessageProc_t customProc;   // when set it receives every message
    uiMessageProc_t defaultProc;  // the kind's own
    union {
        int32_t lineWidth;  // text atoms: virtual units per line, 0 no wrapping
        uiButtonTail_t button;
        uiListTail_t list;
        uiEditTail_t edit;
        uiKeyBoxTail_t keyBox;
        uiCheckBoxTail_t checkBox;
        uiScrollTail_t scroll;
    };
};

// ---- life cycle ----
void UI_InitAtoms();      // an empty list
void UI_ShutdownAtoms();  // frees every atom (a list's records first); nothing when never started

// ---- creators: a zeroed, linked atom (newest first) with the kind's procedure ----
uiAtom_t *UI_CreatePic(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t material,
                       const float *color, uint32_t align);
uiAtom_t *UI_CreateText(uiAtom_t *parent, int32_t x, int32_t y, const char *text, const float *color,
                        int32_t font, uint32_t align);
uiAtom_t *UI_CreateButton(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t material,
                          int32_t hoverMaterial, int32_t pressedMaterial, int32_t highlightMaterial,
                          const char *text, uint32_t align);
uiAtom_t *UI_CreateList(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t material,
                        int32_t markMaterial, uint32_t align);
uiAtom_t *UI_CreateEditBox(uiAtom_t *parent, int32_t x, int32_t y, int32_t widthInChars, const char *text,
                           int32_t material, uint32_t align);
uiAtom_t *UI_CreateKeyBox(uiAtom_t *parent, int32_t x, int32_t y, int32_t material, uiAtomCallback_t onBind,
                          uint32_t align);
uiAtom_t *UI_CreateCheckBox(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t material,
                            int32_t markMaterial, int32_t pressedMaterial, uint32_t align);
uiAtom_t *UI_CreateHorizontalScroll(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h,
                                    int32_t trackMaterial, int32_t thumbMaterial, uint32_t align);
uiAtom_t *UI_CreateVerticalScroll(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h,
                                  int32_t trackMaterial, int32_t thumbMaterial, uint32_t align);

// ---- setters and getters ----
void UI_SetParent(uiAtom_t *atom, uiAtom_t *parent);
void UI_SetPosition(uiAtom_t *atom, int32_t x, int32_t y);
void UI_SetWidthHeight(uiAtom_t *atom, int32_t w, int32_t h);
void UI_SetQMat(uiAtom_t *atom, int32_t material);  // the face
void UI_SetFont(uiAtom_t *atom, int32_t font);
int32_t UI_GetFont(const uiAtom_t *atom);
void UI_SetColor(uiAtom_t *atom, const float *color);    // 4 floats
void UI_SetBGColor(uiAtom_t *atom, const float *color);  // 4 floats
void UI_SetVisible(uiAtom_t *atom, uint8_t visible);     // nothing for a null atom
void UI_SetMessageBox(uiAtom_t *atom, uint8_t flag);
void UI_SetHighLight(uiAtom_t *atom, uint8_t flag);
void UI_SetCustomMessageProc(uiAtom_t *atom, uiMessageProc_t proc);
void UI_SetButtonFunctions(uiAtom_t *atom, uiAtomCallback_t leave, uiAtomCallback_t enter, uiAtomCallback_t press,
                           uiAtomCallback_t release);
void UI_SetLineWidht(uiAtom_t *atom, int32_t width);  // text atoms
void UI_GetText(const uiAtom_t *atom, char *buffer);  // buffer of UI_ATOM_TEXT bytes
// At most UI_ATOM_TEXT - 1 characters; an edit box's caret, selection and view go back to the start.
void UI_SetText(uiAtom_t *atom, const char *text);

// ---- messages, focus, visibility, placement ----
// To the custom procedure when set, else the kind's; nothing for a null atom.
void UI_Message(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b);
// Straight to the kind's procedure: custom procedures end with it to keep the kind's behaviour.
void UI_DefaultMessageProc(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b);
// UI_SetFocus (declared with the entry points) takes the focus from every other atom
// (UIM_FOCUSLOST) and gives it to atom (UIM_FOCUSGAINED); null leaves no atom focused.
// It is fatal when entered from inside a focus message.
void UI_SetAllAtomsNonVisible();
// Top-left corner on the virtual screen of the atom's box of w x h: its own alignment,
// then the parents' positions without theirs.  Fatal on a chain longer than UI_MAX_ANCESTORS.
void UI_GetScreenOrigin(const uiAtom_t *atom, int32_t *x, int32_t *y, int32_t w, int32_t h);

// Input from the client game (declared with the entry points): UI_Mouse takes device
// pixels, UI_Key a key and 1 for a press, 0 for a release, UI_Char one character.  Keys
// and characters outside 0-255 are ignored.

// ---- lists ----
// Builds the records from a text of lines each ended by a line break; an unchanged
// text keeps the records, their nouns, icons and the mark.
void UI_SetListRecords(uiAtom_t *atom, const char *text);
int32_t UI_GetNumRecords(const uiAtom_t *atom);
int32_t UI_GetVisRecord(const uiAtom_t *atom);
void UI_SetVisRecord(uiAtom_t *atom, int32_t index);
int32_t UI_GetMarkedRecord(const uiAtom_t *atom);
void UI_SetMarkedRecord(uiAtom_t *atom, int32_t index);  // -1 none
// Record setters take an index past the last as the last, and do nothing below 0 or on an empty list.
void UI_SetNoun(uiAtom_t *atom, int32_t record, uint32_t noun);
uint32_t UI_GetNoun(const uiAtom_t *atom, int32_t record);  // 0 below 0 or on an empty list
void UI_SetNumIcons(uiAtom_t *atom, int32_t record, int32_t count);  // count within 0..3
void UI_SetIcon(uiAtom_t *atom, int32_t record, int32_t slot, int32_t material);  // slot within 0..3
int32_t UI_FindNoun(const uiAtom_t *atom, uint32_t noun);  // first record with the noun, -1 none

// ---- edit boxes ----
void UI_SetEditCaret(uiAtom_t *atom, int32_t caret, int32_t anchor);  // each within 0..length; view unchanged
void UI_SetEditMaxText(uiAtom_t *atom, int32_t max);  // within 0..UI_ATOM_TEXT

// ---- key boxes ----
int32_t UI_GetKey(const uiAtom_t *atom);
int32_t UI_GetOldKey(const uiAtom_t *atom);
void UI_SetKey(uiAtom_t *atom, int32_t key);  // key and old key

// ---- check boxes ----
void UI_SetCheckBoxMarked(uiAtom_t *atom, uint8_t marked);
uint8_t UI_GetCheckBoxMarked(const uiAtom_t *atom);

// ---- scroll bars ----
void UI_SetScrollPosition(uiAtom_t *atom, float position);  // within 0..1; the callback is not called
float UI_GetScrollPosition(const uiAtom_t *atom);
void UI_SetScrollUpdatePosition(uiAtom_t *atom, uiScrollCallback_t callback);

// ---- for the kinds' own files ----
// A zeroed atom of the kind, linked after the head, with magic, parent and procedure set.
uiAtom_t *UI_NewAtom(uiAtom_t *parent, uiAtomKind_t kind, uiMessageProc_t proc);
// False, after the fatal "<procedure>: Bad Magic", when the record is no live atom.
bool UI_CheckMagic(const uiAtom_t *atom, const char *procedure);
// The pointer (ui.mouseX, ui.mouseY) lies in the box, edges included.
bool UI_PointerIn(int32_t x, int32_t y, int32_t w, int32_t h);
// The first atom of the list walk (the newest) and the one after it; null past the last.
uiAtom_t *UI_FirstAtom();
uiAtom_t *UI_NextAtom(const uiAtom_t *atom);
// Copies 4 floats of a colour; null is white.
void UI_CopyColor(float *dst, const float *src);
// A picture, and a text at scale 1, on the screen in virtual units.
void UI_DrawPic(float x, float y, float w, float h, const float *color, int32_t material);
void UI_DrawText(float x, float y, const char *text, const float *color, int32_t font, int32_t flags);
constexpr int32_t UI_TEXT_CENTER = 1;  // text flag: its middle at x, y
constexpr int32_t UI_TEXT_RAW = 2;     // text flag: colour escapes shown as typed
