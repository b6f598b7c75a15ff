#include "uRMExpr.h"
#include "uRMDataSet.h"
#include "TDecimal.h"
#include "uPClientDataSet.h"
#include "wire/uClock.h"

TRMExpressions::TRMExpressions(const QList<TRMDBDataSet*>& links, const TRMVariables& variables)
    : m_links(links), m_variables(variables), m_rows(size_t(links.size()), -1)
{
}

QString TRMExpressions::TotalPagesMarker() { return QStringLiteral("\uE000TP\uE000"); }

QStringList TRMExpressions::SystemNames()
{
    return {QStringLiteral("_RM_DateTime"), QStringLiteral("_RM_Date"), QStringLiteral("_RM_Time"),
            QStringLiteral("_RM_Page"), QStringLiteral("_RM_TotalPages"), QStringLiteral("_RM_Line")};
}

QStringList TRMExpressions::FieldExpressions(const TRMDBDataSet& link)
{
    QStringList out;
    if (TPClientDataSet* ds = link.DataSet())
        for (int i = 0; i < ds->FieldCount(); ++i)
            out << QStringLiteral("%1.\"%2\"").arg(link.Alias(), link.CaptionOf(ds->Fields(i)->FieldName()));
    return out;
}

int TRMExpressions::LinkIndex(const QString& alias) const
{
    for (int i = 0; i < m_links.size(); ++i)
        if (m_links[i] && m_links[i]->Alias() == alias)
            return i;
    return -1;
}

void TRMExpressions::AddUnknown(const QString& name)
{
    if (!m_unknown.contains(name))
        m_unknown.append(name);
}

TRMExpressions::Ref TRMExpressions::resolve(const QString& expr)
{
    Ref r;
    static const QList<QPair<QString, Kind>> system = {
        {QStringLiteral("_RM_DateTime"), Kind::DateTime}, {QStringLiteral("_RM_Date"), Kind::Date},
        {QStringLiteral("_RM_Time"), Kind::Time},         {QStringLiteral("_RM_Page"), Kind::Page},
        {QStringLiteral("_RM_TotalPages"), Kind::TotalPages}, {QStringLiteral("_RM_Line"), Kind::Line}};
    for (const auto& s : system)
        if (expr.compare(s.first, Qt::CaseInsensitive) == 0) {
            r.kind = s.second;
            m_usesTotal = m_usesTotal || r.kind == Kind::TotalPages;
            return r;
        }
    // The last value set under a name wins, as when it is set again.
    for (auto it = m_variables.crbegin(); it != m_variables.crend(); ++it)
        if (it->first == expr) {
            r.kind = Kind::Variable;
            r.text = RMVariantText(it->second);
            return r;
        }
    // SUM(alias.field)
    if (expr.size() > 5 && expr.startsWith(QLatin1String("SUM("), Qt::CaseInsensitive) && expr.endsWith(u')')) {
        r = resolveField(expr.mid(4, expr.size() - 5).trimmed());
        if (r.kind == Kind::Field)
            r.kind = Kind::Sum;
    } else {
        r = resolveField(expr);
    }
    if (r.kind == Kind::Unknown)
        AddUnknown(expr);
    return r;
}

TRMExpressions::Ref TRMExpressions::resolveField(const QString& expr)
{
    Ref r;
    const qsizetype dot = expr.indexOf(u'.');
    if (dot > 0) {
        const int link = LinkIndex(expr.left(dot).trimmed());
        QString name = expr.mid(dot + 1).trimmed();
        const bool byCaption = name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"');
        if (byCaption)
            name = name.mid(1, name.size() - 2);
        if (link >= 0) {
            TRMDBDataSet* l = m_links[link];
            r.field = byCaption ? l->FieldByCaption(name) : l->FindField(name);
            if (r.field) {
                r.kind = Kind::Field;
                r.link = link;
                return r;
            }
        }
    }
    return r;
}

// Added exactly as the cells print, to as many decimals as the most precise cell.
QString TRMExpressions::sum(const Ref& ref) const
{
    TPClientDataSet* ds = m_links[ref.link]->DataSet();
    TDecimal total;
    int scale = 0;
    for (int row = 0; ds && row < ds->RecordCount(); ++row) {
        const QString text = ds->DisplayTextAt(row, ref.field);
        const auto d = text.isEmpty() ? std::nullopt : TDecimal::Parse(QStringView(text));
        const auto added = d ? total.Add(*d) : std::nullopt;
        if (!added)
            continue;   // not a number: it adds nothing, as an empty cell
        total = *added;
        scale = qMax(scale, d->Scale());
    }
    const auto shown = total.Rescaled(scale);
    return shown ? shown->ToString() : QString();
}

const std::vector<TRMExpressions::Segment>& TRMExpressions::parse(const QString& text)
{
    auto it = m_parsed.constFind(text);
    if (it != m_parsed.constEnd())
        return *it;
    std::vector<Segment> segs;
    QString literal;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf(u'[', i);
        const qsizetype close = open < 0 ? -1 : text.indexOf(u']', open + 1);
        // A bracket that never closes, or a part holding another '[', is plain text.
        const qsizetype nested = close < 0 ? -1 : text.indexOf(u'[', open + 1);
        if (open < 0 || close < 0) {
            literal += text.mid(i);
            break;
        }
        if (nested >= 0 && nested < close) {
            literal += text.mid(i, nested - i);
            i = nested;
            continue;
        }
        literal += text.mid(i, open - i);
        const QString expr = text.mid(open + 1, close - open - 1).trimmed();
        if (!literal.isEmpty()) {
            segs.push_back({literal, -1});
            literal.clear();
        }
        int ref = m_refIndex.value(expr, -1);
        if (ref < 0) {
            ref = int(m_refs.size());
            m_refs.push_back(resolve(expr));
            m_refIndex.insert(expr, ref);
        }
        segs.push_back({QString(), ref});
        i = close + 1;
    }
    if (!literal.isEmpty())
        segs.push_back({literal, -1});
    return *m_parsed.insert(text, std::move(segs));
}

QString TRMExpressions::value(const Ref& ref) const
{
    switch (ref.kind) {
    case Kind::Field: {
        TPClientDataSet* ds = m_links[ref.link]->DataSet();
        if (!ds)
            return QString();
        int row = m_rows[size_t(ref.link)];
        if (row == -1) // no row chosen: the current record; below -1: none
            row = ds->CurrentIndex();
        return row >= 0 && row < ds->RecordCount() ? ds->DisplayTextAt(row, ref.field) : QString();
    }
    case Kind::Sum: return sum(ref);
    case Kind::Variable: return ref.text;
    case Kind::DateTime: return KxNow().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case Kind::Date: return KxNow().toString(QStringLiteral("yyyy-MM-dd"));
    case Kind::Time: return KxNow().toString(QStringLiteral("HH:mm:ss"));
    case Kind::Page: return QString::number(m_page);
    case Kind::TotalPages: return TotalPagesMarker();
    case Kind::Line: return QString::number(m_line);
    case Kind::Unknown: break;
    }
    return QString();
}

QString TRMExpressions::Evaluate(const QString& text)
{
    if (!text.contains(u'['))
        return text;
    QString out;
    for (const Segment& s : parse(text))
        out += s.ref < 0 ? s.literal : value(m_refs[size_t(s.ref)]);
    return out;
}

QString RMVariantText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime: return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::QDate: return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime: return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::Double: return QString::number(value.toDouble(), 'g', 15);
    default: return value.toString();
    }
}
