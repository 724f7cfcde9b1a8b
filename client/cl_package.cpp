// The packages the client sends inside its connection: client commands, the
// keep-alive, the disconnect notice, the ping answer, the client info string and
// the pooled page acknowledgements.  The server's reader takes them field by field
// in the order written here.
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/net.h"
#include "client/cl_local.h"
#include "common/common.h"

static bool Connected() { return cl.state == ECL_CONNECTED; }

void CL_BeginWriteMessage(msg_t *msg) {
    Msg_WriteBegin(msg);
    Msg_WriteLong(CLSV_MAGIC);
    Msg_WriteLong(cl.challenge);
}

// Writes one package (head, then what write adds) into a buffer of its own and
// sends it times times; the message that was being written stays the write buffer.
template <typename F> static void SendPackage(F write, int times = 1) {
    static msg_t msg;
    msg_t *const current = Msg_WriteCurrent();
    CL_BeginWriteMessage(&msg);
    write();
    for (int i = 0; i < times; i++) NET_SendPackage(&cl.pipe, &msg);
    Msg_ContinueWrite(current);
}

// ---- client commands ----

// Writes cc (its angles normalised in place) coded against reference.
static void WriteCommand(cc_t *cc, const cc_t *reference) {
    for (float &a : cc->angles) AngleMod(&a);
    const int flagsAt = Msg_WriteGetBits();
    Msg_WriteByte(0);
    uint8_t flags = 0;
    if (cc->number == reference->number + 1) flags |= CCF_NUMBER_NEXT;
    else Msg_WriteLong(static_cast<int32_t>(cc->number));
    Msg_WriteLong(static_cast<int32_t>(cc->time));
    static constexpr uint8_t angleFlags[3] = {CCF_ANGLE_0, CCF_ANGLE_1, CCF_ANGLE_2};
    for (int i = 2; i >= 0; i--) {
        if (cc->angles[i] != reference->angles[i]) {
            flags |= angleFlags[i];
            Msg_WriteShort(CC_AngleToWire(cc->angles[i]));
        }
    }
    if (cc->aim[0] != reference->aim[0] || cc->aim[1] != reference->aim[1] || cc->aim[2] != reference->aim[2]) {
        flags |= CCF_AIM;
        for (float c : cc->aim) Msg_WriteByte(static_cast<uint8_t>(CC_AimToWire(c)));
    }
    if (cc->weapon != reference->weapon || cc->deformMode != reference->deformMode) {
        flags |= CCF_BYTES;
        Msg_WriteByte(cc->weapon);
        Msg_WriteByte(cc->deformMode);
    }
    if (cc->buttons != reference->buttons) {
        flags |= CCF_BUTTONS;
        Msg_WriteLong(static_cast<int32_t>(cc->buttons));
    }
    if (cc->textLength > 0) {
        flags |= CCF_TEXT;
        Msg_WriteByte(static_cast<uint8_t>(cc->textLength));
        Msg_WriteBytes(cc->text, static_cast<int>(cc->textLength));
    }
    const int end = Msg_WriteGetBits();
    Msg_WriteSetBits(flagsAt);
    Msg_WriteByte(flags);
    Msg_WriteSetBits(end);
}

void CL_SendClientCommand(cc_t *cc) {
    if (!Connected() || !cc) return;
    // The server keeps at most this many bytes: sending more would let the two
    // sides disagree on the command's text.
    if (static_cast<int32_t>(cc->textLength) < 0) cc->textLength = 0;
    if (cc->textLength > static_cast<uint32_t>(CC_TEXT_MAX)) cc->textLength = CC_TEXT_MAX;
    cl.ccRing[cc->number % CL_CC_RING] = *cc;
    cl.ccNewest = static_cast<int32_t>(cc->number);
    SendPackage([] {
        Msg_WriteByte(CLP_CC);
        Msg_WriteLong(cl.snapNewest);
        Msg_WriteLong(cl.worldInfoVersion);
        Msg_WriteByte(cl.ecl && cl.ecl->worldIncomplete ? 1 : 0);
        // Newest first, then the oldest, then the middle one.
        static const cc_t zero = {};
        const cc_t *reference = &zero;
        const uint32_t newest = static_cast<uint32_t>(cl.ccNewest);
        for (uint32_t i = 0; i < CL_CC_RING; i++) {
            cc_t *record = &cl.ccRing[(newest + i) % CL_CC_RING];
            WriteCommand(record, reference);
            reference = record;
        }
    });
}

