#include "ufrmCommodity.h"

#include "uCallModule.h"
#include "uGridView.h"
#include "uPClientDataSet.h"
#include "ufrmCommodityEdit.h"

#include <QColor>
#include <QStyle>
#include <QStyleOptionViewItem>

TfrmCommodity::TfrmCommodity(QWidget* owner)
    : TfrmMasterList(owner)
    , m_brands(new TPClientDataSet(this))
{
    AddColumn(QStringLiteral("goodscode"));
    AddColumn(QStringLiteral("commoditycode"), TGridEditor::Text, true);
    AddColumn(QStringLiteral("barcode"));
    AddColumn(QStringLiteral("commodityname"), TGridEditor::Text, true);
    AddLookupColumn(QStringLiteral("brand_id"), m_brands, QStringLiteral("brand_id"), QStringLiteral("brand_name"), true);
    for (const char* f : {"propstyle", "propcolor", "propsize"})
        AddColumn(QString::fromLatin1(f));
    for (const char* f : {"saleprice", "wholesale", "costprice"})
        AddColumn(QString::fromLatin1(f), TGridEditor::Amount);
    for (const char* f : {"presell", "stocknum", "stockmoney"})
        AddColumn(QString::fromLatin1(f), TGridEditor::Amount, true);
    for (const char* f : {"maxstock", "minstock"})
        AddColumn(QString::fromLatin1(f), TGridEditor::Amount);
    AddColumn(QStringLiteral("is_pack"), TGridEditor::Check, true);
    AddColumn(QStringLiteral("is_del"), TGridEditor::Check);

    AddSideList(m_brands, QStringLiteral("brand"));
    SetEditForm([this] {
        auto* form = new TfrmCommodityEdit(this);
        form->Attach(this);
        return form;
    });
    AddCellPainter(QStringLiteral("stocknum"), [this](int rec, QStyleOptionViewItem& option) {
        const TField* stock = ListData()->FindField(QStringLiteral("stocknum"));
        const TField* upper = ListData()->FindField(QStringLiteral("maxstock"));
        const TField* lower = ListData()->FindField(QStringLiteral("minstock"));
        if (!stock || !upper || !lower)
            return;
        const QColor c = StockColor(ListData()->ValueAt(rec, stock).toDouble(), ListData()->ValueAt(rec, upper).toDouble(),
                                    ListData()->ValueAt(rec, lower).toDouble(), option.state.testFlag(QStyle::State_Selected));
        if (!c.isValid())
            return;
        option.font.setBold(true);
        option.palette.setColor(QPalette::Text, c);
        option.palette.setColor(QPalette::HighlightedText, c);
    });
}

QColor TfrmCommodity::StockColor(double stock, double maxStock, double minStock, bool selected)
{
    // A limit of 0 means none; colouring needs both.
    if (maxStock == 0 || minStock == 0)
        return {};
    if (stock > maxStock)
        return QColor(Qt::red);
    if (stock < minStock)
        return QColor(0x80, 0x00, 0x80); // purple
    return selected ? QColor(Qt::white) : QColor(Qt::darkGreen);
}

void TfrmCommodity::NewRecord()
{
    for (const char* f : {"is_pack", "is_del"})
        if (TField* field = ListData()->FindField(QString::fromLatin1(f)))
            field->SetAsBoolean(false);
}

KX_REGISTER_CLASS(TfrmCommodity)
