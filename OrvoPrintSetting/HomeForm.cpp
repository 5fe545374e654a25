#include "HomeForm.h"

#include "SettingResource.h"

#include <QPixmap>

namespace {
// Height for a width, keeping the picture's proportions.
int HeightFor(const QString &path, int width)
{
    const QPixmap picture(path);
    return picture.isNull() ? width : width * picture.height() / picture.width();
}
}  // namespace

HomeForm::HomeForm(QWidget *parent) : QWidget(parent)
{
    InitSettingResource();
    resize(400, 455);
    m_pLabelLogo = new QLabel(this);
    m_pLabelLogo->setGeometry(20, 20, 60, HeightFor("://Resource/orvo.png", 60));
    m_pLabelLogo->setPixmap(QPixmap("://Resource/orvo.png"));
    m_pLabelLogo->setScaledContents(true);
    m_pLabelLogo->setAlignment(Qt::AlignCenter);

    m_pLabelCaption = new QLabel(tr("喷墨打印工具"), this);
    QFont font = m_pLabelCaption->font();
    font.setPointSize(18);
    m_pLabelCaption->setFont(font);
    m_pLabelCaption->move(200, 35);
    m_pLabelCaption->adjustSize();
    // A caption longer than the Chinese one ends at the same margin as the buttons' row.
    const int right = width() - 20;
    if (m_pLabelCaption->geometry().right() > right)
        m_pLabelCaption->move(right - m_pLabelCaption->width(), m_pLabelCaption->y());

    struct stButton {
        QPushButton **ppButton;
        const char *picture;
        int y;
        void (HomeForm::*slot)();
    };
    const stButton buttons[] = {
        {&m_pButtonNet, "button_net.png", 120, &HomeForm::OnButtonNetFormClicked},
        {&m_pButtonClean, "button_clean.png", 200, &HomeForm::OnButtonCleanFormClicked},
        {&m_pButtonAlignment, "button_alignment.png", 280, &HomeForm::OnButtonAlignmentFormClicked},
    };
    for (const stButton &b : buttons) {
        const QString path = QString("://Resource/") + b.picture;
        QPushButton *button = new QPushButton(this);
        button->setGeometry((width() - 200) / 2, b.y, 200, HeightFor(path, 200));
        button->setObjectName(QString(b.picture).section('.', 0, 0));
        button->setStyleSheet(QString("QPushButton{border-image: url(%1);}").arg(path));
        connect(button, &QPushButton::clicked, this, b.slot);
        *b.ppButton = button;
    }
}

void HomeForm::OnButtonNetFormClicked()
{
    emit SgnChangeForm(3);
}

void HomeForm::OnButtonCleanFormClicked()
{
    emit SgnChangeForm(2);
}

void HomeForm::OnButtonAlignmentFormClicked()
{
    emit SgnChangeForm(1);
}
