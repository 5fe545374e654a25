// One pass of each printing-side parser over an input, with the properties every result
// must have whatever the input: shared by the libFuzzer targets and the suite's bounded pass.
#pragma once
#include "fuzz-input.h"
#include "RemoverListing.h"
#include "UtilPrinterStatus.h"
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

inline void FuzzStatusFile(const QByteArray &bytes)
{
    // The reader gives exactly what the reply parser gives for the bytes it takes in.
    const QByteArray head = bytes.left(int(c_iStatusFileMaxSize));
    UtilPrinterStatus direct;
    const bool parsed = direct.parseRecvBuf(reinterpret_cast<const unsigned char *>(head.constData()),
                                            (unsigned long)head.size());
    stPrinterState state;
    state.iFailCount = 3;  // what a reader carries between reads; a failed read keeps it
    const bool read = ParseStatusFile(FuzzInputFile(bytes), state);
    FUZZ_CHECK(read == parsed);
    if (!read) {
        FUZZ_CHECK(state.iFailCount == 3 && state.enCurrentStatus == PS_OFFLINE && state.strVenderName.isEmpty());
        return;
    }
    stPrinterState expected;
    FillPrinterState(direct, expected);
    FUZZ_CHECK(!CheckStatusChange(state, expected) && state.strFWVersion == expected.strFWVersion);
    FUZZ_CHECK(state.iFailCount == 0);
    // Texts are cut to what their buffers hold; every code maps into the known range.
    FUZZ_CHECK(state.strVenderName.size() < int(c_dwNameTextSize) && state.strPrinterSerialNumber.size() < int(c_dwNameTextSize));
    FUZZ_CHECK(state.strFWVersion.size() < int(c_dwVersionTextSize) && state.strSupplySerialNumber.size() < int(c_dwSupplyTextSize));
    FUZZ_CHECK(state.listError.size() <= 255 && state.listWarning.size() <= 255);
    for (const QList<enErrorStatus> *list : {&state.listError, &state.listWarning})
        for (enErrorStatus e : *list)
            FUZZ_CHECK(e >= ES_UNKNOWN && e <= ES_LAST);
    FUZZ_CHECK(state.enCurrentStatus >= PS_UNKNOWN && state.enCurrentStatus <= PS_DEBUG);
}
