#include "Widget.h"

#include "AlignmentForm.h"
#include "CleanForm.h"
#include "HomeForm.h"
#include "NetForm.h"
#include "SettingResource.h"

#include "orvo-window.h"

#include <QIcon>

Widget::Widget(QWidget *parent) : QWidget(parent)
{
    InitSettingResource();
    resize(400, 455);
    setFixedSize(400, 455);
    RemoveMaximizeButton(this);
    CentreOnDesktop(this);
    setWindowIcon(QIcon("://Resource/logo.png"));
    setWindowTitle(tr("Orvo喷墨打印工具"));

    m_pStackedWidget = new QStackedWidget(this);
    m_pStackedWidget->setGeometry(0, 0, width(), height());
    m_pStackedWidget->setObjectName("stackedWidget");
    m_pHomeForm = new HomeForm;
    m_pAlignmentForm = new AlignmentForm;
    m_pCleanForm = new CleanForm;
    m_pNetForm = new NetForm;
    m_pStackedWidget->addWidget(m_pHomeForm);
    m_pStackedWidget->addWidget(m_pAlignmentForm);
    m_pStackedWidget->addWidget(m_pCleanForm);
    m_pStackedWidget->addWidget(m_pNetForm);
    m_pStackedWidget->setCurrentIndex(PAGE_HOME);
    connect(m_pHomeForm, &HomeForm::SgnChangeForm, this, &Widget::SlotChangeForm);
    for (BaseForm *form : {static_cast<BaseForm *>(m_pAlignmentForm), static_cast<BaseForm *>(m_pCleanForm),
                           static_cast<BaseForm *>(m_pNetForm)})
        connect(form, &BaseForm::SgnChangeForm, this, &Widget::SlotChangeForm);
}

void Widget::SlotChangeForm(int index)
{
    if (index < 0 || index >= m_pStackedWidget->count())
        return;
    if (index != PAGE_HOME)
        static_cast<BaseForm *>(m_pStackedWidget->widget(index))->InitForm();  // every entry starts afresh
    m_pStackedWidget->setCurrentIndex(index);
}
