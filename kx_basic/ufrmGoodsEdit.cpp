#include "ufrmGoodsEdit.h"

#include "uCallModule.h"
#include "uKxCategoryTree.h"
#include "uPClientDataSet.h"
#include "uRecordBinder.h"
#include "ufrmGoods.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {
const char* const kTexts[] = {"goodscode", "goodsname", "norms", "units", "propstyle"};
const char* const kAmounts[] = {"saleprice", "wholesale", "costprice"};
}

TfrmGoodsEdit::TfrmGoodsEdit(QWidget* owner)
    : TfrmMasterEdit(owner)
    , m_brand(new QComboBox(this))
    , m_category(new QComboBox(this))
    , m_memo(new QPlainTextEdit(this))
    , m_deleted(new QCheckBox(QStringLiteral("is_del"), this))
{
    resize(560, 380);
    auto* grid = new QGridLayout;
    int row = 0;
    for (const char* f : kTexts) {
        auto* edit = new QLineEdit(this);
        m_edits.append({QString::fromLatin1(f), edit});
        AddField(grid, row++, 0, QString::fromLatin1(f), edit);
    }
    AddField(grid, row++, 0, QStringLiteral("brand_id"), m_brand);
    AddField(grid, row++, 0, QStringLiteral("child_id"), m_category);
    row = 0;
    for (const char* f : kAmounts) {
        auto* edit = new QLineEdit(this);
        edit->setAlignment(Qt::AlignRight);
        m_edits.append({QString::fromLatin1(f), edit});
        AddField(grid, row++, 1, QString::fromLatin1(f), edit);
    }
    AddField(grid, row++, 1, QStringLiteral("is_del"), m_deleted);
    m_memo->setTabChangesFocus(true);
    // A memo takes Enter as a new line, so it is placed without the Enter filter.
    auto* memoLabel = new QLabel(QStringLiteral("memo"), this);
    memoLabel->setObjectName(QStringLiteral("memo"));
    memoLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(memoLabel, 7, 0);
    grid->addWidget(m_memo, 7, 1, 1, 3);
    Body()->addLayout(grid);
    SetContinue({QStringLiteral("brand_id")}, Edit(QStringLiteral("goodsname")));
}

QLineEdit* TfrmGoodsEdit::Edit(const QString& field) const
{
    for (const auto& [name, edit] : m_edits)
        if (name == field)
            return edit;
    return nullptr;
}

void TfrmGoodsEdit::BindEditors()
{
    for (const char* f : kTexts)
        Binder()->BindEdit(Edit(QString::fromLatin1(f)), QString::fromLatin1(f));
    for (const char* f : kAmounts)
        Binder()->BindAmount(Edit(QString::fromLatin1(f)), QString::fromLatin1(f));
    Binder()->BindMemo(m_memo, QStringLiteral("memo"));
    Binder()->BindCheck(m_deleted, QStringLiteral("is_del"));
    if (auto* goods = qobject_cast<TfrmGoods*>(List()))
        Binder()->BindLookup(m_brand, QStringLiteral("brand_id"), goods->Brands(), QStringLiteral("brand_id"),
                             QStringLiteral("brand_name"));
    // The category is written to the list's category field, whatever the service calls it.
    QString category = List()->GetParam(QStringLiteral("filterfield"));
    if (category.isEmpty())
        category = QStringLiteral("child_id");
    Binder()->BindLookup(m_category, category, List()->CategoryTree()->Categories(), QStringLiteral("child_id"),
                         QStringLiteral("child_name"));
}

KX_REGISTER_CLASS(TfrmGoodsEdit)
