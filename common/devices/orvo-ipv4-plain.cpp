#include "orvo-ipv4-plain.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cstring>

bool ParseIPv4Address(const std::string &text, in_addr &addr)
{
    // A NUL would end the text early for the C library and let trailing bytes through.
    if (text.empty() || text.find('\0') != std::string::npos)
        return false;
    addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo *found = nullptr;
    if (getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    const bool ok = found->ai_family == AF_INET && found->ai_addrlen >= sizeof(sockaddr_in);
    if (ok)
        addr = reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return ok;
}

std::string IPv4AddressText(const in_addr &addr)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr, text, sizeof text);
    return text;
}
