// The engine client's own records: the connection, the packages it writes, the
// snapshots it decodes, the world pages it installs, and the queue of server
// commands for the client game.  client/client.h is what the rest of the engine
// calls; this header is shared by the client's own files and its tests.
//
// Everything a server sends is hostile until proven otherwise: each count, length
// and index read from a package is checked against its record before use, and a
// read that runs past the package's end stops the reading of that package.
#pragma once

#include <cstdint>

#include "base/base.h"
#include "base/module_services.h"
#include "base/net.h"
#include "base/packages.h"
#include "client/client.h"
#include "common/com_info.h"
#include "common/com_msg.h"
#include "game/g_public.h"

struct cmdVar_t;

// ---- limits ----

constexpr int CL_NAME_SIZE = 64;               // player name and password, with their zero
constexpr int CL_CC_RING = 3;                  // commands kept and sent in every CLP_CC
constexpr int CL_PAGE_ACKS = 1000;             // pooled page acknowledgements
constexpr int CL_PAGE_ACK_MAX_BITS = 111919;   // a pool package above this goes at once
constexpr int CL_PAGE_ACK_DELAY = 50;          // ms a pooled acknowledgement may wait
constexpr int CL_SNAPSHOTS = 32;               // the snapshot ring; snapshot n in slot n % 32
constexpr int CL_SERVER_COMMANDS = 32;         // the server-command queue
constexpr int CL_SERVER_COMMAND_SIZE = MAX_MSGLEN + 1;  // a whole package and its zero
constexpr int CL_CONNECT_TIMEOUT = 10000;      // ms without a world info: give up
constexpr int CL_RETRY_INTERVAL = 2000;        // ms between handshake retries (resent after this)
constexpr int CL_SILENCE_TIMEOUT = 10000;      // ms without an in-band piece: connection lost
constexpr int CL_STALL_TIME = 500;             // ms without an in-band piece: stalled
constexpr int CL_INFO_RESEND = 200;            // ms between sends of an unacknowledged info string
constexpr int32_t CL_ENGINE_VERSION = 110;     // engine protocol sent in "connect"

