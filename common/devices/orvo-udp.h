// Maintenance datagrams to a network printer (UDP port 9300).
#pragma once
#include <QString>

// Sends one datagram to port 9300 of the address (read as ParseIPv4Address reads a queue's
// host) and waits up to 2 s for one reply.
// Returns 0 once the datagram went out (recvSize: the reply's length, -1 when none came),
// -1 not an address, -2 no socket, -3 not sent completely, -4 no receive time-out.
int UDPSendRecvData(const QString &address, const unsigned char *send, int sendLen, unsigned char *recv, int recvCap,
                    int &recvSize);
