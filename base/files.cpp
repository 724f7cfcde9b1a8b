// File system and pack files.
#include "base/files.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/sys.h"
#include "common/com_hash.h"
#include "common/com_string.h"

fs_t fs;

static int32_t fs_lastOpenError;

// Colour keys of the console texts.
#define FS_C8 "\xA4" "08"
#define FS_C0 "\xA4" "00"

// Local file record of a pack (little-endian).
constexpr uint32_t PACK_LOCAL_MAGIC = 0x04034B50;
constexpr uint32_t PACK_CENTRAL_MAGIC = 0x02014B50;
constexpr int PACK_LOCAL_HEADER = 26;  // fields after the signature
// Stored entries need nothing beyond version 2.0, which common archivers write.
constexpr int PACK_MAX_VERSION = 20;

// ---- slots ----

static fsOpenFile_t *FS_FindOpenFile(FILE *stream) {
    for (fsOpenFile_t &slot : fs.slots)
        if (slot.inUse && slot.stream == stream) return &slot;
    Com_Error(ER_FATAL, "FS_FineOpenFile: Did't find open file");
    return nullptr;
}

static fsOpenFile_t *FS_FindFreeOpenFile() {
    for (fsOpenFile_t &slot : fs.slots)
        if (!slot.inUse) return &slot;
    Com_Error(ER_FATAL, "FS_FineFreeOpenFile: Did't find free open file");
    return nullptr;
}

static FILE *FS_FillSlot(fsOpenFile_t *slot, const char *path, FILE *stream, fsPackFile_t *entry) {
    slot->inUse = 1;
    Com_strncpyz(slot->path, path, sizeof slot->path);
    slot->stream = stream;
    slot->entry = entry;
    if (entry) entry->opened = 1;
    fs.openCount++;
    if (fs.openCount > fs.watermark) fs.watermark = fs.openCount;
    return stream;
}

static void FS_FreeSlot(fsOpenFile_t *slot) {
    fclose(slot->stream);
    *slot = fsOpenFile_t{};
    fs.openCount--;
}

// Opens a disk file; a directory or device is no file and is not opened.
static FILE *FS_OpenDisk(const char *path, const char *mode) {
    FILE *f = fopen(path, mode);
    struct stat st;
    if (f && (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode))) {
        fclose(f);
        return nullptr;
    }
    return f;
}

// ---- life cycle ----

void FS_StartUp(const char *baseDir) {
    fs = fs_t{};
    if (baseDir && Sys_chdir(baseDir) == -1) Com_Error(ER_DROP, "FS_SetPath: Couldn't set dir");
    // One byte is kept free for the trailing '/'.
    if (!Sys_getdcwd(fs.basePath, FS_MAX_BASE_PATH - 1)) {
        Com_Error(ER_FATAL, "FS_StartUp: Sys_getdcwd returned NULL");
        return;
    }
    Com_ConvertPath(fs.basePath);
    const size_t len = strlen(fs.basePath);
    if (len == 0 || fs.basePath[len - 1] != '/') strcat(fs.basePath, "/");
    Com_Printf("Current Path: \"" FS_C8 "%s" FS_C0 "\"", fs.basePath);
    fs.initialised = 1;
}

void FS_Init() {}

static void FS_FreePack(fsPack_t *pack) {
    while (pack->entries) {
        fsPackFile_t *next = pack->entries->next;
        Com_free(pack->entries);
        pack->entries = next;
    }
    Com_free(pack);
}

void FS_Shutdown() {
    // A stream on a pack entry cannot outlive the entry's record.
    for (fsOpenFile_t &slot : fs.slots)
        if (slot.inUse && slot.entry) FS_FreeSlot(&slot);
    while (fs.packs) {
        fsPack_t *next = fs.packs->next;
        FS_FreePack(fs.packs);
        fs.packs = next;
    }
    fs.packCount = 0;
}

void FS_SetPure(uint8_t pure) { fs.pure = pure; }
uint8_t FS_GetPure() { return fs.pure; }
int32_t FS_GetLastFOpenError() { return fs_lastOpenError; }

// ---- opening ----

