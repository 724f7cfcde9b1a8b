// Client commands on the server: texts, weapon actions and buttons.
#include <string>

#include "game/g_move.h"
#include "game_sv/sg_services.h"
#include "tests/game_sv/sg_test_server.h"

namespace {

int firesMade;
uint8_t fireAnswer = 1;
uint8_t FireStub(sgClient_t *, uint8_t) {
    firesMade++;
    return fireAnswer;
}
int reloadsMade;
void ReloadStub(sgClient_t *) { reloadsMade++; }

struct CmdTest : ServerTest {
    void SetUp() override {
        ServerTest::SetUp();
        firesMade = reloadsMade = 0;
        fireAnswer = 1;
        for (weaponClass_t &wc : g_weaponClass) {
            wc.fire = FireStub;
            wc.reload = ReloadStub;
        }
    }
    void TearDown() override {
        G_DefineWeapons();
        ServerTest::TearDown();
    }
    static void Say(sgClient_t *c, const char *text, uint32_t buttons = 0) {
        const cc_t cc = Command(text, buttons);
        SG_IssueCC(c, &cc, 0);
    }
    static bool HasEvent(const clientState_t &cs, uint8_t e) {
        for (uint32_t i = 0; i < cs.eventCount && i < CLIENT_EVENT_RING; i++)
            if (cs.events[i] == e) return true;
        return false;
    }
    static bool HasEvent(const sgEntity_t *e, uint8_t ev) {
        for (uint32_t i = 0; i < e->s.eventCount && i < ENTITY_EVENT_RING; i++)
            if (e->s.events[i] == ev) return true;
        return false;
    }
};

// ---- texts ----

TEST_F(CmdTest, SayReachesEverybodyAndTeamSayOnlyPlayingMates) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_DEAD);
    Client(1, TEAM_BLUE, CS_PLAYING);
    Client(2, TEAM_RED, CS_PLAYING);
    Client(3, TEAM_BLUE, CS_SPECTATOR);
    Say(a, "say_team \"go left\"");
    EXPECT_EQ(Received(0, "(team)"), 0);  // the dead sender
    EXPECT_EQ(Received(1, "(team)"), 1);
    EXPECT_EQ(Received(1, "go left"), 1);
    EXPECT_EQ(Received(2, "(team)"), 0);
    EXPECT_EQ(Received(3, "(team)"), 0);
    Say(a, "say hello");
    for (int slot = 0; slot < 4; slot++) EXPECT_EQ(Received(slot, "hello"), 1) << slot;
}

TEST_F(CmdTest, TextEndsInsideTheRecordWhateverTheSenderPutThere) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_SPECTATOR);
    Client(1, TEAM_BLUE, CS_SPECTATOR);
    cc_t cc = Command("");
    memcpy(cc.text, "say ", 4);
    memset(cc.text + 4, 'x', CC_TEXT_SIZE - 4);  // no terminator anywhere
    cc.textLength = CC_TEXT_SIZE;
    SG_IssueCC(a, &cc, 0);
    const std::string said(CC_TEXT_SIZE - 5, 'x');  // 123 characters: the last byte became the end
    EXPECT_EQ(Received(1, said), 1);
    EXPECT_EQ(Received(1, said + "x"), 0);
    EXPECT_EQ(a->lastCC.text[CC_TEXT_SIZE - 1], 0);
}

TEST_F(CmdTest, RepeatedRecordRunsNoText) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_SPECTATOR);
    fake::slots[0].commands.push_back(Command("say once"));
    SG_IssueClientCommands(a);
    SG_IssueClientCommands(a);  // nothing new: the last record again, without its text
    EXPECT_EQ(Received(0, "once"), 1);
    EXPECT_EQ(a->lastCC.number, 1u);
}

TEST_F(CmdTest, IdleClientWithoutRecordsRepeatsAClearedOne) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_SPECTATOR);
    SG_IssueClientCommands(a);
    EXPECT_EQ(a->lastCC.number, 0u);
    EXPECT_EQ(a->lastCC.aim[0], 1.0f);
}

