#include "base/input.h"

#include <cmath>
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/files.h"
#include "base/module.h"
#include "base/net.h"
#include "base/sys.h"
#include "common/com_keys.h"
#include "common/com_string.h"
#include "common/common.h"

keyState_t keys[MAX_KEYS];

static inState_t &in = qbase.in;

// ---- record encoding: native little-endian, packed, read and written by memcpy ----

static void PutU32(byte *p, uint32_t v) { memcpy(p, &v, 4); }
static uint32_t GetU32(const byte *p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}
static int16_t GetI16(const byte *p) {
    int16_t v;
    memcpy(&v, p, 2);
    return v;
}

bool IN_HasRoom(int bytes) {
    const int used = in.length < 0 ? 0 : in.length;
    return bytes >= 0 && bytes < IN_BUFFER_SIZE && used + bytes + IN_END_SIZE < IN_BUFFER_SIZE;
}

// Reserves size bytes for a record of kind, keeping room for the end record.
// Null (and nothing appended) while a journal plays or when the buffer is full.
static byte *AppendRecord(inEvent_t kind, int size) {
    if (in.journal == JOURNAL_PLAYING) return nullptr;
    if (in.length < 0) in.length = 0;
    if (!IN_HasRoom(size)) {
        Com_Error(ER_WARNING, "IN_GetCmdBuffer: Cmd buffer overflow. Dropping commands");
        return nullptr;
    }
    byte *record = in.buffer + in.length;
    memset(record, 0, static_cast<size_t>(size));
    PutU32(record, kind);
    in.length += size;
    return record;
}

void IN_KeyEvent(byte key, byte down) {
    if (in.journal == JOURNAL_PLAYING) {
        if (key == KEY_ESCAPE) IN_StopPlayJournal();
        return;
    }
    byte *r = AppendRecord(IE_KEY, IN_KEY_SIZE);
    if (!r) return;
    r[4] = key;
    r[5] = down ? 1 : 0;
}

void IN_CharEvent(byte character) {
    byte *r = AppendRecord(IE_CHAR, IN_CHAR_SIZE);
    if (r) r[4] = character;
}

void IN_MouseEvent(int16_t x, int16_t y) {
    byte *r = AppendRecord(IE_MOUSE, IN_MOUSE_SIZE);
    if (!r) return;
    memcpy(r + 4, &x, 2);
    memcpy(r + 6, &y, 2);
}

static_assert(sizeof(netadr_t) == IN_ADDRESS_SIZE, "a datagram record stores the sender whole");

void IN_NetEvent(const netadr_t *sender, const byte *data, int length) {
    if (length < 0) return;
    // A datagram record longer than the whole buffer is refused by the size test.
    const int size = length > IN_BUFFER_SIZE ? -1 : IN_DATAGRAM_HEADER_SIZE + length;
    byte *r = AppendRecord(IE_DATAGRAM, size);
    if (!r) return;
    memcpy(r + 4, sender, IN_ADDRESS_SIZE);
    PutU32(r + 4 + IN_ADDRESS_SIZE, static_cast<uint32_t>(length));
    if (length > 0) memcpy(r + IN_DATAGRAM_HEADER_SIZE, data, static_cast<size_t>(length));
}

// The window centre: half the renderer's window size.  The renderer's
// configuration record comes with the client's renderer; until then no window
// exists and its centre is the origin.
static void WindowCentre(int32_t *x, int32_t *y) {
    *x = 0;
    *y = 0;
}

void IN_FrameEvent(uint32_t msec) {
    // The cursor is read once per pass while the client (and so a window) is up;
    // aim mode keeps it at the centre, so each pass reads one movement.
    if (qbase.clientRunning && in.journal != JOURNAL_PLAYING) {
        int32_t x = 0, y = 0;
        Sys_GetCursorPos(&x, &y);
        IN_MouseEvent(static_cast<int16_t>(x), static_cast<int16_t>(y));
        if (in.cursorMode == CURSOR_AIM) {
            WindowCentre(&x, &y);
            Sys_SetCursorPos(x, y);
        }
    }
    byte *r = AppendRecord(IE_FRAME, IN_FRAME_SIZE);
    if (r) PutU32(r + 4, msec);
}

