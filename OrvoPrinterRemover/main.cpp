// The removal helper: deletes every CUPS queue that uses one of the maker's drivers.
// Nothing is reported; the exit status is 0 whatever happened.
#include "DeletePrinter.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    DeletePrinter();
    return 0;
}
