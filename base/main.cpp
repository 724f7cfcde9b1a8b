// Process entry of the engine.
#include <cstdio>

#include "common/common.h"

int main(int argc, char **argv) {
    (void)argc;
    (void)argv;
    setvbuf(stdout, nullptr, _IOLBF, 0);
    Com_InitMem();
    Com_InitByteOrder();
    Com_SetupPrintf(PRF_STDOUT_LF, nullptr, nullptr);
    Com_Printf("Hollowmere engine: the engine base is not built yet");
    return 1;
}
