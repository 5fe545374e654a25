// The maintenance tool's window: a fixed-size stack of the home page and the three task pages.
#pragma once
#include <QStackedWidget>
#include <QWidget>

class HomeForm;
class AlignmentForm;
class CleanForm;
class NetForm;

class Widget : public QWidget {
    Q_OBJECT
public:
    explicit Widget(QWidget *parent = nullptr);

    // Page indices, fixed by the order in which the pages are added.
    enum { PAGE_HOME = 0,
           PAGE_ALIGNMENT = 1,
           PAGE_CLEAN = 2,
           PAGE_NET = 3 };

public slots:
    void SlotChangeForm(int index);

protected:
    QStackedWidget *m_pStackedWidget;
    HomeForm *m_pHomeForm;
    AlignmentForm *m_pAlignmentForm;
    CleanForm *m_pCleanForm;
    NetForm *m_pNetForm;
};
