#pragma once
// Waybill and delivery-note printing of picking lists, shared by the picking windows: the
// print window (module named by the form's parameter `param`, "printkd" or "printfh") is
// given the pickings' numbers, reads their carrier, consignee and sender from the service
// (PickingSend.Search) and prints the lines the window holds when the service gives none.
// A print module of another kind gets them as its report's data sets "拣货单" and
// "拣货单明细" and the fixed condition "pickingid=" with the numbers joined by ",".
#include <QString>

class TfrmBase;
class TPClientDataSet;

void KxPickingPrint(TfrmBase* form, const QString& param, TPClientDataSet* headers, TPClientDataSet* lines);
