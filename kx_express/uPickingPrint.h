#pragma once
// Waybill and delivery-note printing of picking lists, shared by the picking windows: the
// print window (module named by the form's parameter `param`, "printkd" or "printfh") gets
// the pickings as its report's data sets "拣货单" and "拣货单明细" and, as its fixed
// condition, their numbers ("pickingid=" and the numbers joined by ","), so that it can ask
// PickingSend.Search for the carrier, consignee and sender of each.
#include <QString>

class TfrmBase;
class TPClientDataSet;

void KxPickingPrint(TfrmBase* form, const QString& param, TPClientDataSet* headers, TPClientDataSet* lines);
