#pragma once
// Expressions inside template texts: plain text with [..] parts. A part names
//   alias."caption"   a field of the data set `alias`, found by its caption,
//   alias.field       a field by name (or caption),
//   SUM(alias.field)  the field added up over every row of `alias` (a voucher's totals),
//   variable          a report variable,
//   _RM_DateTime, _RM_Date, _RM_Time, _RM_Page, _RM_TotalPages, _RM_Line.
// A name that resolves to nothing prints empty and is listed as unknown.
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

class TRMDBDataSet;
class TField;

using TRMVariables = QList<QPair<QString, QVariant>>;

class TRMExpressions {
public:
    TRMExpressions(const QList<TRMDBDataSet*>& links, const TRMVariables& variables);

    // The text with every part replaced by its value for the current rows and page.
    QString Evaluate(const QString& text);

    // Index of the link with that alias, -1 when none.
    int LinkIndex(const QString& alias) const;
    TRMDBDataSet* Link(int index) const { return m_links[index]; }

    // Context of the evaluation, set by the renderer.
    void SetRow(int link, int row) { m_rows[size_t(link)] = row; }
    int Row(int link) const { return m_rows[size_t(link)]; }
    void SetPage(int page) { m_page = page; }
    void SetLine(int line) { m_line = line; }

    // The page count is not known while pages are laid out: its value is this marker,
    // replaced once all pages exist.
    static QString TotalPagesMarker();
    bool UsesTotalPages() const { return m_usesTotal; }

    void AddUnknown(const QString& name);
    const QStringList& Unknown() const { return m_unknown; }

    // Names a data set offers to templates: alias."caption" for every field.
    static QStringList FieldExpressions(const TRMDBDataSet& link);
    static QStringList SystemNames();

private:
    enum class Kind { Field, Sum, Variable, DateTime, Date, Time, Page, TotalPages, Line, Unknown };
    struct Ref {
        Kind kind = Kind::Unknown;
        int link = -1;
        TField* field = nullptr;
        QString text; // variable value as text
    };
    struct Segment {
        QString literal;
        int ref = -1;
    };

    Ref resolve(const QString& expr);
    Ref resolveField(const QString& expr);
    QString sum(const Ref& ref) const;
    const std::vector<Segment>& parse(const QString& text);
    QString value(const Ref& ref) const;

    QList<TRMDBDataSet*> m_links;
    TRMVariables m_variables;
    std::vector<int> m_rows;
    std::vector<Ref> m_refs;
    QHash<QString, int> m_refIndex;
    QHash<QString, std::vector<Segment>> m_parsed;
    QStringList m_unknown;
    int m_page = 1, m_line = 0;
    bool m_usesTotal = false;
};

// Text of a variable's value as a template prints it.
QString RMVariantText(const QVariant& value);
