// Small helpers shared by the scan daemon's end-to-end tests: checks, the simulator's
// control socket, waiting on observable progress, files.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

extern std::atomic<int> g_iScanFailures;

#define SCAN_CHECK(cond)                                                    \
    do {                                                                    \
        if (!(cond)) {                                                      \
            ++g_iScanFailures;                                              \
            fprintf(stderr, "FAIL %s:%d: %s\n", __FILE__, __LINE__, #cond); \
        }                                                                   \
    } while (0)

#define SCAN_CHECK_EQ(a, b)                                                                      \
    do {                                                                                         \
        const auto va_ = (a);                                                                    \
        const auto vb_ = (b);                                                                    \
        if (!(va_ == vb_)) {                                                                     \
            ++g_iScanFailures;                                                                   \
            fprintf(stderr, "FAIL %s:%d: %s == %s (%lld vs %lld)\n", __FILE__, __LINE__, #a, #b, \
                    (long long)va_, (long long)vb_);                                             \
        }                                                                                        \
    } while (0)

// Checks that the file holds exactly the bytes; a failure says how it differs.
#define SCAN_CHECK_FILE(path, want)                                                         \
    do {                                                                                    \
        const std::string d_ = FileDiff((path), (want));                                    \
        if (!d_.empty()) {                                                                  \
            ++g_iScanFailures;                                                              \
            fprintf(stderr, "FAIL %s:%d: %s: %s\n", __FILE__, __LINE__, #path, d_.c_str()); \
        }                                                                                   \
    } while (0)

// The simulator's control socket (set once); one command per call.
void SimSetSocket(const std::string &path);
bool SimCtl(const std::string &cmd, std::string *data = nullptr);
std::string SimGet(const std::string &cmd);  // the data lines, trailing newline removed

// Polls the condition every 20 ms until it holds or the (generous) limit passes.
bool WaitUntil(const std::function<bool()> &cond, int limitMs = 30000);

bool ReadFile(const std::string &path, std::vector<unsigned char> &out);
bool FileExists(const std::string &path);
// Empty when the file holds exactly the bytes; otherwise what differs: the file is missing,
// or its size and the first differing offset.
std::string FileDiff(const std::string &path, const std::vector<unsigned char> &want);
std::string ReadText(const std::string &path);
// Number of lines of the file (of the text) that contain the text.
int CountLines(const std::string &path, const std::string &text);
int CountLinesIn(const std::string &content, const std::string &text);
// Hex text (as the simulator prints it) to bytes.
std::vector<unsigned char> FromHexText(const std::string &hex);
