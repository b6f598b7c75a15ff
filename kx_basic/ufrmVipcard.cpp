#include "ufrmVipcard.h"

#include "uCallModule.h"
#include "uPClientDataSet.h"
#include "ufrmVipcardEdit.h"

TfrmVipcard::TfrmVipcard(QWidget* owner)
    : TfrmMasterList(owner)
    , m_sexes(new TPClientDataSet(this))
{
    m_sexes->FieldDefs().Add(QStringLiteral("sex"), ftString, 2);
    m_sexes->CreateDataSet();
    for (const char* sex : {"男", "女"}) {
        m_sexes->Append();
        m_sexes->FieldByName(QStringLiteral("sex"))->SetAsString(QString::fromUtf8(sex));
        m_sexes->Post();
    }

    AddColumn(QStringLiteral("vipid"), TGridEditor::Text, true);
    AddColumn(QStringLiteral("vipname"));
    AddLookupColumn(QStringLiteral("sex"), m_sexes, QStringLiteral("sex"), QStringLiteral("sex"));
    AddColumn(QStringLiteral("birthday"), TGridEditor::Date);
    for (const char* f : {"inentno", "tel", "phone", "address"})
        AddColumn(QString::fromLatin1(f));
    AddColumn(QStringLiteral("is_use"), TGridEditor::Check);
    AddColumn(QStringLiteral("email"));
    AddColumn(QStringLiteral("memo"));
    SetEditForm([this] {
        auto* form = new TfrmVipcardEdit(this);
        form->Attach(this);
        return form;
    });
}

void TfrmVipcard::NewRecord()
{
    if (TField* f = ListData()->FindField(QStringLiteral("is_use")))
        f->SetAsBoolean(true);
}

KX_REGISTER_CLASS(TfrmVipcard)
