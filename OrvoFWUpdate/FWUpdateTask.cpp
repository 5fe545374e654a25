#include "FWUpdateTask.h"
#include "orvo-log.h"

#include <algorithm>

#define FW_USB_LOG(...) WriteStringLog(c_szFWUsbLogSource, __LINE__, "FWUpdateTask", __VA_ARGS__)

int FWUpdateTask(int iVendorID, int iProductID, const QString &strPort, const unsigned char *pImage, int iLength,
                 unsigned int uiChunkTimeoutMs, const FWProgressFn &fnProgress)
{
    stUsbExchange ex;
    int iResult = OpenUsbExchange(iVendorID, iProductID, strPort, ex, "FWUpdateTask");
    if (iResult == USB_INIT_FAILED)
        return USB_INIT_FAILED;
    if (iResult == USB_OK) {
        int iOffset = 0;
        int iRemaining = iLength;
        int iWritten = 0;
        while (iRemaining > 0) {
            const int iChunk = std::min(iRemaining, c_iFWChunkSize);
            iWritten = 0;
            // libusb takes a mutable buffer for every direction; an OUT transfer only reads it.
            const int rv = libusb_bulk_transfer(ex.pHandle, ex.stUser.bOutEndpointAddress,
                                                const_cast<unsigned char *>(pImage + iOffset), iChunk, &iWritten,
                                                uiChunkTimeoutMs);
            if (rv < 0 || iWritten != iChunk) {
                FW_USB_LOG("*** bulk_transfer failed! \n");
                ex.iErrorCode = rv < 0 ? rv : 0;  // a short write has no error name
                iResult = c_iFWStreamFailed;
                break;
            }
            iOffset += iWritten;
            iRemaining -= iWritten;
            if (fnProgress)
                fnProgress(iOffset);
        }
        FW_USB_LOG("*** length = %d \n", iWritten);
    }
    CloseUsbExchange(ex, "FWUpdateTask");
    return iResult;
}
