#pragma once
// The preview window: one prepared report, page by page, with zoom, printing and export to
// a PDF file.
#include <QDialog>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;
struct TRMPreparedReport;

class TRMPreviewForm : public QDialog {
    Q_OBJECT
public:
    // `print` prints the report (the print dialog is its business).
    TRMPreviewForm(std::shared_ptr<const TRMPreparedReport> report, std::function<void()> print,
                   QWidget* parent = nullptr);

    int PageIndex() const { return m_page; }
    int PageCount() const;
    void ShowPage(int index);
    // Zoom in per cent of the real size; 0 fits the page width.
    void SetZoom(int percent);
    double Scale() const;
    // Asks for a file name and writes the whole report there as PDF.
    void ExportPdf();

private:
    void render();

    std::shared_ptr<const TRMPreparedReport> m_report;
    std::function<void()> m_print;
    int m_page = 0;
    int m_zoom = 100;
    QScrollArea* m_scroll;
    QLabel* m_sheet;
    QSpinBox* m_pageBox;
    QLabel* m_pageCount;
    QComboBox* m_zoomBox;
};
