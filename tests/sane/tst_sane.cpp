// The SANE backend's own pieces: options and parameters, configuration, the printer list
// as the print service writes it, and the page conversion of RAW and JPEG pages fed in
// pieces as the daemon writes them.
#include "orvo-printerlist-plain.h"
#include "orvo-printerlist.h"
#include "orvo-sane-conf.h"
#include "orvo-sane-family.h"
#include "orvo-sane-options.h"
#include "orvo-sane-pagename.h"
#include "orvo-sane-page.h"
#include "orvo-scanproto.h"

#include <QtTest>
#include <cstdio>
#include <jpeglib.h>
#include <random>

namespace {

std::vector<uint8_t> Pattern(int w, int h, int comps)
{
    std::vector<uint8_t> img(size_t(w) * size_t(h) * size_t(comps));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < comps; ++c)
                img[(size_t(y) * size_t(w) + size_t(x)) * size_t(comps) + size_t(c)] =
                    uint8_t(x * 180 / std::max(1, w - 1) + c * 20 + y * 30 / std::max(1, h - 1));
    return img;
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t> &img, int w, int h, int comps, bool progressive)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = comps;
    c.in_color_space = comps == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    if (progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uint8_t *>(&img[size_t(c.next_scanline) * size_t(w) * size_t(comps)]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(mem, mem + size);
    jpeg_destroy_compress(&c);
    free(mem);
    return out;
}

stOrvoGeometry Geometry(int mode, int pixels, int lines)
{
    stOrvoGeometry g;
    g.iMode = mode;
    g.iResolution = 300;
    g.iPixels = pixels;
    g.iLines = lines;
    g.iDepth = mode == MODE_LINEART ? 1 : 8;
    g.iBytesPerLine = mode == MODE_COLOR ? pixels * 3 : mode == MODE_GRAY ? pixels
                                                                          : (pixels + 7) / 8;
    return g;
}

// Feeds the bytes in random pieces, taking output in random amounts, as sane_read does
// while the page file grows; returns everything taken.
std::vector<uint8_t> Convert(stOrvoPage &page, const std::vector<uint8_t> &bytes, std::mt19937 &rng, bool &ok)
{
    std::vector<uint8_t> out;
    std::uniform_int_distribution<size_t> piece(1, 5000);
    size_t at = 0;
    uint8_t buf[7000];
    ok = true;
    while (!OrvoPageDone(page)) {
        if (at < bytes.size()) {
            const size_t n = std::min(piece(rng), bytes.size() - at);
            OrvoPageFeed(page, bytes.data() + at, n);
            at += n;
        } else if (!page.bInputComplete) {
            OrvoPageEnd(page);
        }
        if (!OrvoPageProduce(page)) {
            ok = false;
            return out;
        }
        size_t n;
        while ((n = OrvoPageTake(page, buf, piece(rng))) > 0)
            out.insert(out.end(), buf, buf + n);
        if (at == bytes.size() && page.bInputComplete && !OrvoPageDone(page) && page.out.empty()) {
            ok = false;  // the page neither ends nor produces: it would hang sane_read
            return out;
        }
    }
    return out;
}

}  // namespace