// Kinds of file that pure mode still reads from disk, compared upper-case on the
// path's ending.
static constexpr const char *fs_pureDiskEndings[] = {
    ".CFG", ".TXT", ".JR2", ".WORLD", ".VO2", ".DISK.TGA", ".DISK.MATERIAL", ".SO", ".DLL",
};

static bool FS_DiskAllowed(const char *fullPath) {
    if (!fs.pure) return true;
    const size_t len = strlen(fullPath);
    for (const char *ending : fs_pureDiskEndings) {
        const size_t n = strlen(ending);
        if (len <= n) continue;
        size_t k = 0;
        while (k < n && Com_toupper(static_cast<unsigned char>(fullPath[len - n + k])) == ending[k]) k++;
        if (k == n) return true;
    }
    return false;
}

static fsPackFile_t *FS_FindPackEntry(const char *path) {
    const uint32_t hash = Com_GetNoobHash(path);
    for (fsPack_t *pack = fs.packs; pack; pack = pack->next)
        for (fsPackFile_t *entry = pack->entries; entry; entry = entry->next)
            if (entry->nameHash == hash && Com_strcmp(entry->name, path) == 0) return entry;
    return nullptr;
}

FILE *FS_fopen2(const char *path, const char *mode, int where, uint8_t force) {
    fs_lastOpenError = FS_ERR_NONE;
    if (strstr(path, "..") || strstr(path, "::")) {
        fs_lastOpenError = FS_ERR_BAD_PATH;
        return nullptr;
    }
    char full[FS_MAX_FULL_PATH];
    if (snprintf(full, sizeof full, "%s%s", fs.basePath, path) >= static_cast<int>(sizeof full))
        return nullptr;

    fsOpenFile_t *slot = FS_FindFreeOpenFile();
    if (!slot) return nullptr;

    if (strchr(mode, 'w') || strchr(mode, 'a')) {
        FILE *f = FS_OpenDisk(full, mode);
        if (!f) {
            fs_lastOpenError = FS_ERR_WRITE;
            return nullptr;
        }
        return FS_FillSlot(slot, full, f, nullptr);
    }

    if ((where & FS_DISK) && (force || FS_DiskAllowed(full))) {
        if (FILE *f = FS_OpenDisk(full, mode)) return FS_FillSlot(slot, full, f, nullptr);
    }

    if (where & FS_PACKS) {
        if (fsPackFile_t *entry = FS_FindPackEntry(path)) {
            FILE *f = FS_OpenDisk(entry->pack->path, "rb");
            if (!f) {
                Com_Error(ER_ERROR, "FS_fopen: Could not open pack \"%s\"", entry->pack->path);
                return nullptr;
            }
            if (fseek(f, static_cast<long>(entry->dataOffset), SEEK_SET) != 0) {
                fclose(f);
                return nullptr;
            }
            return FS_FillSlot(slot, path, f, entry);
        }
    }

    if (where & FS_DISK) {
        if (FILE *f = FS_OpenDisk(full, mode)) {
            fclose(f);
            fs_lastOpenError = FS_ERR_PURE;
        }
    }
    return nullptr;
}

FILE *FS_fopen(const char *path, const char *mode) { return FS_fopen2(path, mode, FS_ANYWHERE, 0); }

void FS_fclose(FILE *stream) {
    if (fsOpenFile_t *slot = FS_FindOpenFile(stream)) FS_FreeSlot(slot);
}

// ---- whole files ----

