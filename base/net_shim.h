// Stand-ins for the engine clock, the random helpers and the file writer that the
// transport uses, until the start-up code, the maths helpers and the file system
// provide them; removed then.
#pragma once

#include <cstdint>

uint32_t Base_Time();
float Com_frand();
int32_t FS_WriteFile(const char *path, int32_t size, const void *data);
