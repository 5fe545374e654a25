// Draws the maintenance tool's pictures (Resource/*.png). Run by
// scripts/draw-setting-pictures.sh; the PNGs it writes are kept in the tree.
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

const QColor c_colorBrand(0x15, 0x65, 0xC0);
const QColor c_colorBrandDark(0x0D, 0x3C, 0x78);
const QColor c_colorBlack(0x22, 0x22, 0x22);
const QColor c_colorCyan(0x00, 0xA0, 0xE0);
const QColor c_colorMagenta(0xE0, 0x00, 0x7A);
const QColor c_colorYellow(0xE8, 0xB8, 0x00);
const char *const c_szFont = "WenQuanYi Micro Hei";

QImage NewImage(int w, int h, const QColor &fill = Qt::transparent)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(fill);
    return img;
}

// An ink drop standing on its round end, its tip at the top.
QPainterPath Drop(const QPointF &center, qreal r)
{
    QPainterPath p;
    p.moveTo(center.x(), center.y() - 2.2 * r);
    p.cubicTo(center.x() + 0.35 * r, center.y() - 1.4 * r, center.x() + r, center.y() - 0.7 * r, center.x() + r,
              center.y());
    p.arcTo(QRectF(center.x() - r, center.y() - r, 2 * r, 2 * r), 0, -180);
    p.cubicTo(center.x() - r, center.y() - 0.7 * r, center.x() - 0.35 * r, center.y() - 1.4 * r, center.x(),
              center.y() - 2.2 * r);
    return p;
}

void DrawLogo(const QString &dir)
{
    QImage img = NewImage(128, 128);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 128);
    g.setColorAt(0, c_colorBrand.lighter(130));
    g.setColorAt(1, c_colorBrandDark);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(4, 4, 120, 120), 26, 26);
    p.setBrush(Qt::white);
    p.drawPath(Drop(QPointF(64, 78), 28));
    p.setBrush(c_colorCyan);
    p.drawEllipse(QPointF(56, 84), 9, 9);
    p.end();
    img.save(dir + "/logo.png");
}

void DrawWordmark(const QString &dir)
{
    QImage img = NewImage(240, 96);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(c_colorBrand);
    p.drawPath(Drop(QPointF(34, 62), 22));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(28, 66), 7, 7);
    QFont f(c_szFont);
    f.setPixelSize(54);
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(f);
    p.setPen(c_colorBrandDark);
    p.drawText(QRectF(66, 0, 174, 96), Qt::AlignVCenter | Qt::AlignLeft, "ORVO");
    p.end();
    img.save(dir + "/orvo.png");
}

// A picture button: rounded panel, an icon on the left, the task's name on the right.
void DrawButton(const QString &path, const QString &text, void (*icon)(QPainter &, const QRectF &))
{
    QImage img = NewImage(400, 140);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 140);
    g.setColorAt(0, QColor(0xF7, 0xFA, 0xFE));
    g.setColorAt(1, QColor(0xD6, 0xE4, 0xF5));
    p.setBrush(g);
    p.setPen(QPen(c_colorBrand, 4));
    p.drawRoundedRect(QRectF(4, 4, 392, 132), 28, 28);
    icon(p, QRectF(30, 20, 100, 100));
    QFont f(c_szFont);
    f.setPixelSize(44);
    f.setBold(true);
    // A longer name (the English pictures) gets a smaller size rather than a clipped word.
    const QRectF area(150, 0, 230, 140);
    while (f.pixelSize() > 20 && QFontMetricsF(f).horizontalAdvance(text) > area.width())
        f.setPixelSize(f.pixelSize() - 2);
    p.setFont(f);
    p.setPen(c_colorBrandDark);
    p.drawText(area, Qt::AlignCenter, text);
    p.end();
    img.save(path);
}

void IconNet(QPainter &p, const QRectF &r)
{
    const QPointF hub = r.center();
    const QPointF ends[3] = {QPointF(r.left() + 14, r.top() + 18), QPointF(r.right() - 14, r.top() + 18),
                             QPointF(hub.x(), r.bottom() - 10)};
    p.setPen(QPen(c_colorBrand, 6, Qt::SolidLine, Qt::RoundCap));
    for (const QPointF &e : ends)
        p.drawLine(hub, e);
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(c_colorBrand);
    for (const QPointF &e : ends)
        p.drawEllipse(e, 13, 13);
    p.setBrush(c_colorBrandDark);
    p.drawEllipse(hub, 18, 18);
}

void IconClean(QPainter &p, const QRectF &r)
{
    // A print head with four nozzle rows, each letting go of a drop of its ink.
    p.setPen(Qt::NoPen);
    p.setBrush(c_colorBrandDark);
    p.drawRoundedRect(QRectF(r.left() + 6, r.top() + 4, r.width() - 12, 34), 8, 8);
    const QColor inks[4] = {c_colorBlack, c_colorCyan, c_colorMagenta, c_colorYellow};
    for (int i = 0; i < 4; ++i) {
        const qreal x = r.left() + 20 + i * 20;
        p.setBrush(Qt::white);
        p.drawRect(QRectF(x - 4, r.top() + 38, 8, 6));
        p.setBrush(inks[i]);
        p.drawPath(Drop(QPointF(x, r.top() + 74 + (i % 2) * 14), 8));
    }
}

