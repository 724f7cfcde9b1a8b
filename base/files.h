// File system: every file the engine and the game module read or write.
//
// Files live under one base directory, as plain files on disk or as entries of pack
// files: ZIP archives whose entries are all stored uncompressed.  Reading looks on
// disk first, then in the packs, the last loaded pack first; in pure mode only a few
// kinds of file may come from disk.  An open file holds one of a fixed number of
// slots, and the handle callers get is the slot's stdio stream.
//
// Pack files come from outside: every offset and size in them is checked against
// the file's real size, and a damaged pack is refused whole, naming the file, while
// the other packs and the loose files stay usable.
#pragma once

#include <cstdint>
#include <cstdio>

#include "common/common.h"

constexpr int FS_MAX_OPEN_FILES = 24;     // slots
constexpr int FS_MAX_BASE_PATH = 2048;    // base path, with its zero
constexpr int FS_MAX_PATH = 256;          // pack paths, entry names and slot paths, with zero
constexpr int FS_MAX_ENTRY_NAME = 254;    // characters of an entry name inside a pack
constexpr int FS_MAX_FULL_PATH = 4096;    // base path and relative path together, with zero
constexpr int FS_PACK_BATCH = 100;        // numbers tried by FS_LoadPackBatch: 0 to 99
constexpr int FS_EXTRA_25K = 25000;       // zero bytes behind the data of FS_ReadFile25K
constexpr int FS_CHECKSUM_CHUNK = 1048576;  // bytes per CRC of FS_FileCheckSum

// Where an open may look.
enum fsWhere_t : int {
    FS_DISK = 1,
    FS_PACKS = 2,
    FS_ANYWHERE = FS_DISK | FS_PACKS,
};

// Reason of the last failed open.
enum fsOpenError_t : int32_t {
    FS_ERR_NONE = 0,      // none, or not found
    FS_ERR_BAD_PATH = 1,  // the path holds ".." or "::"
    FS_ERR_WRITE = 2,     // could not be opened for writing
    FS_ERR_PURE = 3,      // on disk, but pure mode refuses it
};

// Origins of FS_fseek.
enum fsOrigin_t : int {
    FS_SEEK_SET = 0,
    FS_SEEK_CUR = 1,
    FS_SEEK_END = 2,
};

struct fsPack_t;

// One stored entry of a pack.
struct fsPackFile_t {
    fsPackFile_t *next;       // the entry stored before this one
    char name[FS_MAX_PATH];   // as stored in the archive
    uint32_t nameHash;        // Com_GetNoobHash of the name
    uint32_t dataOffset;      // byte position of the data in the pack file
    uint32_t size;            // bytes of data, 1 to INT32_MAX
    uint32_t crc;             // CRC-32 from the local header
    uint8_t opened;           // set the first time the entry is opened
    fsPack_t *pack;           // owner
};

// One loaded pack file.
struct fsPack_t {
    fsPack_t *next;           // the pack loaded before this one
    char path[FS_MAX_PATH];   // relative to the working directory
    uint32_t fileSize;
    uint32_t checksum;        // XOR of the entries' CRC-32 values
    int32_t entryCount;
    fsPackFile_t *entries;    // the last entry of the file first
};

// One open-file slot.
struct fsOpenFile_t {
    uint8_t inUse;
    char path[FS_MAX_PATH];   // the full disk path (cut), or the entry name
    FILE *stream;             // also the caller's handle
    fsPackFile_t *entry;      // null for a disk file
};

// The file system's state.
struct fs_t {
    uint8_t initialised;
    uint8_t pure;
    char basePath[FS_MAX_BASE_PATH];  // '/' separators, trailing '/'
    int32_t packCount;
    fsPack_t *packs;                  // the last loaded first
    int32_t watermark;                // most slots ever open at once
    int32_t openCount;
    fsOpenFile_t slots[FS_MAX_OPEN_FILES];
};

extern fs_t fs;

// ---- life cycle ----

// Clears the state, changes into baseDir when given and takes the working
// directory as the base path.
void FS_StartUp(const char *baseDir);
// Declares the console commands packlist, packinfo and openfilelist.
void FS_Imp();
// Nothing to do: FS_StartUp has done it all.
void FS_Init();
// Frees every pack; disk files stay open, pack entries are closed with their packs.
void FS_Shutdown();

// Pure mode: only the kinds of file a server cannot check come from disk.
void FS_SetPure(uint8_t pure);
uint8_t FS_GetPure();
// The fsOpenError_t of the last failed open.
int32_t FS_GetLastFOpenError();

