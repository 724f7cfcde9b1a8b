// The list atom: a scrollable column of text records with icons, a marked record
// that survives rebuilding, and double-click activation.
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_ui/ui_atom.h"
#include "game_ui/ui_local.h"

// The record an index names for the record setters: past the last is the last;
// null below 0 or on an empty list.
static uiListRecord_t *RecordAt(const uiAtom_t *atom, int32_t record) {
    const uiListTail_t &l = atom->list;
    if (record < 0 || l.recordCount <= 0) return nullptr;
    return &l.records[record < l.recordCount ? record : l.recordCount - 1];
}

void UI_SetListRecords(uiAtom_t *atom, const char *text) {
    uiListTail_t &l = atom->list;
    if (!text) text = "";
    const int32_t length = static_cast<int32_t>(strlen(text));
    const uint32_t checksum = Com_GetCRC(text, length);
    if (l.checksum != 0 && l.checksum == checksum) return;  // unchanged: records, nouns, icons and mark stay
    // Every line is checked before anything is replaced, so a refused text leaves the old records.
    int32_t count = 0;
    for (const char *line = text; const char *end = strchr(line, '\n'); line = end + 1) {
        if (end - line >= UI_LIST_LINE) {
            Com_Error(ER_FATAL, "UI_SetList: Records too long!");
            return;
        }
        count++;
    }
    if (l.records) G_Free(l.records);
    l.records = nullptr;
    l.checksum = checksum;
    l.recordCount = count;
    if (count > 0) {
        const size_t size = sizeof(uiListRecord_t) * static_cast<size_t>(count);
        l.records = static_cast<uiListRecord_t *>(G_Alloc(static_cast<uint32_t>(size)));
        memset(l.records, 0, size);
    }
    // Text after the last line break is not a record.
    const char *line = text;
    for (int32_t r = 0; r < count; r++) {
        const char *end = strchr(line, '\n');
        memcpy(l.records[r].text, line, static_cast<size_t>(end - line));
        line = end + 1;
    }
    l.markedRecord = -1;  // the wanted noun marks again once the screen has set the nouns
}

int32_t UI_GetNumRecords(const uiAtom_t *atom) { return atom->list.recordCount; }
int32_t UI_GetVisRecord(const uiAtom_t *atom) { return atom->list.firstVisible; }
void UI_SetVisRecord(uiAtom_t *atom, int32_t index) { atom->list.firstVisible = index; }
int32_t UI_GetMarkedRecord(const uiAtom_t *atom) { return atom->list.markedRecord; }
void UI_SetMarkedRecord(uiAtom_t *atom, int32_t index) { atom->list.markedRecord = index; }

void UI_SetNoun(uiAtom_t *atom, int32_t record, uint32_t noun) {
    if (uiListRecord_t *r = RecordAt(atom, record)) r->noun = noun;
}

uint32_t UI_GetNoun(const uiAtom_t *atom, int32_t record) {
    const uiListRecord_t *r = RecordAt(atom, record);
    return r ? r->noun : 0;
}

void UI_SetNumIcons(uiAtom_t *atom, int32_t record, int32_t count) {
    if (uiListRecord_t *r = RecordAt(atom, record))
        r->iconCount = count < 0 ? 0 : (count > UI_LIST_MAX_ICONS ? UI_LIST_MAX_ICONS : count);
}

void UI_SetIcon(uiAtom_t *atom, int32_t record, int32_t slot, int32_t material) {
    if (uiListRecord_t *r = RecordAt(atom, record))
        r->icons[slot < 0 ? 0 : (slot >= UI_LIST_ICON_SLOTS ? UI_LIST_ICON_SLOTS - 1 : slot)] = material;
}

int32_t UI_FindNoun(const uiAtom_t *atom, uint32_t noun) {
    for (int32_t r = 0; r < atom->list.recordCount; r++)
        if (atom->list.records[r].noun == noun) return r;
    return -1;
}