class TstSane : public QObject {
    Q_OBJECT

private slots:
    void optionsAndParameters()
    {
        stOrvoOptions o;
        stOrvoDeviceCaps caps;
        caps.bAdf = true;
        InitOrvoOptions(o, caps);
        QCOMPARE(QString(o.desc[OPT_MODE].name), QString("mode"));
        QCOMPARE(QString(o.desc[OPT_TL_X].name), QString("tl-x"));
        QCOMPARE(o.desc[OPT_TL_X].unit, SANE_UNIT_MM);
        QCOMPARE(o.desc[OPT_RESOLUTION].unit, SANE_UNIT_DPI);

        SANE_Int info = 0;
        SANE_Word res = 310;
        QCOMPARE(ControlOrvoOption(o, OPT_RESOLUTION, SANE_ACTION_SET_VALUE, &res, &info), SANE_STATUS_GOOD);
        QCOMPARE(res, 300);
        QVERIFY(info & SANE_INFO_INEXACT);
        res = 1200;
        QCOMPARE(ControlOrvoOption(o, OPT_RESOLUTION, SANE_ACTION_SET_VALUE, &res, &info), SANE_STATUS_GOOD);
        QCOMPARE(res, 1200);

        // The feeder offers at most 600 dpi and pulls the resolution down with it.
        char adf[] = "ADF";
        QCOMPARE(ControlOrvoOption(o, OPT_SOURCE, SANE_ACTION_SET_VALUE, adf, &info), SANE_STATUS_GOOD);
        QVERIFY(info & SANE_INFO_RELOAD_OPTIONS);
        QCOMPARE(o.value[OPT_RESOLUTION], 600);
        QCOMPARE(o.listResolution[o.listResolution[0]], 600);
        char bogus[] = "Transparency";
        QCOMPARE(ControlOrvoOption(o, OPT_SOURCE, SANE_ACTION_SET_VALUE, bogus, &info), SANE_STATUS_INVAL);

        // Without a feeder the source list holds the flatbed only.
        stOrvoOptions flat;
        InitOrvoOptions(flat, stOrvoDeviceCaps());
        QCOMPARE(QString(flat.listSource[0]), QString("Flatbed"));
        QVERIFY(flat.listSource[1] == nullptr);
        QCOMPARE(ControlOrvoOption(flat, OPT_SOURCE, SANE_ACTION_SET_VALUE, adf, &info), SANE_STATUS_INVAL);

        // A4 at 300 dpi: 210 mm x 297 mm are 2480 x 3507 pixels.
        SANE_Word v = SANE_FIX(210.0);
        ControlOrvoOption(flat, OPT_BR_X, SANE_ACTION_SET_VALUE, &v, &info);
        QVERIFY(info & SANE_INFO_RELOAD_PARAMS);
        SANE_Parameters p;
        FillSaneParameters(OrvoGeometry(flat), &p);
        QCOMPARE(p.pixels_per_line, 2480);
        QCOMPARE(p.lines, 3507);
        QCOMPARE(p.bytes_per_line, 2480 * 3);
        QCOMPARE(p.format, SANE_FRAME_RGB);
        QCOMPARE(p.depth, 8);

        // Out of range is clamped and reported; lineart packs 8 pixels a byte.
        v = SANE_FIX(400.0);
        ControlOrvoOption(flat, OPT_BR_Y, SANE_ACTION_SET_VALUE, &v, &info);
        QCOMPARE(v, SANE_FIX(297.0));
        QVERIFY(info & SANE_INFO_INEXACT);
        char lineart[] = "Lineart";
        ControlOrvoOption(flat, OPT_MODE, SANE_ACTION_SET_VALUE, lineart, &info);
        v = SANE_FIX(10.0);
        ControlOrvoOption(flat, OPT_TL_X, SANE_ACTION_SET_VALUE, &v, &info);
        v = SANE_FIX(10.5);
        ControlOrvoOption(flat, OPT_BR_X, SANE_ACTION_SET_VALUE, &v, &info);
        FillSaneParameters(OrvoGeometry(flat), &p);
        QCOMPARE(p.depth, 1);
        QCOMPARE(p.format, SANE_FRAME_GRAY);
        QCOMPARE(p.pixels_per_line, 124 - 118);  // 10.5 mm and 10 mm at 300 dpi, rounded down
        QCOMPARE(p.bytes_per_line, 1);
        char mode[16];
        QCOMPARE(ControlOrvoOption(flat, OPT_MODE, SANE_ACTION_GET_VALUE, mode, &info), SANE_STATUS_GOOD);
        QCOMPARE(QString(mode), QString("Lineart"));
        QCOMPARE(ControlOrvoOption(flat, OPT_MODE_GROUP, SANE_ACTION_GET_VALUE, mode, &info), SANE_STATUS_INVAL);
        QCOMPARE(ControlOrvoOption(flat, NUM_OPTIONS, SANE_ACTION_GET_VALUE, mode, &info), SANE_STATUS_INVAL);

        // Network capabilities narrow the resolutions.
        stOrvoDeviceCaps net;
        net.iMinRes = 100;
        net.iMaxRes = 600;
        stOrvoOptions n;
        InitOrvoOptions(n, net);
        QCOMPARE(n.listResolution[0], 5);
        QCOMPARE(n.listResolution[1], 100);
        QCOMPARE(n.listResolution[5], 600);
    }

