#include "FWProgressDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

FWProgressDialog::FWProgressDialog(const QString &strName, int iImageLength, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      strPrinterName(strName), iLength(iImageLength)
{
    setObjectName("FWProgressDialog");
    setWindowTitle(tr("Orvo喷墨打印机升级助手"));
    setWindowModality(Qt::ApplicationModal);
    pLabel = new QLabel(this);
    pLabel->setObjectName("labelProgress");
    pLabel->setWordWrap(true);
    pLabel->setTextFormat(Qt::PlainText);  // the queue name is shown as written
    pProgressBar = new QProgressBar(this);
    pProgressBar->setObjectName("progressBar");
    pProgressBar->setRange(0, 100);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->addWidget(pLabel);
    layout->addWidget(pProgressBar);
    setFixedSize(380, 110);
    SetProgress(1, 0);
}

void FWProgressDialog::SetProgress(int iAttempt, int iSent)
{
    QString text = tr("正在升级打印机 %1，请勿断开连接或关闭电源……").arg(strPrinterName);
    if (iAttempt > 1)
        text = tr("第 %1 次尝试：").arg(iAttempt) + text;
    pLabel->setText(text);
    pProgressBar->setValue(iLength > 0 ? int(qint64(iSent) * 100 / iLength) : 0);
}

void FWProgressDialog::reject()
{
}