static void DrawList(uiAtom_t *atom) {
    const uiListTail_t &l = atom->list;
    const int32_t cw = Trap_CL_GetFontCharWidth(atom->font);
    const int32_t ch = Trap_CL_GetFontCharHeight(atom->font);
    int32_t x, y;
    UI_GetScreenOrigin(atom, &x, &y, atom->w, atom->h);
    UI_DrawPic(x, y, atom->w, atom->h, atom->bgColor, atom->material);
    UI_DrawText(x + UI_LIST_MARGIN, y + UI_LIST_MARGIN, atom->text, color_green, atom->font, 0);
    if (ch <= 0) return;  // rows cannot be laid out with a font without a height
    const int32_t rows = atom->h / ch - 2;
    for (int32_t i = 0; i < rows; i++) {
        const int32_t r = l.firstVisible + i;
        if (r >= l.recordCount) break;
        if (r < 0) continue;  // a first row set above the list leaves its rows empty
        const uiListRecord_t &record = l.records[r];
        const float left = static_cast<float>(x + UI_LIST_MARGIN);
        const float top = static_cast<float>(y + ch * (i + 1) + UI_LIST_MARGIN);
        if (r == l.markedRecord) {
            char visible[UI_LIST_LINE];
            Com_StripColorKeys(visible, sizeof visible, record.text);
            const int32_t cells = static_cast<int32_t>(strlen(visible)) + record.iconCount;
            UI_DrawPic(left, top, static_cast<float>(cells * cw), static_cast<float>(ch + 1), atom->color,
                       l.markMaterial);
        }
        for (int32_t j = 0; j < record.iconCount; j++)
            UI_DrawPic(left + static_cast<float>(j * cw), top, cw, ch, color_white, record.icons[j]);
        UI_DrawText(left + static_cast<float>(record.iconCount * cw), top, record.text, atom->color, atom->font, 0);
    }
}

static void ClickList(uiAtom_t *atom) {
    uiListTail_t &l = atom->list;
    const int32_t ch = Trap_CL_GetFontCharHeight(atom->font);
    int32_t x, y;
    UI_GetScreenOrigin(atom, &x, &y, atom->w, atom->h);
    if (!UI_PointerIn(x, y, atom->w, atom->h)) return;
    UI_SetFocus(atom);
    if (ch <= 0) return;  // no rows to tell apart
    const int32_t previous = l.markedRecord;
    const int32_t offset = ui.mouseY - y - UI_LIST_MARGIN - ch;
    const int32_t r = offset < 0 ? -1 : offset / ch + l.firstVisible;
    if (r >= 0 && r < l.recordCount) {
        l.markedRecord = r;
        l.wantedNoun = l.records[r].noun;
    } else {
        l.markedRecord = -1;  // the header line, the margin, or below the last record
        l.wantedNoun = 0;
    }
    if (l.markedRecord != -1 && l.markedRecord == previous && G_TimeAge(l.lastClickTime) < UI_DOUBLE_CLICK_MSEC &&
        ui.mouseX == l.lastClickX && ui.mouseY == l.lastClickY && atom->customProc)
        atom->customProc(atom, UIM_ACTIVATE, 0, 0);
    l.lastClickTime = qgame.time;
    l.lastClickX = ui.mouseX;
    l.lastClickY = ui.mouseY;
}

static void MessageList(uiAtom_t *atom, uint32_t message, int32_t a, int32_t) {
    if (!UI_CheckMagic(atom, "MessageList")) return;
    uiListTail_t &l = atom->list;
    // The screen gives a rebuilt list its nouns before the next message: mark the wanted one again.
    if (l.markedRecord == -1 && l.wantedNoun != 0) {
        const int32_t r = UI_FindNoun(atom, l.wantedNoun);
        if (r >= 0) l.markedRecord = r;
    }
    if (message == UIM_DRAW) {
        DrawList(atom);
    } else if (message == UIM_KEYDOWN && a == UI_KEY_MOUSE1) {
        ClickList(atom);
    }
}

uiAtom_t *UI_CreateList(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t material,
                        int32_t markMaterial, uint32_t align) {
    uiAtom_t *atom = UI_NewAtom(parent, UIA_LIST, MessageList);
    atom->x = x;
    atom->y = y;
    atom->w = w;
    atom->h = h;
    atom->material = material;
    atom->list.markMaterial = markMaterial;
    atom->font = uiMedia[UIMEDIA_NORMAL_FONT];
    UI_CopyColor(atom->bgColor, color_white);
    UI_CopyColor(atom->color, color_white);
    atom->align = align;
    atom->list.markedRecord = -1;
    return atom;
}
