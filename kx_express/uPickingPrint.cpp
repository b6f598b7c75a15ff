#include "uPickingPrint.h"

#include "uCallModule.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "ufrmBase.h"
#include "ufrmPickingPrint.h"

#include <QStringList>

#include <memory>

void KxPickingPrint(TfrmBase* form, const QString& param, TPClientDataSet* headers, TPClientDataSet* lines)
{
    QString module = form->GetParam(param);
    if (module.isEmpty())
        module = param == QLatin1String("printfh") ? QStringLiteral("Picking.PrintFH") : QStringLiteral("Picking.PrintKD");
    QStringList ids;
    const TField* id = headers->FieldByName(QStringLiteral("pickingid"));
    for (int r = 0; r < headers->RecordCount(); ++r)
        ids << headers->DisplayTextAt(r, id).trimmed();
    std::unique_ptr<TfrmBase> window(CallModule(form, module));
    if (!window)
        return;
    window->FixedConditions() << QStringLiteral("pickingid=") + ids.join(QLatin1Char(','));
    if (auto* print = qobject_cast<TfrmPickingPrint*>(window.get())) {
        // The print dialogs read carrier, consignee and sender of each picking from the
        // service; the lines are the window's own when the service gives none.
        if (!print->LoadPickings(ids))
            return;
        if (!print->Lines() && lines && lines->Active())
            print->SetPickings(print->Headers(), lines);
        KxUi().ShowModal(window.get());
        return;
    }
    // A print module of another kind gets the pickings as its report's data sets.
    IKXReportEx* report = window->GetReportEx();
    report->RMDataSetClear();
    report->AddCDataSet(headers, QStringLiteral("拣货单"), form->GetParam(QStringLiteral("masterlabels")));
    report->AddCDataSet(lines, QStringLiteral("拣货单明细"), form->GetParam(QStringLiteral("detaillabels")));
    KxUi().ShowModal(window.get());
    report->RMDataSetClear();
}
