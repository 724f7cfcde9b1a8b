// Stand-in for the engine base state until the start-up code provides it; removed then.
#pragma once

#include <cstdint>

struct qbase_t {
    uint8_t initialised;
    uint8_t shuttingDown;
    uint8_t quietConsole;
    uint8_t developer;
    uint8_t windowInactive;
    uint8_t newerVersion;
    uint8_t clientRunning;
    uint8_t serverRunning;
    uint8_t rendererRunning;
};

extern qbase_t qbase;
void Base_PanicShutdown();
void Base_Shutdown();
int Base_GetParam(const char *text);
