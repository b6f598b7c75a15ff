#pragma once
// "打印快递单": waybills for the picking lists on a chosen carrier's template, with a chosen
// sender; shown on screen first, then printed or written to a PDF file.
#include "ufrmPickingPrint.h"

#include <functional>

class QComboBox;
class TPClientDataSet;

class TfrmPickingKD : public TfrmPickingPrint {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmPickingKD(QWidget* owner = nullptr);

    // Senders and the templates in use.
    void InitModule(const QString& xml) override;

    QComboBox* TemplateBox() const { return m_template; }
    void LoadTemplates();
    // The chosen template's printable report, read from the service (kept in "express/");
    // empty when no template is chosen or its file is missing or unreadable (shown).
    QString ReportFile();

    void btnTemplateClick();
    void btnPrintClick();
    // The waybills into a PDF file, without the preview.
    bool PrintToPdf(const QString& fileName);
    void btnSendClick();
    // What "批量设置物流公司和运单号" hands the shipping dialog over to.
    void SetSendHandOver(std::function<void()> handOver) { m_handOver = std::move(handOver); }

private:
    bool prepare();

    QComboBox* m_template;
    TPClientDataSet* m_templates;
    std::function<void()> m_handOver;
};