TEST_F(CmdTest, VoteAnswers) {
    struct row_t {
        const char *text;
        int yes, no;
        const char *reply;
    };
    const row_t rows[] = {
        {"vote yes", 1, 0, "Vote cast"},
        {"vote no", 0, 1, "Vote cast"},
        {"vote", 0, 1, "Vote cast"},
        {"vote YES", 0, 1, "Vote cast"},
    };
    for (const row_t &r : rows) {
        sgClient_t *a = Client(0, TEAM_BLUE, CS_DEAD);
        sg.voteStart = 1;
        sg.voteYes = sg.voteNo = 0;
        fake::commands.clear();
        Say(a, r.text);
        EXPECT_EQ(sg.voteYes, r.yes) << r.text;
        EXPECT_EQ(sg.voteNo, r.no) << r.text;
        EXPECT_EQ(Received(0, r.reply), 1) << r.text;
        Say(a, r.text);  // a second answer is refused
        EXPECT_EQ(sg.voteYes + sg.voteNo, 1) << r.text;
        EXPECT_EQ(Received(0, "Vote already cast"), 1) << r.text;
    }
    sgClient_t *spec = Client(1, TEAM_BLUE, CS_SPECTATOR);
    Say(spec, "vote yes");
    EXPECT_EQ(Received(1, "Spectators are not allowed to vote"), 1);
    sg.voteStart = 0;
    Say(spec, "vote yes");
    EXPECT_EQ(Received(1, "No vote in progress"), 1);
}

TEST_F(CmdTest, CallingAVoteIsCheckedAndCountsTheCaller) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_DEAD);
    Client(1, TEAM_BLUE, CS_DEAD);
    fake::Set("sg_allowVote", "0");
    Say(a, "call_vote restartmap");
    EXPECT_EQ(Received(0, "Voting not allowed on server"), 1);
    fake::Set("sg_allowVote", "1");
    for (int i = 0; i < 3; i++) {
        Say(a, "call_vote RestartMap");
        EXPECT_NE(sg.voteStart, 0) << i;
        EXPECT_EQ(sg.voteYes, 1) << i;
        EXPECT_EQ(a->voted, 1) << i;
        Say(a, "call_vote blur");
        EXPECT_EQ(Received(0, "Vote already in progress"), i + 1);
        sg.voteStart = 0;
        a->voted = 0;
    }
    Say(a, "call_vote restartmap");
    EXPECT_EQ(Received(0, "Max 3 votes per map per client"), 1);
    EXPECT_EQ(sg.voteStart, 0);
    sgClient_t *spec = Client(2, TEAM_BLUE, CS_SPECTATOR);
    Say(spec, "call_vote restartmap");
    EXPECT_EQ(Received(2, "Spectators are not allowed to vote"), 1);
    // A refused kind still counts against the caller, who can answer the next vote.
    sgClient_t *b = Client(3, TEAM_RED, CS_DEAD);
    Say(b, "call_vote nonsense");
    EXPECT_EQ(b->votesCalled, 1);
    EXPECT_EQ(sg.voteStart, 0);
    EXPECT_EQ(b->voted, 0);
    a->votesCalled = 0;
    Say(a, "call_vote blur");
    Say(b, "vote no");
    EXPECT_EQ(Received(3, "Vote cast"), 1);
    EXPECT_EQ(sg.voteNo, 1);
}

