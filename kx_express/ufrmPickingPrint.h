#pragma once
// What the two picking print dialogs share: the sender list and its report variables, the
// picking lists as the report's "拣货单" and "拣货单明细", and their own report.
#include "ufrmBase.h"

#include <QStringList>

class QComboBox;
class QGridLayout;
class QPushButton;
class TKXReport;
class TPClientDataSet;

class TfrmPickingPrint : public TfrmBase {
    Q_OBJECT
public:
    explicit TfrmPickingPrint(QWidget* owner = nullptr);
    ~TfrmPickingPrint() override;

    // Senders, and what the dialog lists besides.
    void InitModule(const QString& xml) override;

    // The picking lists to print, read with the "search" method ("pickingid": the numbers
    // joined by ","; headers in "xmldata", lines in "xmldetail" when it gives them).
    bool LoadPickings(const QStringList& pickingIds);
    // Or the caller's own data sets (not owned).
    void SetPickings(TPClientDataSet* headers, TPClientDataSet* lines);

    TKXReport* Report() const { return m_report; }
    QComboBox* SenderBox() const { return m_sender; }
    TPClientDataSet* Senders() const { return m_senders; }
    TPClientDataSet* Headers() const { return m_headers; }
    TPClientDataSet* Lines() const { return m_lines; }

    void LoadSenders();
    // The nine sender variables of the chosen sender (none when it is not in the list).
    void SetSenderVariables();
    void btnSenderClick();

protected:
    QString method(const char* param, const char* fallback) const;
    // The dialog's grid with its first row: "选择发件人：", the sender box, "编辑发件人信息".
    QGridLayout* SenderGrid();
    // "退     出", closing the dialog.
    QPushButton* ExitButton();
    // The report (its file set) with the sender variables into a PDF file; `nothing` is said
    // when there is nothing to print.
    bool ExportPdf(const QString& fileName, const QString& nothing);
    QComboBox* m_sender;

private:
    TKXReport* m_report;
    TPClientDataSet* m_senders;
    TPClientDataSet* m_ownHeaders;
    TPClientDataSet* m_ownLines;
    TPClientDataSet* m_headers = nullptr;
    TPClientDataSet* m_lines = nullptr;
};
