#pragma once
// The work queues on the home tab: what waits today, as tiles of a caption and a number, and
// today's orders and sales per shop account. The figures come from the service in one call,
// asked for without blocking the window; a click opens the figure's module on its conditions.
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QWidget>
#include <functional>

class QGridLayout;
class QLabel;
class QTimer;
class QVBoxLayout;
class TResponse;

// One figure as the service counts it.
struct TKxQueueFigure {
    QString queue;      // topick, pickaudit, picksend, refund, refunddue, belowmin, today, unaudited
    QString caption;
    QString sellerNick; // today's orders: the shop account
    qint64 num = 0;
    QString amount;     // today's orders: the sales
    int modId = 0;
    QString modName;
    QStringList conditions; // name=value lines for the module's fixed conditions
};

class TKxHomeQueues : public QWidget {
    Q_OBJECT
public:
    explicit TKxHomeQueues(QWidget* parent = nullptr);

    // Whether the operator may open a module (the shell's module table); a figure whose module
    // fails this is not shown.
    std::function<bool(int modId)> CanOpen;
    // Opens a module on fixed conditions (the shell's module calling).
    std::function<void(int modId, const QStringList& conditions)> OpenModule;

    // Asks for the figures unless a request is on its way. The service method is the
    // directory's "workbench"; without one nothing is asked.
    void Refresh();
    // Every few minutes while the program runs.
    void SetRefreshInterval(int msec);
    // Takes a figures answer (what Refresh does when it arrives).
    void ApplyAnswer(const TResponse& answer);
    // A failed request: the last figures stay, with a quiet note.
    void ApplyFailure(const QString& failure);
    // Forgets the figures (another operator logs in).
    void Clear();

    bool Busy() const { return m_busy; }
    const QList<TKxQueueFigure>& Figures() const { return m_figures; }
    // The figures shown (those of modules the operator may open), in tile order.
    QList<TKxQueueFigure> Shown() const;
    QString Note() const;
    // Opens the figure shown at `index` (of Shown()), as a click on its tile does.
    void OpenShown(int index);

Q_SIGNALS:
    void Updated(); // an answer or a failure was taken

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    void placeTiles();

    QList<TKxQueueFigure> m_figures;
    bool m_busy = false;
    bool m_loaded = false;
    QDateTime m_loadedAt;
    QTimer* m_timer;
    QLabel* m_stamp;
    QLabel* m_note;
    QWidget* m_tiles;
    QGridLayout* m_tileGrid;
    QLabel* m_quiet;
    QWidget* m_shops;
    QVBoxLayout* m_shopRows;
    QLabel* m_noOrders;
    QList<QWidget*> m_built;
    QList<QWidget*> m_tileList;
    int m_columns = 0;
};