TEST_F(CmdTest, ClientListAndStatsLines) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
    Client(4, TEAM_RED, CS_SPECTATOR);
    a->stats.kills = 7;
    a->stats.playTime = 125000;
    fake::slots[0].ping = 33;
    Say(a, "client_list");
    EXPECT_EQ(Received(0, "PLYR"), 1);
    EXPECT_EQ(Received(0, "SPEC"), 1);
    EXPECT_EQ(Received(0, "f:\xA4" "087\xA4" "00"), 1);
    EXPECT_EQ(Received(0, "t:\xA4" "082\xA4" "00 p:\xA4" "0833"), 1);
    a->stats.shots[WP_MINIGUN] = 3;
    a->stats.hits[WP_MINIGUN] = 1;
    Say(a, "advanced_stats");
    EXPECT_EQ(Received(0, "Minigun  \xA4" "08 33.3\xA4" "00% \xA4" "08   1\xA4" "00/\xA4" "083   "), 1);
    EXPECT_EQ(Received(0, "Nonegun"), 0);
    EXPECT_EQ(Received(0, "K/D:      \xA4" "087.00"), 1);  // no deaths: the frags
}

// ---- weapon actions ----

TEST_F(CmdTest, FireTakesARoundAndRaisesItsEvents) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
    clientState_t &cs = a->cs;
    cs.weapon = WP_RAILGUN;
    cs.ownedWeapons = (1 << WP_RAILGUN) | (1 << WP_NONEGUN);
    cs.clip[WP_RAILGUN] = 2;
    cs.flags = CSF_JUMP_HELD | 0x8000 | CSF_FIRE_HELD | CSF_EMPTY_CLICK;
    SG_IssueFire(a, 0);
    EXPECT_EQ(firesMade, 1);
    EXPECT_EQ(cs.clip[WP_RAILGUN], 1);
    EXPECT_EQ(cs.flags, CSF_JUMP_HELD | 0x8000u | CSF_FIRING | CSF_FIRE_HELD);
    EXPECT_TRUE(HasEvent(cs, 13));
    EXPECT_TRUE(HasEvent(cs, 21));  // the rail's build-up while rounds are left
    EXPECT_TRUE(HasEvent(a->entity, 7));
    EXPECT_TRUE(HasEvent(a->entity, 15));
    EXPECT_EQ(cs.snapshotFlags & 1, 1u);
    // The last round: no build-up; with no reserve the gun is gone.
    cs.flags = 0;
    cs.eventCount = 0;
    SG_IssueFire(a, 0);
    EXPECT_EQ(cs.clip[WP_RAILGUN], 0);
    EXPECT_FALSE(HasEvent(cs, 21));
    EXPECT_EQ(cs.ownedWeapons, 1 << WP_NONEGUN);
}

TEST_F(CmdTest, EmptyMagazineClicks) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
    clientState_t &cs = a->cs;
    cs.weapon = WP_SHOTGUN;
    cs.weaponTime = 0.7f;
    SG_IssueFire(a, 0);
    EXPECT_EQ(firesMade, 0);
    EXPECT_EQ(cs.flags & (CSF_FIRING | CSF_FIRE_HELD | CSF_EMPTY_CLICK), CSF_FIRING | CSF_FIRE_HELD | CSF_EMPTY_CLICK);
    EXPECT_EQ(cs.weaponTime, 0.0f);
    EXPECT_TRUE(HasEvent(cs, 15 + WP_SHOTGUN));
    EXPECT_TRUE(HasEvent(a->entity, 9 + WP_SHOTGUN));
    // The meelgun needs no rounds.
    cs.flags = 0;
    cs.weapon = WP_MEELGUN;
    SG_IssueFire(a, 0);
    EXPECT_EQ(firesMade, 1);
}

