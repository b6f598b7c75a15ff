#pragma once
// Pairs a detail data set with the current record of a master: the detail shows only the
// rows whose detail field equals the master field of the master's current record.
#include <QObject>
#include <QPointer>

class TPClientDataSet;

class TMasterDetailLink : public QObject {
    Q_OBJECT
public:
    TMasterDetailLink(TPClientDataSet* master, const QString& masterField, TPClientDataSet* detail,
                      const QString& detailField, QObject* parent = nullptr);

    // Filters the detail by the master's current record (nothing when there is none).
    void Refresh();

private:
    QPointer<TPClientDataSet> m_master, m_detail;
    QString m_masterField, m_detailField;
};