void IconAlignment(QPainter &p, const QRectF &r)
{
    // Upper and lower strokes meeting in straight lines, under a cross-hair.
    const QColor inks[4] = {c_colorBlack, c_colorCyan, c_colorMagenta, c_colorBlack};
    for (int i = 0; i < 4; ++i) {
        const qreal x = r.left() + 20 + i * 20;
        p.setPen(QPen(c_colorBlack, 6, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(x, r.top() + 8), QPointF(x, r.center().y()));
        p.setPen(QPen(inks[i] == c_colorBlack ? c_colorBrand : inks[i], 6, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(x, r.center().y()), QPointF(x, r.bottom() - 8));
    }
    p.setPen(QPen(c_colorBrandDark, 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.center(), 30, 30);
    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
}

// The nozzle check page of a clean head: every colour's staircase of short strokes complete.
void DrawCleanPicture(const QString &path, const QString &title)
{
    QImage img = NewImage(540, 300, QColor(0xEE, 0xF2, 0xF7));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawRect(QRectF(34, 16, 480, 280));
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(0xB0, 0xB8, 0xC4), 1));
    p.drawRect(QRectF(28, 10, 480, 280));
    QFont f(c_szFont);
    f.setPixelSize(18);
    p.setFont(f);
    p.setPen(c_colorBrandDark);
    p.drawText(QRectF(28, 16, 480, 26), Qt::AlignCenter, title);
    const QColor inks[4] = {c_colorBlack, c_colorCyan, c_colorMagenta, c_colorYellow};
    const int columns = 26, steps = 6;
    for (int c = 0; c < 4; ++c) {
        const qreal top = 52 + c * 58;
        p.setPen(QPen(inks[c], 2.2, Qt::SolidLine, Qt::FlatCap));
        for (int col = 0; col < columns; ++col) {
            for (int s = 0; s < steps; ++s) {
                const qreal x = 56 + col * 16 + s * 2.4;
                const qreal y = top + s * 7;
                p.drawLine(QPointF(x, y), QPointF(x + 10, y));
            }
        }
    }
    p.end();
    img.save(path);
}

// One alignment sample as it looks when the row is right: the strokes of the two passes
// (or the two colours) meet in straight lines, or the bands of the paper-feed sample lie
// evenly without light or dark seams.
void DrawAlignment(const QString &dir, int row)
{
    QImage img = NewImage(128, 56, Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xB0, 0xB8, 0xC4), 2));
    p.drawRect(QRectF(1, 1, 126, 54));
    struct stPair {
        QColor first, second;
        bool bVertical;
    };
    const stPair pairs[8] = {
        {c_colorBlack, c_colorBlack, true},
        {c_colorBlack, c_colorCyan, true},
        {c_colorBlack, c_colorMagenta, true},
        {c_colorBlack, c_colorYellow, true},
        {c_colorCyan, c_colorMagenta, true},
        {c_colorBlack, c_colorCyan, false},
        {c_colorBlack, c_colorMagenta, false},
        {c_colorBlack, c_colorYellow, false},
    };
    if (row <= 8) {
        const stPair &pair = pairs[row - 1];
        if (pair.bVertical) {
            for (int i = 0; i < 9; ++i) {
                const qreal x = 16 + i * 12;
                p.setPen(QPen(pair.first, 4, Qt::SolidLine, Qt::FlatCap));
                p.drawLine(QPointF(x, 8), QPointF(x, 28));
                p.setPen(QPen(pair.second, 4, Qt::SolidLine, Qt::FlatCap));
                p.drawLine(QPointF(x, 28), QPointF(x, 48));
            }
        } else {
            for (int i = 0; i < 4; ++i) {
                const qreal y = 12 + i * 10.5;
                p.setPen(QPen(pair.first, 4, Qt::SolidLine, Qt::FlatCap));
                p.drawLine(QPointF(10, y), QPointF(64, y));
                p.setPen(QPen(pair.second, 4, Qt::SolidLine, Qt::FlatCap));
                p.drawLine(QPointF(64, y), QPointF(118, y));
            }
        }
    } else {
        // Paper feed: bands laid edge to edge give one even tone.
        for (int i = 0; i < 10; ++i) {
            p.setPen(Qt::NoPen);
            p.setBrush(i % 2 ? QColor(0x55, 0x55, 0x55) : QColor(0x44, 0x44, 0x44));
            p.drawRect(QRectF(10, 8 + i * 4, 108, 4));
        }
    }
    p.end();
    img.save(QString("%1/alignment_%2.png").arg(dir).arg(row));
}

}  // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        fprintf(stderr, "usage: draw-pictures OUTPUT-DIRECTORY\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        fprintf(stderr, "draw-pictures: cannot create %s\n", argv[1]);
        return 1;
    }
    DrawLogo(dir);
    DrawWordmark(dir);
    DrawButton(dir + "/button_net.png", QStringLiteral("网络配置"), IconNet);
    DrawButton(dir + "/button_clean.png", QStringLiteral("清洁模式"), IconClean);
    DrawButton(dir + "/button_alignment.png", QStringLiteral("校准"), IconAlignment);
    DrawCleanPicture(dir + "/clean_1.png", QStringLiteral("喷嘴检测页"));
    // The pictures with words again in English, for the English windows (lang="en" in the .qrc).
    DrawButton(dir + "/button_net_en.png", QStringLiteral("Network"), IconNet);
    DrawButton(dir + "/button_clean_en.png", QStringLiteral("Cleaning"), IconClean);
    DrawButton(dir + "/button_alignment_en.png", QStringLiteral("Alignment"), IconAlignment);
    DrawCleanPicture(dir + "/clean_1_en.png", QStringLiteral("Nozzle check page"));
    for (int row = 1; row <= 9; ++row)
        DrawAlignment(dir, row);
    return 0;
}