// The game time in ms: the one clock the client stamps and compares by.  It wraps,
// so times are compared by their difference.
inline int32_t CL_Now() { return static_cast<int32_t>(qbase.time); }
// a - b for two such times, taken in unsigned arithmetic so it stays defined across the wrap.
inline int32_t CL_TimeDiff(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
// ms since a stamp of CL_Now.  The game time restarts before it reaches 2^31 ms, and
// a difference does not survive that: every age of a stamp is taken through here.
inline int32_t CL_Age(int32_t stamp) { return Base_TimeAge(static_cast<uint32_t>(stamp)); }

// ---- records ----

// One pooled page acknowledgement.
struct clPageAck_t {
    int32_t x, y, z, sequence;
};

// The engine client: one global, cleared as a whole.  Connecting and
// disconnecting clear everything behind `reserved`.
struct clientStatic_t {
    ecl_t *ecl;                   // the client game's record, set by CL_UploadECL
    uint8_t reserved[16];         // kept across connections
    int32_t state;                // eclState_t
    int32_t challenge;            // 0: none yet
    int32_t lastRetryTime;        // game ms
    int32_t connectTime;          // game ms the attempt began
    int32_t lastReceiveTime;      // game ms of the last in-band piece
    uint8_t stalled;
    char name[CL_NAME_SIZE];
    char password[CL_NAME_SIZE];
    netPipe_t pipe;               // begins with the server's address
    // The command ring: command n in slot n % 3.
    int32_t ccNewest;
    cc_t ccRing[CL_CC_RING];
    // The page-acknowledgement pool and the package it is written into.
    int32_t pageAckCount;
    int32_t pageAckTime;          // game ms of the first pooled entry
    clPageAck_t pageAcks[CL_PAGE_ACKS];
    int32_t matterChecksum;       // the world's, computed this frame
    msg_t pageAckMsg;
    // Snapshots and the simulation clock.
    int32_t simTime;              // ms
    const snapshot_t *newer;      // the current pair, null when none
    const snapshot_t *older;
    int32_t snapNewest;           // -1: none
    int32_t snapCount;            // received since the last world change
    snapshot_t snaps[CL_SNAPSHOTS];
    // The world the server runs.
    uint8_t worldComplete;        // latched once the world matched the server's
    char worldPath[MAX_INFO_STRING];
    int32_t worldInfoVersion;
    char worldInfo[MAX_INFO_STRING];
    // The client info string, as the client game set it.
    int32_t infoVersion;
    int32_t infoSentTime;         // game ms; 0: due now
    char info[MAX_INFO_STRING];
    int32_t worldId;
};

extern clientStatic_t cl;

// One queued server command: its sender and its text.
struct clServerCommand_t {
    netadr_t address;
    char text[CL_SERVER_COMMAND_SIZE];
};

// Texts for the client game and the interface.  head and tail only grow; entry =
// counter % 32; full when head >= tail + 32.  Outlives connections.
struct clServerCommands_t {
    uint32_t head, tail;
    clServerCommand_t entries[CL_SERVER_COMMANDS];
};

// The texts of the server we are connected to (or of the one in this process), and
// those of every other sender (server browser answers, the master's list).  Read in
// that order.
extern clServerCommands_t cl_serverCommands, cl_outsideCommands;

extern cmdVar_t cl_pushTime, cl_printDeltaTime, cl_printPage, cl_printClean, cl_printNet, cl_rate, cl_minDecalZ;

// The client game's traps (CL_UploadECL, CL_ConnectToServer, CL_SendClientCommand,
// CL_GetNextServerCommand, ...) are declared with the other engine services in
// base/module_services.h.

// ---- connection and frame ----

// Time-outs, retries and the stalled flag; once per client frame.
void CL_CheckServerConnection();
// Copies the connection into the client game's record; fatal when none was uploaded.
void CL_UpdateECL();
// A new world: pages cleared and the sequence grid reset, unless the server is in this process.
void CL_MapChange();
// The "connect" text of the handshake, with the stored challenge.
void CL_SendConnect();
// The master-server list query ("getGlobalServers").
void CL_GetGlobalServers();
// Restarts the renderer and hands it the world and the client game's media again.
void CL_RestartRenderer();

// ---- client packages ----

// Starts a package in msg and writes its head: the magic and the challenge.
void CL_BeginWriteMessage(msg_t *msg);
void CL_SendDisconnect();
void CL_SendPingResponse(int32_t value);
// Sends the info string when the server has not acknowledged this version.
void CL_SendInfoString();
// Pools one page acknowledgement; the pool goes when full.
void CL_AddPageAck(int32_t x, int32_t y, int32_t z, int32_t sequence);
// Sends the pool when its first entry waited long enough, or force.
void CL_SendPageAcks(uint8_t force);

// ---- package parser and server commands ----

// Reads one package that reached the client, already begun and split into words.
void CL_HandlePackage(netPackage_t *package);
// Set by a handler to stop the reading of the package in hand.
extern uint8_t cl_dropPackage;

// ---- snapshots and the simulation clock ----

// Decodes the snapshot piece of the message in hand into the ring; null on failure.
snapshot_t *CL_DecodeSnapshot();
// Advances the simulation time and picks the pair around it; once per frame.
void CL_UpdateSimulation();
// The newest snapshot while its ring slot still holds it; null when there is none
// or a later refused snapshot cleared the slot.
const snapshot_t *CL_NewestSnapshot();
// Every ring slot invalid (no number matches it), no newest, no pair: a fresh connection.
void CL_ClearSnapshots();

// ---- world pages ----

// Every page cell's sequence unknown (-1).
void CL_InitSeqGrid();
void CL_ShutdownWorld();
// Reads one page piece (compact: the delta form) of the message in hand.
void CL_HandlePackagePage(uint8_t compact);
// Installs one page: size1 0 empty, -1 solid, else size1 + size2 bytes of its two
// streams.  0 with nothing changed when the cell or the streams are bad.
uint8_t CL_SetCompressedPage(int32_t x, int32_t y, int32_t z, int32_t size1, int32_t size2, const uint8_t *data);
void CL_CleanDirtySurfaces();
