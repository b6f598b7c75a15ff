#pragma once
// The report of a module window: binds data sets and variables to a template file and
// designs, previews or prints it. Holding Ctrl while asking for a preview or a print opens
// the designer instead. Once KxRegisterReportEngine has run, TfrmBase::GetReportEx hands
// out one of these.
#include "ufrmBase.h"

#include <QObject>
#include <functional>

class TRMDBDataSet;
class TRMReportEx;

class TKXReport : public QObject, public IKXReportEx {
    Q_OBJECT
public:
    explicit TKXReport(QObject* owner = nullptr);
    ~TKXReport() override;

    TRMReportEx* Report() const { return m_report; }
    // The links in the order they were added; freed links leave a null entry, so that later
    // links continue the numbering.
    const QList<TRMDBDataSet*>& Links() const { return m_links; }

    void AddVariables(const QString& name, const QVariant& value) override;
    void VariablesClear() override;
    void AddCDataSet(TPClientDataSet* dataSet, const QString& alias, const QString& labels) override;
    void RMDataSetClear() override;
    void SetFileName(const QString& fileName) override { m_fileName = fileName; }
    QString FileName() const override { return m_fileName; }
    bool DesignReport() override;
    bool PreviewReport() override;
    bool PrintReport() override;

private:
    bool loadIfPresent(bool* present);
    bool ctrlHeld() const;

    TRMReportEx* m_report;
    QList<TRMDBDataSet*> m_links;
    QString m_fileName;
};

// Puts TKXReport behind every module window's GetReportEx (KxSetReportFactory). The program
// calls it once at start, before any package is loaded; so do tests that want the engine.
void KxRegisterReportEngine();

// Where the state of the modifier keys comes from; tests put their own. An empty function
// restores the keyboard.
void KxSetKeyboardModifiersHook(std::function<Qt::KeyboardModifiers()> hook);
