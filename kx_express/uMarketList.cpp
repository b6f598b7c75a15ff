#include "uMarketList.h"

#include "uGridModel.h"
#include "uGridView.h"
#include "uPClientDataSet.h"
#include "uKxPagedList.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QVBoxLayout>

int KxStartTab(const QStringList& fixed, const char* const* captions, int count, int fallback)
{
    if (fixed.isEmpty())
        return 0;
    for (const QString& line : fixed) {
        if (!line.startsWith(u"tab="))
            continue;
        const QString caption = line.mid(4).trimmed();
        for (int i = 0; i < count; ++i)
            if (caption == QString::fromUtf8(captions[i]))
                return i;
    }
    return fallback;
}

QString KxFilterQuoted(const QString& v)
{
    QString q = v;
    return QLatin1Char('\'') + q.replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

QString KxMarketFilter(const QString& tabPart, const QString& quick, const QString& numberField)
{
    const QString q = quick.trimmed();
    if (q.isEmpty())
        return tabPart;
    const QString v = KxFilterQuoted(q + QLatin1Char('*'));
    const QString keyword = QStringLiteral("(buyer_nick =") + v + QStringLiteral(" or ") + numberField + QLatin1Char('=') + v + QLatin1Char(')');
    return tabPart.isEmpty() ? keyword : tabPart + QStringLiteral(" and ") + keyword;
}

QHBoxLayout* KxMarketFilterRow(QWidget* parent, QTabBar* tabs, const char* const* captions, int count, QLineEdit* quick)
{
    for (int i = 0; i < count; ++i)
        tabs->addTab(QStringLiteral("  ") + QString::fromUtf8(captions[i]) + QStringLiteral("  "));
    auto* row = new QHBoxLayout;
    row->addWidget(tabs, 1);
    row->addWidget(new QLabel(QStringLiteral("快捷过滤："), parent));
    row->addWidget(quick);
    return row;
}

QWidget* KxMarketSidePanel(QWidget* parent, const QString& first, QPlainTextEdit* firstBox, const QString& second,
                           QPlainTextEdit* secondBox, TKxPicturePanel* picture)
{
    auto* side = new QWidget(parent);
    auto* layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    for (auto [caption, box] : {std::pair{first, firstBox}, std::pair{second, secondBox}}) {
        box->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
        box->setMinimumHeight(40);
        layout->addWidget(new QLabel(caption, side));
        layout->addWidget(box, 1);
    }
    // The whole picture (120 pixels) and the item's properties under it.
    picture->setMinimumHeight(180);
    layout->addWidget(picture, 2);
    return side;
}

void KxStatusColumn(TGridView* grid, const QString& field, TPClientDataSet* list)
{
    if (TGridColumn* c = grid->ColumnByField(field)) {
        c->Editor = TGridEditor::Lookup;
        c->LookupDataSet = list;
        c->LookupKeyField = QStringLiteral("status");
        c->LookupListField = QStringLiteral("statusname");
    }
}
