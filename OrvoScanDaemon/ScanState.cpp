#include "ScanState.h"

#include "ScanLog.h"

volatile sig_atomic_t flag = 1;
volatile pid_t dataProcPid = 0;
int filename_index = 0;

void handler(int sig)
{
    OrvoLogInfo("[OrvoScanSDK] I got a signal %d\nI'm quitting.\n", sig);
    flag = 0;
}
