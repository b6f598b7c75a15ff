#pragma once
// The stock and price views: product lists whose figures are pushed to the marketplace, one
// row from the grid's pop-up menu or every row on a timer with a progress bar (the rows sent
// many to a call, the progress following row by row), each row's result kept in its
// `errormsg`. The two views differ only in the figure, the method
// and the button's text.
#include "ufrmMasterList.h"

class QAction;
class QProgressBar;
class QTimer;

struct TCommodityPushKind {
    QStringList figures;   // the pushed figure's columns, after the SKU properties
    QString method;        // the service method the row's product code is sent to
    const char* action;    // tool button and menu text (UTF-8)
};

class TfrmCommodityPush : public TfrmMasterList {
    Q_OBJECT
public:
    TfrmCommodityPush(const TCommodityPushKind& kind, QWidget* owner);

    QAction* PushAction() const { return m_pushOne; }
    QProgressBar* Progress() const { return m_progress; }
    QWidget* ProgressPanel() const { return m_panel; }
    QTimer* PushTimer() const { return m_timer; }
    // Benchmarks run the rows back to back; the window keeps 100 ms between them.
    void SetPushInterval(int ms);

    // The menu entry: the current row. The tool button: every row after the question.
    void PushOneClick();
    void PushAllClick();
    void dxBL_NewClick() override {}
    void dxBL_EditClick() override {}

protected:
    QList<TKxRight> RightsTable() const override;

private:
    bool pushRow();
    void tick();
    void openProduct();

    TCommodityPushKind m_kind;
    QAction* m_pushOne;
    QWidget* m_panel;
    QProgressBar* m_progress;
    QTimer* m_timer;
    QStringList m_failures;   // the run's refusals, shown when it ends
};
