#include "FWUpdateResources.h"

#include <QtGlobal>

void RegisterFWUpdateResources()
{
    Q_INIT_RESOURCE(OrvoFWUpdate);
}