TEST_F(CmdTest, FireIsRefusedWhileBlocked) {
    struct row_t {
        const char *why;
        uint8_t state;
        int32_t weapon;
        uint32_t flags;
        uint8_t secondary;
    };
    const row_t rows[] = {
        {"dead", CS_DEAD, WP_MINIGUN, 0, 0},
        {"spectator", CS_SPECTATOR, WP_MINIGUN, 0, 0},
        {"secondary of a minigun", CS_PLAYING, WP_MINIGUN, 0, 1},
        {"waiting", CS_PLAYING, WP_MINIGUN, CSF_FIRING, 0},
        {"reloading", CS_PLAYING, WP_MINIGUN, CSF_RELOADING, 0},
        {"switching", CS_PLAYING, WP_MINIGUN, CSF_SWITCHING, 0},
        {"dirt gun held", CS_PLAYING, WP_DIRTGUN, CSF_FIRE_HELD, 0},
    };
    for (const row_t &r : rows) {
        sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
        a->cs.moveType = r.state;
        a->cs.weapon = r.weapon;
        a->cs.flags = r.flags;
        a->cs.clip[r.weapon] = 5;
        SG_IssueFire(a, r.secondary);
        EXPECT_EQ(firesMade, 0) << r.why;
        EXPECT_EQ(a->cs.clip[r.weapon], 5) << r.why;
        SG_DeleteEntity(a->entity);
        memset(a, 0, sizeof(*a));
    }
    fake::Set("sg_dirtgunAutoFire", "1");
    sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
    a->cs.weapon = WP_DIRTGUN;
    a->cs.flags = CSF_FIRE_HELD;
    a->cs.clip[WP_DIRTGUN] = 5;
    SG_IssueFire(a, 0);
    EXPECT_EQ(firesMade, 1);
}

TEST_F(CmdTest, DiggingUnderSubGiveGivesARoundBack) {
    fake::Set("sg_subGive", "1");
    sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
    a->cs.weapon = WP_DIRTGUN;
    a->cs.clip[WP_DIRTGUN] = 0;  // no empty click for a dig
    SG_IssueFire(a, 1);
    EXPECT_EQ(firesMade, 1);
    EXPECT_EQ(a->cs.clip[WP_DIRTGUN], 1);
    a->cs.clip[WP_DIRTGUN] = static_cast<uint8_t>(g_weaponClass[WP_DIRTGUN].clipSize);
    a->cs.flags = 0;
    SG_IssueFire(a, 1);
    EXPECT_EQ(a->cs.clip[WP_DIRTGUN], g_weaponClass[WP_DIRTGUN].clipSize);
}

TEST_F(CmdTest, ReloadWhenRoundsWaitAndTheClipIsNotFull) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
    clientState_t &cs = a->cs;
    cs.weapon = WP_MINIGUN;
    cs.clip[WP_MINIGUN] = static_cast<uint8_t>(g_weaponClass[WP_MINIGUN].clipSize);
    cs.reserve[WP_MINIGUN] = 10;
    SG_IssueReload(a);
    EXPECT_EQ(reloadsMade, 0);  // full
    cs.clip[WP_MINIGUN] = 3;
    cs.flags = uint32_t{CSF_FIRE_HELD} | CSF_EMPTY_CLICK;
    cs.weaponTime = 0.5f;
    SG_IssueReload(a);
    EXPECT_EQ(reloadsMade, 1);
    EXPECT_EQ(cs.flags, CSF_FIRE_HELD | CSF_RELOADING);
    EXPECT_EQ(cs.weaponTime, 0.0f);
    EXPECT_TRUE(HasEvent(cs, 22));
    EXPECT_TRUE(HasEvent(a->entity, 16));
    SG_IssueReload(a);  // already reloading
    EXPECT_EQ(reloadsMade, 1);
    cs.flags = 0;
    cs.reserve[WP_MINIGUN] = 0;
    SG_IssueReload(a);
    EXPECT_EQ(reloadsMade, 1);
}

