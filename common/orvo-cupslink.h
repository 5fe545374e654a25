// The calling thread's connection to the scheduler, shared by the queries and the event
// subscription: every request bounded in time, outages and refusals logged once.
#pragma once
#include <cups/cups.h>

// Sends the request (and frees it) to the resource, e.g. "/". Returns the reply when its
// status is a success, else null; status (when given) receives the reply's status, or
// IPP_STATUS_ERROR_SERVICE_UNAVAILABLE when the scheduler could not be reached or gave no
// whole reply in time.
ipp_t *CupsSend(ipp_t *request, const char *resource, ipp_status_t *status);
