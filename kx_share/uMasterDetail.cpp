#include "uMasterDetail.h"

#include "uPClientDataSet.h"

TMasterDetailLink::TMasterDetailLink(TPClientDataSet* master, const QString& masterField, TPClientDataSet* detail,
                                     const QString& detailField, QObject* parent)
    : QObject(parent), m_master(master), m_detail(detail), m_masterField(masterField), m_detailField(detailField)
{
    connect(master, &TPClientDataSet::currentRowChanged, this, &TMasterDetailLink::Refresh);
    connect(master, &TPClientDataSet::reset, this, &TMasterDetailLink::Refresh);
    connect(master, &TPClientDataSet::rowChanged, this, &TMasterDetailLink::Refresh);
    Refresh();
}

void TMasterDetailLink::Refresh()
{
    if (!m_master || !m_detail || !m_detail->Active())
        return;
    const bool has = m_master->Active() && !m_master->IsEmpty() && m_master->RecNo() > 0;
    // The key is quoted, so a quote in it can neither break nor widen the filter.
    const QString filter = has ? QStringLiteral("%1 = %2").arg(m_detailField, KxQuote(m_master->FieldByName(m_masterField)->AsString()))
                               : QStringLiteral("%1 = %2 and %1 <> %2").arg(m_detailField, KxQuote(QString()));
    if (m_detail->Filter() != filter)
        m_detail->SetFilter(filter);
    m_detail->SetFiltered(true);
}