int32_t FS_ReadFile2(const char *path, void **out, int32_t extra, int where) {
    if (!out) {
        FILE *f = FS_fopen2(path, "rb", where, 1);
        if (!f) return 0;
        FS_fclose(f);
        return 1;
    }
    *out = nullptr;
    if (extra < 0) return -1;
    FILE *f = FS_fopen2(path, "rb", where, 0);
    if (!f) return -1;
    const fsOpenFile_t *slot = FS_FindOpenFile(f);
    const fsPackFile_t *entry = slot ? slot->entry : nullptr;

    const int64_t size = FS_FileSize(f);
    if (size < 0 || size + 1 + extra > MEM_MAX_REQUEST) {
        Com_Error(ER_ERROR, "FS_ReadFile: \"%s\" is too large", path);
        FS_fclose(f);
        return -1;
    }
    byte *buffer = static_cast<byte *>(Com_malloc(static_cast<uint32_t>(size + 1 + extra)));
    if (!buffer) {
        FS_fclose(f);
        return -1;
    }
    const int32_t got = FS_Read(buffer, static_cast<int32_t>(size), f);
    FS_fclose(f);

    if (entry && FS_GetCRC(buffer, got) != entry->crc) {
        // The pack changed on disk since it was loaded: refuse the data.
        Com_Error(ER_ERROR, "\"%s\" modified inside \"%s\"", path, entry->pack->path);
        Com_free(buffer);
        return -1;
    }
    memset(buffer + got, 0, static_cast<size_t>(size - got + extra + 1));
    *out = buffer;
    return got;
}

int32_t FS_ReadFile(const char *path, void **out) { return FS_ReadFile2(path, out, 0, FS_ANYWHERE); }

int32_t FS_ReadFile25K(const char *path, void **out) {
    return FS_ReadFile2(path, out, FS_EXTRA_25K, FS_ANYWHERE);
}

void FS_FreeFile(void *buffer) { Com_free(buffer); }

int32_t FS_WriteFile(const char *path, int32_t size, const void *data) {
    FILE *f = FS_fopen(path, "wb");
    if (!f) return -1;
    int32_t written = FS_Write(data, size, f);
    // A full disk may show only when the buffer goes out: such a file is not written.
    if (fflush(f) != 0) written = -1;
    FS_fclose(f);
    return written;
}

uint8_t FS_CopyFile(const char *destination, const char *source) {
    void *data;
    const int32_t size = FS_ReadFile(source, &data);
    if (size < 0) return 0;
    const int32_t written = FS_WriteFile(destination, size, data);
    FS_FreeFile(data);
    return written == size ? 1 : 0;
}

void FS_DeleteFile(const char *path) { remove(path); }

// ---- streams ----

int32_t FS_Read(void *destination, int32_t count, FILE *stream) {
    const fsOpenFile_t *slot = FS_FindOpenFile(stream);
    if (!slot || count <= 0) return 0;
    if (slot->entry) {
        const long pos = ftell(stream);
        const long end = static_cast<long>(slot->entry->dataOffset) + slot->entry->size;
        if (pos < static_cast<long>(slot->entry->dataOffset) || pos >= end) return 0;
        if (count > end - pos) count = static_cast<int32_t>(end - pos);
    }
    return static_cast<int32_t>(fread(destination, 1, static_cast<size_t>(count), stream));
}

int32_t FS_Write(const void *source, int32_t count, FILE *stream) {
    if (!FS_FindOpenFile(stream) || count <= 0) return 0;
    return static_cast<int32_t>(fwrite(source, 1, static_cast<size_t>(count), stream));
}

int32_t FS_WriteString(const char *text, FILE *stream) {
    return FS_Write(text, static_cast<int32_t>(strlen(text)), stream);
}

int32_t FS_ReadNaked(void *destination, int32_t count, FILE *stream) {
    if (count <= 0) return 0;
    return static_cast<int32_t>(fread(destination, 1, static_cast<size_t>(count), stream));
}

typedef int32_t (*fsReader_t)(void *destination, int32_t count, FILE *stream);

static int32_t FS_ReadLongWith(fsReader_t read, FILE *stream) {
    byte b[4] = {};
    read(b, sizeof b, stream);
    const byte *c = b;
    return Com_GrabLittleLong(&c);
}

static int16_t FS_ReadShortWith(fsReader_t read, FILE *stream) {
    byte b[2] = {};
    read(b, sizeof b, stream);
    const byte *c = b;
    return Com_GrabLittleShort(&c);
}

static uint8_t FS_ReadByteWith(fsReader_t read, FILE *stream) {
    byte b = 0;
    read(&b, 1, stream);
    return b;
}