void IN_SpecialEvent(uint32_t kind, uint32_t a, uint32_t b) {
    byte *r = AppendRecord(IE_SPECIAL, IN_SPECIAL_SIZE);
    if (!r) return;
    PutU32(r + 4, kind);
    PutU32(r + 8, a);
    PutU32(r + 12, b);
}

// Size of the record at p with avail bytes left, or 0 when the record is damaged:
// an unknown kind or a record that does not fit in what is left.
static int RecordSize(const byte *p, int avail, const char **why) {
    if (avail < 4) {
        *why = "record cut short";
        return 0;
    }
    int size = 0;
    switch (GetU32(p)) {
    case IE_KEY: size = IN_KEY_SIZE; break;
    case IE_CHAR: size = IN_CHAR_SIZE; break;
    case IE_MOUSE: size = IN_MOUSE_SIZE; break;
    case IE_FRAME: size = IN_FRAME_SIZE; break;
    case IE_SPECIAL: size = IN_SPECIAL_SIZE; break;
    case IE_END: size = IN_END_SIZE; break;
    case IE_DATAGRAM: {
        if (avail < IN_DATAGRAM_HEADER_SIZE) {
            *why = "record cut short";
            return 0;
        }
        // Any length that lies inside the buffer is a whole record: the transport
        // itself refuses a datagram longer than it accepts.
        const uint32_t length = GetU32(p + 4 + IN_ADDRESS_SIZE);
        if (length > static_cast<uint32_t>(avail - IN_DATAGRAM_HEADER_SIZE)) {
            *why = "record cut short";
            return 0;
        }
        size = IN_DATAGRAM_HEADER_SIZE + static_cast<int>(length);
        break;
    }
    default: *why = "unknown record kind"; return 0;
    }
    if (size > avail) {
        *why = "record cut short";
        return 0;
    }
    return size;
}

bool IN_CheckChunk(const byte *data, int length, const char **why) {
    int pos = 0;
    for (int count = 0; pos < length; count++) {
        if (count >= IN_MAX_RECORDS) {
            *why = "too many records";
            return false;
        }
        const int size = RecordSize(data + pos, length - pos, why);
        if (!size) return false;
        const uint32_t kind = GetU32(data + pos);
        if (kind == IE_SPECIAL) {
            const uint32_t special = GetU32(data + pos + 4);
            if (special < IS_QUIT || special > IS_DEACTIVATE) {
                *why = "unknown special event";
                return false;
            }
        }
        pos += size;
        if (kind == IE_END) {
            if (pos != length) {
                *why = "data after the end record";
                return false;
            }
            return true;
        }
    }
    *why = "no end record";
    return false;
}

// ---- issuing ----

static const char *const bind_modeNames[] = {"up", "down", "pressed", "released"};

static void IssueKey(const byte *r) {
    keyState_t &key = keys[r[4]];
    if (r[5]) {
        if (!(key.state & KEY_DOWN)) key.state |= KEY_PRESSED;
        key.state |= KEY_DOWN | KEY_CHANGED;
        char line[32];
        snprintf(line, sizeof(line), "in_key_down %d", key.keyCode);
        Cmd_Add(line);
    } else {
        if (key.state & KEY_DOWN) key.state |= KEY_RELEASED;
        // Pressed and released within one frame: the key stays down for this frame.
        if (key.frame == static_cast<int32_t>(qbase.frameCount) && (key.state & KEY_DOWN))
            key.state |= KEY_TAPPED;
        else
            key.state &= ~KEY_DOWN;
        char line[32];
        snprintf(line, sizeof(line), "in_key_up %d", key.keyCode);
        Cmd_Add(line);
    }
    key.frame = static_cast<int32_t>(qbase.frameCount);
    key.time = static_cast<int32_t>(qbase.time);
}

void IN_ProcessBindKey(keyState_t *key) {
    if (!key->command) return;
    bool fire = false;
    switch (key->bindMode) {
    case BIND_DOWN: fire = key->state & KEY_DOWN; break;
    case BIND_UP: fire = !(key->state & KEY_DOWN); break;
    case BIND_PRESSED: fire = key->state & KEY_PRESSED; break;
    case BIND_RELEASED: fire = key->state & KEY_RELEASED; break;
    default: break;
    }
    if (fire) Cmd_Add(key->command);
}

