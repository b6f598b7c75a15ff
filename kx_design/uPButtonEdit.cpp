#include "uPButtonEdit.h"

#include "uCallModule.h"
#include "uPClientDataSet.h"
#include "uTPanelStage.h"
#include "uUiHooks.h"
#include "ufrmBase.h"

#include <QAction>
#include <QStyle>

#include <memory>

KX_REGISTER_DESIGN_CONTROL(TPButtonEdit)

TPButtonEdit::TPButtonEdit(QWidget* parent) : QLineEdit(parent)
{
    m_pick = addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView), QLineEdit::TrailingPosition);
    m_pick->setToolTip(QStringLiteral("选择"));
    connect(m_pick, &QAction::triggered, this, &TPButtonEdit::pick);
}

void TPButtonEdit::pick()
{
    if (m_kxModule.trimmed().isEmpty())
        return;
    std::unique_ptr<TfrmBase> frm(CallModule(window(), m_kxModule.trimmed()));
    if (!frm || frm->ShowModule() != mrOk)
        return;
    TPClientDataSet rows;
    frm->ResultStream()->seek(0);
    if (!rows.LoadFromStream(frm->ResultStream()))
        return;
    if (TField* f = rows.FindField(m_kxKeyField.trimmed()))
        setText(f->AsString());
}
