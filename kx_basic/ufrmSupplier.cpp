#include "ufrmSupplier.h"

#include "uCallModule.h"
#include "uPClientDataSet.h"
#include "ufrmSupplierEdit.h"

TfrmSupplier::TfrmSupplier(QWidget* owner)
    : TfrmMasterList(owner)
{
    AddColumn(QStringLiteral("suppliercode"), TGridEditor::Text, true);
    AddColumn(QStringLiteral("suppliername"));
    AddColumn(QStringLiteral("status"), TGridEditor::Check);
    SetEditForm([this] {
        auto* form = new TfrmSupplierEdit(this);
        form->Attach(this);
        return form;
    });
}

void TfrmSupplier::NewRecord()
{
    if (TField* f = ListData()->FindField(QStringLiteral("status")))
        f->SetAsBoolean(true);
}

KX_REGISTER_CLASS(TfrmSupplier)
