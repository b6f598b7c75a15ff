#include "uRMPreview.h"
#include "uRMEngine.h"
#include "uUiHooks.h"

#include <QComboBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

TRMPreviewForm::TRMPreviewForm(std::shared_ptr<const TRMPreparedReport> report, std::function<void()> print,
                               QWidget* parent)
    : QDialog(parent), m_report(std::move(report)), m_print(std::move(print))
{
    setWindowTitle(QStringLiteral("打印预览"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(900, 700);

    auto* bar = new QToolBar(this);
    bar->addAction(QStringLiteral("打印"), this, [this] { if (m_print) m_print(); });
    bar->addAction(QStringLiteral("导出PDF"), this, &TRMPreviewForm::ExportPdf);
    bar->addSeparator();
    bar->addAction(QStringLiteral("首页"), this, [this] { ShowPage(0); });
    bar->addAction(QStringLiteral("上一页"), this, [this] { ShowPage(m_page - 1); });
    m_pageBox = new QSpinBox(bar);
    m_pageBox->setRange(1, std::max(1, PageCount()));
    bar->addWidget(m_pageBox);
    m_pageCount = new QLabel(QStringLiteral(" / %1 ").arg(PageCount()), bar);
    bar->addWidget(m_pageCount);
    bar->addAction(QStringLiteral("下一页"), this, [this] { ShowPage(m_page + 1); });
    bar->addAction(QStringLiteral("末页"), this, [this] { ShowPage(PageCount() - 1); });
    bar->addSeparator();
    m_zoomBox = new QComboBox(bar);
    for (int z : {50, 75, 100, 150, 200})
        m_zoomBox->addItem(QStringLiteral("%1%").arg(z), z);
    m_zoomBox->addItem(QStringLiteral("页宽"), 0);
    m_zoomBox->setCurrentIndex(2);
    bar->addWidget(m_zoomBox);
    bar->addSeparator();
    bar->addAction(QStringLiteral("关闭"), this, &QDialog::reject);

    m_sheet = new QLabel;
    m_sheet->setAlignment(Qt::AlignCenter);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_sheet);
    m_scroll->setWidgetResizable(true);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_scroll);

    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int v) { ShowPage(v - 1); });
    connect(m_zoomBox, &QComboBox::currentIndexChanged, this,
            [this](int i) { SetZoom(m_zoomBox->itemData(i).toInt()); });
    render();
}

int TRMPreviewForm::PageCount() const { return int(m_report->pages.size()); }

void TRMPreviewForm::ShowPage(int index)
{
    index = std::clamp(index, 0, std::max(0, PageCount() - 1));
    if (index == m_page && !m_sheet->pixmap().isNull())
        return;
    m_page = index;
    const QSignalBlocker block(m_pageBox);
    m_pageBox->setValue(index + 1);
    render();
    m_scroll->verticalScrollBar()->setValue(0);
}

void TRMPreviewForm::SetZoom(int percent)
{
    m_zoom = percent;
    render();
}

double TRMPreviewForm::Scale() const
{
    if (m_zoom > 0)
        return m_zoom / 100.0;
    // Fit the width: the sheet at 96 dpi against the viewport less a margin.
    const double sheetPx = m_report->tmpl.page.width / 25.4 * 96;
    return std::max(0.1, (m_scroll->viewport()->width() - 24) / sheetPx);
}

void TRMPreviewForm::render()
{
    const double ratio = devicePixelRatioF();
    QImage img = RMPageImage(*m_report, m_page, 96 * Scale() * ratio);
    img.setDevicePixelRatio(ratio);
    m_sheet->setPixmap(QPixmap::fromImage(img));
}

void TRMPreviewForm::ExportPdf()
{
    QString file = KxUi().GetSaveFileName(this, QStringLiteral("导出PDF"), QString(), QStringLiteral("PDF 文件 (*.pdf)"));
    if (file.isEmpty())
        return;
    if (!file.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        file += QStringLiteral(".pdf");
    QString error;
    if (!RMExportPdf(*m_report, file, &error))
        KxShowError(error);
}
