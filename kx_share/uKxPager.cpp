#include "uKxPager.h"

#include "uPClientDataSet.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>

namespace {
constexpr qint64 kEventsEveryMs = 50;
}

TKxPager::TKxPager(QObject* parent) : QObject(parent) {}

void TKxPager::Bind(QLabel* label, QAbstractButton* next, QAbstractButton* remaining, QAbstractButton* pause)
{
    m_label = label;
    if (next)
        connect(next, &QAbstractButton::clicked, this, [this] { NextPage(); });
    if (remaining)
        connect(remaining, &QAbstractButton::clicked, this, [this] { RemainingPages(); });
    if (pause)
        connect(pause, &QAbstractButton::clicked, this, &TKxPager::Pause);
}

void TKxPager::PageLoaded(int page, const QString& pageCount, const QString& recordCount, int loadedRows)
{
    bool ok = false;
    const int pages = pageCount.trimmed().toInt(&ok);
    m_curPage = page;
    m_pageCount = ok ? pages : 1;
    const int records = recordCount.trimmed().toInt(&ok);
    m_recordCount = m_serviceCount = ok ? records : loadedRows;
    m_rowsAtLoad = loadedRows;
    if (m_label)
        m_label->setText(RecordText());
    emit pageChanged();
}

void TKxPager::FollowRows(TPClientDataSet* rows)
{
    m_rows = rows;
    const auto follow = [this] {
        if (!m_rows)
            return;
        m_recordCount = qMax(0, m_serviceCount + m_rows->UnfilteredCount() - m_rowsAtLoad);
        if (m_label)
            m_label->setText(RecordText());
    };
    connect(rows, &TPClientDataSet::rowsInserted, this, follow);
    connect(rows, &TPClientDataSet::rowsRemoved, this, follow);
    connect(rows, &TPClientDataSet::reset, this, follow);
}

QString TKxPager::RecordText() const
{
    return QStringLiteral("记录总数：%1 条， 第 %2 页/共 %3 页").arg(m_recordCount).arg(m_curPage).arg(m_pageCount);
}

bool TKxPager::NextPage()
{
    if (!m_fetch || !HasNextPage())
        return false;
    return m_fetch(m_curPage + 1);
}

int TKxPager::RemainingPages()
{
    if (!m_fetch || m_running)
        return 0;
    m_stop = false;
    m_running = true;
    int loaded = 0;
    const QPointer<TKxPager> alive(this);
    QElapsedTimer sinceEvents;
    while (HasNextPage()) {
        // Lets a click on "暂 停" (or closing the window) through between two pages. With a
        // fast service, painting the list after every page costs more than the pages, so
        // after the first page the window catches up about every 50 ms.
        if (!sinceEvents.isValid() || sinceEvents.elapsed() >= kEventsEveryMs) {
            QCoreApplication::processEvents();
            sinceEvents.start();
        }
        if (!alive)
            return loaded;
        if (m_stop)
            break;
        const int before = m_curPage;
        // A page that failed, or that did not move the list on, would be asked for forever.
        if (!m_fetch(before + 1) || m_curPage <= before)
            break;
        ++loaded;
    }
    m_running = false;
    return loaded;
}