// The per-frame work while the client runs: mouse look, bindings (while the user
// interface lets them fire), then the key bits that last one frame.
// Mouse look in aim mode: the offset from the window centre, optionally averaged
// with the one before, turned into yaw and pitch commands for the client game.
static void MouseLook() {
    if (in.cursorMode != CURSOR_AIM || !m_look.integer) return;
    float dx = static_cast<float>(in.mouseOffset[0]), dy = static_cast<float>(in.mouseOffset[1]);
    if (m_filter.integer) {
        dx = (dx + static_cast<float>(in.prevMouseOffset[0])) * 0.5f;
        dy = (dy + static_cast<float>(in.prevMouseOffset[1])) * 0.5f;
        in.prevMouseOffset[0] = in.mouseOffset[0];
        in.prevMouseOffset[1] = in.mouseOffset[1];
    }
    const float speed = sqrtf(dx * dx + dy * dy) * m_accel.value / 10.0f + m_sensitivity.value;
    const float yaw = -dx * m_yaw.value * speed;
    float pitch = -dy * m_pitch.value * speed;
    if (m_invert.integer) pitch = -pitch;
    char line[64];
    if (yaw != 0.0f) {
        snprintf(line, sizeof(line), "in_yaw %f", static_cast<double>(yaw));
        Cmd_Add(line);
    }
    if (pitch != 0.0f) {
        snprintf(line, sizeof(line), "in_pitch %f", static_cast<double>(pitch));
        Cmd_Add(line);
    }
}

static void KeyFrame() {
    MouseLook();
    for (keyState_t &key : keys)
        if (key.command && Call_CG_AllowBind()) IN_ProcessBindKey(&key);
    for (keyState_t &key : keys) {
        if (key.state & KEY_TAPPED) key.state &= ~KEY_DOWN;
        key.state &= ~(KEY_PRESSED | KEY_RELEASED | KEY_CHANGED | KEY_TAPPED);
    }
    // The wheel has no release.
    keys[KEY_WHEEL_UP].state = 0;
    keys[KEY_WHEEL_DOWN].state = 0;
}

static void IssueSpecial(const byte *r) {
    switch (GetU32(r + 4)) {
    case IS_QUIT: Base_Shutdown(); break;
    case IS_ACTIVATE:
        if (qbase.windowInactive) Sys_AltTabOpenGL(1);
        qbase.windowInactive = 0;
        break;
    case IS_DEACTIVATE:
        qbase.windowInactive = 1;
        IN_ReleaseAllKeys();
        IN_SetCursorMode();
        Sys_AltTabOpenGL(0);
        break;
    case IS_NOTHING_2:
    case IS_NOTHING_3: break;
    default: Com_Assert(0); break;
    }
}

void IN_IssueCommandBuffer() {
    // The end record always has its reserved room.
    if (in.length < 0) in.length = 0;
    if (in.journal != JOURNAL_PLAYING) {
        PutU32(in.buffer + in.length, IE_END);
        in.length += IN_END_SIZE;
    }
    if (in.journal == JOURNAL_RECORDING) IN_DumpToJournal(in.length, in.buffer);

    // The walk keeps the length it started with: a frame's console lines may stop
    // playback (stopJournal), which empties the buffer's length but not its records,
    // and the rest of this issue still runs as it was recorded.
    const int length = in.length;
    int pos = 0;
    for (int count = 0;; count++) {
        if (count >= IN_MAX_RECORDS) {
            Com_Error(ER_FATAL, "IN_IssueCommandBuffer: Overflow check!");
            in.length = 0;
            return;
        }
        const char *why = nullptr;
        const byte *r = in.buffer + pos;
        const int size = RecordSize(r, length - pos, &why);
        if (!size) {
            Com_Error(ER_FATAL, "IN_IssueCommandBuffer: Unknown command");
            in.length = 0;
            return;
        }
        pos += size;
        switch (GetU32(r)) {
        case IE_KEY: IssueKey(r); break;
        case IE_CHAR: {
            char line[32];
            snprintf(line, sizeof(line), "in_char %d", r[4]);
            Cmd_Add(line);
            break;
        }
        case IE_MOUSE: {
            const int x = GetI16(r + 4), y = GetI16(r + 6);
            char line[48];
            snprintf(line, sizeof(line), "in_mouse %d %d", x, y);
            Cmd_Add(line);
            int32_t cx, cy;
            WindowCentre(&cx, &cy);
            in.mouseOffset[0] = cx - x;
            in.mouseOffset[1] = cy - y;
            break;
        }
        case IE_DATAGRAM: {
            netadr_t sender;
            memcpy(&sender, r + 4, sizeof(sender));
            NET_EnqueueFragment(&sender, r + IN_DATAGRAM_HEADER_SIZE,
                                static_cast<int>(GetU32(r + 4 + IN_ADDRESS_SIZE)));
            break;
        }
        case IE_FRAME:
            if (qbase.clientRunning) KeyFrame();
            Base_Frame(static_cast<int>(GetU32(r + 4)));
            break;
        case IE_SPECIAL: IssueSpecial(r); break;
        case IE_END: in.length = 0; return;
        }
    }
}