// ---- packs ----

// Loads name.pack, name1.pack ... name99.pack that exist and XORs each pack's
// checksum into the engine's data-pack checksum; a pack already loaded is skipped,
// a damaged one is refused and the walk goes on.  1 when every pack found loaded.
uint8_t FS_LoadPackBatch(const char *name);

// ---- opening, closing, whole files ----

// Opens a path relative to the base directory; where is fsWhere_t; force reads from
// disk even in pure mode.  Writes ("w" or "a" in mode) always go to disk.  The stream,
// or null with the reason in FS_GetLastFOpenError.
FILE *FS_fopen2(const char *path, const char *mode, int where, uint8_t force);
// FS_fopen2 anywhere, pure mode respected.
FILE *FS_fopen(const char *path, const char *mode);
// Frees the slot and closes the stream.
void FS_fclose(FILE *stream);

// Reads a whole file into a new buffer with extra + 1 zero bytes behind the data and
// returns its size; -1 when it cannot be read (*out is then null).  A null out only
// tests existence, pure mode aside: 1 found, 0 not.  Pack entries are checked
// against their CRC-32.
int32_t FS_ReadFile2(const char *path, void **out, int32_t extra, int where);
// FS_ReadFile2 anywhere, with no extra bytes.
int32_t FS_ReadFile(const char *path, void **out);
// FS_ReadFile2 anywhere, with FS_EXTRA_25K extra zero bytes.
int32_t FS_ReadFile25K(const char *path, void **out);
// Frees a buffer of FS_ReadFile2; null is ignored.
void FS_FreeFile(void *buffer);
// Writes size bytes to a new disk file; the count written, -1 when it cannot be
// opened or its bytes could not all reach the disk.
int32_t FS_WriteFile(const char *path, int32_t size, const void *data);
// Copies a file whole to a disk file; 1 when every byte was written.
uint8_t FS_CopyFile(const char *destination, const char *source);
// Removes a disk file, the path taken as given.
void FS_DeleteFile(const char *path);

// ---- streams ----

// Reads up to count bytes; a pack entry's read stops at the entry's end.
int32_t FS_Read(void *destination, int32_t count, FILE *stream);
// Writes count bytes; the count written.
int32_t FS_Write(const void *source, int32_t count, FILE *stream);
// Writes the text without its zero.
int32_t FS_WriteString(const char *text, FILE *stream);
// Little-endian values; missing bytes read as 0.
int32_t FS_ReadLong(FILE *stream);
int16_t FS_ReadShort(FILE *stream);
uint8_t FS_ReadByte(FILE *stream);
// The same on any stream, with no slot bookkeeping.
int32_t FS_ReadNaked(void *destination, int32_t count, FILE *stream);
int32_t FS_ReadLongNaked(FILE *stream);
int16_t FS_ReadShortNaked(FILE *stream);
uint8_t FS_ReadByteNaked(FILE *stream);
// Little-endian values.
void FS_WriteLong(int32_t value, FILE *stream);
void FS_WriteShort(int16_t value, FILE *stream);
void FS_WriteByte(uint8_t value, FILE *stream);

// 0 for null; the entry's size, or the disk file's length with the position kept.
int32_t FS_FileSize(FILE *stream);
// origin is fsOrigin_t; a pack entry's position stays inside the entry.  0 or -1.
int32_t FS_fseek(FILE *stream, int32_t offset, int origin);
// The position in the underlying file (inside the pack file for an entry).
int32_t FS_ftell(FILE *stream);
// End of a disk file; not supported on pack entries.
bool FS_Eof(FILE *stream);
// XOR of Com_GetCRC over every FS_CHECKSUM_CHUNK bytes of the whole file; rewinds it.
uint32_t FS_FileCheckSum(FILE *stream);

// CRC-32 of the data.
uint32_t FS_GetCRC(const void *data, int32_t length);

// Fills max names of stride bytes each (cut to stride - 1 characters) that match the
// pattern ('*' for any run) in the pattern's directory; the count.
int32_t FS_FindFiles(char *out, const char *pattern, int32_t stride, int32_t max);

// ---- console commands ----

// packlist: every loaded pack, the last loaded first.
void FS_PackList_f();
// packinfo <part of a pack's path>: the entries of the first pack that matches.
void FS_PackInfo_f();
// openfilelist: the slots in use, the count and the watermark.
void FS_OpenFileList_f();