TEST_F(CmdTest, WeaponChangeOnlyToOwnedWeaponsInTheTable) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
    clientState_t &cs = a->cs;
    cs.weapon = WP_NONEGUN;
    cs.pendingWeapon = WP_NONEGUN;
    cs.ownedWeapons = (1 << WP_SHOTGUN) | (1 << WP_NONEGUN);
    for (int32_t bad : {-1, 7, 8, 31, 200, 255}) {
        SG_IssueWeaponChange(a, bad);
        EXPECT_EQ(cs.pendingWeapon, WP_NONEGUN) << bad;
        EXPECT_EQ(cs.eventCount, 0u) << bad;
    }
    SG_IssueWeaponChange(a, WP_RAILGUN);
    EXPECT_TRUE(HasEvent(cs, 8));
    EXPECT_EQ(cs.flags & CSF_SWITCHING, 0u);
    SG_IssueWeaponChange(a, WP_SHOTGUN);
    EXPECT_EQ(cs.pendingWeapon, WP_SHOTGUN);
    EXPECT_EQ(cs.flags & CSF_SWITCHING, CSF_SWITCHING);
    EXPECT_TRUE(HasEvent(cs, 7));
    EXPECT_TRUE(HasEvent(a->entity, 2));
    EXPECT_FLOAT_EQ(cs.barrelHeat, 0.5f);
}

TEST_F(CmdTest, WeaponByteOfACommandOutsideTheTableChangesNothing) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
    a->cs.weapon = WP_NONEGUN;
    a->cs.ownedWeapons = 0xFF;
    sgs.cmoveParams.gravity = 15.5f;
    cc_t cc = Command("");
    cc.weapon = 200;
    cc.time = qgame.time;
    SG_IssueCC(a, &cc, 0);
    EXPECT_EQ(a->cs.pendingWeapon, 0);
    EXPECT_EQ(a->cs.flags & CSF_SWITCHING, 0u);
}

// ---- buttons ----

TEST_F(CmdTest, JoiningAloneSpawnsAtOnceElseWaitsDead) {
    sg.rules = RULES_CRYSTAL_ROUNDS;
    sgClient_t *a = Client(0, TEAM_BLUE, CS_SPECTATOR);
    Say(a, "", BT_JOIN_RED);
    EXPECT_EQ(a->cs.moveType, CS_PLAYING);
    EXPECT_EQ(a->cs.team, TEAM_RED);
    EXPECT_EQ(Received(0, "joins red team"), 1);
    EXPECT_EQ(Received(0, "cg_print_center \"Crystal Rounds\""), 1);

    sgClient_t *b = Client(1, TEAM_BLUE, CS_SPECTATOR);
    Say(b, "", BT_JOIN_BLUE);
    EXPECT_EQ(b->cs.moveType, CS_DEAD);
    EXPECT_EQ(b->cs.team, TEAM_BLUE);
    // The same team again while dead does nothing.
    fake::commands.clear();
    Say(b, "", BT_JOIN_BLUE);
    EXPECT_EQ(b->cs.moveType, CS_DEAD);
    EXPECT_EQ(Received(1, "joins"), 0);
}

TEST_F(CmdTest, SpectatorsCannotJoinDuringTheSolidarityCountDown) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_SPECTATOR);
    sg.flags |= SGF_SOLIDARITY;
    Say(a, "", BT_JOIN_BLUE);
    EXPECT_EQ(a->cs.moveType, CS_SPECTATOR);
}

TEST_F(CmdTest, IntermissionIsNotMovedAndGetsTheScoreboard) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_INTERMISSION);
    a->cs.velocity[0] = 5;
    Say(a, "say \"still here\"");
    EXPECT_EQ(a->cs.origin[0], 0.0f);
    EXPECT_EQ(Received(0, "cg_scoreboard"), 1);
    EXPECT_EQ(Received(0, "still here"), 1);
}

TEST_F(CmdTest, DeformModeIsLimitedByTheRules) {
    struct row_t {
        int32_t rules;
        uint8_t asked, got;
    };
    const row_t rows[] = {{RULES_CRYSTAL_ROUNDS, 4, 1}, {RULES_CRYSTAL_ROUNDS, 1, 1}, {RULES_FORGE, 4, 4},
                          {RULES_FORGE, 9, 4}, {RULES_DEATH_MATCH, 255, 1}};
    for (const row_t &r : rows) {
        sg.rules = r.rules;
        sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
        cc_t cc = Command("");
        cc.deformMode = r.asked;
        SG_IssueCC(a, &cc, 0);
        EXPECT_EQ(a->deformMode, r.got) << r.rules << " " << int(r.asked);
        SG_DeleteEntity(a->entity);
        memset(a, 0, sizeof(*a));
    }
}

