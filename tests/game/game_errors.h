// An error sink for the game module's tests: every report is kept for the test to read.
#pragma once

#include <string>
#include <vector>

struct reportedError_t {
    int level;
    std::string text;
};

inline std::vector<reportedError_t> reportedErrors;

// Keeps the report and returns like a sink whose non-fatal levels go on.
inline int KeepError(int level, const char *text) {
    reportedErrors.push_back({level, text});
    return 0;
}
