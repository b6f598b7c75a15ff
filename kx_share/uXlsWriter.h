#pragma once
// A small writer of genuine Excel 97-2003 workbooks (BIFF8 inside a compound file): one
// sheet per 65,535 data rows, each headed by the same caption row; text kept as Unicode,
// numbers as numbers.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

class TXlsWriter {
public:
    struct Column {
        QString Caption;
        int WidthPx = 80;
        bool Amount = false; // shown with the number format "0.00"
    };

    explicit TXlsWriter(QList<Column> columns) : m_columns(std::move(columns)) {}
    // One value per column: a QString, a double/int (a number), a bool, or invalid (blank).
    void AddRow(QList<QVariant> values) { m_rows.append(std::move(values)); }
    QByteArray Build() const;
    bool Save(const QString& fileName, QString* error) const;

    static constexpr int MaxRowsPerSheet = 65535;

private:
    QByteArray workbookStream() const;

    QList<Column> m_columns;
    QList<QList<QVariant>> m_rows;
};