int32_t FS_ReadLong(FILE *stream) { return FS_ReadLongWith(FS_Read, stream); }
int16_t FS_ReadShort(FILE *stream) { return FS_ReadShortWith(FS_Read, stream); }
uint8_t FS_ReadByte(FILE *stream) { return FS_ReadByteWith(FS_Read, stream); }
int32_t FS_ReadLongNaked(FILE *stream) { return FS_ReadLongWith(FS_ReadNaked, stream); }
int16_t FS_ReadShortNaked(FILE *stream) { return FS_ReadShortWith(FS_ReadNaked, stream); }
uint8_t FS_ReadByteNaked(FILE *stream) { return FS_ReadByteWith(FS_ReadNaked, stream); }

void FS_WriteLong(int32_t value, FILE *stream) {
    const uint32_t v = static_cast<uint32_t>(value);
    const byte b[4] = {static_cast<byte>(v), static_cast<byte>(v >> 8), static_cast<byte>(v >> 16),
                       static_cast<byte>(v >> 24)};
    FS_Write(b, sizeof b, stream);
}

void FS_WriteShort(int16_t value, FILE *stream) {
    const uint16_t v = static_cast<uint16_t>(value);
    const byte b[2] = {static_cast<byte>(v), static_cast<byte>(v >> 8)};
    FS_Write(b, sizeof b, stream);
}

void FS_WriteByte(uint8_t value, FILE *stream) { FS_Write(&value, 1, stream); }

int32_t FS_FileSize(FILE *stream) {
    if (!stream) return 0;
    const fsOpenFile_t *slot = FS_FindOpenFile(stream);
    if (!slot) return 0;
    if (slot->entry) return static_cast<int32_t>(slot->entry->size);
    const long pos = ftell(stream);
    fseek(stream, 0, SEEK_END);
    const long size = ftell(stream);
    fseek(stream, pos, SEEK_SET);
    return size > INT32_MAX ? -1 : static_cast<int32_t>(size);
}

int32_t FS_fseek(FILE *stream, int32_t offset, int origin) {
    const fsOpenFile_t *slot = FS_FindOpenFile(stream);
    if (!slot) return -1;
    if (origin != FS_SEEK_SET && origin != FS_SEEK_CUR && origin != FS_SEEK_END) {
        Com_Assert(false);
        return -1;
    }
    if (!slot->entry) {
        static constexpr int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
        return fseek(stream, offset, whence[origin]) == 0 ? 0 : -1;
    }
    // A pack entry is a window of the pack file; the position never leaves it.
    const int64_t start = slot->entry->dataOffset;
    const int64_t end = start + slot->entry->size;
    const int64_t base = origin == FS_SEEK_SET ? start : origin == FS_SEEK_CUR ? ftell(stream) : end;
    const int64_t target = base + offset;
    if (target < start || target > end) return -1;
    return fseek(stream, static_cast<long>(target), SEEK_SET) == 0 ? 0 : -1;
}

int32_t FS_ftell(FILE *stream) {
    if (!FS_FindOpenFile(stream)) return -1;
    return static_cast<int32_t>(ftell(stream));
}

bool FS_Eof(FILE *stream) {
    const fsOpenFile_t *slot = FS_FindOpenFile(stream);
    if (!slot) return true;
    if (slot->entry) {
        Com_Error(ER_DROP, "FS_Eof: Not supported for pack files");
        return true;
    }
    return feof(stream) != 0;
}

uint32_t FS_FileCheckSum(FILE *stream) {
    if (!FS_FindOpenFile(stream)) return 0;
    byte *chunk = static_cast<byte *>(Com_malloc(FS_CHECKSUM_CHUNK));
    if (!chunk) return 0;
    uint32_t sum = 0;
    FS_fseek(stream, 0, FS_SEEK_SET);
    for (int32_t n; (n = FS_Read(chunk, FS_CHECKSUM_CHUNK, stream)) > 0;) sum ^= Com_GetCRC(chunk, n);
    FS_fseek(stream, 0, FS_SEEK_SET);
    Com_free(chunk);
    return sum;
}

uint32_t FS_GetCRC(const void *data, int32_t length) {
    uLong crc = crc32(0, nullptr, 0);
    if (length > 0) crc = crc32(crc, static_cast<const Bytef *>(data), static_cast<uInt>(length));
    return static_cast<uint32_t>(crc);
}