// ---- short packages ----

void CL_SendKeepAlive() {
    if (Connected()) SendPackage([] { Msg_WriteByte(CLP_KEEPALIVE); }, 2);
}

void CL_SendDisconnect() {
    if (Connected()) SendPackage([] { Msg_WriteByte(CLP_DISCONNECT); });
}

void CL_SendPingResponse(int32_t value) {
    SendPackage([value] {
        Msg_WriteByte(CLP_PING);
        Msg_WriteLong(value);
    });
}

// ---- the client info string ----

void CL_UpdateInfoString(const char *text) {
    char info[MAX_INFO_STRING];
    Com_strncpyz(info, text ? text : "", sizeof info);
    Com_IS_AddKey(info, "rate", va("%d", cl_rate.integer));
    if (strcmp(info, cl.info) == 0) return;
    cl.infoVersion++;
    cl.infoSentTime = 0;
    memcpy(cl.info, info, sizeof info);
}

void CL_SendInfoString() {
    if (cl.snapNewest <= 3) return;
    const snapshot_t *newest = CL_NewestSnapshot();
    if (!newest || newest->infoAck >= cl.infoVersion) return;
    if (cl.infoSentTime && CL_Age(cl.infoSentTime) < CL_INFO_RESEND) return;
    cl.infoSentTime = CL_Now();
    SendPackage([] {
        Msg_WriteByte(CLP_INFO);
        Msg_WriteLong(cl.infoVersion);
        const int32_t length = static_cast<int32_t>(strlen(cl.info));
        Msg_WriteLong(length);
        Msg_WriteBytes(cl.info, length);
    });
}

// ---- page acknowledgements ----

static void SendPagePool() {
    cl.pageAckCount = 0;
    NET_SendPackage(&cl.pipe, &cl.pageAckMsg);
}

void CL_AddPageAck(int32_t x, int32_t y, int32_t z, int32_t sequence) {
    msg_t *const current = Msg_WriteCurrent();
    if (cl.pageAckCount == 0) {
        cl.pageAckTime = CL_Now();
        CL_BeginWriteMessage(&cl.pageAckMsg);
        Msg_ContinueWrite(current);
    }
    for (int i = 0; i < cl.pageAckCount; i++) {
        const clPageAck_t &a = cl.pageAcks[i];
        if (a.x == x && a.y == y && a.z == z && a.sequence >= sequence) return;
    }
    Msg_ContinueWrite(&cl.pageAckMsg);
    const clPageAck_t *last = cl.pageAckCount ? &cl.pageAcks[cl.pageAckCount - 1] : nullptr;
    if (last && last->x + 1 == x && last->y == y && last->z == z && last->sequence == sequence) {
        Msg_WriteByte(CLP_PAGEACK_DELTA);
    } else {
        Msg_WriteByte(CLP_PAGEACK);
        Msg_WriteByte(static_cast<uint8_t>(x));
        Msg_WriteByte(static_cast<uint8_t>(y));
        Msg_WriteByte(static_cast<uint8_t>(z));
        Msg_WriteLong(sequence);
    }
    cl.pageAcks[cl.pageAckCount++] = {x, y, z, sequence};
    Msg_ContinueWrite(current);
    if (cl.pageAckMsg.curBits > CL_PAGE_ACK_MAX_BITS || cl.pageAckCount >= CL_PAGE_ACKS) {
        // A full pool with nobody to send it to is forgotten rather than let grow
        // past its entries.
        if (Connected()) SendPagePool();
        else cl.pageAckCount = 0;
    }
}

void CL_SendPageAcks(uint8_t force) {
    if ((CL_Age(cl.pageAckTime) >= CL_PAGE_ACK_DELAY || force) && Connected() && cl.pageAckCount > 0)
        SendPagePool();
}
