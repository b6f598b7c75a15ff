#include "ufrmMasterEdit.h"

#include "uFormParts.h"
#include "uKxCategoryTree.h"
#include "uPClientDataSet.h"
#include "uRecordBinder.h"
#include "uUiHooks.h"
#include "uUtils.h"
#include "ufrmMasterList.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmMasterEdit::TfrmMasterEdit(QWidget* owner)
    : TfrmBase(owner)
    , m_body(new QVBoxLayout)
    , m_continue(new QCheckBox(QStringLiteral("保存后继续添加新记录！"), this))
{
    KxMakeDialog(this);
    auto* top = new QVBoxLayout(this);
    top->addLayout(m_body, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_continue);
    bottom->addStretch();
    for (const char* text : {"保   存", "取   消"}) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setAutoDefault(false);
        bottom->addWidget(b);
        m_buttons << b;
    }
    connect(m_buttons[0], &QPushButton::clicked, this, &TfrmMasterEdit::btnSaveClick);
    connect(m_buttons[1], &QPushButton::clicked, this, &TfrmMasterEdit::btnCancelClick);
    top->addLayout(bottom);
}

void TfrmMasterEdit::Attach(TfrmMasterList* list)
{
    m_list = list;
    setWindowTitle(list->TitleLabel()->text() + QStringLiteral("_编辑"));
    delete m_binder;
    m_binder = new TKxRecordBinder(list->ListData(), this);
    BindEditors();
    FormViewDispay(this, list->GetParam(QStringLiteral("fieldlabels")));
    m_binder->Refresh();
}

TPClientDataSet* TfrmMasterEdit::Data() const
{
    return m_list ? m_list->ListData() : nullptr;
}

QPushButton* TfrmMasterEdit::Button(const QString& text) const
{
    for (QPushButton* b : m_buttons)
        if (b->text() == text)
            return b;
    return nullptr;
}

void TfrmMasterEdit::AddField(QGridLayout* grid, int row, int column, const QString& field, QWidget* editor, int span)
{
    if (!qobject_cast<QCheckBox*>(editor)) {
        auto* label = new QLabel(field, this);
        label->setObjectName(field);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(label, row, column * 2);
    } else {
        editor->setObjectName(field);
    }
    grid->addWidget(editor, row, column * 2 + 1, 1, span * 2 - 1);
    EnterMovesOn(editor);
}

void TfrmMasterEdit::EnterMovesOn(QWidget* editor)
{
    KxEnterMovesOn(editor);
}

void TfrmMasterEdit::BindCategory(QComboBox* box)
{
    QString category = m_list->GetParam(QStringLiteral("filterfield"));
    if (category.isEmpty())
        category = QStringLiteral("child_id");
    m_binder->BindLookup(box, category, m_list->CategoryTree()->Categories(), QStringLiteral("child_id"), QStringLiteral("child_name"));
}

void TfrmMasterEdit::SetContinue(const QStringList& kept, QWidget* focus)
{
    m_kept = kept;
    m_focus = focus;
}

void TfrmMasterEdit::btnSaveClick()
{
    TPClientDataSet* ds = Data();
    if (!ds)
        return;
    if (ds->State() == dsEdit || ds->State() == dsInsert)
        if (!ds->Post())
            return;
    if (!m_continue->isChecked()) {
        m_done = true;
        SetModalResult(mrOk);
        return;
    }
    QList<QPair<TField*, QVariant>> values;
    for (const QString& name : m_kept)
        if (TField* f = ds->FindField(name))
            values.append({f, f->Value()});
    ds->Append();
    m_list->StampNewRowOf(ds);
    for (const auto& [field, value] : values)
        field->SetValue(value);
    m_binder->Refresh();
    if (m_focus)
        m_focus->setFocus();
}

void TfrmMasterEdit::btnCancelClick()
{
    if (TPClientDataSet* ds = Data(); ds && (ds->State() == dsEdit || ds->State() == dsInsert))
        ds->Cancel();
    m_done = true;
    SetModalResult(mrCancel);
}

void TfrmMasterEdit::FormClose(QCloseEvent* event)
{
    // Closing the window is "取   消": a half-typed row does not stay behind unnoticed.
    if (!m_done)
        if (TPClientDataSet* ds = Data(); ds && (ds->State() == dsEdit || ds->State() == dsInsert))
            ds->Cancel();
    TfrmBase::FormClose(event);
}
