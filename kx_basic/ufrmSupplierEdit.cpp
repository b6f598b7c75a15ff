#include "ufrmSupplierEdit.h"

#include "uCallModule.h"
#include "uPClientDataSet.h"
#include "uRecordBinder.h"
#include "ufrmMasterList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>

TfrmSupplierEdit::TfrmSupplierEdit(QWidget* owner)
    : TfrmMasterEdit(owner)
    , m_code(new QLineEdit(this))
    , m_name(new QLineEdit(this))
    , m_status(new QCheckBox(QStringLiteral("status"), this))
    , m_category(new QComboBox(this))
{
    resize(420, 200);
    auto* grid = new QGridLayout;
    AddField(grid, 0, 0, QStringLiteral("suppliercode"), m_code);
    AddField(grid, 1, 0, QStringLiteral("suppliername"), m_name);
    AddField(grid, 2, 0, QStringLiteral("child_id"), m_category);
    AddField(grid, 3, 0, QStringLiteral("status"), m_status);
    grid->setColumnStretch(1, 1);
    Body()->addLayout(grid);
    Body()->addStretch();
    SetContinue({}, m_category);
}

void TfrmSupplierEdit::BindEditors()
{
    Binder()->BindEdit(m_code, QStringLiteral("suppliercode"));
    Binder()->BindEdit(m_name, QStringLiteral("suppliername"));
    Binder()->BindCheck(m_status, QStringLiteral("status"));
    BindCategory(m_category);
}

KX_REGISTER_CLASS(TfrmSupplierEdit)
