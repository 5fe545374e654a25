#include "UtilPrinterStatus.h"
#include <QFile>
#include <cstring>

namespace {

// Read position inside one response; every read checks the remaining length first.
struct stCursor {
    const unsigned char *pBuf;
    unsigned long dwLen;
    unsigned long dwPos;
};

bool Fits(const stCursor &cur, unsigned long n)
{
    return n <= cur.dwLen - cur.dwPos;
}

bool ReadByte(stCursor &cur, unsigned char &value)
{
    if (!Fits(cur, 1))
        return false;
    value = cur.pBuf[cur.dwPos++];
    return true;
}

bool ReadWord(stCursor &cur, uint16_t &value)
{
    if (!Fits(cur, 2))
        return false;
    value = uint16_t((cur.pBuf[cur.dwPos] << 8) | cur.pBuf[cur.dwPos + 1]);
    cur.dwPos += 2;
    return true;
}

// Copies at most size - 1 bytes of an n-byte text and steps over all n.
void TakeText(stCursor &cur, unsigned long n, char *dst, unsigned long size)
{
    const unsigned long kept = n < size ? n : size - 1;
    memcpy(dst, cur.pBuf + cur.dwPos, kept);
    dst[kept] = '\0';
    cur.dwPos += n;
}

bool ReadCountedText(stCursor &cur, char *dst, unsigned long size)
{
    uint16_t n = 0;
    if (!ReadWord(cur, n) || !Fits(cur, n))
        return false;
    TakeText(cur, n, dst, size);
    return true;
}

bool ReadCodeList(stCursor &cur, QList<unsigned long> &list)
{
    unsigned char count = 0;
    if (!ReadByte(cur, count))
        return false;
    for (int i = 0; i < count; ++i) {
        uint16_t code = 0;
        if (!ReadWord(cur, code))
            return false;
        list.append(code);
    }
    return true;
}

// Values of 2 to 4 bytes are big-endian numbers; any other length gives the first byte,
// and an empty value gives 0.
uint64_t SupplyNumber(const unsigned char *value, unsigned long n)
{
    if (n == 0)
        return 0;
    if (n < 2 || n > 4)
        return value[0];
    uint64_t number = 0;
    for (unsigned long i = 0; i < n; ++i)
        number = (number << 8) | value[i];
    return number;
}

void StoreSupply(UtilPrinterStatus &st, uint16_t tag, stCursor &cur, unsigned long n)
{
    if (tag == 0x0000) {
        TakeText(cur, n, st.szSupplySerialNumber, sizeof st.szSupplySerialNumber);
        return;
    }
    const uint64_t number = SupplyNumber(cur.pBuf + cur.dwPos, n);
    cur.dwPos += n;
    switch (tag) {
    case 0x0001:
        st.dwSupplyType = (unsigned long)number;
        break;
    case 0x1000:
        st.dwRemainingToner = number;
        break;
    case 0x1001:
        st.dwWasteToner = number;
        break;
    case 0x1002:
        st.dwOPCRotation = number;
        break;
    case 0x1003:
        st.dwNumberOfPages = number;
        break;
    case 0x1004:
        st.dwNumberOfPrint = number;
        break;
    case 0x1100:
        st.dwPrintDotsCount = number;
        break;
    case 0x1101:
        st.dwPrinterNumOfPages = number;
        break;
    case 0x1102:
        st.dwPrinterNumOfPrint = number;
        break;
    case 0x4043:
        st.dwBlackInkRemainer = number;
        break;
    case 0x4143:
        st.dwBlueInkRemainer = number;
        break;
    case 0x4243:
        st.dwRedInkRemainer = number;
        break;
    case 0x4343:
        st.dwYellowInkRemainer = number;
        break;
    default:
        break;
    }
}

// Device error codes; the value of c_dwErrorCode[i] is i + 1.
const unsigned long c_dwErrorCode[] = {
    0x5200,
    0x6143,
    0x6144,
    0x120A,
    0x7200,
    0x6210,
    0x6211,
    0x6201,
    0x6203,
    0x5121,
    0x6100,
    0x6105,
    0x6110,
    0x6112,
    0x6120,
    0x6121,
    0x6122,
    0x6131,
    0x6132,
    0x6139,
    0x6140,
    0x6145,
    0x6170,
    0x6171,
    0x6160,
    0x6161,
    0x6162,
    0x6163,
    0x6164,
    0x6165,
    0x6150,
    0x6151,
    0x6152,
    0x6153,
    0x6154,
    0x6155,
    0x6156,
    0x6181,
    0x6182,
    0x615A,
    0x615B,
    0x6800,
    0x9200,
    0x9201,
    0x5201,
};
static_assert(sizeof c_dwErrorCode / sizeof c_dwErrorCode[0] == ES_LAST, "one code per error value");

QString TextOf(const char *text, unsigned long size)
{
    return QString::fromLatin1(text, qsizetype(strnlen(text, size)));
}

QList<enErrorStatus> MapCodes(const QList<unsigned long> &codes)
{
    QList<enErrorStatus> list;
    list.reserve(codes.size());
    for (unsigned long code : codes)
        list.append(GetErrorStatusEnum(code));
    return list;
}

}  // namespace

