// One pass of each printing-side parser over an input, with the properties every result
// must have whatever the input: shared by the libFuzzer targets and the suite's bounded pass.
#pragma once
#include "fuzz-input.h"
#include "RemoverListing.h"
#include "orvo-driver.h"
#include "orvo-models.h"
#include "orvo-printerlist.h"
#include "orvo-registry.h"

#include <cstdlib>

// Fails loudly (libFuzzer and the test both see the abort) when a property does not hold.
#define FUZZ_CHECK(cond) ((cond) ? void(0) : abort())

inline void FuzzPrintersConf(const QByteArray &bytes)
{
    for (const stPrinterInfo &info : ParsePrintersConf(FuzzInputFile(bytes), false)) {
        // Only queues with a name and a device URI are listed, USB or network ones.
        FUZZ_CHECK(!info.strPrinterName.isEmpty() && !info.strDeviceURI.isEmpty());
        FUZZ_CHECK(info.iConnectType == CONNECT_USB || info.iConnectType == CONNECT_NET);
        FUZZ_CHECK(info.strDeviceURI.contains(info.strPort));
    }
}

inline void FuzzPpdModel(const QByteArray &bytes)
{
    QString model;
    if (CheckPPDModel(FuzzInputFile(bytes), model)) {
        bool known = false;
        for (const stModelInfo &m : c_stModelInfoList)
            known = known || model.compare(m.strModelName, Qt::CaseInsensitive) == 0;
        FUZZ_CHECK(known);
    }
}

inline void FuzzPrinterList(const QByteArray &bytes)
{
    // The count is never believed beyond the groups present: no more records than the ways a
    // group can arise (a "[...]" header, a "group/key" path, a %-escaped name).
    const QList<stPrinterInfo> list = ReadPrinterInfoFrom(FuzzInputFile(bytes));
    FUZZ_CHECK(list.size() <= bytes.count('[') + bytes.count('/') + bytes.count('%'));
}

inline void FuzzRemoverListing(const QByteArray &bytes)
{
    for (const QByteArray &line : bytes.split('\n')) {
        const QString text = QString::fromUtf8(line);
        const QString name = ListingQueueName(text);
        // The name is a part of the line, never more.
        FUZZ_CHECK(name.size() <= text.size());
    }
}