// ---- finding files ----

int32_t FS_FindFiles(char *out, const char *pattern, int32_t stride, int32_t max) {
    if (stride < 1 || max < 1) return 0;
    int32_t count = Sys_FindFiles(out, pattern, stride, max);
    if (count >= max) return count;
    char dir[FS_MAX_FULL_PATH];
    Com_GetPath(dir, sizeof dir, pattern);
    for (const fsPack_t *pack = fs.packs; pack; pack = pack->next) {
        for (const fsPackFile_t *entry = pack->entries; entry; entry = entry->next) {
            if (Com_strcmpwc(pattern, entry->name) != 0) continue;
            char entryDir[FS_MAX_PATH];
            Com_GetPath(entryDir, sizeof entryDir, entry->name);
            if (Com_strcmp(entryDir, dir) != 0) continue;
            // Names are compared as they are listed, cut to the stride.
            char *slot = out + static_cast<size_t>(count) * stride;
            Com_strncpyz(slot, entry->name, stride);
            bool known = false;
            for (int32_t i = 0; i < count && !known; i++)
                known = Com_strcmp(out + static_cast<size_t>(i) * stride, slot) == 0;
            if (known) continue;
            if (++count == max) return count;
        }
    }
    return count;
}

// ---- pack loader ----

// Reads exactly n bytes at the current position.
static bool FS_ReadExact(FILE *f, void *out, size_t n) { return fread(out, 1, n, f) == n; }

static uint32_t FS_GrabU32(const byte **cursor) { return static_cast<uint32_t>(Com_GrabLittleLong(cursor)); }
static uint16_t FS_GrabU16(const byte **cursor) { return static_cast<uint16_t>(Com_GrabLittleShort(cursor)); }

