#pragma once
// What the list and the edit window of a stock document share: the lookup lists they load
// on opening, the calculated line amounts and the voucher print.
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class TfrmBase;
class TGridView;
class TPClientDataSet;

// A calculated line amount: quantity × (price − discount), the discount per unit optional.
struct TKxLineAmount {
    TKxLineAmount(QString f, QString price, QString discount = {})
        : field(std::move(f)), priceField(std::move(price)), discountField(std::move(discount)) {}
    QString field;         // e.g. "sumsaleprice"
    QString priceField;    // e.g. "saleprice"
    QString discountField; // e.g. "disprice"; empty: none
};

// Documents whose lines carry money, not unit prices, in the price fields of their amounts,
// told by a header field's value: a stocktake's adjustment ("adjusttype" "盘点库存调整")
// holds each line's difference at cost and at sale price there.
struct TKxMoneyLines {
    QString typeField; // empty: no document of the kind is one
    QString typeValue;
    // Whether the header's current document is one.
    bool Of(const TPClientDataSet* header) const;
};

// Adds the amounts as calculated fields of `lines` (once; a reload keeps them) and computes
// them from `qtyField`. An empty quantity or price gives 0. While `moneyLines` says so, each
// amount is its price field as it stands. True when fields were added.
bool KxAddLineAmounts(TPClientDataSet* lines, const QString& qtyField, const QList<TKxLineAmount>& amounts,
                      std::function<bool()> moneyLines = {});
// Shows the unit-price columns of the amounts in `grid`, or hides them while the lines carry
// money (they hold no unit price then); a column hidden by a saved layout stays hidden.
void KxShowUnitPrices(TGridView* grid, const QList<TKxLineAmount>& amounts, bool moneyLines);

// Loads the rows of the service method named by the form's parameter `param` into `into`
// (replacing them). Without that parameter nothing is asked and `into` stays empty. False
// when the call failed (already shown).
bool KxLoadLookupList(TfrmBase* form, const QString& param, const QStringList& lines, TPClientDataSet* into);

// "票据打印": the template named by the form's "rmf" parameter, previewed over the header
// and its lines under the document's names with the form's captions (the parameters
// `masterLabels` and "detaillabels"). A list of one level gives no lines. Nothing without "rmf".
void KxPrintVoucher(TfrmBase* form, TPClientDataSet* master, const QString& masterName, TPClientDataSet* detail,
                    const QString& detailName, const QString& masterLabels = QStringLiteral("masterlabels"));

// A column width that shows the whole value of the usual document fields: numbers and times
// wider than codes, names widest.
int KxDocColumnWidth(const QString& field);

// The fields every SKU line carries beside its code: barcode, name, style, colour and size.
QStringList KxSkuFields();
// The creator and auditor stamps of a header: inputren, inputtime, auditren, audittime.
QStringList KxStampFields();