TEST_F(CmdTest, ForgeMaterialStepsToNamedMaterials) {
    sg.rules = RULES_FORGE;
    sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
    a->cs.deformMaterial = 7;
    Say(a, "", BT_NEXT_DEFORM_MATERIAL);
    EXPECT_EQ(a->cs.deformMaterial, 0);  // none named
    Com_strncpyz(sg.world.materials[3].name, "rock", WM_NAME_SIZE);
    Com_strncpyz(sg.world.materials[250].name, "sand", WM_NAME_SIZE);
    Say(a, "", BT_NEXT_DEFORM_MATERIAL);
    EXPECT_EQ(a->cs.deformMaterial, 3);
    Say(a, "", BT_NEXT_DEFORM_MATERIAL);
    EXPECT_EQ(a->cs.deformMaterial, 250);
    Say(a, "", BT_NEXT_DEFORM_MATERIAL);
    EXPECT_EQ(a->cs.deformMaterial, 3);  // wraps
    Say(a, "", BT_PREV_DEFORM_MATERIAL);
    EXPECT_EQ(a->cs.deformMaterial, 250);
}

// One press travels in one record; when no record comes in a frame the server runs
// the last one again, and that must not count as a second press.
TEST_F(CmdTest, ARepeatedRecordDoesNotPressAgain) {
    sg.rules = RULES_FORGE;
    Com_strncpyz(sg.world.materials[3].name, "rock", WM_NAME_SIZE);
    Com_strncpyz(sg.world.materials[7].name, "sand", WM_NAME_SIZE);
    Com_strncpyz(sg.world.materials[9].name, "clay", WM_NAME_SIZE);
    sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
    fake::slots[0].commands.push_back(Command("", BT_NEXT_DEFORM_MATERIAL));
    SG_IssueClientCommands(a);
    SG_IssueClientCommands(a);  // nothing new arrived
    SG_IssueClientCommands(a);
    EXPECT_EQ(a->cs.deformMaterial, 3);

    struct row_t {
        int32_t rules;
        uint32_t button;
    };
    const row_t rows[] = {{RULES_FORGE, BT_NEXT_DEFORM_MATERIAL},  {RULES_FORGE, BT_PREV_DEFORM_MATERIAL},
                          {RULES_FORGE, BT_DEFORM_SIZE_UP},        {RULES_FORGE, BT_DEFORM_SIZE_DOWN},
                          {RULES_DEATH_MATCH, BT_SUICIDE},         {RULES_DEATH_MATCH, BT_JOIN_SPECTATOR},
                          {RULES_CRYSTAL_ROUNDS, BT_JOIN_RED},     {RULES_CRYSTAL_ROUNDS, BT_DROP}};
    for (const row_t &r : rows) {
        sg.rules = r.rules;
        SG_DeleteEntity(a->entity);
        memset(a, 0, sizeof(*a));
        a = Client(0, TEAM_BLUE, CS_PLAYING);
        a->cs.deformSize = 10;
        a->cs.flags |= CSF_CRYSTAL;
        fake::commands.clear();
        const clientState_t before = a->cs;
        const cc_t cc = Command("", r.button);
        SG_IssueCC(a, &cc, 1);
        EXPECT_EQ(memcmp(&a->cs, &before, sizeof before), 0) << std::hex << r.button;
        EXPECT_TRUE(fake::CommandsTo(0).empty()) << std::hex << r.button;
    }
}

