#pragma once
// What the list and the edit window of a stock document share: the lookup lists they load
// on opening, the calculated line amounts and the voucher print.
#include <QList>
#include <QString>
#include <QStringList>

class TfrmBase;
class TPClientDataSet;

// A calculated line amount: quantity × (price − discount), the discount per unit optional.
struct TKxLineAmount {
    TKxLineAmount(QString f, QString price, QString discount = {})
        : field(std::move(f)), priceField(std::move(price)), discountField(std::move(discount)) {}
    QString field;         // e.g. "sumsaleprice"
    QString priceField;    // e.g. "saleprice"
    QString discountField; // e.g. "disprice"; empty: none
};

// Adds the amounts as calculated fields of `lines` (once; a reload keeps them) and computes
// them from `qtyField`. An empty quantity or price gives 0. True when fields were added.
bool KxAddLineAmounts(TPClientDataSet* lines, const QString& qtyField, const QList<TKxLineAmount>& amounts);

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

// The fields every SKU line carries beside its code: barcode, name, style, colour and size.
QStringList KxSkuFields();
// The creator and auditor stamps of a header: inputren, inputtime, auditren, audittime.
QStringList KxStampFields();
