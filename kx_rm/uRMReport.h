#pragma once
// A report: a template, the data-set links and variables it prints with, and the ways to
// show it — designer, preview, printer, PDF file.
#include "uRMExpr.h"
#include "uRMTemplate.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QIODevice;
class TRMDBDataSet;
struct TRMPreparedReport;

class TRMReport : public QObject {
    Q_OBJECT
public:
    explicit TRMReport(QObject* owner = nullptr);
    ~TRMReport() override;

    TRMTemplate& Template() { return m_template; }
    const TRMTemplate& Template() const { return m_template; }
    // An empty template on a default sheet.
    void Clear();

    // The template data alone. A damaged or foreign stream leaves the report as it was,
    // returns false and says why in LastError.
    virtual bool LoadFromStream(QIODevice* stream);
    virtual bool SaveToStream(QIODevice* stream);
    bool LoadFromFile(const QString& fileName);
    bool SaveToFile(const QString& fileName);
    // The file last read or written; pictures with relative names are looked for beside it.
    QString FileName() const { return m_fileName; }
    QString LastError() const { return m_error; }

    // Links are not owned; a link that is freed drops out of the report.
    void AddDataSet(TRMDBDataSet* link);
    void ClearDataSets();
    QList<TRMDBDataSet*> DataSets() const;

    void SetVariable(const QString& name, const QVariant& value);
    void ClearVariables() { m_variables.clear(); }
    const TRMVariables& Variables() const { return m_variables; }

    // Lays the template out over the data; the result stays until the next call.
    bool PrepareReport();
    std::shared_ptr<const TRMPreparedReport> Prepared() const { return m_prepared; }

    bool ShowReport();    // the preview window, modal
    bool PrintReport();   // the print dialog, then the printer
    bool ExportPdf(const QString& fileName);
    // The designer, modal, on a copy of the template. True when the operator saved; each
    // save puts the copy into the report and runs the save handler (writing the file).
    bool DesignReport();
    void SetSaveHandler(std::function<bool()> handler) { m_saveHandler = std::move(handler); }
    bool RunSaveHandler() { return !m_saveHandler || m_saveHandler(); }

    // Prints the prepared report: print dialog (through the UI facade) and printer.
    bool PrintPrepared();

protected:
    void SetLastError(const QString& text) { m_error = text; }

private:
    TRMTemplate m_template;
    QString m_fileName;
    QString m_error;
    QList<QPointer<TRMDBDataSet>> m_links;
    TRMVariables m_variables;
    std::shared_ptr<const TRMPreparedReport> m_prepared;
    std::function<bool()> m_saveHandler;
};
