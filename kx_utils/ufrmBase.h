#pragma once
// Module bases: TfrmBase (a window, shown modally or docked in a tab of the main window) and
// TmedBase (a module without a window). A module is created by class name, then given the
// service's module answer as its parameters (InitModule), then shown (ShowModule).
#include <QBuffer>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class TPClientDataSet;

// One module parameter: a child element of the module answer.
struct TKeyValueRecord {
    QString Key;
    QString Value;
};

// The parameters of one module, in answer order.
class TKxModuleParams {
public:
    // Every child element of the document element becomes one parameter (name, direct text).
    // False when the text is not an XML document; the parameters are then empty.
    bool Parse(const QString& xml);
    QString GetParam(const QString& name) const; // the last of that name wins
    bool GetPower(const QString& right) const;   // plain substring test on "modulepower"
    bool IsModal() const;                         // "modal" is exactly "true"
    const std::vector<TKeyValueRecord>& Items() const { return m_items; }

private:
    std::vector<TKeyValueRecord> m_items;
};

// What a module's report needs from the report engine. The engine's wrapper registers a
// factory (KxSetReportFactory); until one is registered GetReportEx hands out a holder that
// only keeps variables, data-set links and the template path, so modules can prepare a
// report without the engine being present.
class IKXReportEx {
public:
    virtual ~IKXReportEx() = default;
    virtual void VariablesClear() = 0;
    virtual void AddVariables(const QString& name, const QVariant& value) = 0;
    virtual void RMDataSetClear() = 0;
    virtual void AddCDataSet(TPClientDataSet* dataSet, const QString& alias, const QString& labels) = 0;
    virtual void SetFileName(const QString& fileName) = 0;
    virtual QString FileName() const = 0;
    virtual bool DesignReport() = 0;
    virtual bool PreviewReport() = 0;
    virtual bool PrintReport() = 0;
};

using TKxReportFactory = std::function<std::unique_ptr<IKXReportEx>()>;
void KxSetReportFactory(TKxReportFactory factory); // empty restores the holder

// The report holder used while no engine is registered: records, prints nothing.
class TKxReportHolder final : public IKXReportEx {
public:
    struct Link {
        TPClientDataSet* dataSet;
        QString alias;
        QStringList labels;
    };
    QList<QPair<QString, QVariant>> variables;
    QList<Link> links;

    void VariablesClear() override { variables.clear(); }
    void AddVariables(const QString& name, const QVariant& value) override;
    void RMDataSetClear() override { links.clear(); }
    void AddCDataSet(TPClientDataSet* dataSet, const QString& alias, const QString& labels) override;
    void SetFileName(const QString& fileName) override { m_fileName = fileName; }
    QString FileName() const override { return m_fileName; }
    bool DesignReport() override { return false; }
    bool PreviewReport() override { return false; }
    bool PrintReport() override { return false; }

private:
    QString m_fileName;
};

// True for a bare file name: no folder separators, drive letter or "..". Names the service
// sends (packages, report templates) must pass before they are joined to a folder.
bool KxIsPlainFileName(const QString& name);

// The folder of the running program (where bpl/, image/, rmf/ live).
QString KxProgramDir();

class TfrmBase : public QWidget {
    Q_OBJECT
public:
    // A top-level window owned by `owner` (freed with it); DockInto makes it a child.
    Q_INVOKABLE explicit TfrmBase(QWidget* owner = nullptr);
    ~TfrmBase() override;

    virtual void InitModule(const QString& xml);
    QString GetParam(const QString& name) const { return m_params.GetParam(name); }
    bool GetPower(const QString& right) const { return m_params.GetPower(right); }
    bool IsModal() const { return m_params.IsModal(); }
    const std::vector<TKeyValueRecord>& Params() const { return m_params.Items(); }

    // Modal: shown through the UI facade, returns its modal result. Otherwise shown without
    // waiting, returns -1.
    int ShowModule();
    // Puts the window into `host` without frame, filling it.
    void DockInto(QWidget* host);

    // Ends a modal window with a result (mrOk, mrCancel, ...), as a dialog button does.
    void SetModalResult(int result);
    int ModalResult() const;

    QBuffer* ResultStream() { return &m_resultStream; }
    QStringList& FixedConditions() { return m_fixedConditions; }

    IKXReportEx* GetReportEx();
    void SetRePortFile(const QString& name);

protected:
    // The form's own close handling; runs before DoClose decides whether the window is freed.
    virtual void FormClose(QCloseEvent* event) {}
    void closeEvent(QCloseEvent* event) override;
    void DoClose(QCloseEvent* event);

private:
    TKxModuleParams m_params;
    QByteArray m_resultBytes;
    QBuffer m_resultStream;
    QStringList m_fixedConditions;
    std::unique_ptr<IKXReportEx> m_report;
};

class TmedBase : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TmedBase(QObject* owner = nullptr);

    virtual void InitModule(const QString& xml);
    QString GetParam(const QString& name) const { return m_params.GetParam(name); }
    bool GetPower(const QString& right) const { return m_params.GetPower(right); }
    const std::vector<TKeyValueRecord>& Params() const { return m_params.Items(); }
    QBuffer* ResultStream() { return &m_resultStream; }

private:
    TKxModuleParams m_params;
    QByteArray m_resultBytes;
    QBuffer m_resultStream;
};
