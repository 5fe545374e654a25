// Base of every worker object: a re-entry guard for the loop slot and a quit flag that
// every pause polls, so that a quit request ends a pause within 500 ms.
#pragma once
#include <QObject>
#include <QString>
#include <atomic>

class UtilThreadBase : public QObject {
    Q_OBJECT
public:
    explicit UtilThreadBase(QObject *parent = nullptr);

    bool WaitForSleep(int ms);
    bool MakePathExist(const QString &path);

    // The quit flag may be set from another thread (the tray tool's exit does so directly).
    // A worker whose pauses do not poll the flag also ends its pause here.
    virtual void RequestQuit() { bThreadQuit = true; }
    bool IsQuitRequested() const { return bThreadQuit; }

protected:
    bool bTaskStarted = false;
    std::atomic_bool bThreadQuit{false};
};