// Reads the local file records of an open pack into its entry list.  Every size and
// offset is checked against the file's real size before it is used.  On failure
// why names the fault, and the entries read so far stay on the list for the caller
// to free.
static bool FS_ReadPackRecords(FILE *f, fsPack_t *pack, char *why, int whySize) {
    uint64_t pos = 0;
    const uint64_t fileSize = pack->fileSize;
    for (;;) {
        byte magic[4];
        if (fileSize - pos < sizeof magic || !FS_ReadExact(f, magic, sizeof magic)) {
            snprintf(why, static_cast<size_t>(whySize), "cut short at byte %llu",
                     static_cast<unsigned long long>(pos));
            return false;
        }
        pos += sizeof magic;
        const byte *cursor = magic;
        const uint32_t signature = FS_GrabU32(&cursor);
        if (signature == PACK_CENTRAL_MAGIC) return true;
        if (signature != PACK_LOCAL_MAGIC) {
            snprintf(why, static_cast<size_t>(whySize), "magic");
            return false;
        }

        byte h[PACK_LOCAL_HEADER];
        if (fileSize - pos < sizeof h || !FS_ReadExact(f, h, sizeof h)) {
            snprintf(why, static_cast<size_t>(whySize), "header cut short at byte %llu",
                     static_cast<unsigned long long>(pos));
            return false;
        }
        pos += sizeof h;
        cursor = h;
        const uint16_t version = FS_GrabU16(&cursor);
        const uint16_t flags = FS_GrabU16(&cursor);
        const uint16_t method = FS_GrabU16(&cursor);
        FS_GrabU32(&cursor);  // modification time and date
        const uint32_t crc = FS_GrabU32(&cursor);
        const uint32_t packedSize = FS_GrabU32(&cursor);
        const uint32_t size = FS_GrabU32(&cursor);
        const uint16_t nameLength = FS_GrabU16(&cursor);
        const uint16_t extraLength = FS_GrabU16(&cursor);

        if (nameLength > FS_MAX_ENTRY_NAME) {
            snprintf(why, static_cast<size_t>(whySize), "name too long: %d characters, at most %d",
                     nameLength, FS_MAX_ENTRY_NAME);
            return false;
        }
        char name[FS_MAX_PATH] = {};
        if (fileSize - pos < nameLength || !FS_ReadExact(f, name, nameLength)) {
            snprintf(why, static_cast<size_t>(whySize), "name cut short at byte %llu",
                     static_cast<unsigned long long>(pos));
            return false;
        }
        pos += nameLength;

        // The refusal says what the archiver wrote, so that whoever made the pack
        // knows which switch to change.
        char fault[48] = {};
        // A name cut at a zero byte would answer for another entry ("evil.cfg\0x"
        // served as "evil.cfg"), and an empty one for none.
        if (nameLength == 0)
            snprintf(fault, sizeof fault, "empty name");
        else if (memchr(name, 0, nameLength))
            snprintf(fault, sizeof fault, "zero byte in the name");
        else if (method != 0)
            snprintf(fault, sizeof fault, "compressed entry");
        else if (extraLength != 0)
            snprintf(fault, sizeof fault, "extra field");
        else if (flags != 0)
            snprintf(fault, sizeof fault, "flags 0x%04X set", flags);
        else if (version > PACK_MAX_VERSION)
            snprintf(fault, sizeof fault, "version %d.%d too new", version / 10, version % 10);
        else if (packedSize != size)
            snprintf(fault, sizeof fault, "stored and real sizes differ");
        else if (size > INT32_MAX)
            snprintf(fault, sizeof fault, "entry larger than 2 GB");
        else if (fileSize - pos < size)
            snprintf(fault, sizeof fault, "data past the end of the file");
        if (fault[0]) {
            snprintf(why, static_cast<size_t>(whySize), "%s \"%s\"", fault, name);
            return false;
        }
        if (size == 0) continue;  // a directory or an empty file

        fsPackFile_t *entry = static_cast<fsPackFile_t *>(Com_malloc(sizeof(fsPackFile_t)));
        if (!entry) {
            snprintf(why, static_cast<size_t>(whySize), "out of memory");
            return false;
        }
        *entry = fsPackFile_t{};
        memcpy(entry->name, name, sizeof entry->name);
        entry->nameHash = Com_GetNoobHash(entry->name);
        entry->dataOffset = static_cast<uint32_t>(pos);
        entry->size = size;
        entry->crc = crc;
        entry->pack = pack;
        entry->next = pack->entries;
        pack->entries = entry;
        pack->checksum ^= crc;
        pack->entryCount++;

        pos += size;
        if (fseek(f, static_cast<long>(pos), SEEK_SET) != 0) {
            snprintf(why, static_cast<size_t>(whySize), "seek failed at byte %llu",
                     static_cast<unsigned long long>(pos));
            return false;
        }
    }
}

// Loads one pack, relative to the working directory; a refused pack leaves no trace.
static bool FS_LoadPack(const char *path) {
    FILE *f = FS_OpenDisk(path, "rb");
    if (!f) {
        Com_Error(ER_ERROR, "FS_LoadPack: Could not load pack \"%s\"", path);
        return false;
    }
    char why[FS_MAX_PATH + 64] = {};
    fsPack_t *pack = static_cast<fsPack_t *>(Com_malloc(sizeof(fsPack_t)));
    if (!pack) {
        fclose(f);
        return false;
    }
    *pack = fsPack_t{};
    Com_strncpyz(pack->path, path, sizeof pack->path);
    bool ok = true;
    {
        fseek(f, 0, SEEK_END);
        const long size = ftell(f);
        fseek(f, 0, SEEK_SET);
        // Offsets in the records are 32-bit: a larger file cannot be a valid pack.
        ok = size >= 0 && static_cast<unsigned long>(size) <= UINT32_MAX;
        if (!ok) snprintf(why, sizeof why, "larger than 4 GB");
        pack->fileSize = static_cast<uint32_t>(size);
    }
    if (ok) ok = FS_ReadPackRecords(f, pack, why, sizeof why);
    fclose(f);

    if (!ok) {
        Com_Error(ER_ERROR, "FS_LoadPack2: %s corrupt file (%s)", path, why);
        Com_Error(ER_ERROR, "FS_LoadPack: Could not load pack \"%s\"", path);
        FS_FreePack(pack);
        return false;
    }
    pack->next = fs.packs;
    fs.packs = pack;
    fs.packCount++;
    Com_Printf("Loaded \"" FS_C8 "%s" FS_C0 "\" (cs: " FS_C8 "%08X" FS_C0 ") (" FS_C8 "%d" FS_C0
               " files)",
               pack->path, pack->checksum, pack->entryCount);
    qbase.packChecksum ^= pack->checksum;
    return true;
}

