// The server browser: adding and answering servers, filters and sort, the rows and
// icons of the list, the info panel, connecting, refreshing and the favourites dump.
#include <cstring>

#include "game_cl/cg_local.h"
#include "game_ui/ui_browser.h"
#include "tests/game_ui/ui_fixture.h"

namespace {

using namespace uitest;

constexpr int32_t WIN = 140, FREEBSD = 141, LINUX = 142, TRANSPARENT = 139, PASSWORD = 143;

netadr_t Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t port) {
    netadr_t n{};
    n.type = NA_IP;
    n.ip[0] = a, n.ip[1] = b, n.ip[2] = c, n.ip[3] = d;
    n.port = port;
    return n;
}

struct answer_t {
    const char *name = "srv";
    const char *map = "dm1";
    const char *rules = "DM";
    int32_t players = 1, maxPlayers = 8;
    uint32_t flags = 0, os = UI_OS_LINUX;
    int32_t ping = 50;
    const char *versionText = nullptr;
    int32_t version = 110;
};

class Browser : public UiTest {
protected:
    uiAtom_t *list = nullptr;
    void SetUp() override {
        UiTest::SetUp();
        cg = cg_t{};
        for (int32_t l : {UI_LIST_PUBLIC, UI_LIST_LAN, UI_LIST_FAVORITES}) UI_ClearServers(l);
        uiMedia[UIMEDIA_TRANSPARENT] = TRANSPARENT;
        uiMedia[UIMEDIA_OS_WIN] = WIN;
        uiMedia[UIMEDIA_OS_FREEBSD] = FREEBSD;
        uiMedia[UIMEDIA_OS_LINUX] = LINUX;
        uiMedia[UIMEDIA_PASSWORD] = PASSWORD;
        UI_Connect_Init();
        for (uiAtom_t *a = UI_FirstAtom(); a; a = UI_NextAtom(a))
            if (a->kind == UIA_LIST) list = a;
    }
    // A server the fake look-up resolves to its own address.
    int32_t Add(int32_t l, const netadr_t &address) {
        const std::string text = Com_adrstr(&address);
        fake::dnsAddresses[text] = address;
        return UI_AddIp(l, text.c_str());
    }
    // The answer to the poll of record i of a list sent ping ms ago.
    void Answer(int32_t base, int32_t i, const answer_t &a, const netadr_t &from = Ip(10, 0, 0, 1, 14666)) {
        UI_ServerInfo(&from, base + i, static_cast<int32_t>(qgame.time - static_cast<uint32_t>(a.ping)), 0, a.name,
                      a.map, a.rules, a.players, a.maxPlayers, "hollowmere", a.version, static_cast<int32_t>(a.flags),
                      static_cast<int32_t>(a.os), a.versionText);
    }
    std::vector<std::string> Rows() {
        fake::trisPics.clear();
        fake::drawnStrings.clear();
        UI_SetAllAtomsNonVisible();
        UI_Connect_Draw();
        std::vector<std::string> out;
        for (int32_t r = 0; r < UI_GetNumRecords(list); r++) out.emplace_back(list->list.records[r].text);
        return out;
    }
    uiAtom_t *Find(const char *text) {
        for (uiAtom_t *a = UI_FirstAtom(); a; a = UI_NextAtom(a))
            if (!strcmp(a->text, text)) return a;
        return nullptr;
    }
    void Press(const char *text) {
        uiAtom_t *b = Find(text);
        ASSERT_NE(b, nullptr) << text;
        b->button.release(b);
    }
    std::vector<std::string> Polls() {
        std::vector<std::string> out;
        for (const fake::outOfBand_t &o : fake::outOfBand) out.push_back(std::string(Com_adrstr(&o.to)) + " " + o.text);
        return out;
    }
    std::string Poll(int32_t id, const netadr_t &to) {
        return std::string(Com_adrstr(&to)) + " poll " + std::to_string(id) + " " + std::to_string(qgame.time);
    }
};

