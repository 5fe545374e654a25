// A queue's network address as the scheduler reads it. CUPS's socket backend resolves the
// host of a device URI with getaddrinfo, so every program that talks to the printer behind
// that queue reads the text the same way: "192.168.001.010" is 192.168.1.8 (octal parts),
// "127.1" is 127.0.0.1; host names are not looked up.
#pragma once
#include <netinet/in.h>
#include <string>

// True, with the address in addr, when the whole text is an IPv4 address in one of the
// numeric forms getaddrinfo accepts with AI_NUMERICHOST; false for anything else (names,
// empty text, trailing characters, parts out of range).
bool ParseIPv4Address(const std::string &text, in_addr &addr);

// The address in dotted decimal, for log lines.
std::string IPv4AddressText(const in_addr &addr);
