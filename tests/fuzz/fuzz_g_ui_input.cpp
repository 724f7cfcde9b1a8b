// libFuzzer target: hostile lines at the console's and the chat's prompts.
//
// The input is split at zero bytes into pieces.  Each piece is printed into the
// console, typed at the lowered console's prompt (control bytes become keys) and then
// at the chat line, and the console is drawn; nothing may read or write outside its
// ring, grids, histories or atoms, every command handed on must be a terminated text,
// and every history line written must read back as quoted words the engine keeps whole.  Built and run by scripts/fuzz.sh.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game/g_main.h"
#include "game_cl/cg_local.h"
#include "game_ui/ui_atom.h"
#include "game_ui/ui_local.h"
#include "tests/game/fake_engine.h"

static void Feed(const std::string &piece) {
    for (unsigned char c : piece) {
        // Low bytes press keys (Page Up/Down, Up/Down, Home/End with Control), the rest type.
        if (c < 8) {
            static constexpr int32_t keys[8] = {UI_KEY_PGUP, UI_KEY_PGDN, UI_KEY_UP,   UI_KEY_DOWN,
                                                UI_KEY_HOME, UI_KEY_END,  UI_KEY_CONTROL, UI_KEY_ENTER};
            UI_Key(keys[c], 1);
            if (c != 6) UI_Key(keys[c], 0);
        } else {
            UI_Char(c);
        }
    }
}

// A history line is a command name and one or more quoted words, each short enough for
// the engine to keep whole and free of its own quote and of line ends, and one line end
// at the end.  Double quotes inside single ones come in pairs, which hold every ';'.
static bool IsHistoryLine(const std::string &line) {
    if (line.empty() || line.back() != '\n') return false;
    size_t at = line.find(' ');
    if (at == std::string::npos || at == 0) return false;
    int words = 0;
    bool paired = false;
    while (at < line.size() - 1) {
        if (line[at] != ' ' || (line[at + 1] != '"' && line[at + 1] != '\'')) return false;
        const char quote = line[at + 1];
        const size_t close = line.find(quote, at + 2);
        if (close == std::string::npos || close - (at + 2) > static_cast<size_t>(CMD_MAX_WORD)) return false;
        for (size_t i = at + 2; i < close; i++) {
            if (line[i] == '\n' || line[i] == '\r') return false;
            if (line[i] == '"') paired = !paired;
            if (line[i] == ';' && quote == '\'' && !paired) return false;
        }
        at = close + 1;
        words++;
    }
    return words >= 1 && !paired && at == line.size() - 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fake::Install();
    qgame = fake::qg;
    fake::fontCells[11] = {static_cast<int32_t>(size % 9), static_cast<int32_t>(size % 17)};
    for (int32_t &m : uiMedia) m = 0;
    uiMedia[UIMEDIA_CONSOLE_FONT] = 11;
    uiMedia[UIMEDIA_NOTIFY_FONT] = 12;
    uiMedia[UIMEDIA_CHAT_FONT] = 13;
    cg.menu = CG_MENU_NONE;
    cg.controlHeld = 1;
    UI_Imp("early\n");
    UI_Init();
    fake::Run("con_toggle 1 fast");
    const std::string text(reinterpret_cast<const char *>(data), size);
    size_t at = 0;
    while (at <= text.size()) {
        const size_t end = std::min(text.find('\0', at), text.size());
        const std::string piece = text.substr(at, end - at);
        UI_ConsolePrint(piece.c_str());
        UI_DrawConsole();
        UI_DrawNotifyConsole();
        Feed(piece);
        cg.chatMode = static_cast<uint8_t>(1 + piece.size() % 2);
        UI_DrawChat();
        Feed(piece);
        UI_Char(UI_CHAR_ENTER);
        at = end + 1;
    }
    for (const std::string &line : fake::added)
        if (line.size() >= UI_ATOM_TEXT + 16) abort();
    UI_Console_DumpHistory(reinterpret_cast<FILE *>(1));
    UI_Chat_DumpHistory(reinterpret_cast<FILE *>(1));
    for (const std::string &line : fake::written)
        if (!IsHistoryLine(line)) abort();
    UI_Shutdown();
    fake::Uninstall();
    return 0;
}
