// Input events, key bindings and the journal.
//
// Nothing from outside reaches the engine except through the event buffer: the
// main loop appends a record for every datagram and every pass (and, on hosts
// with a window, every key, character, mouse and window event), then issues the
// buffer once per pass.  Issuing updates the key states, fires bindings, hands
// datagrams to the transport and runs one engine frame per frame record.
// Recording writes every issued buffer to a journal; playback issues the
// journal's buffers instead of live input, so a recorded run repeats exactly.
#pragma once

#include <cstdint>
#include <cstdio>

#include "common/com_keys.h"
#include "common/com_msg.h"
#include "common/com_print.h"

constexpr int IN_BUFFER_SIZE = 100000;   // bytes of records in the event buffer
constexpr int IN_MAX_RECORDS = 10000;    // records one issue may walk
constexpr int IN_ADDRESS_SIZE = 12;      // a sender address as stored in a datagram record
constexpr int JOURNAL_NAME_SIZE = 256;
constexpr int JOURNAL_MAX_FILES = 10000;  // "0000.jr2" .. "9999.jr2"
constexpr uint32_t JOURNAL_MAGIC = 0x1239ABCF;
constexpr uint32_t JOURNAL_VERSION = 3;

// Kinds of event records: the first u32 of every record.
enum inEvent_t : uint32_t {
    IE_KEY = 0,       // u8 key, u8 down, 2 bytes padding
    IE_CHAR = 1,      // u8 character, 3 bytes padding
    IE_MOUSE = 2,     // i16 x, i16 y
    IE_DATAGRAM = 3,  // 12-byte sender, u32 length, then the bytes, no padding
    IE_FRAME = 4,     // u32 milliseconds of the pass
    IE_SPECIAL = 5,   // u32 special kind, two u32 words
    IE_END = 6,       // nothing
};

// Record sizes, kind word included.
constexpr int IN_KEY_SIZE = 8;
constexpr int IN_CHAR_SIZE = 8;
constexpr int IN_MOUSE_SIZE = 8;
constexpr int IN_DATAGRAM_HEADER_SIZE = 4 + IN_ADDRESS_SIZE + 4;  // before the bytes
constexpr int IN_FRAME_SIZE = 8;
constexpr int IN_SPECIAL_SIZE = 16;
constexpr int IN_END_SIZE = 4;

// Kinds of special records.
enum inSpecial_t : uint32_t {
    IS_QUIT = 1,
    IS_NOTHING_2 = 2,
    IS_NOTHING_3 = 3,
    IS_ACTIVATE = 4,
    IS_DEACTIVATE = 5,
};

enum journalMode_t : uint8_t { JOURNAL_OFF = 0, JOURNAL_RECORDING = 1, JOURNAL_PLAYING = 2 };

enum cursorMode_t : int32_t { CURSOR_NONE = 0, CURSOR_AIM = 1, CURSOR_FREE = 2 };

// Key state bits.
constexpr uint32_t KEY_DOWN = 0x1;
constexpr uint32_t KEY_PRESSED = 0x2;      // went down in this frame
constexpr uint32_t KEY_RELEASED = 0x4;     // went up in this frame
constexpr uint32_t KEY_CHANGED = 0x8;      // changed in this frame
constexpr uint32_t KEY_TAPPED = 0x10;      // pressed and released in one frame

// When a binding fires.
enum bindMode_t : int32_t { BIND_UP = 0, BIND_DOWN = 1, BIND_PRESSED = 2, BIND_RELEASED = 3 };

constexpr int KEY_ESCAPE = 1;
constexpr int KEY_WHEEL_UP = 203;
constexpr int KEY_WHEEL_DOWN = 204;

struct keyState_t {
    uint32_t state;      // KEY_ bits
    int32_t keyCode;     // its own index
    int32_t frame;       // engine frame number at the last change
    int32_t time;        // engine game time at the last change
    int32_t bindMode;    // bindMode_t
    char *command;       // bound command text (Com_malloc), or null
    char name[KEY_NAME_SIZE];
    char lowerName[KEY_NAME_SIZE];  // what bind and unbind match
};

// Journal file header, little-endian on disk.
struct journalHeader_t {
    uint32_t magic;
    uint32_t version;
    uint32_t seed;       // the engine's random seed
    int32_t gameTime;    // game time when recording started
    int32_t startTime;   // the engine's start clock
};
static_assert(sizeof(journalHeader_t) == 20, "journal header layout");
constexpr int JOURNAL_HEADER_SIZE = 20;

// Input and journal state; lives in the engine state record.
struct inState_t {
    int32_t cursorMode;        // cursorMode_t
    int32_t savedCursor[2];    // cursor position saved by aim mode
    int32_t mouseOffset[2];    // last offset from the window centre
    int32_t prevMouseOffset[2];
    uint8_t journal;           // journalMode_t
    char journalName[JOURNAL_NAME_SIZE];
    FILE *playStream;
    int32_t length;            // bytes used in buffer
    byte buffer[IN_BUFFER_SIZE];
};

extern keyState_t keys[MAX_KEYS];

// ---- events: each appends one record unless a journal plays ----
void IN_KeyEvent(byte key, byte down);   // a live Esc while playing stops playback
void IN_CharEvent(byte character);       // a typed character
void IN_MouseEvent(int16_t x, int16_t y);  // the cursor position in window pixels
// Appends a datagram record with its sender.
void IN_NetEvent(const netadr_t *sender, const byte *data, int length);
// A pass of msec milliseconds; while the client runs, the cursor's position first.
void IN_FrameEvent(uint32_t msec);
void IN_SpecialEvent(uint32_t kind, uint32_t a, uint32_t b);  // an inSpecial_t and its two words
// True when records of that many bytes more can still be appended (room for the
// end record kept).
bool IN_HasRoom(int bytes);

// Journals the buffer when recording, then executes its records in order.
void IN_IssueCommandBuffer();

// ---- journal ----
// Writes the header of the first free "%.4d.jr2" and records every later issue.
void IN_StartRecordJournal();
void IN_StopRecordJournal();  // stops recording; the file keeps what was written
// Opens a journal, takes its seed and clocks, and replaces live input with it.
void IN_StartPlayJournal(const char *name);
// Loads the next chunk into the event buffer; false at the end of the journal
// or when the chunk is damaged (the reason is printed).
bool IN_ReadJournalNext();
void IN_StopPlayJournal();  // closes the journal being played; live input again
// Appends one chunk (length, bytes) when recording.
void IN_DumpToJournal(int length, const byte *data);
// Checks that a chunk is a sequence of whole records of known kinds ending with
// exactly one end record at its last byte; the reason of a fault goes to why.
bool IN_CheckChunk(const byte *data, int length, const char **why);

// ---- keys ----
void IN_ReleaseAllKeys();           // clears the down and pressed bits of every key
void IN_SetAmericanKeyNames();      // builds keys[]
void IN_SetAimMode();       // hides the cursor and keeps it at the window centre
void IN_SetCursorMode();    // shows the cursor again where aim mode found it
void IN_CenterCursor();     // puts the cursor at the window centre and remembers it there
int32_t IN_GetBinding(const char *command);  // first key bound to exactly that command; 0 when none
void IN_ClearKeyBinding(int key);             // frees a key's command; other numbers do nothing
void IN_ProcessBindKey(keyState_t *key);      // fires one key's binding by its mode
void IN_DumpKeyBindings(FILE *file);          // the binding lines of the configuration file

// Console command handlers (declared by the base commands).
void IN_Bind_f();
void IN_Unbind_f();
void IN_UnbindAll_f();
void IN_ListKeys_f();
void IN_ListBindings_f();