// ---- journal ----

// Writes to the journal file (opened with mode) the bytes of head, then count bytes
// of data.  False when it cannot be opened or cannot take them all (a full disk).
static bool WriteJournal(const char *name, const char *mode, const byte *head, int headSize, const byte *data,
                         int count) {
    FILE *f = FS_fopen(name, mode);
    if (!f) {
        Com_Assert(0);
        return false;
    }
    bool written = FS_Write(head, headSize, f) == headSize && (count == 0 || FS_Write(data, count, f) == count);
    // The buffered bytes reach the disk here: that is where a full disk shows.
    written = fflush(f) == 0 && written;
    FS_fclose(f);
    return written;
}

void IN_DumpToJournal(int length, const byte *data) {
    if (in.journal != JOURNAL_RECORDING || length < 0) return;
    byte word[4];
    PutU32(word, static_cast<uint32_t>(length));
    if (!WriteJournal(in.journalName, "ab", word, sizeof(word), data, length)) {
        // A journal with a hole would replay something else: it ends here.
        in.journal = JOURNAL_OFF;
        Com_Error(ER_WARNING, "IN_DumpToJournal: Could not write journal file \"%s\", recording stops",
                  in.journalName);
    }
}

void IN_StartRecordJournal() {
    if (in.journal != JOURNAL_OFF) return;
    char name[JOURNAL_NAME_SIZE];
    int n = 0;
    for (; n < JOURNAL_MAX_FILES; n++) {
        snprintf(name, sizeof(name), "%.4d.jr2", n);
        if (!FS_ReadFile(name, nullptr)) break;
    }
    if (n == JOURNAL_MAX_FILES) {
        Com_Error(ER_WARNING, "IN_StartRecordJournal: Could not find a free filename for journal file");
        return;
    }
    const uint32_t header[5] = {JOURNAL_MAGIC, JOURNAL_VERSION, qbase.randomSeed, qbase.time,
                                qbase.startClock};
    byte bytes[JOURNAL_HEADER_SIZE];
    for (int i = 0; i < 5; i++) PutU32(bytes + 4 * i, header[i]);
    if (!WriteJournal(name, "wb", bytes, sizeof(bytes), nullptr, 0)) {
        Com_Error(ER_WARNING, "IN_StartRecordJournal: Could not write journal file \"%s\"", name);
        return;
    }
    snprintf(in.journalName, sizeof(in.journalName), "%s", name);
    in.journal = JOURNAL_RECORDING;
    // Start-up may already have drawn numbers; the recorded run restarts the
    // generator from the recorded seed, as playback does, so both draw alike.
    Base_SeedRandom(qbase.randomSeed);
}

void IN_StopRecordJournal() {
    if (in.journal == JOURNAL_RECORDING) in.journal = JOURNAL_OFF;
}

