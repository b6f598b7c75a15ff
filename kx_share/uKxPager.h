#pragma once
// The paging part of every paged list: the current page and page count, the record label,
// "下一页", and "剩余页" (every remaining page, letting input run between pages so that
// "暂 停" can stop it). The list itself fetches a page through the callback; the pager only
// decides which page comes next and when to stop.
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAbstractButton;
class QLabel;
class TPClientDataSet;

class TKxPager : public QObject {
    Q_OBJECT
public:
    // Fetches one page with the list's saved conditions; true when the page arrived (the
    // list then calls PageLoaded), false when the call failed.
    using TFetchPage = std::function<bool(int page)>;

    explicit TKxPager(QObject* parent = nullptr);

    void SetFetchPage(TFetchPage fetch) { m_fetch = std::move(fetch); }
    // Optional widgets: the label shows RecordText(), the buttons run NextPage,
    // RemainingPages and Pause.
    void Bind(QLabel* label, QAbstractButton* next, QAbstractButton* remaining, QAbstractButton* pause);

    // A page arrived: `page` becomes current; the page count is "pagecount" (1 when it is
    // not a number) and the record count "recordcount" (`loadedRows` when it is not one).
    void PageLoaded(int page, const QString& pageCount, const QString& recordCount, int loadedRows);
    // Rows added to or deleted from `rows` after a page arrived (a saved new record, a deleted
    // one) move the record count with them, until the next page brings the service's count.
    void FollowRows(TPClientDataSet* rows);

    int CurPage() const { return m_curPage; }
    int PageCount() const { return m_pageCount; }
    int RecordCount() const { return m_recordCount; }
    bool HasNextPage() const { return m_curPage < m_pageCount; }
    // "记录总数：%d 条， 第 %d 页/共 %d 页"
    QString RecordText() const;

    // "下一页": the next page when there is one. False when there was none or it failed.
    bool NextPage();
    // "剩余页": pages after the current one until the last, a pause, or a failed page (which
    // would otherwise be asked for again and again). Returns the number of pages loaded.
    int RemainingPages();
    // "暂 停": the remaining-pages loop stops before its next page.
    void Pause() { m_stop = true; }
    bool Running() const { return m_running; }

signals:
    void pageChanged();

private:
    TFetchPage m_fetch;
    int m_curPage = 1;
    int m_pageCount = 1;
    int m_recordCount = 0;
    int m_serviceCount = 0;   // the record count the last page brought
    int m_rowsAtLoad = 0;     // the rows loaded when it arrived
    QPointer<TPClientDataSet> m_rows;
    bool m_stop = false;
    bool m_running = false;
    QPointer<QLabel> m_label;
};
