// The shared vertex and face pool: edge vertexes found by hash, welded into rings per
// edge, and faces whose normals are summed into smooth vertex normals.
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/base.h"
#include "base/renderer.h"
#include "world/wo_local.h"

woPool_t wo_pool;
woFaces_t wo_faces;
int32_t wo_edgeVertex[WO_EDGE_SLOTS];
byte wo_poolChunks[WO_POOL_CHUNKS];
int32_t wo_poolLoop;
int32_t wo_qvert = -1;

static byte wo_initilized;

// The bookkeeping of one store of the pool (vertexes or faces): live entries, and
// whether its being full was reported, which happens once, not for every entry that
// does not fit, until something is freed again.
struct woStore_t {
    const char *taker;  // the function that reports the store full
    const char *what;
    int size;
    byte *activeBits;
    int active;
    bool fullReported;
    int lowestFree;  // every entry below it is live
    // Entries from this index on were never taken since the last clear: they still
    // stand as the clear left them, so the next clear need not touch them.  The whole
    // store before the first clear.
    int taken;
};
static woStore_t wo_vertexStore = {"WO_AddVertexToPool", "vertexes", WO_POOL_SIZE, wo_pool.active, 0, false, 0,
                                   WO_POOL_SIZE};
static woStore_t wo_faceStore = {"WO_AddFace", "faces", WO_POOL_FACES, wo_faces.active, 0, false, 0, WO_POOL_FACES};

// ---- circular doubly linked lists by index; a lone node links to itself ----

static woVertexNode_t *const vn = wo_pool.nodes;

static void LinkSelf(woLink_t woVertexNode_t::*f, int i) { vn[i].*f = {i, i}; }

static void LinkInsertAfter(woLink_t woVertexNode_t::*f, int after, int i) {
    const int next = (vn[after].*f).next;
    vn[i].*f = {after, next};
    (vn[next].*f).prev = i;
    (vn[after].*f).next = i;
}

static void LinkAppend(woLink_t woVertexNode_t::*f, int head, int i) { LinkInsertAfter(f, (vn[head].*f).prev, i); }

static void LinkRemove(woLink_t woVertexNode_t::*f, int i) {
    const woLink_t l = vn[i].*f;
    (vn[l.prev].*f).next = l.next;
    (vn[l.next].*f).prev = l.prev;
    LinkSelf(f, i);
}

// ---- stores: the lowest free entry is taken first ----

// Marks the lowest free entry live; -1 when none is free.
static int TakeFree(woStore_t *store) {
    const int words = store->size / 64;
    for (int w = store->lowestFree / 64; w < words; w++) {
        uint64_t bits;
        memcpy(&bits, store->activeBits + 8 * w, sizeof(bits));
        if (bits == ~uint64_t{0})
            continue;
        const int i = 64 * w + std::countr_one(bits);
        WO_SetBit(store->activeBits, i);
        store->lowestFree = i + 1;
        store->active++;
        if (i >= store->taken)
            store->taken = i + 1;
        return i;
    }
    store->lowestFree = store->size;
    if (!store->fullReported)
        Com_Error(ER_WARNING, "%s: all %d pool %s in use", store->taker, store->size, store->what);
    store->fullReported = true;
    return -1;
}

static void ReturnFree(woStore_t *store, int i) {
    WO_ClearBit(store->activeBits, i);
    if (i < store->lowestFree)
        store->lowestFree = i;
    store->active--;
    store->fullReported = false;
}

static void ClearStore(woStore_t *store) {
    memset(store->activeBits, 0, store->size / 8);
    store->active = 0;
    store->fullReported = false;
    store->lowestFree = 0;
    store->taken = 0;
}

static_assert(WO_POOL_SIZE % 64 == 0 && WO_POOL_FACES % 64 == 0, "stores are searched 64 entries at a time");

static bool VertexActive(int i) { return i >= 0 && i < WO_POOL_SIZE && WO_TestBit(wo_pool.active, i); }

static void FlagChunk(int i) { wo_poolChunks[i / WO_POOL_CHUNK] = 1; }

// Puts a vertex on the dirty list once: the dirty bit is the list membership.
static void MarkDirty(int i) {
    if (WO_TestBit(wo_pool.dirty, i))
        return;
    WO_SetBit(wo_pool.dirty, i);
    LinkAppend(&woVertexNode_t::dirty, WO_VERTEX_DIRTY_HEAD, i);
}

// The edge slot of a live vertex, from its key.
static int KeySlot(uint32_t key) {
    return WO_EdgeSlot(key & 1023, key >> 10 & 1023, key >> 20 & 1023, static_cast<int>(key >> 30));
}

