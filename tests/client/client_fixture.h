// A client under test: its clock is the engine's game time set by the test, its
// server sits at the other end of the in-process loop-back, and the game module is
// a stand-in that records the calls the client makes and answers them as told.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/cmd.h"
#include "base/module.h"
#include "base/net.h"
#include "client/cl_local.h"
#include "common/common.h"
#include "tests/support/capture.h"

namespace hm_test {

struct moduleCall_t {
    int number;
    std::string text;  // the text argument of calls 14 and 27
};

struct fakeModule_t {
    std::vector<moduleCall_t> calls;
    int32_t connectedAnswer = 1;  // call 13
    int32_t mapChangeAnswer = 1;  // call 14
    bool disconnects = false;     // call 26 ends the connection, as the client game does
};
inline fakeModule_t fakeModule;

inline int32_t FakeCall(int number, gameArg_t *args) {
    moduleCall_t call{number, ""};
    if (number == GCALL_CG_MAP_CHANGE || number == GCALL_DISCONNECT_SCREEN)
        call.text = reinterpret_cast<const char *>(args[0]);
    fakeModule.calls.push_back(call);
    if (number == GCALL_DISCONNECT && fakeModule.disconnects) CL_DisconnectFromServer("");
    if (number == GCALL_CG_CONNECTED_TO_SERVER) return fakeModule.connectedAnswer;
    if (number == GCALL_CG_MAP_CHANGE) return fakeModule.mapChangeAnswer;
    return 0;
}
inline bool Called(int number) {
    for (const moduleCall_t &c : fakeModule.calls)
        if (c.number == number) return true;
    return false;
}

// The server's end of the loop-back connection.
inline netPipe_t serverEnd;
inline netPipe_t *ServerEnd(const netadr_t *) { return &serverEnd; }

constexpr netadr_t LOOPBACK{NA_LOCAL, {}, 0, 0};
constexpr netadr_t STRANGER{NA_IP, {10, 0, 0, 9}, 14666, 0};

struct ClientTest : testing::Test {
    ecl_t ecl{};

    static void SetUpTestSuite() {
        StartCapture();
        Cmd_Startup();
        NET_Imp();
        CL_Imp();
        CL_InitWorld();
    }
    void SetUp() override {
        StartCapture();
        memset(&cl, 0, sizeof cl);
        CL_ClearSnapshots();
        cl_serverCommands = {};
        cl_outsideCommands = {};
        fakeModule = {};
        ge = gameExport_t{};
        ge.protocol = GAME_PROTOCOL;
        ge.call = FakeCall;
        qbase.time = 100000;
        qbase.clientRunning = 1;
        CL_UploadECL(&ecl);
        NET_SetPipeFinders(ServerEnd, CL_GetServerNetPipe);
        NET_SetupPipe(&serverEnd, NS_SERVER, &LOOPBACK);
        Drain();
    }
    void TearDown() override {
        ge = gameExport_t{};
        qbase.clientRunning = 0;
        Drain();
    }

    void Advance(int msec) { qbase.time += static_cast<uint32_t>(msec); }

    // Everything the client sent since the last look: out-of-band texts as their
    // text, in-band packages as their bytes.
    std::vector<netPackage_t> Sent() {
        std::vector<netPackage_t> out;
        static netPackage_t p;
        while (NET_GetPackage(NS_CLIENT, &p)) out.push_back(p);
        return out;
    }
    std::vector<std::string> SentTexts() {
        std::vector<std::string> out;
        for (const netPackage_t &p : Sent())
            out.emplace_back(reinterpret_cast<const char *>(p.msg.data), strnlen(reinterpret_cast<const char *>(p.msg.data), static_cast<size_t>(p.msg.curBits / 8)));
        return out;
    }
    void Drain() {
        static netPackage_t p;
        while (NET_GetPackage(NS_CLIENT, &p)) {}
        while (NET_GetPackage(NS_SERVER, &p)) {}
    }

    // Offers one package to the parser as the frame does.
    void Deliver(const msg_t &body, const netadr_t &from) {
        static netPackage_t p;
        p.address = from;
        p.msg = body;
        Msg_ReadBegin(&p.msg);
        Msg_ReadTokenize();
        CL_HandlePackage(&p);
    }
    void Text(const std::string &text, const netadr_t &from = LOOPBACK) {
        static msg_t m;
        Msg_WriteBegin(&m);
        Msg_WriteBytes(text.c_str(), static_cast<int>(text.size()) + 1);
        Deliver(m, from);
    }
    // A world info piece in a package of its own.
    void WorldInfo(int32_t worldId, int32_t version, const std::string &info, const netadr_t &from = LOOPBACK) {
        static msg_t m;
        Msg_WriteBegin(&m);
        Msg_WriteByte(SVP_WORLDINFO);
        Msg_WriteLong(worldId);
        Msg_WriteLong(version);
        Msg_WriteString(info.c_str());
        Deliver(m, from);
    }
    // Connects over the loop-back and takes the server's world.
    void ConnectFully(const char *path = "worlds/planet") {
        CL_ConnectToServer("127.0.0.1", "", "Ann");
        Text("challenge 77");
        WorldInfo(1, 1, std::string("path \"") + path + "\";cheat \"0\";eof \"1\";");
        ASSERT_EQ(cl.state, ECL_CONNECTED);
        Drain();
        fakeModule.calls.clear();
        captured = {};
    }
};

}  // namespace hm_test