    void configuration()
    {
        std::vector<std::string> warn;
        const stOrvoSaneConf c = ParseOrvoSaneConf("# comment\n"
                                                   "net 127.0.0.2\n"
                                                   "  net 10.1.2.3   # trailing comment\n"
                                                   "net printer.example\n"
                                                   "net 1.2.3.4 extra\n"
                                                   "printerlist no\n"
                                                   "timeout 0\n"
                                                   "timeout 15\n"
                                                   "colour yes\n",
                                                   warn);
        QCOMPARE(c.listNetAddress.size(), size_t(2));
        QCOMPARE(QString::fromStdString(c.listNetAddress[1]), QString("10.1.2.3"));
        QCOMPARE(c.bPrinterList, false);
        QCOMPARE(c.iTimeoutSec, 15);
        QCOMPARE(warn.size(), size_t(4));
        QVERIFY(QString::fromStdString(warn[0]).startsWith("line 4:"));
        QVERIFY(!IsIPv4Text("256.1.1.1"));
        QVERIFY(!IsIPv4Text("1.2.3.4.5"));
        QVERIFY(IsIPv4Text("192.168.100.200"));

        // A network scanner's family reply names the model; anything odd is not shown.
        QCOMPARE(QString::fromStdString(OrvoModelFromFamily(
                     "<?xml version=\"1.0\"?>\r\n<response requestID=\"10001\">\r\n  <value>K40N</value>\r\n</response>")),
                 QString("K40N"));
        QVERIFY(OrvoModelFromFamily("<value>K40N<script></value>").empty());
        QVERIFY(OrvoModelFromFamily("<value></value>").empty());
        QVERIFY(OrvoModelFromFamily("<value>K40N").empty());

        // Page file names are believed only inside the scan directory.
        QVERIFY(OrvoIsScanFileName(ORVO_SCAN_DIR "/orvoscandata_12_0", 256));
        QVERIFY(!OrvoIsScanFileName(ORVO_SCAN_DIR "/../cfg/printerlist.ini", 256));
        QVERIFY(!OrvoIsScanFileName(ORVO_SCAN_DIR "/", 256));
        QVERIFY(!OrvoIsScanFileName("/etc/passwd", 256));
        const char unterminated[8] = {'/', 'o', 'p', 't', '/', 'o', 'r', 'v'};
        QVERIFY(!OrvoIsScanFileName(unterminated, sizeof unterminated));
    }