void IN_StartPlayJournal(const char *name) {
    if (in.journal != JOURNAL_OFF) return;
    FILE *f = FS_fopen(name, "rb");
    if (!f) {
        Com_Error(ER_FATAL, "IN_StartPlayJournal: Could not open file \"%s\"", name);
        return;
    }
    byte bytes[JOURNAL_HEADER_SIZE];
    const int got = FS_Read(bytes, sizeof(bytes), f);
    journalHeader_t h{};
    if (got == static_cast<int>(sizeof(bytes))) {
        h.magic = GetU32(bytes);
        h.version = GetU32(bytes + 4);
        h.seed = GetU32(bytes + 8);
        h.gameTime = static_cast<int32_t>(GetU32(bytes + 12));
        h.startTime = static_cast<int32_t>(GetU32(bytes + 16));
    }
    if (h.magic != JOURNAL_MAGIC) {
        FS_fclose(f);
        Com_Error(ER_FATAL, "IN_StartPlayJournal: Bad magic");
        return;
    }
    if (h.version != JOURNAL_VERSION) {
        FS_fclose(f);
        Com_Error(ER_FATAL, "IN_StartPlayJournal: Bad version (%d should be %d)",
                  static_cast<int>(h.version), static_cast<int>(JOURNAL_VERSION));
        return;
    }
    qbase.randomSeed = h.seed;
    Base_SeedRandom(h.seed);
    qbase.time = static_cast<uint32_t>(h.gameTime);
    qbase.previousTime = qbase.time;
    qbase.startClock = static_cast<uint32_t>(h.startTime);
    snprintf(in.journalName, sizeof(in.journalName), "%s", name);
    in.playStream = f;
    in.length = 0;
    in.journal = JOURNAL_PLAYING;
}

bool IN_ReadJournalNext() {
    if (in.journal != JOURNAL_PLAYING || !in.playStream) return false;
    byte word[4];
    const int got = FS_Read(word, 4, in.playStream);
    if (got <= 0) return false;  // the journal ends here
    const char *why = nullptr;
    const uint32_t length = got == 4 ? GetU32(word) : 0;
    if (got != 4)
        why = "chunk length cut short";
    else if (length < static_cast<uint32_t>(IN_END_SIZE) || length > static_cast<uint32_t>(IN_BUFFER_SIZE))
        why = "chunk length out of range";
    else if (FS_Read(in.buffer, static_cast<int32_t>(length), in.playStream) != static_cast<int32_t>(length))
        why = "chunk cut short";
    else
        IN_CheckChunk(in.buffer, static_cast<int>(length), &why);
    if (why) {
        in.length = 0;
        Com_Error(ER_ERROR, "IN_ReadJournalNext: Damaged journal \"%s\" (%s), playback stops",
                  in.journalName, why);
        return false;
    }
    in.length = static_cast<int32_t>(length);
    return true;
}

void IN_StopPlayJournal() {
    if (in.journal != JOURNAL_PLAYING) return;
    if (in.playStream) FS_fclose(in.playStream);
    in.playStream = nullptr;
    in.length = 0;
    in.journal = JOURNAL_OFF;
}

// ---- keys ----

void IN_ReleaseAllKeys() {
    for (keyState_t &key : keys) key.state &= ~(KEY_DOWN | KEY_PRESSED);
}

static constexpr const char *IN_NO_NAME = "No name key";
// The display table has the system-request key at 85; the keyboard layer reports
// it by its set-1 scan code, 84.
constexpr int KEY_SYSREQ = 84;
constexpr int KEY_SYSREQ_DISPLAY = 85;

// Copies text into out (size bytes with the zero) in lower case.
static void LowerCopy(char *out, int size, const char *text) {
    Com_strncpyz(out, text, size);
    Com_StringToLower(out);
}

void IN_SetAmericanKeyNames() {
    for (int i = 0; i < MAX_KEYS; i++) {
        Com_free(keys[i].command);
        keys[i] = keyState_t{};
        keys[i].keyCode = i;
        snprintf(keys[i].name, KEY_NAME_SIZE, "%s", IN_NO_NAME);
    }
    for (int i = 0; i < MAX_KEYS; i++)
        if (key_names[i][0] && i != KEY_SYSREQ_DISPLAY) snprintf(keys[i].name, KEY_NAME_SIZE, "%s", key_names[i]);
    snprintf(keys[KEY_SYSREQ].name, KEY_NAME_SIZE, "%s", key_names[KEY_SYSREQ_DISPLAY]);
    for (keyState_t &key : keys) LowerCopy(key.lowerName, KEY_NAME_SIZE, key.name);
}

// Aim mode hides the cursor and keeps it at the window centre; cursor mode shows
// it where it was.
void IN_SetAimMode() {
    if (in.cursorMode == CURSOR_AIM || qbase.windowInactive) return;
    in.cursorMode = CURSOR_AIM;
    Sys_GetCursorPos(&in.savedCursor[0], &in.savedCursor[1]);
    Sys_ShowCursor(0);
    int32_t x, y;
    WindowCentre(&x, &y);
    Sys_SetCursorPos(x, y);
}

