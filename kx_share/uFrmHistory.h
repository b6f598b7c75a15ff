#pragma once
// The history of one document or master record: every save, audit and delete, newest first,
// page by page, each with when, who, from which address, what was done and what changed
// ("备注: （空） → 到货少一箱", "第 3 行 G100101 数量: 5 → 7"). Read only.
#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;
class TKxPager;
class TPClientDataSet;

class TFrmHistory : public QDialog {
    Q_OBJECT
public:
    // `method`: the service method the module names for it ("history"); `area`: the record's
    // area as its module's methods name it ("Receive"); `key`: the document number or row key.
    TFrmHistory(const QString& method, const QString& area, const QString& key, const QString& title, QWidget* owner = nullptr);

    // Loads page 1; false when the call failed (the client has said why).
    bool Open();

    QTableWidget* Table() const { return m_table; }
    TKxPager* Pager() const { return m_pager; }
    QLabel* RecordLabel() const { return m_label; }

    // One change as a person reads it.
    static QString ChangeText(int line, const QString& kind, const QString& item, const QString& caption, const QString& oldValue,
                              const QString& newValue);

private:
    bool fetch(int page);
    void append(TPClientDataSet& entries, TPClientDataSet& changes);

    QString m_method, m_area, m_key;
    QTableWidget* m_table;
    QLabel* m_label;
    TKxPager* m_pager;
};

// Opens the history window modally over `owner` for the record; a record not saved yet has
// none, and the operator is told so.
void KxShowHistory(QWidget* owner, const QString& method, const QString& area, const QString& key, const QString& title);
// The area of a module's records from one of its method names ("Receive.Update" -> "Receive").
QString KxRecordArea(const QString& method);
