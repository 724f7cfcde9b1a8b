// One frame of a dedicated server with sixteen players on the planet map: the real
// engine and the real game module in this process.  Sixteen bots play (they move,
// fire and dig), and every slot is also served as a remote player: its visible set,
// its page records and its snapshot go out over UDP to a socket of this program,
// which acknowledges at once whatever each slot was sent.
//
// BM_ServerFrame times whole engine frames.  BM_ServerFrameParts runs the same
// frame's steps one by one and reports what each costs per frame.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/cmd.h"
#include "base/files.h"
#include "base/module.h"
#include "base/net.h"
#include "common/common.h"
#include "server/server.h"
#include "server/sv_world.h"
#include "tests/support/udp_peer.h"
#include "world/world.h"

namespace {

constexpr int kPlayers = 16;
constexpr int kFrameMsec = 50;       // a 20 Hz server
constexpr int kWarmupFrames = 400;   // twenty seconds of play before anything is timed

using Clock = std::chrono::steady_clock;

std::string g_log;  // the newest lines the engine printed, shown when the start fails

void Sink(const char *text) {
    g_log += text;
    g_log += '\n';
    if (g_log.size() > 1 << 16) g_log.erase(0, g_log.size() - (1 << 15));
}

// The remote end of every slot: one socket that takes every datagram the server sends.
hm_test::UdpPeer *g_players;

// Sends each slot's datagrams to the players' socket, as if a remote player sat there.
void GivePeers() {
    const netadr_t to{NA_IP, {127, 0, 0, 1}, g_players->port(), 0};
    for (svClient_t &c : sv_clients) {
        if (!c.inUse || !c.noPeer) continue;
        c.noPeer = 0;
        NET_SetupPipe(&c.pipe, NS_SERVER, &to);
        c.rate = 25000;
    }
}

// Empties the players' socket; the bytes that were waiting.
int64_t Drain() {
    int64_t bytes = 0;
    for (std::string d; !(d = g_players->Receive(0)).empty();) bytes += static_cast<int64_t>(d.size());
    return bytes;
}

// What each slot's player answers: everything it was sent in the frame that began at
// `since` arrived.  Untimed bookkeeping between frames.
void Acknowledge(int32_t since) {
    for (svClient_t &c : sv_clients) {
        if (!c.inUse || c.noPeer) continue;
        c.lastReceive = static_cast<int32_t>(Base_Time());
        c.worldInfoAck = svs.worldInfoVersion;
        if (c.snapNext > 0) c.snapAcked = c.snapNext - 1;
        for (int i = 0; i < WO_GRID_CELLS; i++) {
            if (c.pageSent[i] - since >= 0) c.pageAck[i] = static_cast<int32_t>(wo_seqGrid[i]);
        }
    }
}

// The engine clock jumps one frame ahead, so that every frame is due its snapshots.
void Tick() { qbase.timeBase -= kFrameMsec; }

int PlayersInGame() {
    int n = 0;
    for (const svClient_t &c : sv_clients) n += c.inUse;
    return n;
}

// A frame with the players' bookkeeping around it.
void PlayFrame() {
    Tick();
    const int32_t since = static_cast<int32_t>(Base_Time());
    Base_Frame(kFrameMsec);
    Drain();
    Acknowledge(since);
}

// Starts the engine once, in a copy of the data directory, with the map and the bots,
// and plays until every slot has its world and the match is under way.
bool StartMatch() {
    static int state;  // 0 not tried, 1 running, 2 failed
    if (state) return state == 1;
    state = 2;

    static std::string dir = (std::filesystem::temp_directory_path() / "hm_bench_XXXXXX").string();
    if (!mkdtemp(dir.data())) return false;
    std::filesystem::copy(std::filesystem::path(HM_SOURCE_DIR) / "data", dir,
                          std::filesystem::copy_options::recursive);
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    });

    qbase.frameCount = 1;
    Com_InitByteOrder();
    Com_InitMem();
    static char line[] =
        "-dedicated +set sv_lanServer 1 +set base_masterServer local +set sv_minRate 25000 +set net_port 0";
    Base_ParseCommandLine(line);
    Com_SetupPrintf(PRF_SINKS, Sink, Sink);
    Cmd_Startup();
    FS_StartUp(dir.c_str());
    Base_Imp();
    Base_Init();
    Cmd_Add("map planet CR 16");
    for (int i = 0; i < 20 && !SV_Running(); i++) Base_Frame(kFrameMsec);
    if (!SV_Running()) return false;

    static hm_test::UdpPeer players;
    g_players = &players;
    for (int i = 0; i < kPlayers; i++) Cmd_Add("spawnBot");
    for (int i = 0; i < 10; i++) PlayFrame();
    if (PlayersInGame() != kPlayers) return false;
    GivePeers();
    for (int i = 0; i < kWarmupFrames; i++) PlayFrame();
    state = 1;
    return true;
}

