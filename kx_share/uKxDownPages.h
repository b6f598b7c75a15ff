#pragma once
// The download loop of the marketplace download dialogs: a one-row probe for the total, then
// the pages of it, the progress bar following. The service stores what it fetches; the loop
// only drives it and shows how far it got.
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

class QProgressBar;

struct TKxDownPages {
    QString method;                             // service method called for every page
    QList<QPair<QString, QString>> params;      // sent before "page_no" and "page_size"
    int pageSize = 50;
};

// Runs the probe and every page. The bar stands at 0, then at 100 div total after the probe,
// then at page × size × 100 div total after each page, never past its maximum; a completed
// download leaves it at the maximum. `afterPage`, when given, runs after every page (the
// window repaints there). False when a call failed (already shown); the pages after it are
// not asked for.
bool KxDownPages(const TKxDownPages& down, QProgressBar* bar, const std::function<void()>& afterPage = {});
