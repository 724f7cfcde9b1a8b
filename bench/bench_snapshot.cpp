// Snapshot codec speed: a full snapshot of 16 players and 100 other entities written
// and decoded by the client, whole and against a base; and a whole world's pages
// installed on a client as the server sends them, with the surfaces rebuilt after.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "base/snapshot.h"
#include "client/cl_local.h"
#include "tests/support/snapshot_fill.h"
#include "tests/world/world_build.h"

namespace {

constexpr int PLAYERS = 16, ENTITIES = 100;

struct snapBench_t {
    msg_t msg;
    snapshot_t sent, base;
};

// An entity of play: what the server game fills in, the rest zero.
void PlayEntity(snapFill_t &fill, entityState_t &e, int n) {
    e = entityState_t{};
    e.inUse = 1;
    e.type = n < PLAYERS ? 1 : static_cast<int32_t>(2 + fill.Next() % 20);
    e.owner = n < PLAYERS ? n : -1;
    e.serial = n * 3 + 1;
    e.spawnTime = 1000 + n;
    for (int i = 0; i < 3; i++) {
        e.origin[i] = fill.Range(-60, 60);
        e.dir[i] = fill.Range(-1, 1);
        e.angles[i] = fill.Range(0, 360);
    }
    e.ellipticAxis[0][0] = 1;
    e.anim1 = static_cast<uint8_t>(fill.Next() % 8);
    e.animTime1 = fill.Range(0, 1);
    e.team = n % 2;
    e.weapon = static_cast<int32_t>(fill.Next() % 7);
    e.eventCount = fill.Next() % 4;
    e.events[0] = static_cast<uint8_t>(e.eventCount ? 3 : 0);
}

// The next frame of play: every entity moves a little and turns, players animate,
// one in ten raises an event.
void NextFrame(snapFill_t &fill, const snapshot_t &from, snapshot_t &to) {
    to = from;
    to.number = from.number + 1;
    to.serverTime = from.serverTime + 50;
    to.lastCommand = from.lastCommand + 3;
    to.client.origin[0] += 0.4f;
    to.client.velocity[1] = fill.Range(-5, 5);
    to.client.viewAngles[1] += 2;
    to.client.bobPhase = fill.Range(0, 1);
    for (entityState_t &e : to.entities) {
        if (!e.inUse) continue;
        for (int i = 0; i < 3; i++) e.origin[i] += fill.Range(-0.5f, 0.5f);
        e.angles[1] = fill.Range(0, 360);
        e.animTime1 = fill.Range(0, 1);
        if (fill.Next() % 10 == 0) e.events[e.eventCount++ & 31] = 5;
    }
}

snapBench_t &Fixture() {
    static snapBench_t *b = [] {
        auto *f = new snapBench_t{};
        snapFill_t fill{1234};
        f->base.number = 40;
        f->base.serverTime = 100000;
        fill.Client(reinterpret_cast<uint8_t *>(&f->base.client));
        for (int n = 0; n < PLAYERS + ENTITIES; n++) PlayEntity(fill, f->base.entities[n * 4], n);
        NextFrame(fill, f->base, f->sent);
        // Angles as the writer stores them, so an unchanged one costs nothing.
        msg_t scratch;
        Msg_WriteBegin(&scratch);
        Snap_WriteSnapshot(&f->base, nullptr, 0, 0);
        return f;
    }();
    return *b;
}

void BM_SnapshotEncode(benchmark::State &state) {
    const bool delta = state.range(0);
    snapBench_t &b = Fixture();
    for (auto _ : state) {
        Msg_WriteBegin(&b.msg);
        benchmark::DoNotOptimize(Snap_WriteSnapshot(&b.sent, delta ? &b.base : nullptr, 0, 0));
    }
    state.counters["bytes"] = static_cast<double>((b.msg.curBits + 7) / 8);
}
BENCHMARK(BM_SnapshotEncode)->ArgName("delta")->Arg(0)->Arg(1);

// The client's whole decode: the ring slot cleared, the body read, the frames rebuilt.
void BM_SnapshotDecode(benchmark::State &state) {
    const bool delta = state.range(0);
    snapBench_t &b = Fixture();
    memset(&cl, 0, sizeof cl);
    cl.snaps[b.base.number % CL_SNAPSHOTS] = b.base;  // the client holds the base
    Msg_WriteBegin(&b.msg);
    Snap_WriteSnapshot(&b.sent, delta ? &b.base : nullptr, 0, 0);
    for (auto _ : state) {
        Msg_ReadBegin(&b.msg);
        if (!CL_DecodeSnapshot()) state.SkipWithError("refused");
    }
    state.counters["bytes"] = static_cast<double>((b.msg.curBits + 7) / 8);
}
BENCHMARK(BM_SnapshotDecode)->ArgName("delta")->Arg(0)->Arg(1);

// ---- a world's pages ----

// The pieces of a whole world in packages of at most 1,300 bytes of pieces, the
// way the server walks its grid: runs of empty pages along x as compact pieces.
struct worldPackages_t {
    std::vector<msg_t> packages;
    int pieces = 0, bytes = 0, stored = 0;
};

constexpr int32_t WORLD_ID = 3, SEQUENCE = 1;
enum { PIECE_FULL = 0, PIECE_COMPACT = 1 };

worldPackages_t *BuildWorldPackages() {
    auto *w = new worldPackages_t;
    worldbuild::Build(worldbuild::TerrainVoxel);
    msg_t *m = nullptr;
    int written = 0, prevCell = -2;
    bool prevEmpty = false;
    for (int cell = 0; cell < WO_GRID_CELLS; cell++) {
        const int x = cell & 31, y = (cell >> 5) & 31, z = cell >> 10;
        page_t *p = WO_CellPage(cell);
        int32_t a = 0, b = 0;
        if (p) {
            WO_CompressPage(p);
            a = p->compressedMatterSize, b = p->compressedDensitySize;
            w->stored++;
        } else if (wo_pageGrid[cell] == WO_CELL_SOLID) {
            a = b = -1;
        }
        const bool empty = !p && a == 0;
        const bool compact = empty && prevEmpty && prevCell == cell - 1 && x > 0;
        const int size = compact ? 1 : 20 + (p ? a + b : 0);
        if (!m || written + size > 1300) {
            w->packages.emplace_back();
            m = &w->packages.back();
            Msg_WriteBegin(m);
            written = 0;
        }
        Msg_ContinueWrite(m);
        if (compact) {
            Msg_WriteByte(PIECE_COMPACT);
        } else {
            Msg_WriteByte(PIECE_FULL);
            Msg_WriteByte(static_cast<uint8_t>(x)), Msg_WriteByte(static_cast<uint8_t>(y));
            Msg_WriteByte(static_cast<uint8_t>(z));
            Msg_WriteLong(SEQUENCE), Msg_WriteLong(WORLD_ID), Msg_WriteLong(a), Msg_WriteLong(b);
            if (p) Msg_WriteBytes(p->compressed, a + b);
        }
        written += size;
        w->pieces++;
        w->bytes += size;
        prevCell = cell, prevEmpty = empty;
    }
    return w;
}

// Every package read as the parser reads it; the surfaces rebuilt when asked.
void BM_InstallWorldPages(benchmark::State &state) {
    static worldPackages_t *world = BuildWorldPackages();
    const bool clean = state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        worldbuild::Reset();
        memset(&cl, 0, sizeof cl);
        cl.worldId = WORLD_ID;
        cl.pipe.remote = netadr_t{NA_IP, {10, 0, 0, 1}, 14666, 0};
        CL_InitSeqGrid();
        state.ResumeTiming();
        for (msg_t &m : world->packages) {
            Msg_ReadBegin(&m);
            cl_dropPackage = 0;
            cl.pageAckCount = 0;
            while (!Msg_IsEOF() && !cl_dropPackage) CL_HandlePackagePage(Msg_ReadByte() == PIECE_COMPACT);
            if (cl_dropPackage) state.SkipWithError("a page was refused");
        }
        if (clean) CL_CleanDirtySurfaces();
    }
    state.counters["pages"] = world->stored;
    state.counters["pieces"] = world->pieces;
    state.counters["packages"] = static_cast<double>(world->packages.size());
    state.counters["bytes"] = world->bytes;
}
BENCHMARK(BM_InstallWorldPages)->ArgName("tessellate")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