bool Ready(benchmark::State &state) {
    if (StartMatch()) return true;
    state.SkipWithError(("the match did not start:\n" + g_log).c_str());
    return false;
}

void BM_ServerFrame(benchmark::State &state) {
    if (!Ready(state)) return;
    int64_t bytes = 0;
    for (auto _ : state) {
        Tick();
        const int32_t since = static_cast<int32_t>(Base_Time());
        const auto t0 = Clock::now();
        Base_Frame(kFrameMsec);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - t0).count());
        bytes += Drain();
        Acknowledge(since);
    }
    state.counters["players"] = PlayersInGame();
    state.counters["bytes/frame"] = benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ServerFrame)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);

// The steps of the server frame, each timed on its own (in microseconds per frame):
// the server game's frame with the world's cleaning around it; the visible sets (the
// world's sight once, then each slot's set); each slot's page records; each slot's
// snapshot, built, written and sent.
void BM_ServerFrameParts(benchmark::State &state) {
    if (!Ready(state)) return;
    double module = 0, visible = 0, pages = 0, snapshots = 0;
    const auto since = [](Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); };
    for (auto _ : state) {
        Tick();
        const int32_t start = static_cast<int32_t>(Base_Time());
        qbase.previousTime = qbase.time;
        qbase.time += kFrameMsec;
        auto t0 = Clock::now();
        SV_CleanDirtyVoxels();
        SV_CleanDirtySurfaces();
        Call_SG_Frame();
        SV_CleanDirtyVoxels();
        SV_CleanDirtySurfaces();
        sv.matterChecksum = static_cast<int32_t>(WO_GetMatterChecksum());
        const double moduleTime = since(t0);
        t0 = Clock::now();
        const uint64_t sight = WO_OVSStamp();
        double vis = since(t0), page = 0, snap = 0;
        for (svClient_t &c : sv_clients) {
            if (!c.inUse || c.noPeer) continue;
            t0 = Clock::now();
            SV_UpdateFrameVisibleSet(&c, sight);
            vis += since(t0);
            t0 = Clock::now();
            SV_WritePages(&c);
            page += since(t0);
            t0 = Clock::now();
            Msg_WriteBegin(&sv_msg);
            SV_WriteSnapshot(&c);
            NET_SendPackage(&c.pipe, &sv_msg);
            Msg_WriteBegin(&sv_msg);
            snap += since(t0);
        }
        qbase.frameCount++;
        state.SetIterationTime(moduleTime + vis + page + snap);
        module += moduleTime;
        visible += vis;
        pages += page;
        snapshots += snap;
        Drain();
        Acknowledge(start);
    }
    const auto perFrame = [&](double seconds) {
        return benchmark::Counter(seconds * 1e6, benchmark::Counter::kAvgIterations);
    };
    state.counters["module_us"] = perFrame(module);
    state.counters["visible_us"] = perFrame(visible);
    state.counters["pages_us"] = perFrame(pages);
    state.counters["snapshots_us"] = perFrame(snapshots);
}
BENCHMARK(BM_ServerFrameParts)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);

}  // namespace
