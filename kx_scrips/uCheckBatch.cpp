#include "uCheckBatch.h"

#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "ufrmBase.h"

#include <QItemSelectionModel>
#include <QStyleOptionViewItem>

const TKxMoneyLines& KxCheckAdjustments()
{
    static const TKxMoneyLines type{QStringLiteral("adjusttype"), QStringLiteral("盘点库存调整")};
    return type;
}

QString KxEffectiveBatch(TfrmBase* form)
{
    THttpWeb web;
    web.setModule(form->GetParam(QStringLiteral("checkcode")));
    web.Request()->AddParams(QStringLiteral("status"), QStringLiteral("1"));
    if (!web.SendData())
        return {};
    TPClientDataSet batches;
    if (!batches.SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldata"))) || batches.IsEmpty())
        return {};
    batches.First();
    return batches.FieldByName(QStringLiteral("checkcode"))->AsString();
}

void KxTickOpenRowsOnly(TGridView* grid, TGridColumn* tick, std::function<bool(int recIndex)> done)
{
    tick->CellEnabled = [done](int rec) { return !done(rec); };
    grid->AddOnCustomDrawCell([tick, done, grid](const QModelIndex& index, TGridColumn* column, QStyleOptionViewItem& option) {
        if (column != tick || !done(grid->GridModel()->RecordOf(index.row())))
            return;
        option.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        option.text.clear();
    });
    QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, grid, [grid, tick](const QModelIndex& current) {
        if (!current.isValid() || grid->Column(current.column()) != tick)
            return;
        // The row's first visible column other than the tick.
        for (int c = 0; c < grid->ColumnCount(); ++c)
            if (grid->Column(c) != tick && !grid->isColumnHidden(c)) {
                grid->selectionModel()->setCurrentIndex(grid->model()->index(current.row(), c), QItemSelectionModel::NoUpdate);
                return;
            }
    });
}