// ---- set-up ----

void WO_ClearPool() {
    // Only entries taken since the last clear can be in use or linked; the first
    // clear sets up every one.
    for (int i = 0; i < wo_vertexStore.taken; i++) {
        if (WO_TestBit(wo_pool.active, i))
            wo_edgeVertex[KeySlot(wo_pool.key[i])] = 0;
        LinkSelf(&woVertexNode_t::weld, i);
        LinkSelf(&woVertexNode_t::dirty, i);
    }
    LinkSelf(&woVertexNode_t::dirty, WO_VERTEX_DIRTY_HEAD);
    memset(wo_pool.dirty, 0, sizeof(wo_pool.dirty));
    ClearStore(&wo_vertexStore);
    ClearStore(&wo_faceStore);
    memset(wo_poolChunks, 0, sizeof(wo_poolChunks));
}

void WO_InitGPUVertexList() {
    if (!qbase.rendererRunning || wo_qvert >= 0)
        return;
    // One vertex past the pool, left at the origin: the shadow volumes' extrusion point.
    wo_qvert = RE_LoadVertexes(WO_VERTEX_LAYOUT, WO_POOL_SIZE + 1, 0, 1);
    const poolVertex_t origin = {};
    RE_UpdateVertexes(wo_qvert, WO_VERTEX_LAYOUT, WO_POOL_SIZE, 1, &origin);
}

void WO_InitPool() {
    if (wo_initilized)
        return;
    wo_initilized = 1;
    WO_InitGPUVertexList();
    WO_ClearPool();
}

void WO_ShutdownGPUVertexList() {
    if (qbase.rendererRunning && wo_qvert >= 0) RE_UnloadVertexes(wo_qvert);
    wo_qvert = -1;
}

void WO_ShutdownPool() {
    wo_initilized = 0;
    WO_ShutdownGPUVertexList();
}

// ---- vertexes ----

static void WriteVertex(const poolVertex_t *v, int i) {
    for (int k = 0; k < 3; k++) {
        wo_pool.position[i][k] = v->position[k];
        wo_pool.normal[i][k] = v->normal[k];
    }
    wo_pool.position[i][3] = 0;
    wo_pool.normal[i][3] = 0;
    memcpy(wo_pool.axisMask[i], v->axisMask, sizeof(wo_pool.axisMask[i]));
    memcpy(wo_pool.st[i], v->st, sizeof(wo_pool.st[i]));
    memcpy(wo_pool.rgba[i], v->rgba, sizeof(wo_pool.rgba[i]));
}

// The edge's vertexes from the oldest: the first of this matter (any when -1) and
// facing (any when -1), or -1; oldest is the edge's oldest vertex, -1 when it has none.
static int FindInEdge(int slot, int matter, int facing, int *oldest) {
    *oldest = wo_edgeVertex[slot] - 1;
    if (*oldest < 0)
        return -1;
    int n = *oldest;
    do {
        if ((matter == -1 || wo_pool.matter[n] == matter) && (facing == -1 || wo_pool.facing[n] == facing))
            return n;
        n = vn[n].weld.prev;
    } while (n != *oldest);
    return -1;
}

// A free vertex filled from v and welded to the edge's ring after its oldest vertex.
static int AddToEdge(const poolVertex_t *v, int slot, uint32_t key, int oldest, int matter, int facing) {
    const int n = TakeFree(&wo_vertexStore);
    if (n < 0)
        return -1;
    WriteVertex(v, n);
    wo_pool.matter[n] = matter;
    wo_pool.facing[n] = facing;
    wo_pool.key[n] = key;
    wo_pool.references[n] = 0;
    wo_pool.numVertexFaces[n] = 0;
    wo_pool.staleFaces[n] = 0;
    MarkDirty(n);

    // Weld: the copies of one edge vertex (other matters, other facings) form one ring.
    if (oldest >= 0) {
        LinkInsertAfter(&woVertexNode_t::weld, oldest, n);
    } else {
        LinkSelf(&woVertexNode_t::weld, n);
        wo_edgeVertex[slot] = n + 1;
    }
    FlagChunk(n);
    return n;
}

int WO_AddVertexToPool(const poolVertex_t *v, int x, int y, int z, int axis, int matter, int facing) {
    const int slot = WO_EdgeSlot(x, y, z, axis);
    WO_ASSERT_V(slot >= 0, -1);
    int oldest;
    const int n = FindInEdge(slot, matter, facing, &oldest);
    if (n < 0)
        return AddToEdge(v, slot, WO_VertexKey(x, y, z, axis), oldest, matter, facing);
    WriteVertex(v, n);
    wo_pool.matter[n] = matter;
    wo_pool.facing[n] = facing;
    MarkDirty(n);
    FlagChunk(n);
    return n;
}

