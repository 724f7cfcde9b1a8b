// The transfer of the world to the clients, page by page until each page's change is
// acknowledged, and the world info string that tells a client which world it is in.
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "common/com_info.h"
#include "common/common.h"
#include "server/server.h"

static int32_t Now() { return static_cast<int32_t>(Base_Time()); }

// ---- world info ----

void SV_UploadWorldInfoString(const char *text) {
    char info[SV_INFO_SIZE];
    Com_strncpyz(info, text ? text : "", sizeof info);
    Com_IS_AddKey(info, "cheat", sv_cheats.integer ? "1" : "0");
    Com_IS_AddKey(info, "pure", sv_pure.integer ? "1" : "0");
    // A text with no room left for the engine's keys is the server game's fault, not
    // a reason to stop the server: the clients keep the world info they have.
    if (!Com_IS_AddKey(info, "eof", "")) {
        Com_Error(ER_WARNING, "SV_UploadWorldInfoString: MAX_INFO_STRING, the world info stays as it was");
        return;
    }
    if (!strcmp(info, svs.worldInfo)) return;
    svs.worldInfoVersion++;
    for (svClient_t &c : sv_clients) {
        if (c.inUse) c.lastWorldInfoSent = 0;
    }
    memcpy(svs.worldInfo, info, sizeof info);
}

void SV_WriteWorldInfoString(svClient_t *client) {
    if (client->worldInfoAck == svs.worldInfoVersion || SV_Age(client->lastWorldInfoSent) < SV_WORLDINFO_RESEND_MSEC)
        return;
    client->lastWorldInfoSent = Now();
    Msg_WriteBegin(&sv_msg);
    Msg_WriteByte(SVP_WORLDINFO);
    Msg_WriteLong(svs.worldId);
    Msg_WriteLong(svs.worldInfoVersion);
    Msg_WriteString(svs.worldInfo);
    NET_SendPackage(&client->pipe, &sv_msg);
    Msg_WriteBegin(&sv_msg);
}

// ---- pages ----

namespace {
// The previous page record of the package being written.
struct lastRecord_t {
    int32_t cell;  // woCell_t of the page
    int32_t x, y, z;
    uint32_t sequence;
};
}  // namespace

// Cells a block at a time: most of the grid is settled for most clients, acknowledged
// at exactly its sequence number, and a settled cell has nothing to send or report.
constexpr int SV_PAGE_BLOCK = 16;
static_assert(WO_GRID_CELLS % SV_PAGE_BLOCK == 0);

static bool BlockSettled(const int32_t *ack, const uint32_t *seq) {
    uint32_t differs = 0;
    for (int k = 0; k < SV_PAGE_BLOCK; k++) {
        const uint32_t a = static_cast<uint32_t>(ack[k]);
        differs |= (a ^ seq[k]) | (a & 0x80000000u);  // a negative acknowledgement is never settled
    }
    return differs == 0;
}

int SV_WritePages(svClient_t *client) {
    int64_t twice = 2 * static_cast<int64_t>(client->smoothedPing);
    if (twice < SV_PAGE_MIN_INTERVAL) twice = SV_PAGE_MIN_INTERVAL;
    if (twice > SV_PAGE_MAX_INTERVAL) twice = SV_PAGE_MAX_INTERVAL;
    const int32_t interval = static_cast<int32_t>(twice);
    const int32_t now = Now();
    // Only the prints name the client: its address is written out when one is due.
    const auto to = [client] { return Com_adrstr(&client->pipe.remote); };

    int written = 0;
    int stopped = 0;
    lastRecord_t last = {WO_CELL_EMPTY, -666, -666, -666, 0};
    const int start = (client->pageCursor + 1) & (WO_GRID_CELLS - 1);
    Msg_WriteBegin(&sv_msg);
    for (int n = 0; n < WO_GRID_CELLS; n++) {
        const int i = (start + n) & (WO_GRID_CELLS - 1);
        if (i % SV_PAGE_BLOCK == 0 && n + SV_PAGE_BLOCK <= WO_GRID_CELLS &&
            BlockSettled(client->pageAck + i, wo_seqGrid + i)) {
            n += SV_PAGE_BLOCK - 1;
            continue;
        }
        const int x = i & 31, y = (i >> 5) & 31, z = (i >> 10) & 31;
        const uint32_t seq = wo_seqGrid[i];
        const int32_t ack = client->pageAck[i];
        if (ack >= 0 && static_cast<uint32_t>(ack) > seq) {
            Com_DPrintf("SV_WritePages: %s has too high seqNumber", to());
            continue;
        }
        if (!(ack < 0 || static_cast<uint32_t>(ack) < seq) || SV_AgeAt(now, client->pageSent[i]) < interval) continue;
        client->pageSent[i] = now;

        const int32_t cell = wo_pageGrid[i];
        const page_t *page = WO_CellPage(i);
        int32_t a = 0, b = 0;
        if (page) {
            a = page->compressedMatterSize;
            b = page->compressedDensitySize;
            // The world keeps both streams inside the page; anything else is a bug
            // that must not send the bytes behind them.
            if (a < 0 || b < 0 || a + b > WO_PAGE_COMPRESSED_MAX) {
                Com_Error(ER_WARNING, "SV_WritePages: page %d %d %d has bad stream sizes %d %d", x, y, z, a, b);
                continue;
            }
        } else if (cell == WO_CELL_SOLID) {
            a = b = -1;
        }
        const bool compact = written > 0 && cell == WO_CELL_EMPTY && last.cell == WO_CELL_EMPTY && last.x == x - 1 &&
                             last.y == y && last.z == z && last.sequence == seq && !sv_skipPageDelta.integer;
        const int size = compact ? 1 : 16 + (page ? a + b : 0);
        if (written > 0 && written + size > SV_PAGE_BUDGET) {
            client->pageCursor = i;
            stopped = 1;
            break;
        }
        if (compact) {
            Msg_WriteByte(SVP_PAGE_DELTA);
            written += 1;
        } else {
            Msg_WriteByte(SVP_PAGE);
            Msg_WriteByte(static_cast<uint8_t>(x));
            Msg_WriteByte(static_cast<uint8_t>(y));
            Msg_WriteByte(static_cast<uint8_t>(z));
            Msg_WriteLong(static_cast<int32_t>(seq));
            Msg_WriteLong(svs.worldId);
            Msg_WriteLong(a);
            Msg_WriteLong(b);
            if (page && a > 0 && b > 0) Msg_WriteBytes(page->compressed, a + b);
            written += 20 + (page ? a + b : 0);
            if (sv_printPage.integer) {
                if (page) Com_Printf("SV_WritePages: \xA4" "08%s %d %d %d %d\xA4" "00 bytes", to(), x, y, z, a + b);
                else if (sv_printPage.integer == 1)
                    Com_Printf("SV_WritePages: \xA4" "08%s %d %d %d %s\xA4" "00", to(), x, y, z,
                               cell == WO_CELL_SOLID ? "solid" : "empty");
            }
        }
        last = {cell, x, y, z, seq};
    }
    if (!stopped) client->pageCursor = start;
    if (Msg_WriteGetBits() > 0) {
        NET_SendPackage(&client->pipe, &sv_msg);
        if (sv_printPage.integer && written > 0)
            Com_Printf("SV_WritePages: Sending \xA4" "08%d\xA4" "00 bytes to \xA4" "08%s\xA4" "00", written, to());
    }
    Msg_WriteBegin(&sv_msg);
    return stopped;
}
