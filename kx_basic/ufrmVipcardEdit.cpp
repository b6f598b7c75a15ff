#include "ufrmVipcardEdit.h"

#include "uCallModule.h"
#include "uPClientDataSet.h"
#include "uRecordBinder.h"
#include "ufrmVipcard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {
const char* const kTexts[] = {"vipid", "vipname", "tel", "phone", "inentno", "address", "email"};
}

TfrmVipcardEdit::TfrmVipcardEdit(QWidget* owner)
    : TfrmMasterEdit(owner)
    , m_sex(new QComboBox(this))
    , m_birthday(new QDateEdit(this))
    , m_inUse(new QCheckBox(QStringLiteral("is_use"), this))
    , m_category(new QComboBox(this))
    , m_memo(new QPlainTextEdit(this))
{
    resize(600, 360);
    // A card without a birthday shows an empty box; only a chosen date is written.
    m_birthday->setCalendarPopup(true);
    m_birthday->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_birthday->setMinimumDate(QDate(1900, 1, 1));
    m_birthday->setSpecialValueText(QStringLiteral(" "));

    auto* grid = new QGridLayout;
    const auto edit = [this](const char* f) {
        auto* e = new QLineEdit(this);
        m_edits.append({QString::fromLatin1(f), e});
        return e;
    };
    AddField(grid, 0, 0, QStringLiteral("vipid"), edit("vipid"));
    AddField(grid, 0, 1, QStringLiteral("vipname"), edit("vipname"));
    AddField(grid, 1, 0, QStringLiteral("sex"), m_sex);
    AddField(grid, 1, 1, QStringLiteral("birthday"), m_birthday);
    AddField(grid, 2, 0, QStringLiteral("tel"), edit("tel"));
    AddField(grid, 2, 1, QStringLiteral("phone"), edit("phone"));
    AddField(grid, 3, 0, QStringLiteral("inentno"), edit("inentno"));
    AddField(grid, 3, 1, QStringLiteral("email"), edit("email"));
    AddField(grid, 4, 0, QStringLiteral("address"), edit("address"), 2);
    AddField(grid, 5, 0, QStringLiteral("child_id"), m_category);
    AddField(grid, 5, 1, QStringLiteral("is_use"), m_inUse);
    // The card number is the service's to give.
    Edit(QStringLiteral("vipid"))->setReadOnly(true);
    m_memo->setTabChangesFocus(true);
    // A memo takes Enter as a new line, so it is placed without the Enter filter.
    auto* memoLabel = new QLabel(QStringLiteral("memo"), this);
    memoLabel->setObjectName(QStringLiteral("memo"));
    memoLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(memoLabel, 6, 0);
    grid->addWidget(m_memo, 6, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    Body()->addLayout(grid);
    SetContinue({QStringLiteral("sex")}, Edit(QStringLiteral("vipname")));
}

QLineEdit* TfrmVipcardEdit::Edit(const QString& field) const
{
    for (const auto& [name, edit] : m_edits)
        if (name == field)
            return edit;
    return nullptr;
}

void TfrmVipcardEdit::BindEditors()
{
    for (const char* f : kTexts)
        Binder()->BindEdit(Edit(QString::fromLatin1(f)), QString::fromLatin1(f));
    Binder()->BindMemo(m_memo, QStringLiteral("memo"));
    Binder()->BindDate(m_birthday, QStringLiteral("birthday"));
    Binder()->BindCheck(m_inUse, QStringLiteral("is_use"));
    if (auto* cards = qobject_cast<TfrmVipcard*>(List()))
        Binder()->BindLookup(m_sex, QStringLiteral("sex"), cards->Sexes(), QStringLiteral("sex"), QStringLiteral("sex"));
    BindCategory(m_category);
}

KX_REGISTER_CLASS(TfrmVipcardEdit)
