// The process's one client of the scheduler, shared by every thread's queries and the event
// subscription: at most c_iCupsClientLinks connections, requests answered in the order they
// were asked, every request bounded in time, outages and refusals logged once.
#pragma once
#include <cups/cups.h>

// Sends the request (and frees it) to the resource, e.g. "/". Returns the reply when its
// status is a success, else null; status (when given) receives the reply's status, or
// IPP_STATUS_ERROR_SERVICE_UNAVAILABLE when the scheduler could not be reached or gave no
// whole reply in time.
ipp_t *CupsSend(ipp_t *request, const char *resource, ipp_status_t *status);

constexpr int c_iCupsClientLinks = 2;

struct stCupsClientCounts {
    long iConnects = 0;  // connections made so far
    long iOpen = 0;  // connections open now
    long iQueued = 0;  // requests that waited for a connection
    long iFailures = 0;  // times the scheduler was found unreachable
};
stCupsClientCounts CupsClientCounts();
