#pragma once
// What the list and the edit window of a stock document share: the lookup lists they load
// on opening and the voucher print.
#include <QString>
#include <QStringList>

class TfrmBase;
class TPClientDataSet;

// Loads the rows of the service method named by the form's parameter `param` into `into`
// (replacing them). Without that parameter nothing is asked and `into` stays empty. False
// when the call failed (already shown).
bool KxLoadLookupList(TfrmBase* form, const QString& param, const QStringList& lines, TPClientDataSet* into);

// "票据打印": the template named by the form's "rmf" parameter, previewed over the header
// and its lines under the document's names with the form's captions. Nothing without "rmf".
void KxPrintVoucher(TfrmBase* form, TPClientDataSet* master, const QString& masterName, TPClientDataSet* detail,
                    const QString& detailName);

// A column width that shows the whole value of the usual document fields: numbers and times
// wider than codes, names widest.
int KxDocColumnWidth(const QString& field);
