#pragma once
// Words of a PDF with their places (pdftotext -bbox), page by page, in points.
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <vector>

struct TPdfWord {
    QString text;
    QRectF box; // points from the page's top-left corner
};

inline std::vector<std::vector<TPdfWord>> pdfWords(const QString& file)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), file, QStringLiteral("-")});
    std::vector<std::vector<TPdfWord>> pages;
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return pages;
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression tag(QStringLiteral(
        R"re(<page [^>]*>|<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            pages.emplace_back();
            continue;
        }
        if (pages.empty())
            continue;
        const double x0 = m.captured(1).toDouble(), y0 = m.captured(2).toDouble();
        pages.back().push_back({m.captured(5), QRectF(x0, y0, m.captured(3).toDouble() - x0, m.captured(4).toDouble() - y0)});
    }
    return pages;
}

inline const TPdfWord* pdfFind(const std::vector<TPdfWord>& page, const QString& text)
{
    for (const TPdfWord& w : page)
        if (w.text == text)
            return &w;
    return nullptr;
}

constexpr double kPtPerMm = 72 / 25.4;