    // Written by the print service's own writer, read by the backend's reader.
    void printerListAsTheServiceWritesIt()
    {
        QList<stPrinterInfo> list;
        const char *names[] = {"Orvo-K20NW", "办公室 打印机, \"2\"", "@odd;name"};
        for (int i = 0; i < 3; ++i) {
            stPrinterInfo p;
            p.strPrinterName = QString::fromUtf8(names[i]);
            p.strModelName = QString("Orvo K40N");
            p.iConnectType = i == 0 ? 1 : 2;
            p.strPort = i == 0 ? QString("Orvo/K20NW?serial=AB12") : QString("127.0.0.%1").arg(i + 1);
            p.strDeviceURI = "socket://" + p.strPort;
            list.append(p);
        }
        SavePrinterInfo(list, true);
        std::vector<stPlainPrinter> plain = ReadPrinterListPlain();
        QCOMPARE(plain.size(), size_t(3));
        const QList<stPrinterInfo> qt = ReadPrinterInfo();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(QString::fromStdString(plain[size_t(i)].strName), qt[i].strPrinterName);
            QCOMPARE(QString::fromStdString(plain[size_t(i)].strName), QString::fromUtf8(names[i]));
            QCOMPARE(QString::fromStdString(plain[size_t(i)].strPort), qt[i].strPort);
            QCOMPARE(QString::fromStdString(plain[size_t(i)].strModel), qt[i].strModelName);
            QCOMPARE(plain[size_t(i)].iConnectType, qt[i].iConnectType);
        }
        // The list shrinks: the third group stays in the file, Count decides.
        list.removeLast();
        SavePrinterInfo(list, true);
        plain = ReadPrinterListPlain();
        QCOMPARE(plain.size(), size_t(2));
        QCOMPARE(QString::fromStdString(plain[1].strPort), QString("127.0.0.2"));
        // A count beyond the groups present is not believed.
        QVERIFY(ParsePrinterListPlain("[Main]\nCount=99\n[printer_0]\nPort=1.2.3.4\nConnectType=2\n").size() == 1);
        // A missing group is skipped, as the Qt readers do.
        plain = ParsePrinterListPlain("[Main]\nCount=3\n[printer_0]\nPort=1.2.3.4\n[printer_2]\nPort=1.2.3.6\n");
        QVERIFY(plain.size() == 2 && plain[1].strPort == "1.2.3.6");
    }

    void rawPages()
    {
        std::mt19937 rng(7);
        for (int mode : {MODE_COLOR, MODE_GRAY, MODE_LINEART}) {
            const stOrvoGeometry g = Geometry(mode, 101, 37);
            const std::vector<uint8_t> img = Pattern(g.iBytesPerLine, g.iLines, 1);
            stOrvoPage page;
            OrvoPageInit(page, g, true);
            bool ok;
            QCOMPARE(Convert(page, img, rng, ok), img);
            QVERIFY(ok);

            // A short page is completed with white lines, a long one cut to the size asked.
            std::vector<uint8_t> shortImg(img.begin(), img.begin() + long(img.size() / 2) + 3);
            OrvoPageInit(page, g, true);
            const std::vector<uint8_t> got = Convert(page, shortImg, rng, ok);
            QVERIFY(ok);
            QCOMPARE(got.size(), img.size());
            QVERIFY(std::equal(shortImg.begin(), shortImg.end(), got.begin()));
            const uint8_t white = mode == MODE_LINEART ? 0x00 : 0xFF;
            QCOMPARE(got.back(), white);
            std::vector<uint8_t> longImg = img;
            longImg.resize(img.size() * 2, 0x55);
            OrvoPageInit(page, g, true);
            QCOMPARE(Convert(page, longImg, rng, ok), img);
        }
    }

    void jpegPages()
    {
        std::mt19937 rng(11);
        for (bool progressive : {false, true}) {
            const int w = 203, h = 97;
            const std::vector<uint8_t> img = Pattern(w, h, 3);
            const std::vector<uint8_t> jpeg = EncodeJpeg(img, w, h, 3, progressive);

            // Asked for a somewhat smaller area: the page's own size wins.
            stOrvoPage page;
            OrvoPageInit(page, Geometry(MODE_COLOR, 150, 60), false);
            bool ok;
            const std::vector<uint8_t> color = Convert(page, jpeg, rng, ok);
            QVERIFY(ok);
            QCOMPARE(page.kind, PAGE_JPEG);
            QCOMPARE(page.geo.iPixels, w);
            QCOMPARE(page.geo.iLines, h);
            QCOMPARE(color.size(), img.size());
            int worst = 0;
            for (size_t i = 0; i < img.size(); ++i)
                worst = std::max(worst, std::abs(int(img[i]) - int(color[i])));
            QVERIFY2(worst <= 16, qPrintable(QString("largest difference %1").arg(worst)));

            // The same page fed whole gives the same pixels.
            OrvoPageInit(page, Geometry(MODE_COLOR, w, h), false);
            OrvoPageFeed(page, jpeg.data(), jpeg.size());
            OrvoPageEnd(page);
            QVERIFY(OrvoPageProduce(page));
            std::vector<uint8_t> whole(img.size());
            QCOMPARE(OrvoPageTake(page, whole.data(), whole.size()), whole.size());
            QCOMPARE(whole, color);

            // Gray and lineart from a color page.
            OrvoPageInit(page, Geometry(MODE_GRAY, w, h), false);
            const std::vector<uint8_t> gray = Convert(page, jpeg, rng, ok);
            QVERIFY(ok);
            QCOMPARE(gray.size(), size_t(w * h));
            OrvoPageInit(page, Geometry(MODE_LINEART, w, h), false);
            const std::vector<uint8_t> bits = Convert(page, jpeg, rng, ok);
            QVERIFY(ok);
            QCOMPARE(bits.size(), size_t((w + 7) / 8 * h));
            for (int y = 0; y < h; y += 13)
                for (int x = 0; x < w; x += 17) {
                    const bool black = bits[size_t(y * ((w + 7) / 8) + x / 8)] & (0x80 >> (x % 8));
                    QCOMPARE(black, gray[size_t(y * w + x)] < 128);
                }

            // A page far larger than the area asked for is refused.
            OrvoPageInit(page, Geometry(MODE_COLOR, 20, 10), false);
            Convert(page, jpeg, rng, ok);
            QVERIFY(!ok);

            // A page cut short keeps its size; the missing part is filled in.
            std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + long(jpeg.size() * 2 / 3));
            OrvoPageInit(page, Geometry(MODE_COLOR, w, h), false);
            const std::vector<uint8_t> partial = Convert(page, cut, rng, ok);
            QVERIFY(ok);
            QCOMPARE(partial.size(), img.size());
        }
    }

    // Inputs the fuzz target found, fed the way it feeds them.
    void fuzzFindings()
    {
        // A truncated JPEG whose decoder went on to the supplied end marker: the input taken
        // was computed past the buffer.
        const QByteArray found = QByteArray::fromBase64(
            "ATD/2P/gABBKRj9JRgABAQAAAQABAAD/2wBDAAMC/////////////////////wICAgIDAgICAwNgAwMEBgQEBAQECAYGBRAQEBAQ"
            "EBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAABgj/xAA=");
        const uint8_t *data = reinterpret_cast<const uint8_t *>(found.constData()) + 2;
        const size_t size = size_t(found.size()) - 2;
        stOrvoPage page;
        OrvoPageInit(page, Geometry(found[0] % 3, 1 + uint8_t(found[1]) % 200, 1 + uint8_t(found[1]) / 2), false);
        size_t at = 0;
        uint8_t buf[4096];
        for (int round = 0; round < 1000 && !OrvoPageDone(page); ++round) {
            const size_t n = at < size ? std::min<size_t>(1 + data[at] % 64, size - at) : 0;
            OrvoPageFeed(page, data + at, n);
            at += n;
            if (at == size)
                OrvoPageEnd(page);
            if (!OrvoPageProduce(page))
                break;
            OrvoPageTake(page, buf, sizeof buf);
        }
        QVERIFY(page.inPos <= page.in.size());
    }

    // Bounded random input for every parser of the backend; the fuzz targets go further.
    void randomInput()
    {
        std::mt19937 rng(1234);
        std::uniform_int_distribution<int> byte(0, 255);
        const std::vector<uint8_t> jpeg = EncodeJpeg(Pattern(64, 48, 3), 64, 48, 3, false);
        const char *iniWords[] = {"[Main]", "[printer_0]", "[printer_1]", "Count=", "Port=", "\"", "\\", "%4",
                                  "=", "\n", "@@", ";", "net", "timeout", "printerlist", " ", "2", "-1",
                                  "<value>", "</value>", "K40N"};
        for (int round = 0; round < 300; ++round) {
            std::string text;
            const int words = byte(rng);
            for (int i = 0; i < words; ++i)
                text += (byte(rng) & 1) ? std::string(iniWords[size_t(byte(rng)) % (sizeof iniWords / sizeof *iniWords)])
                                        : std::string(1, char(byte(rng)));
            ParsePrinterListPlain(text);
            QVERIFY(OrvoModelFromFamily(text).size() <= 32);
            const std::string name = ORVO_SCAN_DIR "/" + text;
            QVERIFY(!OrvoIsScanFileName(name.c_str(), name.size() + 1) || name.find("/..") == std::string::npos);
            std::vector<std::string> warn;
            ParseOrvoSaneConf(text, warn);

            // A JPEG with random bytes changed, or random bytes, as a page.
            std::vector<uint8_t> bytes = jpeg;
            if (round % 3 == 0)
                bytes.assign(size_t(byte(rng)) * 8, 0), std::generate(bytes.begin(), bytes.end(), [&] { return uint8_t(byte(rng)); });
            else
                for (int i = 0; i < 1 + round % 8; ++i)
                    bytes[size_t(byte(rng) * 97) % bytes.size()] = uint8_t(byte(rng));
            stOrvoPage page;
            OrvoPageInit(page, Geometry(round % 3, 64, 48), false);
            bool ok;
            const std::vector<uint8_t> out = Convert(page, bytes, rng, ok);
            if (ok)
                QCOMPARE(out.size(), size_t(page.geo.iBytesPerLine) * size_t(page.geo.iLines));
        }
    }
};

QTEST_GUILESS_MAIN(TstSane)
#include "tst_sane.moc"