TEST_F(Browser, AddingFindsAKnownServerAndPollsItAgainExceptOnTheLan) {
    const netadr_t a = Ip(10, 0, 0, 1, 14666), b = Ip(10, 0, 0, 2, 14670);
    EXPECT_EQ(Add(UI_LIST_FAVORITES, a), 0);
    EXPECT_EQ(Add(UI_LIST_FAVORITES, b), 1);
    EXPECT_EQ(Add(UI_LIST_FAVORITES, a), 0);
    EXPECT_EQ(ui_numFavoriteList, 2);
    EXPECT_EQ(Polls(), (std::vector<std::string>{Poll(1000, a), Poll(1001, b), Poll(1000, a)}));

    fake::outOfBand.clear();
    EXPECT_EQ(Add(UI_LIST_LAN, a), 0);
    EXPECT_EQ(Add(UI_LIST_LAN, a), 0);
    EXPECT_EQ(ui_numLanList, 1);
    EXPECT_TRUE(fake::outOfBand.empty());
}

TEST_F(Browser, AddingRefusesEmptyUnresolvedAndFullAndOtherListNumbers) {
    EXPECT_EQ(UI_AddIp(UI_LIST_PUBLIC, ""), -1);
    fake::dnsAnswer = false;
    EXPECT_EQ(UI_AddIp(UI_LIST_PUBLIC, "nowhere"), -1);
    EXPECT_EQ(ui_numPublicList, 0);
    fake::dnsAnswer = true;
    for (int32_t i = 0; i < UI_MAX_SERVERS; i++)
        ASSERT_EQ(Add(UI_LIST_PUBLIC, Ip(10, 1, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i), 1)), i);
    EXPECT_EQ(Add(UI_LIST_PUBLIC, Ip(10, 2, 0, 0, 1)), -1);
    EXPECT_EQ(ui_numPublicList, UI_MAX_SERVERS);

    EXPECT_EQ(UI_AddIp(3, "10.0.0.1"), -1);
    EXPECT_TRUE(fake::Reported(ER_BUG, "ui_browser.cpp"));
}

// The engine's look-up makes 127.0.0.1 its in-process loop-back without a port, which
// the configuration would write as "LOCAL" and no look-up reads back.
TEST_F(Browser, ALoopBackFavouriteKeepsItsPortAndIsDumpedAsAnAddress) {
    EXPECT_EQ(UI_AddIp(UI_LIST_FAVORITES, "127.0.0.1:14670"), 0);
    EXPECT_EQ(UI_AddIp(UI_LIST_FAVORITES, "127.0.0.1"), 1);
    EXPECT_EQ(UI_AddIp(UI_LIST_FAVORITES, "127.0.0.1:14670"), 0);
    EXPECT_EQ(Polls().front(), Poll(1000, Ip(127, 0, 0, 1, 14670)));
    UI_DumpServers(nullptr);
    const std::string dump = [] {
        std::string all;
        for (const std::string &w : fake::written) all += w;
        return all;
    }();
    EXPECT_NE(dump.find("\n\naddfavorite 127.0.0.1:14670\naddfavorite 127.0.0.1:14666\n\n"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("LOCAL"), std::string::npos);
}

TEST_F(Browser, AnswersFillTheRecordTheirIdentifierNames) {
    Add(UI_LIST_PUBLIC, Ip(10, 0, 0, 1, 1));
    Add(UI_LIST_FAVORITES, Ip(10, 0, 0, 2, 2));
    answer_t a;
    a.name = "public one";
    a.ping = 77;
    Answer(UI_POLL_PUBLIC, 0, a);
    a.name = "favourite";
    a.versionText = "1.10b";
    Answer(UI_POLL_FAVORITES, 0, a);
    EXPECT_STREQ(ui_publicList[0].name, "public one");
    EXPECT_EQ(ui_publicList[0].ping, 77);
    EXPECT_STREQ(ui_publicList[0].version, "1.10");
    EXPECT_STREQ(ui_favoriteList[0].name, "favourite");
    EXPECT_STREQ(ui_favoriteList[0].version, "1.10b");

    a.version = 105;
    a.versionText = nullptr;
    Answer(UI_POLL_FAVORITES, 0, a);
    EXPECT_STREQ(ui_favoriteList[0].version, "1. 5");

    // Out of range, or past the list's count: nothing changes.
    a.name = "stray";
    for (int32_t id : {999, 1001, 2001, 4000, -5}) {
        UI_ServerInfo(&ui_publicList[0].address, id, 0, 0, a.name, "m", "DM", 1, 2, "g", 110, 0, 3, nullptr);
    }
    EXPECT_STREQ(ui_publicList[0].name, "public one");
    EXPECT_EQ(ui_numLanList, 0);
    // A time echoed from the future is no ping: it must not sort the sender first.
    a.ping = -500;
    Answer(UI_POLL_PUBLIC, 0, a);
    EXPECT_EQ(ui_publicList[0].ping, 9999);
}

TEST_F(Browser, ALanAnswerFromAnUnknownServerAddsAndFillsIt) {
    const netadr_t from = Ip(192, 168, 1, 9, 14667);
    fake::dnsAddresses["192.168.1.9:14667"] = from;
    answer_t a;
    a.name = "lan box";
    Answer(UI_POLL_LAN, 0, a, from);
    Answer(UI_POLL_LAN, 0, a, from);
    ASSERT_EQ(ui_numLanList, 1);
    EXPECT_TRUE(Com_adrcmp(&ui_lanList[0].address, &from));
    EXPECT_STREQ(ui_lanList[0].name, "lan box");
    EXPECT_TRUE(fake::outOfBand.empty());
}

// A line break in a name must not become a second row: every later row would then
// stand at the wrong index and a click would connect to the wrong server.
TEST_F(Browser, ControlBytesInAnswersBecomeBlanksAndLongTextsAreCut) {
    Add(UI_LIST_PUBLIC, Ip(10, 0, 0, 1, 1));
    Add(UI_LIST_PUBLIC, Ip(10, 0, 0, 2, 2));
    answer_t a;
    a.name = "evil\nname\r\t";
    a.map = "m\nap";
    a.versionText = "1.0\n";
    a.ping = 10;
    Answer(UI_POLL_PUBLIC, 0, a);
    a.name = "second";
    a.map = "a_map_name_far_longer_than_seventeen";
    a.ping = 20;
    Answer(UI_POLL_PUBLIC, 1, a);
    EXPECT_STREQ(ui_publicList[0].name, "evil name  ");
    EXPECT_STREQ(ui_publicList[0].map, "m ap");
    EXPECT_STREQ(ui_publicList[0].version, "1.0 ");
    EXPECT_STREQ(ui_publicList[1].map, "a_map_name_far_lo");
    const std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].substr(0, 6), "second");
}