int WO_FindEdgeVertex(int x, int y, int z, int axis, int matter, bool *firstOfEdge) {
    const int slot = WO_EdgeSlot(x, y, z, axis);
    WO_ASSERT_V(slot >= 0, -1);
    int oldest;
    const int n = FindInEdge(slot, matter, -1, &oldest);
    *firstOfEdge = n >= 0 ? n == oldest : oldest < 0;
    return n;
}

int WO_AddEdgeVertex(const poolVertex_t *v, int x, int y, int z, int axis, int matter) {
    const int slot = WO_EdgeSlot(x, y, z, axis);
    WO_ASSERT_V(slot >= 0, -1);
    return AddToEdge(v, slot, WO_VertexKey(x, y, z, axis), wo_edgeVertex[slot] - 1, matter, -1);
}

int WO_GetIndexFromPool(int x, int y, int z, int axis, int matter, int facing) {
    const int slot = WO_EdgeSlot(x, y, z, axis);
    int oldest;
    return slot < 0 ? -1 : FindInEdge(slot, matter, facing, &oldest);
}

void WO_GetVertexByIndex(poolVertex_t *out, int i) {
    for (int k = 0; k < 3; k++) {
        out->position[k] = wo_pool.position[i][k];
        out->normal[k] = wo_pool.normal[i][k];
    }
    memcpy(out->axisMask, wo_pool.axisMask[i], sizeof(out->axisMask));
    memcpy(out->st, wo_pool.st[i], sizeof(out->st));
    memcpy(out->rgba, wo_pool.rgba[i], sizeof(out->rgba));
    out->matter = wo_pool.matter[i];
    out->facing = wo_pool.facing[i];
}

void WO_UpdateVertexByIndex(const poolVertex_t *in, int i) {
    WriteVertex(in, i);
    wo_pool.matter[i] = in->matter;
    wo_pool.facing[i] = in->facing;
    FlagChunk(i);
}

void WO_SetVertexFacing(int i, int facing, const float st[2], const float axisMask[4]) {
    wo_pool.facing[i] = facing;
    memcpy(wo_pool.st[i], st, sizeof(wo_pool.st[i]));
    memcpy(wo_pool.axisMask[i], axisMask, sizeof(wo_pool.axisMask[i]));
    FlagChunk(i);
}

static void FreeVertex(int i) {
    // The ring's other members summed this vertex's faces into their normals.
    for (int w = vn[i].weld.next; w != i; w = vn[w].weld.next)
        MarkDirty(w);
    int32_t &oldest = wo_edgeVertex[KeySlot(wo_pool.key[i])];
    if (oldest == i + 1)  // the next oldest takes its place
        oldest = vn[i].weld.prev == i ? 0 : vn[i].weld.prev + 1;
    LinkRemove(&woVertexNode_t::weld, i);
    ReturnFree(&wo_vertexStore, i);
    // Off the dirty list too: taken again, it joins the list's tail like any new vertex,
    // so the order in which ring normals are summed never depends on which free entry
    // the pool handed out.
    if (WO_TestBit(wo_pool.dirty, i)) {
        WO_ClearBit(wo_pool.dirty, i);
        LinkRemove(&woVertexNode_t::dirty, i);
    }
}

void WO_SinkGarbageCount(int i) {
    WO_ASSERT(VertexActive(i));
    if (wo_pool.references[i] > 0 && --wo_pool.references[i] > 0)
        return;
    FreeVertex(i);
}

void WO_HarvestVertex(int i) {
    if (VertexActive(i) && wo_pool.references[i] == 0)
        FreeVertex(i);
}

int WO_CountVertexesInPool() { return wo_vertexStore.active; }

// ---- faces ----

int WO_AddFace(int a, int b, int c) {
    vec3_t n;
    NormalFrom3Points(n, wo_pool.position[a], wo_pool.position[b], wo_pool.position[c]);
    const float len = VectorNormalize(n);
    return WO_AddFaceWithNormal(a, b, c, n, len);
}

int WO_AddFaceWithNormal(int a, int b, int c, const float unitNormal[3], float length) {
    const int f = TakeFree(&wo_faceStore);
    if (f < 0)
        return -1;
    wo_faces.vertexes[f][0] = a;
    wo_faces.vertexes[f][1] = b;
    wo_faces.vertexes[f][2] = c;
    // Unit normal divided once more by the length: small faces weigh more in the sums.
    const float scale = 1.0f / (length < 1e-5f ? 1e-5f : length);
    for (int k = 0; k < 3; k++)
        wo_faces.normal[f][k] = unitNormal[k] * scale;
    return f;
}

