#pragma once
// A data-set link: how a template sees one client data set. Templates name it by its alias
// and may address its fields by caption through the field labels ("field=caption" lines).
#include <QObject>
#include <QPointer>
#include <QStringList>

#include "uPClientDataSet.h"


class TRMDBDataSet : public QObject {
    Q_OBJECT
public:
    explicit TRMDBDataSet(QObject* owner = nullptr) : QObject(owner) {}

    TPClientDataSet* DataSet() const { return m_dataSet; }
    void SetDataSet(TPClientDataSet* dataSet) { m_dataSet = dataSet; }
    QString Alias() const { return m_alias; }
    void SetAlias(const QString& alias) { m_alias = alias; }
    const QStringList& FieldLabels() const { return m_labels; }
    void SetFieldLabels(const QStringList& labels) { m_labels = labels; }

    // The field named `name`, or failing that the field whose caption is `name` (the labels
    // first, then the data set's own display labels). Null when none matches.
    TField* FindField(const QString& name) const;
    TField* FieldByCaption(const QString& caption) const;
    // Caption of a field for lists: its label, its display label or its name.
    QString CaptionOf(const QString& fieldName) const;

private:
    QPointer<TPClientDataSet> m_dataSet;
    QString m_alias;
    QStringList m_labels;
};