TEST_F(Browser, RowsShowTheRecordAndOfflineFavouritesComeLast) {
    Add(UI_LIST_FAVORITES, Ip(10, 0, 0, 1, 1));
    Add(UI_LIST_FAVORITES, Ip(10, 0, 0, 2, 2));
    ui.serverList = UI_LIST_FAVORITES;
    answer_t a;
    a.name = "a_name_of_seventeen";
    a.rules = "CR";
    a.map = "crater";
    a.players = 3;
    a.maxPlayers = 12;
    a.ping = 12345;
    Answer(UI_POLL_FAVORITES, 1, a);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a_name_of_sevent CR crater        3/12 9999",
                                                 "\xA4" "03Offline         \xA4" "00                  0/0     0"}));
}

TEST_F(Browser, FiltersHideUnansweredFullEmptyAndPasswordServers) {
    struct server_t {
        const char *name;
        int32_t players, maxPlayers;
        uint32_t flags;
    };
    const server_t servers[] = {{"empty", 0, 8, 0}, {"full", 8, 8, 0}, {"locked", 2, 8, UI_SERVER_PASSWORD},
                                {"open", 2, 8, 0}};
    for (int32_t i = 0; i < 4; i++) {
        Add(UI_LIST_PUBLIC, Ip(10, 0, 0, static_cast<uint8_t>(i + 1), 1));
        answer_t a;
        a.name = servers[i].name;
        a.players = servers[i].players;
        a.maxPlayers = servers[i].maxPlayers;
        a.flags = servers[i].flags;
        a.ping = 10 * (i + 1);
        Answer(UI_POLL_PUBLIC, i, a);
    }
    Add(UI_LIST_PUBLIC, Ip(10, 0, 0, 9, 1));  // never answers: never shown in the public list
    std::vector<uiAtom_t *> checks;
    for (uiAtom_t *at = UI_FirstAtom(); at; at = UI_NextAtom(at))
        if (at->kind == UIA_CHECKBOX) checks.insert(checks.begin(), at);  // creation order: full, empty, password
    ASSERT_EQ(checks.size(), 3u);
    struct filterCase_t {
        uint8_t full, empty, password;
        std::vector<std::string> names;
    };
    const filterCase_t cases[] = {
        {0, 0, 0, {"empty", "full", "locked", "open"}},
        {1, 0, 0, {"empty", "locked", "open"}},
        {0, 1, 0, {"full", "locked", "open"}},
        {0, 0, 1, {"empty", "full", "open"}},
        {1, 1, 1, {"open"}},
    };
    for (const filterCase_t &c : cases) {
        UI_SetCheckBoxMarked(checks[0], c.full);
        UI_SetCheckBoxMarked(checks[1], c.empty);
        UI_SetCheckBoxMarked(checks[2], c.password);
        std::vector<std::string> names;
        for (const std::string &row : Rows()) names.push_back(row.substr(0, row.find(' ')));
        EXPECT_EQ(names, c.names) << int(c.full) << int(c.empty) << int(c.password);
    }
}