void WO_RemoveFace(int f) {
    if (f < 0 || f >= WO_POOL_FACES || !WO_TestBit(wo_faces.active, f))
        return;
    for (int v : wo_faces.vertexes[f]) {
        if (!VertexActive(v))
            continue;
        for (int k = 0; k < wo_pool.numVertexFaces[v]; k++)
            if (wo_pool.vertexFaces[v][k] == f)
                wo_pool.staleFaces[v] |= 1u << k;
        MarkDirty(v);  // its normal loses this face
    }
    ReturnFree(&wo_faceStore, f);
}

// Drops a vertex's stale face entries, keeping the others in order.
static void CompactVertexFaces(int i) {
    const uint32_t stale = wo_pool.staleFaces[i];
    if (stale == 0)  // a vertex that lost no face since it was last compacted
        return;
    int kept = 0;
    for (int k = 0; k < wo_pool.numVertexFaces[i]; k++)
        if (!(stale & (1u << k)))
            wo_pool.vertexFaces[i][kept++] = wo_pool.vertexFaces[i][k];
    wo_pool.numVertexFaces[i] = kept;
    wo_pool.staleFaces[i] = 0;
}

int WO_AddFaceToVertex(int i, int f) {
    WO_ASSERT_V(VertexActive(i), 0);
    if (wo_pool.numVertexFaces[i] >= WO_POOL_FACE_SIZE)
        CompactVertexFaces(i);
    if (wo_pool.numVertexFaces[i] >= WO_POOL_FACE_SIZE) {
        // The face still draws; only its weight in this vertex's normal is lost.
        Com_Error(ER_WARNING, "WO_AddFaceToVertex: WO_POOL_FACE_SIZE");
        return 0;
    }
    const int k = wo_pool.numVertexFaces[i]++;
    wo_pool.vertexFaces[i][k] = f;
    wo_pool.staleFaces[i] &= ~(1u << k);
    MarkDirty(i);  // its normal gains this face
    return 1;
}

void WO_AttachFace(int f, const int idx[3]) {
    for (int k = 0; k < 3; k++) {
        WO_AddFaceToVertex(idx[k], f);
        WO_BumpGarbageCount(idx[k]);
    }
}

int WO_CountFacesInPool() { return wo_faceStore.active; }

// ---- normals ----

void WO_MakeWeldedDirty(int i) {
    for (int w = vn[i].weld.next; w != i; w = vn[w].weld.next)
        MarkDirty(w);
}

void WO_AddNormalToWeldedVertexes(const float n[3], int i) {
    int w = i;
    do {
        for (int k = 0; k < 3; k++)
            wo_pool.normal[w][k] += n[k];
        w = vn[w].weld.next;
    } while (w != i);
}

// Calls fn(i) for every active vertex of the dirty list, in list order.
template <typename Fn>
static void ForEachDirty(Fn fn) {
    for (int i = vn[WO_VERTEX_DIRTY_HEAD].dirty.next; i != WO_VERTEX_DIRTY_HEAD; i = vn[i].dirty.next)
        if (WO_TestBit(wo_pool.active, i))
            fn(i);
}

void WO_AddMakeWeldedVertexesDirty() { ForEachDirty(WO_MakeWeldedDirty); }

static void ClearNormal(int i) {
    CompactVertexFaces(i);
    for (int k = 0; k < 4; k++)
        wo_pool.normal[i][k] = 0;
}

void WO_ClearDirtyNormals() { ForEachDirty(ClearNormal); }

void WO_ClearWeldedDirtyNormals() {
    // Ring members appended to the list by a visit are visited later in the same walk.
    ForEachDirty([](int i) {
        WO_MakeWeldedDirty(i);
        ClearNormal(i);
    });
}

void WO_RecalcDirtyNormals() {
    ForEachDirty([](int i) {
        float s[3] = {0, 0, 0};
        for (int k = 0; k < wo_pool.numVertexFaces[i]; k++) {
            const float *n = wo_faces.normal[wo_pool.vertexFaces[i][k]];
            s[0] += n[0];
            s[1] += n[1];
            s[2] += n[2];
        }
        WO_AddNormalToWeldedVertexes(s, i);
    });
}

