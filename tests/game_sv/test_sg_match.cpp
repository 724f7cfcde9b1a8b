// Clients, entities and the match flow on a running map: connecting and dropping,
// spawning, the entity array, respawns, restarts, the time limit and the next map.
#include <algorithm>

#include "tests/game_sv/sg_fixture.h"

namespace sgtest {
namespace {

TEST_F(SgTest, ConnectAnnouncesAndRefusesTheSeventeenthAndRepeats) {
    ASSERT_TRUE(Start());
    sgClient_t *first = Connect(1, "Ann");
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(fake::Printed("\xA4" "08Ann\xA4" "00 connects to server"));
    EXPECT_EQ(first->cs.moveType, CS_SPECTATOR);
    EXPECT_EQ(first->handicap, 100);
    EXPECT_EQ(Connect(1, "Again"), nullptr) << "the same address and port is already here";
    ASSERT_NE(Connect(2), nullptr);
    EXPECT_EQ(CountCommands(first->number, "cg_not_alone"), 1u);
    for (int n = 3; n <= 16; n++) ASSERT_NE(Connect(n), nullptr);
    fake::calls.clear();
    EXPECT_EQ(Connect(17), nullptr);
    EXPECT_TRUE(fake::Printed("SG_ClientConnect: 10.0.0.17:20017 tries to connect but we are full"));
    EXPECT_TRUE(fake::calls.empty()) << "no engine slot for the refused client";
}

TEST_F(SgTest, NamesFromTheNetworkPassTheNameCheck) {
    ASSERT_TRUE(Start());
    const struct {
        const char *sent;
        const char *kept;
    } rows[] = {
        {"Bob", "Bob"},
        {"a name much longer than it may be", "a name much longer than"},
        {"bad\"quote", SG_DEFAULT_NAME},
        {"semi;colon", SG_DEFAULT_NAME},
        {"", SG_DEFAULT_NAME},
        {"%s%s%n", "%s%s%n"},
    };
    int n = 1;
    for (const auto &r : rows) {
        const sgClient_t *c = Connect(n++, r.sent);
        ASSERT_NE(c, nullptr) << r.sent;
        EXPECT_STREQ(c->name, r.kept);
    }
    EXPECT_TRUE(fake::Printed("\xA4" "08%s%s%n\xA4" "00 connects to server")) << "printed as text, never as a format";
}

TEST_F(SgTest, DropAnnouncesTimeAndFreesEverything) {
    ASSERT_TRUE(Start(MINIMAL_SCRIPT, "dm"));
    sgClient_t *c = Connect(1, "Ann");
    const int slot = c->number;
    Play(c, TEAM_BLUE);
    ASSERT_TRUE(sg.entities[slot].s.inUse);
    fake::engineTime += 3 * 60000 + 5;
    SG_DropClient(c, "Timeout");
    EXPECT_TRUE(fake::Printed("\xA4" "08Ann\xA4" "00 left server after 3 mins (Timeout)"));
    EXPECT_FALSE(c->inUse);
    EXPECT_FALSE(sg.entities[slot].s.inUse);
    EXPECT_FALSE(fake::linked[slot]);
    EXPECT_EQ(fake::calls.back(), "deleteclient " + std::to_string(slot));
    c = Connect(2, "Bo");
    SG_DropClient(c, "");
    EXPECT_TRUE(fake::Printed("left server after 0 mins") && !fake::Printed("0 mins ()"));
}

TEST_F(SgTest, SpawnGivesLifeByHandicapAndStatisticsFollowTheTeam) {
    ASSERT_TRUE(Start("matter m.vo2\nblueTeamWM 3\nredTeamWM 4\nshotgun {\nspawnWeapon\nspawnAmmoMag 7\n}\n"
                      "railgun {\nspawnWeapon\n}\ngrengun {\n}\n"));
    sgClient_t *c = Connect(1);
    c->handicap = 50;
    Play(c, TEAM_RED);
    EXPECT_EQ(c->cs.health, 62);
    EXPECT_EQ(c->cs.deformMaterial, 4);
    EXPECT_EQ(c->cs.ownedWeapons, (1 << WP_NONEGUN) | (1 << WP_SHOTGUN) | (1 << WP_RAILGUN));
    EXPECT_EQ(c->cs.clip[WP_SHOTGUN], 7);
    EXPECT_EQ(c->cs.reserve[WP_SHOTGUN], G_WeaponClass(WP_SHOTGUN)->spawnReserve);
    EXPECT_EQ(c->cs.clip[WP_RAILGUN], G_WeaponClass(WP_RAILGUN)->spawnClip);
    EXPECT_EQ(c->cs.clip[WP_GRENGUN], 0) << "present but not a spawn weapon";
    EXPECT_EQ(c->objectiveTime, 3000);
    ASSERT_NE(c->entity, nullptr);
    EXPECT_EQ(c->entity->number, c->number);

    c->stats.kills = 5;
    SG_SpawnClientAsDead(c, TEAM_RED);
    Play(c, TEAM_RED);
    EXPECT_EQ(c->stats.kills, 5) << "same team keeps the statistics";
    EXPECT_EQ(c->spawnCount, 2);
    SG_SpawnClientAsDead(c, TEAM_BLUE);
    EXPECT_EQ(c->stats.kills, 0) << "another team starts over";
    c->stats.kills = 2;
    SG_SpawnClientAsSpectator(c, 0);
    EXPECT_EQ(c->stats.kills, 0);
    EXPECT_EQ(c->entity, nullptr);
    EXPECT_FALSE(sg.entities[c->number].s.inUse);
}

TEST_F(SgTest, TheFullEntityArrayGivesUpSlotSixteenCleanly) {
    ASSERT_TRUE(Start());
    sgEntity_t *first = SG_CreateEntity(ET_CRYSTAL);
    ASSERT_EQ(first->number, 16);
    sg.crystal = first;
    first->crystalLink = &sg.crystal;
    for (int i = 17; i < SG_MAX_ENTITIES; i++) ASSERT_EQ(SG_CreateEntity(ET_ITEM)->number, i);
    const int32_t oldSerial = first->s.serial;
    sgEntity_t *again = SG_CreateEntity(ET_ITEM);
    EXPECT_EQ(again->number, 16);
    EXPECT_NE(again->s.serial, oldSerial);
    EXPECT_EQ(sg.crystal, nullptr) << "the crystal reference went with the old occupant";
    EXPECT_EQ(again->crystalLink, nullptr);
    EXPECT_EQ(SG_CreateEntity(ET_ITEM)->number, 16);
    for (int i = 0; i < SG_CLIENTS; i++) EXPECT_FALSE(sg.entities[i].s.inUse);
}

TEST_F(SgTest, EntitiesLiveOutTheirLifetimeAndRange) {
    ASSERT_TRUE(Start());
    const vec3_t at = {0, 60, 0}, dir = {0, 1, 0};
    sgEntity_t *event = SG_CreateEventEntity(ET_FIRST_EVENT, at, dir);
    const int32_t born = event->createTime;
    sgEntity_t *far = SG_CreateEntity(ET_ITEM);
    far->s.origin[0] = SG_ENTITY_RANGE;
    Frame(150);
    EXPECT_EQ(static_cast<int32_t>(qgame.time) - born, 150);
    EXPECT_TRUE(event->s.inUse) << "exactly at its end it lives one more frame";
    EXPECT_FALSE(far->s.inUse);
    EXPECT_TRUE(fake::Reported("SG_CheckEntity: Bad entity position 10000.00 0.00 0.00"));
    Frame(1);
    EXPECT_FALSE(event->s.inUse);
}

TEST_F(SgTest, DeadPlayersCountDownAndRespawn) {
    ASSERT_TRUE(Start(MINIMAL_SCRIPT, "dm"));
    sgClient_t *c = Connect(1);
    Play(c, TEAM_BLUE);
    const struct {
        int32_t sinceDeath;
        const char *text;
    } rows[] = {{999, "cg_print_center2 \"Spawn in 5 sec\""},
                {1000, "cg_print_center2 \"Spawn in 5 sec\""},
                {4001, "cg_print_center2 \"Spawn in 1 sec\""},
                {5000, "cg_print_center2 \"Spawn in 1 sec\""}};
    for (const auto &r : rows) {
        SG_SpawnClientAsDead(c, TEAM_BLUE);
        c->deathTime = static_cast<int32_t>(qgame.time) - r.sinceDeath;
        fake::commands.clear();
        SG_HandleRespawn(c);
        ASSERT_FALSE(fake::CommandsTo(c->number).empty());
        EXPECT_EQ(fake::CommandsTo(c->number).back(), r.text) << r.sinceDeath;
    }
    Run("sg_deathTime 0");
    SG_SpawnClientAsDead(c, TEAM_BLUE);
    Frame();
    EXPECT_EQ(c->cs.moveType, CS_PLAYING);
    const std::vector<std::string> sent = fake::CommandsTo(c->number);
    EXPECT_NE(std::find(sent.begin(), sent.end(), "cg_print_center2 \"\""), sent.end());
}

TEST_F(SgTest, RestartMapAnnouncesBoundedDelays) {
    ASSERT_TRUE(Start());
    Connect(1);
    Run("restartMap 500");
    EXPECT_TRUE(fake::Printed("Server will restart in 99 seconds..."));
    EXPECT_EQ(sg.restartTime - static_cast<int32_t>(qgame.time), 99000);
    fake::calls.clear();
    Run("restartMap -3");
    EXPECT_TRUE(fake::Printed("Server will restart in 0 seconds..."));
    Frame();
    EXPECT_EQ(fake::calls, std::vector<std::string>{"loadvo2 test.vo2"});
    EXPECT_TRUE(fake::Printed("Restarting server..."));
    EXPECT_FALSE(sg.restartPending);
}

TEST_F(SgTest, TimeLimitAnnouncesEndsAndMovesToTheNextMap) {
    fake::files["mapcycle.txt"] = "alpha.world\ntest.world\n";
    fake::files["alpha.world"] = MINIMAL_SCRIPT;
    ASSERT_TRUE(Start(MINIMAL_SCRIPT, "dm"));
    Run("sg_timeLimit 10");
    sgClient_t *a = Connect(1, "Ann"), *b = Connect(2, "Bo");
    Play(a, TEAM_BLUE);
    Play(b, TEAM_BLUE);
    b->stats.kills = 3;
    auto events = [](const sgClient_t *c, uint8_t e) {
        int n = 0;
        for (uint32_t i = 0; i < c->cs.eventCount && i < 16; i++) n += c->cs.events[(c->cs.eventCount - 1 - i) & 15] == e;
        return n;
    };
    for (int minute = 1; minute <= 9; minute++) {
        Frames(60, 1000);
        EXPECT_EQ(sg.intermission, 0) << minute;
        EXPECT_EQ(events(a, CE_FIVE_MINUTES), minute >= 5 ? 1 : 0) << minute;
        EXPECT_EQ(events(a, CE_ONE_MINUTE), minute >= 9 ? 1 : 0) << minute;
    }
    EXPECT_EQ(sg.timeLeft, 60);
    Frames(60, 1000);
    EXPECT_EQ(sg.intermission, 1);
    EXPECT_TRUE(fake::Printed("\xA4" "08Bo\xA4" "00 won"));
    EXPECT_EQ(a->cs.moveType, CS_INTERMISSION);
    EXPECT_EQ(CountCommands(a->number, "cg_scoreboard 2 0 10"), 1u);
    Run("sv_maxPlayers 20");
    fake::calls.clear();
    Frames(6 * 20 + 1);  // sg_autoNextMap: 6 seconds
    EXPECT_TRUE(fake::Printed("Next map in 6 seconds..."));
    EXPECT_TRUE(fake::Printed("Next map..."));
    ASSERT_FALSE(fake::calls.empty());
    EXPECT_NE(std::find(fake::calls.begin(), fake::calls.end(), "start alpha.world"), fake::calls.end())
        << "the map command named alpha, DM, 16";
    EXPECT_STREQ(fake::Var("sv_maxPlayers")->string, "16");
    EXPECT_EQ(sg.rules, RULES_DEATH_MATCH);
}

TEST_F(SgTest, MatchEndTexts) {
    const struct {
        const char *rules;
        int blue, red, bestKills;
        const char *text;
    } rows[] = {
        {"cr", 3, 1, 0, "Blue team wins"},
        {"cc", 1, 3, 0, "Red team wins"},
        {"cr", 2, 2, 0, "Game over"},
        {"dm", 0, 0, -999999, "Game over"},
        {"f", 0, 0, 0, "Game over"},
    };
    for (const auto &r : rows) {
        SG_ShutdownServer(0);
        fake::prints.clear();
        ASSERT_TRUE(Start(MINIMAL_SCRIPT, r.rules));
        sgClient_t *c = Connect(1);
        Play(c, TEAM_BLUE);
        c->stats.kills = r.bestKills;
        sg.blueScore = static_cast<int16_t>(r.blue);
        sg.redScore = static_cast<int16_t>(r.red);
        SG_SetIntermissionState();
        EXPECT_TRUE(fake::Printed(r.text)) << r.rules << " " << r.text;
    }
    Run("sg_autoNextMap 0");
    fake::added.clear();
    SG_SetIntermissionState();
    EXPECT_TRUE(fake::added.empty());
    Run("sg_autoNextMap 1");
    sg.intermission = 0;
    SG_SetIntermissionState();
    EXPECT_EQ(fake::added, std::vector<std::string>{"nextMap 2\n"});
}

TEST_F(SgTest, ScoreboardIsThrottledAndBounded) {
    ASSERT_TRUE(Start(MINIMAL_SCRIPT, "dm"));
    for (int n = 1; n <= 16; n++) {
        sgClient_t *c = Connect(n, "a rather long name 1234");
        if (n % 3) Play(c, TEAM_BLUE);
        c->stats.kills = n * 100000;
        c->stats.playTime = 1999999999;
        c->stats.deaths = c->stats.suicides = c->stats.captures = -1999999999;
    }
    sgClient_t *first = &sgs.clients[0];
    fake::commands.clear();
    SG_SendScoreboard(first);
    SG_SendScoreboard(first);
    ASSERT_EQ(CountCommands(0, "cg_scoreboard"), 1u) << "asked twice within a second";
    const std::string text = fake::CommandsTo(0)[0];
    EXPECT_LE(text.size(), 1000u);
    // The counts in front match the rows that follow.
    const std::vector<std::string> words = fake::Words(text);
    const int players = std::stoi(words[1]), spectators = std::stoi(words[2]);
    EXPECT_EQ(words.size(), static_cast<size_t>(4 + players * 11 + spectators * 3));
    EXPECT_GT(players, 0);
    EXPECT_TRUE(fake::Reported("SG_SendScoreboard: scoreboard cut"));
    EXPECT_EQ(words[4], "a rather long name 1234");
    EXPECT_EQ(words[9], "1600000") << "most kills first";
    Frame(1000);
    fake::commands.clear();
    SG_SendScoreboard(first);
    EXPECT_EQ(CountCommands(0, "cg_scoreboard"), 1u);
}

TEST_F(SgTest, ByteFieldsAreClampedNotWrapped) {
    const struct {
        int32_t value;
        int expectedByte, expectedShort;
    } rows[] = {{190 + 75, 255, 265}, {-5, 0, 0}, {100, 100, 100}, {70000, 255, 32767}};
    for (const auto &r : rows) {
        EXPECT_EQ(SG_ClampByte(r.value), r.expectedByte) << r.value;
        EXPECT_EQ(SG_ClampShort(r.value), r.expectedShort) << r.value;
    }
    ASSERT_TRUE(Start());
    sgClient_t *c = Connect(1);
    Play(c, TEAM_BLUE);
    c->cs.armor = 190;
    Run("give armor");
    EXPECT_EQ(c->cs.armor, 200);
    c->handicap = 100;
    Run("give all");
    EXPECT_EQ(c->cs.health, 125);
}

TEST_F(SgTest, KillAndGiveTakeOnlyGoodArguments) {
    ASSERT_TRUE(Start(MINIMAL_SCRIPT, "dm"));
    sgClient_t *c = Connect(1);
    Play(c, TEAM_BLUE);
    for (const char *line : {"sg_kill 16", "sg_kill -1", "sg_kill x 1", "give nothing", "give"}) Run(line);
    EXPECT_EQ(c->cs.moveType, CS_PLAYING);
    EXPECT_TRUE(fake::Printed("HELP kill <client num>"));
    EXPECT_TRUE(fake::Printed("Unknown param \"nothing\""));
    EXPECT_TRUE(fake::Printed("HELP give <all, ammo, weapons, life, armor>"));
    c->cs.ownedWeapons = 1 << WP_MINIGUN;
    c->cs.clip[WP_SHOTGUN] = 0;
    Run("give ammo");
    EXPECT_EQ(c->cs.clip[WP_MINIGUN], G_WeaponClass(WP_MINIGUN)->clipSize);
    EXPECT_EQ(c->cs.reserve[WP_MINIGUN], G_WeaponClass(WP_MINIGUN)->maxReserve);
    EXPECT_EQ(c->cs.clip[WP_SHOTGUN], 0) << "weapons not owned stay empty";
    Run("sg_kill " + std::to_string(c->number));
    EXPECT_EQ(c->cs.moveType, CS_DEAD);
}

TEST_F(SgTest, CrystalRoundsWithoutCrystalTagsWarnsOnceAndRuns) {
    ASSERT_TRUE(Start(MINIMAL_SCRIPT, "cr"));
    Frames(10);
    int warnings = 0;
    for (const auto &e : fake::errors) {
        warnings += e.text.find("crystal spawn point") != std::string::npos;
        EXPECT_NE(e.level, ER_DROP) << e.text;
    }
    EXPECT_EQ(warnings, 1);
    EXPECT_TRUE(sgs.running);
    ASSERT_TRUE(Start("matter m.vo2\nworldTags {\nspawn_crystal 0 60 0\n}\n", "cr"));
    Frame();
    ASSERT_NE(sg.crystal, nullptr);
    EXPECT_NEAR(sg.crystal->s.origin[1], 60.0f, 0.5f) << "made at its tag, then falling";
    EXPECT_EQ(sg.crystal->atHome, 1);
    SG_DeleteEntity(sg.crystal);
    EXPECT_EQ(sg.crystal, nullptr);
    Frame();
    EXPECT_NE(sg.crystal, nullptr) << "the rules make a new one";
    // Only a numbered tag: the crystal starts there.
    ASSERT_TRUE(Start("matter m.vo2\nworldTags {\nspawn_crystal3 0 40 0\n}\n", "cr"));
    SG_DeleteEntitiesByType(ET_CRYSTAL);
    SG_RulesThink();  // the rules alone: no physics moves it yet
    ASSERT_NE(sg.crystal, nullptr);
    EXPECT_NEAR(sg.crystal->s.origin[1], 40.0f, 0.011f);
}

TEST_F(SgTest, BotsConnectAndAreListed) {
    ASSERT_TRUE(Start());
    Run("spawnBot");
    Run("spawnBot Zed");
    EXPECT_EQ(CountPrints("connects to server"), 2u);
    EXPECT_EQ(SG_GetNumClients(), 2);
    EXPECT_TRUE(sgs.clients[1].isBot);
    EXPECT_STREQ(sgs.clients[1].name, "Zed");
    EXPECT_TRUE(fake::slots[0].bot);
    Frame();
    EXPECT_TRUE(fake::CommandsTo(0).empty()) << "bots get no server commands";
    Run("sg_clientList");
    EXPECT_TRUE(fake::Printed("Mirel"));
    EXPECT_TRUE(fake::Printed("2 clients connected to server"));
}

}  // namespace
}  // namespace sgtest