TEST_F(Browser, TheSortIsAStrictOrderByAnswerThenPing) {
    uiServer_t records[4]{};
    Com_strncpyz(records[0].name, "a", UI_SERVER_TEXT);
    Com_strncpyz(records[1].name, "b", UI_SERVER_TEXT);
    records[0].ping = records[1].ping = 40;  // 2 and 3 never answered
    records[2].ping = 1;
    auto cmp = [&](int32_t x, int32_t y) { return UI_ServerSort(&records[x], &records[y]); };
    EXPECT_EQ(cmp(0, 1), 0);
    EXPECT_EQ(cmp(2, 3), 0);
    EXPECT_EQ(cmp(0, 0), 0);
    EXPECT_LT(cmp(0, 2), 0);
    EXPECT_GT(cmp(2, 0), 0);
    records[1].ping = 41;
    EXPECT_LT(cmp(0, 1), 0);
    EXPECT_GT(cmp(1, 0), 0);
}

// The rows' text used to be far smaller than a full list's rows.
TEST_F(Browser, AFullListShowsAll1023RowsWithLongMaps) {
    for (int32_t i = 0; i < UI_MAX_SERVERS; i++) {
        ui_publicList[i] = uiServer_t{};
        ui_publicList[i].address = Ip(10, 3, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i), 1);
        Com_strncpyz(ui_publicList[i].name, "a_full_server_nm", UI_SERVER_TEXT);
        Com_strncpyz(ui_publicList[i].map, "seventeen_letters", UI_SERVER_TEXT);
        ui_publicList[i].players = -2000000000;
        ui_publicList[i].maxPlayers = -2000000000;
        ui_publicList[i].ping = i;
    }
    ui_numPublicList = UI_MAX_SERVERS;
    const std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), static_cast<size_t>(UI_MAX_SERVER_ROWS));
    EXPECT_NE(rows.back().find("-2000000000/-2000000000 1022"), std::string::npos) << rows.back();
}

TEST_F(Browser, EveryRowHasItsIconsAndItsAddressAsNoun) {
    struct iconCase_t {
        uint32_t os, flags;
        int32_t osIcon, lockIcon;
    };
    const iconCase_t cases[] = {{UI_OS_WINDOWS, 0, WIN, TRANSPARENT},
                                {UI_OS_FREEBSD, UI_SERVER_PASSWORD, FREEBSD, PASSWORD},
                                {UI_OS_LINUX, 0, LINUX, TRANSPARENT},
                                {7, 0, TRANSPARENT, TRANSPARENT}};
    for (int32_t i = 0; i < 4; i++) {
        Add(UI_LIST_PUBLIC, Ip(1, 2, 3, static_cast<uint8_t>(4 + i), static_cast<uint16_t>(0x0506 + i)));
        answer_t a;
        a.os = cases[i].os;
        a.flags = cases[i].flags;
        a.ping = i;
        Answer(UI_POLL_PUBLIC, i, a);
    }
    ASSERT_EQ(Rows().size(), 4u);
    for (int32_t r = 0; r < 4; r++) {
        const uiListRecord_t &rec = list->list.records[r];
        EXPECT_EQ(rec.iconCount, 3);
        EXPECT_EQ(rec.icons[0], cases[r].osIcon) << r;
        EXPECT_EQ(rec.icons[2], cases[r].lockIcon) << r;
        const uint32_t port = 0x0506u + static_cast<uint32_t>(r);
        EXPECT_EQ(rec.noun, (0x01020304u + static_cast<uint32_t>(r)) ^ (port | port << 16)) << r;
    }
}

