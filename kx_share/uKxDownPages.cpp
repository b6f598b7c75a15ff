#include "uKxDownPages.h"

#include "uHttpWeb.h"

#include <QProgressBar>

namespace {
bool call(const TKxDownPages& down, int pageNo, int pageSize, QString* total)
{
    THttpWeb web;
    web.setModule(down.method);
    for (const auto& p : down.params)
        web.Request()->AddParams(p.first, p.second);
    web.Request()->AddParams(QStringLiteral("page_no"), QString::number(pageNo));
    web.Request()->AddParams(QStringLiteral("page_size"), QString::number(pageSize));
    if (!web.SendData())
        return false;
    if (total)
        *total = web.Response()->GetParam(QStringLiteral("total_results")).trimmed();
    return true;
}

// Progress as a share of the total, held inside the bar's range.
void show(QProgressBar* bar, qint64 value)
{
    bar->setValue(int(qBound(qint64(bar->minimum()), value, qint64(bar->maximum()))));
}
}

bool KxDownPages(const TKxDownPages& down, QProgressBar* bar, const std::function<void()>& afterPage)
{
    show(bar, 0);
    QString text;
    if (!call(down, 1, 1, &text))
        return false;
    const qint64 total = qMax<qint64>(0, text.toLongLong());
    if (total == 0) {
        bar->setValue(bar->maximum());
        return true;
    }
    show(bar, 100 / total);
    const qint64 pages = (total + down.pageSize - 1) / down.pageSize;
    for (qint64 p = 1; p <= pages; ++p) {
        if (!call(down, int(p), down.pageSize, nullptr))
            return false;
        show(bar, p * down.pageSize * 100 / total);
        if (afterPage)
            afterPage();
    }
    bar->setValue(bar->maximum());
    return true;
}
