// The server browser.
#include "game_ui/ui_browser.h"

#include "game/g_traps.h"
#include "game_ui/ui_local.h"

void UI_Connect_Init() {}
void UI_Connect_Draw() {}
void UI_AddPublic_f() {}
void UI_AddLan_f() {}
void UI_AddFavorite_f() {}
void UI_GetLanServers_f() {}

void UI_ServerInfo(const netadr_t *from, int32_t id, int32_t time, uint8_t password, const char *name,
                   const char *map, const char *rules, int32_t players, int32_t maxPlayers, const char *game,
                   int32_t version, int32_t flags, int32_t os, const char *versionText) {
    (void)from, (void)id, (void)time, (void)password, (void)name, (void)map, (void)rules;
    (void)players, (void)maxPlayers, (void)game, (void)version, (void)flags, (void)os, (void)versionText;
}

int32_t UI_AddIp(int32_t list, const char *address) {
    (void)list;
    (void)address;
    return -1;
}

// The engine has the configuration file open: blank lines set the interface's
// lines apart from the variables and bindings before them.
void UI_DumpServers(FILE *config) {
    Trap_FWriteString("\n\n", config);
    Trap_FWriteString("\n", config);
    UI_Console_DumpHistory(config);
    Trap_FWriteString("\n", config);
    UI_Chat_DumpHistory(config);
    Trap_FWriteString("\n", config);
}
