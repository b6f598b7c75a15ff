#pragma once
// A report that keeps its sheet in its stored form: six little-endian 32-bit integers —
// left, top, right, bottom margin, paper width, paper height, all in thousandths of a
// millimetre — ahead of the template data.
#include "uRMReport.h"

class TRMReportEx : public TRMReport {
    Q_OBJECT
public:
    static constexpr int HeaderSize = 24;

    explicit TRMReportEx(QObject* owner = nullptr);

    int MarginLeft() const { return m_marginLeft; }
    int MarginTop() const { return m_marginTop; }
    int MarginRight() const { return m_marginRight; }
    int MarginBottom() const { return m_marginBottom; }
    int PaperWidth() const { return m_paperWidth; }
    int PaperHeight() const { return m_paperHeight; }
    void SetMarginLeft(int value);
    void SetMarginTop(int value);
    void SetMarginRight(int value);
    void SetMarginBottom(int value);
    void SetPaperWidth(int value);
    void SetPaperHeigth(int value);

    // Puts the stored margins and paper onto the page: a custom sheet, portrait, whose size
    // is the paper rounded to tenths of a millimetre.
    void ChangePaper();
    bool DesignReportEx();
    bool PreviewReportEx();
    bool PrintReportEx();

    bool LoadFromStream(QIODevice* stream) override;
    bool SaveToStream(QIODevice* stream) override;

private:
    int m_marginLeft = 10000, m_marginTop = 10000, m_marginRight = 10000, m_marginBottom = 10000;
    int m_paperWidth = 210000, m_paperHeight = 297000;
};