TEST_F(Browser, TheInfoPanelDescribesTheMarkedServer) {
    Add(UI_LIST_PUBLIC, Ip(192, 0, 2, 7, 14668));
    answer_t a;
    a.name = "seventeen_letters";
    a.rules = "CC";
    a.os = UI_OS_FREEBSD;
    Answer(UI_POLL_PUBLIC, 0, a);
    auto infoLines = [&] {
        std::vector<std::string> out;
        for (uiAtom_t *at = UI_FirstAtom(); at; at = UI_NextAtom(at))
            if (at->kind == UIA_TEXT && at->x == 438) out.insert(out.begin(), at->text);
        return out;
    };
    Rows();
    EXPECT_EQ(infoLines(), std::vector<std::string>(7, ""));
    UI_SetMarkedRecord(list, 0);
    Rows();
    const std::string k = "\xA4" "04", z = "\xA4" "00 ";
    EXPECT_EQ(infoLines(), (std::vector<std::string>{k + "Name:" + z + "seventeen_letter", k + "IP:" + z + "192.0.2.7",
                                                      k + "Port:" + z + "14668", k + "Game:" + z + "hollowmere",
                                                      k + "Version:" + z + "1.10", k + "Rules:" + z + "Capture Crystal",
                                                      k + "OS:" + z + "FreeBSD"}));
}

TEST_F(Browser, ConnectAsksForASelectionAPasswordOrConnects) {
    Rows();
    EXPECT_EQ(fake::added, std::vector<std::string>{"getGlobalServers"});
    Press("CONNECT");
    EXPECT_EQ(ui.modal, MODAL_SERVER_ERROR);

    ui.modal = MODAL_NONE;
    fake::added.clear();
    const netadr_t locked = Ip(10, 0, 0, 1, 14666), open = Ip(10, 0, 0, 2, 14667);
    Add(UI_LIST_PUBLIC, locked);
    Add(UI_LIST_PUBLIC, open);
    answer_t a;
    a.flags = UI_SERVER_PASSWORD;
    a.ping = 1;
    Answer(UI_POLL_PUBLIC, 0, a);
    a.flags = 0;
    a.ping = 2;
    Answer(UI_POLL_PUBLIC, 1, a);
    cg.menu = CG_MENU_BROWSER;
    Rows();
    UI_SetMarkedRecord(list, 0);
    Press("CONNECT");
    EXPECT_EQ(ui.modal, MODAL_SERVER_PASSWORD);
    EXPECT_TRUE(Com_adrcmp(&ui.passwordServer, &locked));
    EXPECT_TRUE(fake::added.empty());

    ui.modal = MODAL_NONE;
    UI_SetMarkedRecord(list, 1);
    UI_Message(list, UIM_KEYDOWN, UI_KEY_ENTER, 0);
    EXPECT_EQ(fake::added, std::vector<std::string>{"connect 10.0.0.2:14667"});
    EXPECT_EQ(cg.menu, CG_MENU_NONE);

    // A row past the shown rows is no selection.
    fake::added.clear();
    UI_SetMarkedRecord(list, 5);
    Press("CONNECT");
    EXPECT_EQ(ui.modal, MODAL_SERVER_ERROR);
    EXPECT_TRUE(fake::added.empty());
}

TEST_F(Browser, ThePasswordCommandRefusesQuotesControlBytesAndOverlongPasswords) {
    ui.passwordServer = Ip(10, 0, 0, 3, 14666);
    struct passwordCase_t {
        std::string password;
        bool sent;
    };
    const passwordCase_t cases[] = {
        {"secret", true},
        {"", true},
        {"se\"cret", false},
        {"a\nquit", false},
        {std::string(UI_CONNECT_TEXT, 'x'), false},
    };
    for (const passwordCase_t &c : cases) {
        fake::added.clear();
        EXPECT_EQ(UI_ConnectWithPassword(c.password.c_str()), c.sent) << c.password;
        EXPECT_EQ(fake::added.size(), c.sent ? 1u : 0u);
        if (c.sent) {
            EXPECT_EQ(fake::added[0], "connect 10.0.0.3:14666 \"" + c.password + "\"");
        }
    }
}