UtilPrinterStatus::UtilPrinterStatus()
{
    szVenderName[0] = szProductName[0] = szPrinterSerialNumber[0] = '\0';
    szFWVersion[0] = szFifthText[0] = szSupplySerialNumber[0] = '\0';
}

bool UtilPrinterStatus::parseRecvBuf(const unsigned char *buf, unsigned long len)
{
    if (buf == nullptr || len <= 7)
        return false;
    stCursor cur{buf, len, 7};

    if (!ReadByte(cur, byReserved1) || !ReadWord(cur, wReserved2) || !ReadWord(cur, wReserved3))
        return false;
    if (!ReadCountedText(cur, szVenderName, sizeof szVenderName)
        || !ReadCountedText(cur, szProductName, sizeof szProductName)
        || !ReadCountedText(cur, szPrinterSerialNumber, sizeof szPrinterSerialNumber))
        return false;
    if (!ReadWord(cur, wReserved4) || !ReadByte(cur, byPrinterStatus))
        return false;
    if (!ReadCountedText(cur, szFWVersion, sizeof szFWVersion)
        || !ReadCountedText(cur, szFifthText, sizeof szFifthText))
        return false;
    if (!ReadCodeList(cur, listErrorCode) || !ReadCodeList(cur, listWarningCode))
        return false;
    if (!ReadByte(cur, byReserved5) || !ReadWord(cur, wReserved6) || !ReadWord(cur, wReserved7)
        || !ReadByte(cur, bySupplyCount))
        return false;

    for (int i = 0; i < bySupplyCount; ++i) {
        uint16_t tag = 0;
        unsigned char n = 0;
        if (!ReadWord(cur, tag) || !ReadByte(cur, n) || !Fits(cur, n))
            return false;
        StoreSupply(*this, tag, cur, n);
    }
    return true;
}

enPrinterStatus GetPrinterStatusEnum(unsigned long code)
{
    if (code <= 3)
        return enPrinterStatus(PS_READY + code);
    if (code >= 16 && code <= 19)
        return enPrinterStatus(PS_PRINTING + (code - 16));
    if (code >= 32 && code <= 35)
        return enPrinterStatus(PS_CLEANING + (code - 32));
    return PS_UNKNOWN;
}

enErrorStatus GetErrorStatusEnum(unsigned long code)
{
    for (int i = 0; i < ES_LAST; ++i) {
        if (c_dwErrorCode[i] == code)
            return enErrorStatus(i + 1);
    }
    return ES_UNKNOWN;
}

int GetTonerTypeEnum(unsigned long)
{
    return 0;
}

void FillPrinterState(const UtilPrinterStatus &status, stPrinterState &state)
{
    state = stPrinterState();
    state.strVenderName = TextOf(status.szVenderName, sizeof status.szVenderName);
    state.strProductName = TextOf(status.szProductName, sizeof status.szProductName);
    state.strPrinterSerialNumber = TextOf(status.szPrinterSerialNumber, sizeof status.szPrinterSerialNumber);
    state.strFWVersion = TextOf(status.szFWVersion, sizeof status.szFWVersion);
    state.enCurrentStatus = GetPrinterStatusEnum(status.byPrinterStatus);
    state.listError = MapCodes(status.listErrorCode);
    state.listWarning = MapCodes(status.listWarningCode);
    state.strSupplySerialNumber = TextOf(status.szSupplySerialNumber, sizeof status.szSupplySerialNumber);
    state.enSpplyType = GetTonerTypeEnum(status.dwSupplyType);
    state.dwRemainingToner = status.dwRemainingToner;
    state.dwWasteToner = status.dwWasteToner;
    state.dwBlackInkRemainer = status.dwBlackInkRemainer;
    state.dwBlueInkRemainer = status.dwBlueInkRemainer;
    state.dwRedInkRemainer = status.dwRedInkRemainer;
    state.dwYellowInkRemainer = status.dwYellowInkRemainer;
    state.dwOPCRotation = status.dwOPCRotation;
    state.dwNumberOfPages = status.dwNumberOfPages;
    state.dwNumberOfPrint = status.dwNumberOfPrint;
    state.dwPrintDotsCount = status.dwPrintDotsCount;
    state.dwPrinterNumOfPages = status.dwPrinterNumOfPages;
    state.dwPrinterNumOfPrint = status.dwPrinterNumOfPrint;
    state.iFailCount = 0;
}

bool CheckStatusChange(const stPrinterState &a, const stPrinterState &b)
{
    return a.enCurrentStatus != b.enCurrentStatus
           || a.dwRemainingToner != b.dwRemainingToner
           || a.dwBlackInkRemainer != b.dwBlackInkRemainer
           || a.dwBlueInkRemainer != b.dwBlueInkRemainer
           || a.dwRedInkRemainer != b.dwRedInkRemainer
           || a.dwYellowInkRemainer != b.dwYellowInkRemainer
           || a.listError != b.listError
           || a.listWarning != b.listWarning;
}

bool ParseStatusFile(const QString &path, stPrinterState &out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.read(c_iStatusFileMaxSize);
    file.close();
    UtilPrinterStatus status;
    if (!status.parseRecvBuf(reinterpret_cast<const unsigned char *>(data.constData()),
                             (unsigned long)data.size()))
        return false;
    FillPrinterState(status, out);
    return true;
}