void IN_SetCursorMode() {
    if (in.cursorMode == CURSOR_FREE) return;
    in.cursorMode = CURSOR_FREE;
    Sys_SetCursorPos(in.savedCursor[0], in.savedCursor[1]);
    Sys_ShowCursor(1);
}

void IN_CenterCursor() {
    WindowCentre(&in.savedCursor[0], &in.savedCursor[1]);
    Sys_SetCursorPos(in.savedCursor[0], in.savedCursor[1]);
}

int32_t IN_GetBinding(const char *command) {
    for (const keyState_t &key : keys)
        if (key.command && !strcmp(key.command, command)) return key.keyCode;
    return 0;
}

void IN_ClearKeyBinding(int key) {
    if (key < 0 || key >= MAX_KEYS) return;
    Com_free(keys[key].command);
    keys[key].command = nullptr;
}

// The key whose lower-case name equals name (compared in lower case), or null.
static keyState_t *FindKey(const char *name) {
    char lower[64];
    LowerCopy(lower, sizeof(lower), name);
    for (keyState_t &key : keys)
        if (!strcmp(key.lowerName, lower)) return &key;
    return nullptr;
}

void IN_Bind_f() {
    if (Cmd_Argc() != 4) {
        Com_Printf("USAGE: bind <keyname> <down, up, pressed or released> <cmd>");
        return;
    }
    const char *name = Cmd_Argv(1);
    if (!name[0]) return;
    int mode = -1;
    for (int m = 0; m < 4; m++)
        if (!strcmp(Cmd_Argv(2), bind_modeNames[m])) mode = m;
    if (mode < 0) {
        Com_Error(ER_ERROR, "The second parameter must be down, up, pressed or released");
        return;
    }
    keyState_t *key = FindKey(name);
    if (!key) {
        Com_Error(ER_ERROR, "Unknown key \"%s\"", name);
        return;
    }
    const char *command = Cmd_Argv(3);
    const size_t n = strlen(command);
    char *copy = static_cast<char *>(Com_malloc(static_cast<uint32_t>(n + 1)));
    if (!copy) return;
    memcpy(copy, command, n + 1);
    Com_free(key->command);
    key->command = copy;
    key->bindMode = mode;
}

void IN_Unbind_f() {
    if (Cmd_Argc() < 2) return;
    if (Cmd_Argc() > 2) {
        Com_Printf("USAGE: unbind <keyname>");
        return;
    }
    keyState_t *key = FindKey(Cmd_Argv(1));
    if (!key) {
        Com_Error(ER_ERROR, "Unknown key \"%s\"", Cmd_Argv(1));
        return;
    }
    IN_ClearKeyBinding(key->keyCode);
}

void IN_UnbindAll_f() {
    for (int i = 0; i < MAX_KEYS; i++) IN_ClearKeyBinding(i);
}

static const char *ModeName(const keyState_t &key) {
    return key.bindMode >= 0 && key.bindMode < 4 ? bind_modeNames[key.bindMode] : "";
}

void IN_ListKeys_f() {
    for (const keyState_t &key : keys) {
        if (!strcmp(key.name, IN_NO_NAME)) continue;
        if (key.command)
            Com_Printf("%3d: \xA4" "08%s\xA4" "00 %s = \"%s\"", key.keyCode, key.name, ModeName(key), key.command);
        else
            Com_Printf("%3d: \xA4" "08%s", key.keyCode, key.name);
    }
}

void IN_ListBindings_f() {
    Com_Printf("------ Key Bindings ------");
    int count = 0;
    for (const keyState_t &key : keys) {
        if (!key.command) continue;
        Com_Printf("\xA4" "08%s\xA4" "00 <%s> \"%s\"", key.name, ModeName(key), key.command);
        count++;
    }
    Com_Printf("------ %d key bindings ------", count);
}

void IN_DumpKeyBindings(FILE *file) {
    fprintf(file, "\nunbindall\n");
    for (const keyState_t &key : keys) {
        if (!key.command) continue;
        // A command is one word of `bind`, so it is never longer than the engine keeps.
        char command[Com_ConfigWordsSize(CMD_MAX_WORD, CMD_MAX_WORD)];
        Com_ConfigWords(command, sizeof command, key.command, CMD_MAX_WORD);
        fprintf(file, "bind \"%s\" %s %s\n", key.lowerName, ModeName(key), command);
    }
}
