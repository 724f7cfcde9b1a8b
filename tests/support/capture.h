// Print and error sinks that keep what the code under test says, for the tests to
// look through.  One store for the whole test program: a test starts it empty.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "common/com_print.h"

namespace hm_test {

struct errorRecord_t {
    int level;  // the error level the code raised
    std::string text;
    bool operator==(const errorRecord_t &) const = default;
};
// How a failing expectation shows a record.
inline void PrintTo(const errorRecord_t &e, std::ostream *os) { *os << e.level << ": " << e.text; }

struct capture_t {
    std::vector<std::string> prints;     // normal prints, and developer prints unless kept apart
    std::vector<std::string> devPrints;  // developer prints, when CaptureDevPrint is their sink
    std::vector<errorRecord_t> errors;
    int errorAnswer = 0;  // what the error sink answers
};
inline capture_t captured;

inline void CapturePrint(const char *text) { captured.prints.emplace_back(text); }
inline void CaptureDevPrint(const char *text) { captured.devPrints.emplace_back(text); }
// Keeps the error and answers errorAnswer (0 unless a test sets it: the caller goes
// on as after a handled error).
inline int CaptureError(int level, const char *text) {
    captured.errors.push_back({level, text});
    return captured.errorAnswer;
}

// Empties the store and points both print sinks and the error sink at it.
inline void StartCapture() {
    captured = capture_t{};
    Com_SetupPrintf(PRF_SINKS, CapturePrint, CapturePrint);
    Com_SetupError(CaptureError);
}
// Silent prints and the default error handling again.
inline void StopCapture() {
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(nullptr);
}

// Every print joined as it would stand on the console.
inline std::string PrintedText() {
    std::string all;
    for (const std::string &p : captured.prints) all += p;
    return all;
}
// True when a print holds part.
inline bool Printed(const std::string &part) {
    for (const std::string &p : captured.prints)
        if (p.find(part) != std::string::npos) return true;
    return false;
}
// True when an error of any level holds part.
inline bool Reported(const std::string &part) {
    for (const errorRecord_t &e : captured.errors)
        if (e.text.find(part) != std::string::npos) return true;
    return false;
}
// True when an error of that level holds part.
inline bool Reported(int level, const std::string &part) {
    for (const errorRecord_t &e : captured.errors)
        if (e.level == level && e.text.find(part) != std::string::npos) return true;
    return false;
}
// Every error as "level: text" lines, for a failing expectation's message.
inline std::string AllErrors() {
    std::string all;
    for (const errorRecord_t &e : captured.errors) all += std::to_string(e.level) + ": " + e.text + "\n";
    return all;
}

}  // namespace hm_test