TEST_F(CmdTest, ForgeDeformSizeSteps) {
    sg.rules = RULES_FORGE;
    sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
    struct row_t {
        uint8_t from;
        uint32_t button;
        uint8_t to;
    };
    // Largest with the default 250: 25.  Steps of 1 up to 4, then a fifth.
    const row_t rows[] = {{3, BT_DEFORM_SIZE_UP, 4},  {4, BT_DEFORM_SIZE_UP, 5},   {5, BT_DEFORM_SIZE_UP, 6},
                          {24, BT_DEFORM_SIZE_UP, 25}, {25, BT_DEFORM_SIZE_UP, 25}, {10, BT_DEFORM_SIZE_DOWN, 8},
                          {1, BT_DEFORM_SIZE_DOWN, 1}};
    for (const row_t &r : rows) {
        a->cs.deformSize = r.from;
        Say(a, "", r.button);
        EXPECT_EQ(a->cs.deformSize, r.to) << int(r.from);
    }
    EXPECT_EQ(Received(0, "cg_print_center \"Deform Size 250%\""), 2);
    for (const char *huge : {"5000", "2147483647", "99999999999"}) {
        fake::Set("sg_maxDeformSize", huge);
        a->cs.deformSize = 99;
        Say(a, "", BT_DEFORM_SIZE_UP);
        EXPECT_EQ(a->cs.deformSize, 100) << huge;
    }
}

TEST_F(CmdTest, ViewFollowsCommandsUnlessHeld) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_SPECTATOR);
    cc_t cc = Command("");
    cc.angles[2] = 33;
    a->cs.flags |= CSF_VIEW_HELD;
    a->cs.viewAngles[2] = 90;
    SG_IssueCC(a, &cc, 0);
    EXPECT_EQ(a->cs.viewAngles[2], 90.0f);
    cc.buttons = BT_SPECTATOR_AIM;
    SG_IssueCC(a, &cc, 0);
    EXPECT_EQ(a->cs.flags & CSF_VIEW_HELD, 0u);
    EXPECT_EQ(a->cs.viewAngles[2], 33.0f);
}

// An aim is a direction.  Anything else counts as none: a ray along it reaches
// no number, and such a ray "hits" whatever entity it is tested against first.
TEST_F(CmdTest, AimThatIsNotADirectionCountsAsNone) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
    Client(1, TEAM_RED, CS_PLAYING)->entity->s.origin[0] = -40;  // far behind
    const float bad[][3] = {{NAN, 0, 0}, {INFINITY, 0, 0}, {3e38f, 3e38f, 3e38f}, {1e30f, 0, 0},
                            {1e-30f, 0, 0}, {0, 0, 0}, {3, 0, 0}};
    for (const auto &aim : bad) {
        cc_t cc = Command("");
        _VectorCopy(cc.aim, aim);
        SG_IssueCC(a, &cc, 0);
        EXPECT_TRUE(VectorIsZero(a->lastCC.aim)) << aim[0];
        a->aimTime = 0;
        SG_PrintClientAim(a);
        EXPECT_EQ(a->aimedClient, nullptr) << aim[0];
    }
    cc_t cc = Command("");
    const vec3_t slanted = {0.6f, 0, 0.8f};
    _VectorCopy(cc.aim, slanted);
    SG_IssueCC(a, &cc, 0);
    EXPECT_EQ(memcmp(a->lastCC.aim, slanted, sizeof slanted), 0) << "a direction is kept bit for bit";
}

TEST_F(CmdTest, SuicideAndJumpRequests) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_PLAYING);
    Client(1, TEAM_BLUE, CS_SPECTATOR);
    a->cs.snapshotFlags = 0;
    Say(a, "", BT_JUMP);
    EXPECT_EQ(a->cs.snapshotFlags & 1, 1u);
    Say(a, "", BT_SUICIDE | BT_JOIN_RED);
    EXPECT_EQ(a->cs.moveType, CS_DEAD);
    EXPECT_EQ(a->cs.team, TEAM_BLUE);  // the join bit after a suicide is not looked at
}

}  // namespace
