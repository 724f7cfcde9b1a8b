// libFuzzer target: the text readers of the common library, fed with hostile text.
//
// One input is read four ways: as a script through every mode of the text parser
// and the command-line tokenizer, as an info string arriving from another machine
// (look-ups, a key walk, sets and removals), as a message whose strings and text
// arguments are read, and as display text whose colour keys are stripped.
// AddressSanitizer reports any read or write outside a buffer; a walk that does
// not end, or a text that outgrows its buffer, aborts.
//
// Built and run by scripts/fuzz.sh.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/com_info.h"
#include "common/com_msg.h"
#include "common/com_string.h"

namespace {

int IgnoreError(int, const char *) { return 0; }

// Every parser mode over the whole text: each token fits its buffer, the position
// stays inside the text, and the walk reaches the end.
void ParseAll(const char *text, size_t size) {
    for (int mode = 0; mode < 5; mode++) {
        const char *p = text;
        for (size_t calls = 0; *p; calls++) {
            if (calls > 4 * size + 4) abort();
            const char *before = p;
            const bool lineBreaks = calls % 3 != 0;
            const char *t = mode == 0   ? Com_Parse(&p, lineBreaks)
                            : mode == 1 ? Com_ParseCurly(&p, lineBreaks)
                            : mode == 2 ? Com_ParseSemi(&p, lineBreaks)
                            : mode == 3 ? Com_ParseWithBreaker(&p, ":", lineBreaks)
                                        : Com_ParseSemiNullString(&p, lineBreaks);
            if (t && strlen(t) >= size_t(MAX_TOKEN_CHARS)) abort();
            if (p < text || p > text + size) abort();
            if (p == before) p++;  // a control byte or a line break held back
        }
    }
    Com_TokenizeString(text);
    for (int i = 0; i < Com_Argc(); i++) {
        if (strlen(Com_Argv(i)) >= size_t(MAX_STRING_CHARS)) abort();
    }
}

void InfoString(const char *text) {
    char is[MAX_INFO_STRING];
    Com_strncpyz(is, text, sizeof is);
    int walked = 0;
    for (const char *k = Com_IS_GetNextKey(is, nullptr); k; k = Com_IS_GetNextKey(is, k)) {
        if (++walked > MAX_INFO_STRING) abort();
    }
    for (const char *key : {"a", "name", "", " "}) {
        Com_IS_GetValue(is, key);
        Com_IS_SetValue(is, key, "value");
        Com_IS_AddKey(is, key, text + strlen(text) / 2);
        if (strlen(is) >= sizeof is) abort();
        Com_IS_RemoveKey(is, key);
    }
}

void Message(const uint8_t *data, size_t size) {
    auto msg = std::make_unique<msg_t>();
    const size_t n = size < size_t(MAX_MSGLEN) ? size : size_t(MAX_MSGLEN);
    memcpy(msg->data, data, n);
    Msg_ReadBegin(msg.get());
    msg->curBits = static_cast<int32_t>(n * 8);
    char small[7];
    char large[MAX_MSGLEN + 1];
    for (int i = 0; !Msg_IsEOF() && i < MAX_MSGLEN; i++) {
        if (i % 2) {
            Msg_ReadString(small, sizeof small);
        } else {
            Msg_ReadString(large, sizeof large);
        }
        Msg_ReadBits(small, 3);  // odd offsets for what follows
    }
    Msg_ReadBegin(msg.get());
    Msg_ReadBits(small, n % 8);
    Msg_ReadTokenize();
    for (int i = 0; i < Msg_Argc(); i++) {
        if (strlen(Msg_Argv(i)) > n) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(IgnoreError);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // A heap copy of exactly the text and its terminator, so a read past it is caught.
    std::unique_ptr<char[]> text(new char[size + 1]);
    memcpy(text.get(), data, size);
    text[size] = 0;
    const size_t len = strlen(text.get());

    ParseAll(text.get(), len);
    InfoString(text.get());
    Message(data, size);

    std::unique_ptr<char[]> stripped(new char[len + 1]);
    Com_StripColorKeys(stripped.get(), static_cast<int>(len + 1), text.get());
    if (static_cast<size_t>(Com_strncklen(text.get())) != strlen(stripped.get())) abort();
    Com_ValidateName(text.get(), 32, "name", VN_PRINT);
    return 0;
}
