#include "uRMPageSetup.h"
#include "uUiHooks.h"

#include <QBuffer>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

struct Paper {
    const char16_t* name;
    double width, height;
};

// Sheets in common use for vouchers and delivery notes.
const Paper kPapers[] = {
    {u"A4 (210×297)", 210, 297},
    {u"A5 (148×210)", 148, 210},
    {u"二等分 (241×140)", 241, 140},
    {u"三等分 (241×93)", 241, 93},
    {u"热敏 (80×200)", 80, 200},
};

QDoubleSpinBox* lengthBox(double value, double max)
{
    auto* b = new QDoubleSpinBox;
    b->setRange(0, max);
    b->setDecimals(1);
    b->setSingleStep(1);
    b->setSuffix(QStringLiteral(" mm"));
    b->setValue(value);
    return b;
}

} // namespace

TRMPageSetupForm::TRMPageSetupForm(const TRMPageSetup& page, QWidget* parent) : QDialog(parent), m_page(page)
{
    setWindowTitle(QStringLiteral("页面设置"));
    m_paper = new QComboBox;
    for (const Paper& p : kPapers)
        m_paper->addItem(QString::fromUtf16(p.name));
    m_paper->addItem(QStringLiteral("自定义"));
    m_width = lengthBox(page.width, 5000);
    m_height = lengthBox(page.height, 5000);
    m_width->setMinimum(10);
    m_height->setMinimum(10);
    m_left = lengthBox(page.left, 200);
    m_top = lengthBox(page.top, 200);
    m_right = lengthBox(page.right, 200);
    m_bottom = lengthBox(page.bottom, 200);
    m_portrait = new QRadioButton(QStringLiteral("纵向"));
    m_landscape = new QRadioButton(QStringLiteral("横向"));
    (page.width > page.height ? m_landscape : m_portrait)->setChecked(true);
    m_background = new QLabel;
    auto* choose = new QPushButton(QStringLiteral("选择..."));
    auto* clear = new QPushButton(QStringLiteral("清除"));

    auto* orient = new QHBoxLayout;
    orient->addWidget(m_portrait);
    orient->addWidget(m_landscape);
    auto* bg = new QHBoxLayout;
    bg->addWidget(m_background, 1);
    bg->addWidget(choose);
    bg->addWidget(clear);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("纸张："), m_paper);
    form->addRow(QStringLiteral("宽度："), m_width);
    form->addRow(QStringLiteral("高度："), m_height);
    form->addRow(QStringLiteral("方向："), orient);
    form->addRow(QStringLiteral("左边距："), m_left);
    form->addRow(QStringLiteral("上边距："), m_top);
    form->addRow(QStringLiteral("右边距："), m_right);
    form->addRow(QStringLiteral("下边距："), m_bottom);
    form->addRow(QStringLiteral("背景图片："), bg);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    form->addRow(buttons);

    m_paper->setCurrentIndex(m_paper->count() - 1);
    for (int i = 0; i < int(std::size(kPapers)); ++i) {
        const Paper& p = kPapers[i];
        if ((p.width == page.width && p.height == page.height) || (p.width == page.height && p.height == page.width))
            m_paper->setCurrentIndex(i);
    }
    showBackground();

    connect(m_paper, &QComboBox::activated, this, &TRMPageSetupForm::paperChosen);
    // Turning the sheet swaps its sides.
    connect(m_landscape, &QRadioButton::toggled, this, [this](bool landscape) {
        const double w = m_width->value(), h = m_height->value();
        if ((w > h) != landscape) {
            m_width->setValue(h);
            m_height->setValue(w);
        }
    });
    connect(choose, &QPushButton::clicked, this, &TRMPageSetupForm::chooseBackground);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_page.backgroundData.clear();
        m_page.backgroundFile.clear();
        showBackground();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (m_left->value() + m_right->value() >= m_width->value()
            || m_top->value() + m_bottom->value() >= m_height->value()) {
            KxShowError(QStringLiteral("页边距超出纸张！"));
            return;
        }
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void TRMPageSetupForm::paperChosen(int index)
{
    if (index < 0 || index >= int(std::size(kPapers)))
        return;
    const Paper& p = kPapers[index];
    const bool landscape = m_landscape->isChecked();
    m_width->setValue(landscape ? std::max(p.width, p.height) : p.width);
    m_height->setValue(landscape ? std::min(p.width, p.height) : p.height);
}

bool KxPickPicturePng(QWidget* parent, const QString& caption, QByteArray& png)
{
    const QString file = KxUi().GetOpenFileName(parent, caption, QString(),
                                                QStringLiteral("图片 (*.png *.jpg *.jpeg *.bmp)"));
    if (file.isEmpty())
        return false;
    QImage img;
    if (!img.load(file)) {
        KxShowError(QStringLiteral("图片文件无法读取：%1").arg(file));
        return false;
    }
    // Kept inside the template as PNG, so the template travels without the file.
    png.clear();
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return true;
}

void TRMPageSetupForm::chooseBackground()
{
    QByteArray png;
    if (!KxPickPicturePng(this, QStringLiteral("背景图片"), png))
        return;
    m_page.backgroundData = png;
    m_page.backgroundFile.clear();
    showBackground();
}

void TRMPageSetupForm::showBackground()
{
    m_background->setText(m_page.backgroundData.isEmpty() && m_page.backgroundFile.isEmpty()
                              ? QStringLiteral("（无）")
                              : m_page.backgroundFile.isEmpty() ? QStringLiteral("（已嵌入）") : m_page.backgroundFile);
}

TRMPageSetup TRMPageSetupForm::Page() const
{
    TRMPageSetup p = m_page;
    p.width = m_width->value();
    p.height = m_height->value();
    p.left = m_left->value();
    p.top = m_top->value();
    p.right = m_right->value();
    p.bottom = m_bottom->value();
    p.landscape = m_landscape->isChecked();
    return p;
}