static bool FS_IsPackLoaded(const char *path) {
    for (const fsPack_t *pack = fs.packs; pack; pack = pack->next)
        if (Com_strcmp(pack->path, path) == 0) return true;
    return false;
}

uint8_t FS_LoadPackBatch(const char *name) {
    if (!fs.initialised) {
        Com_Error(ER_FATAL, "FS_LoadPack: File system must be initialized before FS_LoadPack is used");
        return 0;
    }
    const uint32_t start = Base_Time();
    int loaded = 0;
    bool all = true;
    for (int i = 0; i < FS_PACK_BATCH; i++) {
        char path[FS_MAX_PATH];
        const int n = i == 0 ? snprintf(path, sizeof path, "%s.pack", name)
                             : snprintf(path, sizeof path, "%s%d.pack", name, i);
        if (n >= static_cast<int>(sizeof path)) {
            Com_Error(ER_ERROR, "FS_LoadPack: pack name \"%s\" too long", name);
            return 0;
        }
        if (!FS_ReadFile2(path, nullptr, 0, FS_ANYWHERE)) continue;
        // Loading a pack twice would cancel its checksum out of the engine's.
        if (FS_IsPackLoaded(path)) continue;
        if (FS_LoadPack(path))
            loaded++;
        else
            all = false;
    }
    Com_Printf("Loaded " FS_C8 "%d" FS_C0 " packs in " FS_C8 "%d" FS_C0 " ms", loaded,
               static_cast<int>(Base_Time() - start));
    return all ? 1 : 0;
}

// ---- console commands ----

void FS_PackList_f() {
    Com_Printf("............. Pack Stack .............");
    for (const fsPack_t *pack = fs.packs; pack; pack = pack->next)
        Com_Printf("    \"" FS_C8 "%s" FS_C0 "\" files: " FS_C8 "%d" FS_C0 " size: " FS_C8 "%d" FS_C0
                   " kB",
                   pack->path, pack->entryCount, static_cast<int>(pack->fileSize / 1000));
    Com_Printf("............. %d Packs Loaded .............", fs.packCount);
}

void FS_PackInfo_f() {
    if (Cmd_Argc() != 2) {
        Com_Printf("USAGE: packinfo <pack name>");
        return;
    }
    const char *word = Cmd_Argv(1);
    for (const fsPack_t *pack = fs.packs; pack; pack = pack->next) {
        if (!strstr(pack->path, word)) continue;
        Com_Printf("............. %s .............", pack->path);
        for (const fsPackFile_t *entry = pack->entries; entry; entry = entry->next)
            Com_Printf("    %s \"" FS_C8 "%s" FS_C0 "\" size: " FS_C8 "%d" FS_C0 " kB",
                       entry->opened ? "  " : "UT", entry->name,
                       static_cast<int>(entry->size / 1000));
        Com_Printf("............. %d files .............", pack->entryCount);
        return;
    }
    Com_Error(ER_ERROR, "Could not find pack \"%s\"", word);
}

void FS_OpenFileList_f() {
    for (int i = 0; i < FS_MAX_OPEN_FILES; i++)
        if (fs.slots[i].inUse)
            Com_Printf("    " FS_C8 "%d" FS_C0 ": \"" FS_C8 "%s" FS_C0 "\"", i, fs.slots[i].path);
    Com_Printf("Count: " FS_C8 "%d" FS_C0 " Watermark: " FS_C8 "%d" FS_C0, fs.openCount,
               fs.watermark);
}

void FS_Imp() {
    Cmd_CreateFunction("packlist", FS_PackList_f, 0);
    Cmd_CreateFunction("packinfo", FS_PackInfo_f, 0);
    Cmd_CreateFunction("openfilelist", FS_OpenFileList_f, 0);
}