void WO_NormalizeDirtyNormals() {
    for (int i = vn[WO_VERTEX_DIRTY_HEAD].dirty.next; i != WO_VERTEX_DIRTY_HEAD;
         i = vn[WO_VERTEX_DIRTY_HEAD].dirty.next) {
        LinkRemove(&woVertexNode_t::dirty, i);
        WO_ClearBit(wo_pool.dirty, i);
        if (!WO_TestBit(wo_pool.active, i))
            continue;
        VectorNormalize(wo_pool.normal[i]);
        FlagChunk(i);
    }
}

// ---- renderer upload and debugging ----

void WO_UploadPool() {
    if (!qbase.rendererRunning)
        return;
    const uint32_t start = Base_Time();
    if (wo_uploadContinusely.integer) {
        wo_poolChunks[wo_poolLoop] = 1;
        wo_poolLoop = (wo_poolLoop + 1) % WO_POOL_CHUNKS;
    }
    int sent = 0;
    for (int c = 0; c < WO_POOL_CHUNKS; c++) {
        if (!wo_poolChunks[c])
            continue;
        const int first = c * WO_POOL_CHUNK;
        RE_UpdateVertexesDirect(wo_qvert, first, WO_POOL_CHUNK, wo_pool.position[first], wo_pool.st[first],
                                wo_pool.normal[first], wo_pool.axisMask[first], wo_pool.rgba[first]);
        sent++;
    }
    if (wo_printUpload.integer && sent > 0)
        Com_Printf("Uploaded %d chunks in %d msec", sent, static_cast<int>(Base_Time() - start));
    memset(wo_poolChunks, 0, sizeof(wo_poolChunks));
}

void WO_UploadEntirePool() {
    memset(wo_poolChunks, 1, sizeof(wo_poolChunks));
    WO_UploadPool();
}

void WO_PoolDebug() {
    float maxLen = 0;
    int maxAt = 0;
    for (int i = 0; i < WO_POOL_SIZE; i++) {
        const float len = VectorLength(wo_pool.position[i]);
        if (len > maxLen) {
            maxLen = len;
            maxAt = i;
        }
    }
    if (maxLen >= 300)
        Com_Printf("WO_PoolDebug: max_d %.2f @ %d", maxLen, maxAt);

    // The renderer's copy: records of the exchange layout, position first.
    if (qbase.rendererRunning && wo_qvert >= 0) {
        byte *copy = static_cast<byte *>(Com_malloc(WO_POOL_SIZE * sizeof(poolVertex_t)));
        if (copy) {
            memset(copy, 0, WO_POOL_SIZE * sizeof(poolVertex_t));
            RE_ReadVertexes(wo_qvert, WO_VERTEX_LAYOUT, 0, WO_POOL_SIZE, copy);
            for (int i = 0; i < WO_POOL_SIZE; i++) {
                vec3_t p;
                memcpy(p, copy + i * sizeof(poolVertex_t), sizeof(p));
                const float len = VectorLength(p);
                if (len >= maxLen + 0.01f)
                    Com_Printf("WO_PoolDebug (2): %.2f @ %d", len, i);
            }
            Com_free(copy);
        }
    }

    for (int cell = 0; cell < WO_GRID_CELLS; cell++) {
        const page_t *p = WO_CellPage(cell);
        if (!p)
            continue;
        for (int k = 0; k < p->numBatchIndexes; k++)
            if (p->batchIndexes[k] > WO_POOL_SIZE - 1)
                Com_Printf("WO_PoolDebug (3): %d @ %d", p->batchIndexes[k], k);
    }
}

void WO_HashStats_f() {
    static int32_t count[WO_POOL_BUCKETS];
    memset(count, 0, sizeof(count));
    for (int i = 0; i < wo_vertexStore.taken; i++)
        if (WO_TestBit(wo_pool.active, i)) {
            const uint32_t key = wo_pool.key[i];
            count[WO_VertexBucket(key & 1023, key >> 10 & 1023, key >> 20 & 1023, static_cast<int>(key >> 30))]++;
        }
    int empty = 0;
    for (int b = 0; b < WO_POOL_BUCKETS; b += 16) {
        const int n = b + 16 <= WO_POOL_BUCKETS ? 16 : WO_POOL_BUCKETS - b;
        char text[16 * 12 + 2];
        int at = 0;
        for (int k = 0; k < n; k++) {
            empty += count[b + k] == 0;
            at += snprintf(text + at, sizeof(text) - at, k ? " %d" : "%d", count[b + k]);
        }
        Com_Printf("%s", text);
    }
    Com_Printf("Zeros: %.4f%%", empty * 100.0 / WO_POOL_BUCKETS);
}
