// A stand-in client game for the end-to-end tests: it hands the engine its
// connection record, connects when told, sends a client command every frame,
// takes the server commands, and prints what a test needs to see on the console,
// each line starting with "clmod:".
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "game/g_entity.h"
#include "game/g_public.h"

namespace {

gameTrap_t trap;

template <typename... T> intptr_t Trap(int number, T... words) {
    gameArg_t args[GAME_MAX_ARGS];
    Arg_Pack(args, words...);
    return trap(number, args);
}

void Print(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void Print(const char *fmt, ...) {
    char text[1024] = "clmod: ";
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text + 7, sizeof text - 7, fmt, ap);
    va_end(ap);
    uint8_t developer = 0;
    Trap(GTRAP_PRINT, text, &developer);
}

const char *Argv(int32_t n) { return reinterpret_cast<const char *>(Trap(GTRAP_ARGV, &n)); }
int32_t Now() { return static_cast<int32_t>(Trap(GTRAP_GET_TIME)); }

ecl_t ecl;
ecl_t seen;           // the record as last reported
uint32_t ccNumber;
int32_t lastReport;   // ms of the last statistics line

void Ignore_f() {}

void Connect_f() {
    Trap(GTRAP_CL_CONNECT_TO_SERVER, Argv(1), "", "Probe");
}

// Reports every change of the connection record.
void ReportConnection() {
    if (ecl.state != seen.state) Print("state %d", ecl.state);
    if (ecl.worldIncomplete != seen.worldIncomplete)
        Print(ecl.worldIncomplete ? "world incomplete" : "world complete");
    if (ecl.stalled != seen.stalled) Print(ecl.stalled ? "stalled" : "flowing");
    seen = ecl;
}

// Once a second while connected: the pair of snapshots and the traffic.
void ReportSnapshots() {
    if (ecl.state != ECL_CONNECTED || Now() - lastReport < 1000) return;
    lastReport = Now();
    const snapshot_t *older = nullptr, *newer = nullptr;
    int32_t time = 0;
    Trap(GTRAP_CL_GET_SNAPSHOT, &older, &newer, &time);
    int32_t stats[19] = {};
    Trap(GTRAP_CL_GET_STATS, stats);
    if (!newer) {
        Print("no snapshot pair");
        return;
    }
    int players = 0, entities = 0;
    char origins[256] = "";
    for (const entityState_t &e : newer->entities) {
        if (!e.inUse) continue;
        entities++;
        if (e.type == ET_PLAYER && players < 4) {
            players++;
            char one[64];
            snprintf(one, sizeof one, " (%.2f %.2f %.2f)", e.origin[0], e.origin[1], e.origin[2]);
            strncat(origins, one, sizeof origins - strlen(origins) - 1);
        }
    }
    // Words 5 to 9 are the transport's per-second counts; word 9 the bytes received.
    Print("snapshot %d time %d server %d entities %d players%s down %d", newer->number, time, newer->serverTime,
          entities, origins, stats[9]);
}

void TakeServerCommands() {
    for (;;) {
        uint8_t from[12];
        Trap(GTRAP_CL_GET_NEXT_SERVER_COMMAND, from);
        const int32_t argc = static_cast<int32_t>(Trap(GTRAP_CL_SERVER_COMMAND_ARGC));
        if (argc == 0) return;
        int32_t zero = 0, one = 1;
        const char *word = reinterpret_cast<const char *>(Trap(GTRAP_CL_SERVER_COMMAND_ARGV, &zero));
        if (!strcmp(word, "cg_print"))
            Print("server says %s", reinterpret_cast<const char *>(Trap(GTRAP_CL_SERVER_COMMAND_ARGV, &one)));
    }
}

void SendCommand() {
    if (ecl.state != ECL_CONNECTED) return;
    cc_t cc{};
    cc.number = ++ccNumber;
    cc.time = static_cast<uint32_t>(Now());
    cc.angles[1] = static_cast<float>(ccNumber % 360);
    cc.aim[0] = 1.0f;
    Trap(GTRAP_CL_SEND_CLIENT_COMMAND, &cc);
}

int32_t Call(int number, gameArg_t *args) {
    switch (number) {
    case GCALL_CG_IMP: {
        int32_t flags = 0;
        Trap(GTRAP_CREATE_FUNCTION, "clmod_connect", Connect_f, &flags);
        // The engine's input layer speaks to a client game through these every frame.
        static const char *const input[] = {"in_key_down", "in_key_up", "in_char", "in_mouse"};
        for (const char *name : input) Trap(GTRAP_CREATE_FUNCTION, name, Ignore_f, &flags);
        return 0;
    }
    case GCALL_CG_INIT:
        Trap(GTRAP_CL_UPLOAD_ECL, &ecl);
        // A player's settings; the engine adds the rate the server paces us by.
        Trap(GTRAP_CL_UPDATE_INFO_STRING, "name \"Probe\";");
        Print("up");
        return 0;
    case GCALL_CG_CONNECTED_TO_SERVER: Print("connected"); return 1;
    case GCALL_CG_MAP_CHANGE: Print("world %s", Arg_Ptr<const char>(args, 0)); return 1;
    case GCALL_CG_CC_FRAME: SendCommand(); return 0;
    case GCALL_CG_FRAME:
        TakeServerCommands();
        ReportConnection();
        ReportSnapshots();
        return 0;
    case GCALL_DISCONNECT:
        Print("told to disconnect");
        Trap(GTRAP_CL_DISCONNECT_FROM_SERVER, "");
        return 0;
    case GCALL_DISCONNECT_SCREEN: Print("disconnect screen %s", Arg_Ptr<const char>(args, 0)); return 0;
    default: return 0;
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) gameExport_t GetGameAPI(gameImport_t import) {
    trap = import.trap;
    gameExport_t ge = {};
    ge.magic = GAME_API_MAGIC;
    strcpy(ge.name, "clmod");
    strcpy(ge.version, "1");
    ge.protocol = GAME_PROTOCOL;
    ge.apiVersion = GAME_API_VERSION;
    ge.size = sizeof(gameExport_t);
    ge.call = Call;
    return ge;
}
