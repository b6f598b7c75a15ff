#include "uFrmPrintInfo.h"

#include "uCallModule.h"
#include "uExpressLayout.h"
#include "uKX_Designer.h"
#include "uUiHooks.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>

namespace {
constexpr int kBoxWidth = 110, kBoxHeight = 20, kColumns = 3;
}

// Boxes stand at fixed places, as the labels they make start at the box's place.
TFrmPrintInfo::TFrmPrintInfo(QWidget* owner) : TfrmBase(owner)
{
    setWindowTitle(QStringLiteral("快递单打印内容设置"));
    int top = 8;
    for (const TExpressGroup& g : KxExpressGroups()) {
        auto* group = new QGroupBox(g.caption, this);
        const int rows = int((g.fields.size() + kColumns - 1) / kColumns);
        group->setGeometry(8, top, 16 + kColumns * kBoxWidth, 24 + rows * (kBoxHeight + 4));
        group->setProperty("dataSet", g.dataSet);
        int i = 0;
        for (const TExpressField& f : g.fields) {
            auto* box = new QCheckBox(f.caption, group);
            box->setObjectName(f.key);
            box->setProperty("expression", KxExpressExpression(g, f));
            box->setGeometry(8 + (i % kColumns) * kBoxWidth, 20 + (i / kColumns) * (kBoxHeight + 4), kBoxWidth - 6, kBoxHeight);
            connect(box, &QCheckBox::toggled, this, [this, box] { BoxClick(box); });
            m_boxes << box;
            ++i;
        }
        top += group->height() + 6;
    }
    auto* close = new QPushButton(QStringLiteral("关  闭"), this);
    close->setGeometry(8 + kColumns * kBoxWidth - 80, top + 4, 96, 26);
    connect(close, &QPushButton::clicked, this, [this] { SetModalResult(mrOk); });
    setFixedSize(32 + kColumns * kBoxWidth, top + 40);
}

void TFrmPrintInfo::SetDesigner(TKX_FormDesigner* designer)
{
    m_designer = designer;
    m_filling = true;
    for (QCheckBox* box : m_boxes)
        box->setChecked(designer && designer->HasLabel(box->objectName()));
    m_filling = false;
}

QCheckBox* TFrmPrintInfo::Box(const QString& key) const
{
    for (QCheckBox* box : m_boxes)
        if (box->objectName() == key)
            return box;
    return nullptr;
}

void TFrmPrintInfo::BoxClick(QCheckBox* box)
{
    if (m_filling || !m_designer)
        return;
    const QString key = box->objectName();
    if (!box->isChecked()) {
        m_designer->RemoveLabel(key);
        return;
    }
    if (m_designer->HasLabel(key))
        return;
    const QWidget* group = box->parentWidget();
    TExpressLabel label;
    label.name = key;
    label.memo = box->property("expression").toString();
    label.fontSize = 12;
    label.rect = QRect(box->x() + 20, group->y() + box->y(), box->width(), box->height());
    m_designer->AddLabel(label);
}

KX_REGISTER_CLASS(TFrmPrintInfo)
