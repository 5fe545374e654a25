// What a window shows as text, read from its widget tree: for the language tests of the
// windowed programs (every text English under an English locale, none cut off).
#pragma once
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStringList>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>

#include <functional>

// A Chinese, Japanese or Korean character (the unified ideographs, their punctuation and
// full-width forms).
inline bool HasCjk(const QString &text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xAC00 && u <= 0xD7AF) || (u >= 0xF900 && u <= 0xFAFF)
            || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

namespace uitext {
inline void AddModel(QStringList &out, const QAbstractItemModel *model)
{
    if (!model)
        return;
    for (int r = 0; r < model->rowCount(); ++r)
        for (int c = 0; c < model->columnCount(); ++c)
            out << model->index(r, c).data().toString();
    for (int c = 0; c < model->columnCount(); ++c)
        out << model->headerData(c, Qt::Horizontal).toString();
}

// The cells whose text does not fit the cell as the table lays it out: measured by the
// table's own delegate the way it paints, on as many lines as the cell's width makes of it
// when the table wraps words; and the cells that reach past the table's visible width,
// which the table shows only when scrolled sideways.
inline QStringList ClippedCells(const QTableWidget *t)
{
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r)
        for (int c = 0; c < t->columnCount(); ++c) {
            const QTableWidgetItem *item = t->item(r, c);
            if (!item || item->text().isEmpty())
                continue;
            QStyleOptionViewItem option;
            option.initFrom(t->viewport());
            option.font = t->font();
            option.rect = t->visualItemRect(item);  // without the grid line
            option.textElideMode = t->textElideMode();
            if (t->wordWrap())
                option.features |= QStyleOptionViewItem::WrapText;
            const QSize need = t->itemDelegate()->sizeHint(option, t->model()->index(r, c));
            if (need.width() > option.rect.width() || need.height() > option.rect.height()
                || option.rect.right() >= t->viewport()->width())
                out << QString("%1 (cell %2,%3: %4x%5 in %6x%7 at x %8 of %9)")
                           .arg(item->text())
                           .arg(r)
                           .arg(c)
                           .arg(need.width())
                           .arg(need.height())
                           .arg(option.rect.width())
                           .arg(option.rect.height())
                           .arg(option.rect.x())
                           .arg(t->viewport()->width());
        }
    return out;
}
}  // namespace uitext

// Every text of the window and its children, shown or not (both states of a page count):
// titles, tool tips, labels, buttons, line edits, combo items, item views with their
// headers, menus and their actions.
inline QStringList WidgetTexts(const QWidget *root)
{
    QStringList out;
    QList<const QWidget *> widgets{root};
    for (const QWidget *w : root->findChildren<QWidget *>())
        widgets << w;
    for (const QWidget *w : widgets) {
        out << w->windowTitle() << w->toolTip();
        if (auto *l = qobject_cast<const QLabel *>(w))
            out << l->text();
        if (auto *b = qobject_cast<const QAbstractButton *>(w))
            out << b->text();
        if (auto *e = qobject_cast<const QLineEdit *>(w))
            out << e->text() << e->placeholderText();
        if (auto *c = qobject_cast<const QComboBox *>(w))
            for (int i = 0; i < c->count(); ++i)
                out << c->itemText(i);
        if (auto *v = qobject_cast<const QAbstractItemView *>(w))
            uitext::AddModel(out, v->model());
        for (const QAction *a : w->actions())
            out << a->text() << a->toolTip();
    }
    out.removeAll(QString());
    return out;
}

// The font the checks measure with: a desktop's usual sans, 10 points unless the window was
// laid out for less (the offscreen platforms of Qt 5 and Qt 6 differ in their defaults, and
// neither is a desktop's).
inline void UseDesktopFont(int points = 10)
{
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), points));
}

// The labels and buttons whose text (in their own font, on one line per line break) is
// wider or taller than the widget, and the table cells that cut their text: cut off at a
// fixed window size. Picture labels and word-wrapped labels lay themselves out and are left out.
inline QStringList ClippedTexts(const QWidget *root)
{
    QStringList out;
    for (const QWidget *w : root->findChildren<QWidget *>()) {
        QString text;
        int room = 0;
        if (auto *l = qobject_cast<const QLabel *>(w)) {
            if (l->wordWrap() || l->text().isEmpty())
                continue;
            text = l->text();
        } else if (auto *b = qobject_cast<const QAbstractButton *>(w)) {
            text = b->text();
            room = b->inherits("QCheckBox") ? 24 : 8;  // the box, or the button's frame and padding
        } else if (auto *t = qobject_cast<const QTableWidget *>(w)) {
            out << uitext::ClippedCells(t);
            continue;
        } else {
            continue;
        }
        const QSize need = w->fontMetrics().size(0, QString(text).remove('\r')) + QSize(room, 0);
        if (need.width() > w->width() || need.height() > w->height())
            out << QString("%1 (%2x%3 in %4x%5)").arg(text).arg(need.width()).arg(need.height()).arg(w->width()).arg(w->height());
    }
    return out;
}

// The texts among `texts` with a CJK character.
inline QStringList CjkTexts(const QStringList &texts)
{
    QStringList out;
    for (const QString &t : texts)
        if (HasCjk(t))
            out << t;
    return out;
}

// Runs open(), which shows a modal box and waits in it, and returns the texts of the first
// modal window that came up; every modal window is closed as soon as it shows.
inline QStringList TextsOfModal(const std::function<void()> &open)
{
    QStringList texts;
    bool seen = false;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (!seen)
            texts = WidgetTexts(modal);
        seen = true;
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->done(QDialog::Rejected);
    });
    timer.start();
    open();
    return texts;
}
