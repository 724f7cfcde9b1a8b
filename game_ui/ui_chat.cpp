// The chat line: "Say:" or "SayTeam:" with a one-line input below the notify rows,
// sent to the server as a say command, with a history of earlier lines.
#include <cstring>

#include "common/common.h"
#include "game/g_traps.h"
#include "game_cl/cg_local.h"
#include "game_ui/ui_atom.h"
#include "game_ui/ui_local.h"

constexpr int32_t CHAT_INPUT_CHARS = 30;  // visible characters of the input
constexpr int32_t CHAT_BELOW_NOTIFY = 10;  // virtual units between the notify rows and the chat line
constexpr char CHAT_QUOTE_STAND_IN = static_cast<char>(163);  // a say command's text is one quoted word

enum chatAtom_t { CHAT_LABEL, CHAT_INPUT, CHAT_ATOMS };
static uiAtom_t *chat_atoms[CHAT_ATOMS];
static char hs_text[CHAT_HISTORY][UI_HISTORY_LINE];
static int32_t hs_vis;

void UI_Chat_SaveToHistory(const char *text, uint8_t push) {
    if (!push) {
        Com_strncpyz(hs_text[0], text, UI_HISTORY_LINE);
        return;
    }
    if (!strcmp(text, hs_text[1])) return;
    memmove(hs_text[2], hs_text[1], sizeof hs_text[0] * (CHAT_HISTORY - 2));
    Com_strncpyz(hs_text[1], text, UI_HISTORY_LINE);
}

void UI_ClearChatHistory() {
    memset(hs_text, 0, sizeof hs_text);
    hs_vis = 0;
}

void UI_Chat_DumpHistory(FILE *file) {
    if (ui_skipHistoryDump.integer) return;
    for (int i = CHAT_HISTORY - 1; i >= 1; i--)
        if (hs_text[i][0]) UI_WriteHistoryLine(file, "addChatHistory", hs_text[i]);
}

void UI_Chat_ClearBuffer() {
    if (chat_atoms[CHAT_INPUT]) UI_SetText(chat_atoms[CHAT_INPUT], "");
}

static void SendLine(uiAtom_t *atom) {
    if (!atom->text[0]) {
        cg.chatMode = 0;
        return;
    }
    UI_Chat_SaveToHistory(atom->text, 1);
    char text[UI_ATOM_TEXT];
    Com_strncpyz(text, atom->text, sizeof text);
    for (char *c = text; *c; c++)
        if (*c == '"') *c = CHAT_QUOTE_STAND_IN;
    char command[UI_ATOM_TEXT + 16];
    Com_sprintf(command, sizeof command, "%s \"%s\"", cg.chatMode == 1 ? "say" : "sayteam", text);
    Trap_Add(command);
    UI_SetText(atom, "");
    hs_vis = 0;
    cg.chatMode = 0;
}

static void ShowEntry(uiAtom_t *atom) {
    UI_SetText(atom, hs_text[hs_vis]);
    UI_SetEditCaret(atom, atom->edit.length, atom->edit.length);
}

static void ChatInputProc(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b) {
    if (message == UIM_CHAR && a == UI_CHAR_ENTER) {
        SendLine(atom);
        return;
    }
    if (message == UIM_KEYDOWN && a == UI_KEY_UP) {
        ui.caretBlink = 1;
        if (hs_vis + 1 < CHAT_HISTORY && hs_text[hs_vis + 1][0]) hs_vis++;
        ShowEntry(atom);
    } else if (message == UIM_KEYDOWN && a == UI_KEY_DOWN) {
        ui.caretBlink = 1;
        if (--hs_vis < 0) {
            hs_vis = 0;
            UI_SetText(atom, "");
        } else {
            ShowEntry(atom);
        }
    }
    UI_DefaultMessageProc(atom, message, a, b);
    if (hs_vis == 0) UI_Chat_SaveToHistory(atom->text, 0);
}

void UI_InitChat() {
    const int32_t font = uiMedia[UIMEDIA_CHAT_FONT];
    chat_atoms[CHAT_LABEL] = UI_CreateText(nullptr, 0, 0, "", color_white, font, 0);
    uiAtom_t *input = UI_CreateEditBox(nullptr, 0, 0, CHAT_INPUT_CHARS, "", 0, 0);
    UI_SetFont(input, font);
    UI_SetCustomMessageProc(input, ChatInputProc);
    chat_atoms[CHAT_INPUT] = input;
}

void UI_ShutdownChat() {
    // The atoms go with the atom list.
    for (uiAtom_t *&atom : chat_atoms) atom = nullptr;
}

void UI_DrawChat() {
    if (cg.chatMode == 0 || cg.menu != CG_MENU_NONE || !chat_atoms[CHAT_INPUT]) return;
    const int32_t cw = Trap_CL_GetFontCharWidth(uiMedia[UIMEDIA_CHAT_FONT]);
    const bool say = cg.chatMode == 1;
    const int32_t y = ui.chatLineY + CHAT_BELOW_NOTIFY;
    UI_SetText(chat_atoms[CHAT_LABEL], say ? "Say:" : "SayTeam:");
    UI_SetPosition(chat_atoms[CHAT_LABEL], 0, y);
    UI_SetPosition(chat_atoms[CHAT_INPUT], (say ? 4 : 8) * cw, y);
    UI_SetFocus(chat_atoms[CHAT_INPUT]);
    for (uiAtom_t *atom : chat_atoms) {
        UI_SetVisible(atom, 1);
        UI_Message(atom, UIM_DRAW, 0, 0);
    }
}
