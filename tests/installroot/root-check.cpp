// Prints the paths the programs build from the install root, as the shared code makes them.
#include "orvo-paths.h"
#include "orvo-scanproto.h"
#include <cstdio>

int main()
{
    printf("root %s\n", qPrintable(OrvoRootPath()));
    printf("status %s\n", qPrintable(StatusFilePath("Q")));
    printf("bin %s\n", qPrintable(OrvoBinPath()));
    printf("scan %s\n", ORVO_SCAN_DIR);
    return 0;
}
