// Turns a page file's bytes, fed as they arrive, into the lines the front end asked for:
// RAW pages (rows as the scanner sends them) and JPEG pages (decoded with libjpeg, which
// is suspended while the rest of the page has not arrived yet).
#pragma once
#include "orvo-sane-options.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

enum enOrvoPageKind { PAGE_UNKNOWN = 0,
                      PAGE_RAW,
                      PAGE_JPEG };

struct stOrvoJpeg;  // libjpeg's state, kept out of this header

struct stOrvoPage {
    stOrvoGeometry geo;  // the output; a JPEG page sets pixels and lines from its header
    bool bRawOnly = false;  // pages of USB scanners are always RAW
    int iRawStride = 0;  // bytes of one row as the scanner sends it
    enOrvoPageKind kind = PAGE_UNKNOWN;
    bool bInputComplete = false;  // every byte of the page has been fed
    bool bFailed = false;  // the page cannot be decoded
    int iLinesOut = 0;  // output lines produced so far
    int64_t iBytesIn = 0;  // input bytes fed so far

    std::vector<uint8_t> in;  // input not yet consumed, from inPos
    size_t inPos = 0;
    std::vector<uint8_t> out;  // output not yet taken, from outPos
    size_t outPos = 0;
    std::shared_ptr<stOrvoJpeg> jpeg;
};

void OrvoPageInit(stOrvoPage &page, const stOrvoGeometry &geo, bool bRawOnly);
void OrvoPageFeed(stOrvoPage &page, const uint8_t *data, size_t len);
// Marks the end of the page's input: a short page is then filled up with white lines.
void OrvoPageEnd(stOrvoPage &page);
// Decodes what the fed input allows. False when the page cannot be decoded.
bool OrvoPageProduce(stOrvoPage &page);
// True once the output's size is known (a JPEG page's header has been read).
bool OrvoPageReady(const stOrvoPage &page);
// Copies up to max output bytes; returns how many.
size_t OrvoPageTake(stOrvoPage &page, uint8_t *dst, size_t max);
// Every output line has been produced and taken.
bool OrvoPageDone(const stOrvoPage &page);
