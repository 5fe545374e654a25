// Numbers as the simulator's control words and the reply tool read them.
#pragma once

#include <string>
#include <vector>

// Decimal, or hexadecimal after "0x"; no sign, nothing after the digits, no overflow.
bool ParseNumber(const std::string &s, unsigned long &v);
// Comma-separated numbers, each at most max; an empty text is an empty list.
bool ParseNumberList(const std::string &s, unsigned long max, std::vector<unsigned long> &out);