TEST_F(Browser, DelRemovesTheMarkedFavouriteFromListAndDump) {
    Add(UI_LIST_FAVORITES, Ip(10, 0, 0, 1, 1));
    Add(UI_LIST_FAVORITES, Ip(10, 0, 0, 2, 2));
    Add(UI_LIST_FAVORITES, Ip(10, 0, 0, 3, 3));
    ui.serverList = UI_LIST_FAVORITES;
    Rows();
    UI_SetMarkedRecord(list, 1);
    UI_Message(list, UIM_KEYDOWN, UI_KEY_DELETE, 0);
    UI_DumpServers(nullptr);
    std::string dump;
    for (const std::string &w : fake::written) dump += w;
    const std::string expected = "\n\naddfavorite 10.0.0.1:1\naddfavorite 10.0.0.3:3\n\n";
    EXPECT_EQ(dump.substr(0, expected.size()), expected);
}

TEST_F(Browser, RefreshPollsInBurstsAndForgetsTheAnswers) {
    for (int32_t i = 0; i < 25; i++) Add(UI_LIST_PUBLIC, Ip(10, 0, 0, static_cast<uint8_t>(i + 1), 1));
    for (int32_t i = 0; i < 25; i++) Answer(UI_POLL_PUBLIC, i, answer_t{});
    ASSERT_EQ(Rows().size(), 25u);
    fake::outOfBand.clear();
    Press("REFRESH");
    ASSERT_EQ(fake::outOfBand.size(), 25u);
    EXPECT_EQ(fake::outOfBand[24].text, "poll 2024 " + std::to_string(qgame.time));
    EXPECT_EQ(fake::sleeps, (std::vector<int32_t>{UI_POLL_PAUSE_MSEC, UI_POLL_PAUSE_MSEC}));
    EXPECT_EQ(ui_publicList[3].name[0], 0);
    EXPECT_EQ(ui_publicList[3].maxPlayers, 0);
    EXPECT_EQ(ui_publicList[3].ping, 50);
    EXPECT_TRUE(Rows().empty());
}

TEST_F(Browser, TheLanQueryBroadcastsToTenPortsAndTabsQueryOnce) {
    UI_GetLanServers_f();
    ASSERT_EQ(fake::outOfBand.size(), 10u);
    for (int32_t i = 0; i < 10; i++) {
        const netadr_t &to = fake::outOfBand[i].to;
        EXPECT_EQ(to.type, static_cast<uint32_t>(NA_IP_ALT));
        EXPECT_EQ(std::vector<int>(to.ip, to.ip + 4), std::vector<int>(4, 255));
        EXPECT_EQ(to.port, UI_LAN_FIRST_PORT + i);
        EXPECT_EQ(fake::outOfBand[i].text, "poll 3000 " + std::to_string(qgame.time));
        EXPECT_EQ(fake::outOfBand[i].side, 1);
    }
    Press("LAN");
    Rows();
    Rows();
    Press("Public");
    Rows();
    Rows();
    EXPECT_EQ(fake::added, (std::vector<std::string>{"getLanServers", "getGlobalServers"}));
    Press("UPDATE");
    EXPECT_EQ(fake::added.back(), "getGlobalServers");
}

TEST_F(Browser, AddIpTakesTheBoxIntoTheFavouritesAndPollsThem) {
    fake::dnsAddresses["10.9.9.9:14670"] = Ip(10, 9, 9, 9, 14670);
    uiAtom_t *box = nullptr;
    for (uiAtom_t *a = UI_FirstAtom(); a; a = UI_NextAtom(a))
        if (a->kind == UIA_EDITBOX) box = a;
    ASSERT_NE(box, nullptr);
    UI_SetText(box, "10.9.9.9:14670");
    UI_Message(box, UIM_CHAR, UI_CHAR_ENTER, 0);
    EXPECT_EQ(ui.serverList, static_cast<uint32_t>(UI_LIST_FAVORITES));
    EXPECT_EQ(box->text[0], 0);
    ASSERT_EQ(ui_numFavoriteList, 1);
    EXPECT_EQ(Polls().back(), Poll(1000, Ip(10, 9, 9, 9, 14670)));
}

}  // namespace
