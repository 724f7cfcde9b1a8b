// The remote console and the master-server client: two small out-of-band text
// protocols of the engine base.
//
// An operator sends console lines to a server as "rcon <md5 of the password>
// "<line>"" and sees the server's printed lines come back as rcon_echo texts for
// a while.  Every engine process asks the master server for a challenge, tied to
// the process by its instance number, and learns whether a newer release exists.
// The rcon target, the echo, the master address and the challenge live in qbase.
#pragma once

#include <cstdint>

#include "base/net.h"

constexpr int RCON_MAX_LINE = 1023;          // characters of one joined console line
constexpr int MASTER_LATEST_RELEASE = 7;     // the master reporting more means a newer release exists
constexpr const char *MASTER_DEFAULT_HOST = "master.hollowmere.invalid";  // deployments set their own
constexpr uint8_t MASTER_LAN_NET[3] = {192, 168, 1};  // "-local_master N" is 192.168.1.N
// Refused rcon packages per address (a wrong password, or rcon disabled or without a
// password): a few at once (a mistyped password), then one per RCON_WRONG_WAIT_MSEC.
// An address past that is not heard nor printed, so guessing runs at one try a second
// and no sender floods the log; a right password from an address still being heard
// works at once.
constexpr int32_t RCON_WRONG_WAIT_MSEC = 1000;
constexpr int32_t RCON_WRONG_BURST = 3;
constexpr int RCON_GUARD_SLOTS = 64;         // addresses remembered at the same time

struct cmdVar_t;
// The master server's address: "host" or "host:port" (port 15666 when none is given).
extern cmdVar_t base_masterServer;

// Declares base_masterServer and the commands rcon and rconIp.
void Base_RemoteImp();

// Once per engine frame, whether or not a server runs: msec of game time passed.
// Counts the waits of wrong passwords down and ends the echo when its time is up.
void Base_RemoteFrame(uint32_t msec);
// Takes the texts of both protocols.  The package must have been read from its
// start and split into words (Msg_ReadBegin, Msg_ReadTokenize).  1 when it was one
// of them (handled, or recognised and dropped), 0 when it is someone else's.
uint8_t Base_HandlePackage(netPackage_t *package);
// Sends one console line to a server; echoes are then accepted from there only.
void Base_RCon(const netadr_t *address, const char *line);
// Resolves the master server and asks it for a challenge; does nothing when a
// challenge is known, unless force is set.
void Base_UpdateMaster(uint8_t force);
// The print path's hook: while the echo is on, sends text to the echo address.  It
// never reports a failed send and never calls itself, so it is safe inside the
// print and error path.
void Base_RConEcho(const char *text);
