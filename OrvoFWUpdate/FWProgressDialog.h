// The modal dialog shown while the image is sent: the share of bytes the printer has taken
// and, when a transfer is retried, the attempt. It has no cancel button and ignores Esc and
// the window's close button: a half-written image is worse than a finished one.
#pragma once
#include <QDialog>

class QLabel;
class QProgressBar;

class FWProgressDialog : public QDialog {
    Q_OBJECT

public:
    FWProgressDialog(const QString &strPrinterName, int iLength, QWidget *parent);
    void SetProgress(int iAttempt, int iSent);

public slots:
    void reject() override;

private:
    QLabel *pLabel;
    QProgressBar *pProgressBar;
    QString strPrinterName;
    int iLength;
};
