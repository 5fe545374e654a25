// Head cleaning and print-head alignment commands (start byte 0xA5, then the big-endian
// count of the bytes that follow).
#pragma once

constexpr int c_iCleanFirstLen = 10;
constexpr int c_iCleanRepeatLen = 11;
constexpr int c_iAlignmentPrintLen = 10;
constexpr int c_iAlignmentFinishLen = 47;
constexpr int c_iAlignmentRows = 9;

extern const unsigned char c_ucCleanFirst[c_iCleanFirstLen];
extern const unsigned char c_ucCleanRepeat[c_iCleanRepeatLen];
extern const unsigned char c_ucAlignmentPrint[c_iAlignmentPrintLen];

// The value range of alignment row 1 … 9 (row #1 is twice as wide as the others).
int AlignmentMin(int row);
int AlignmentMax(int row);

// Builds the 47-byte finish command from the nine chosen values (rows #1 … #9).
void BuildAlignmentFinish(const int values[c_iAlignmentRows], unsigned char out[c_iAlignmentFinishLen]);
// The value as sent for row 1 … 9: × 8, row #9 × 512.
int AlignmentScaled(int row, int value);
