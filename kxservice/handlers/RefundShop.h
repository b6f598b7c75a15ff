#pragma once
// The seller's refund calls to the marketplace: downloads into the books (kx_refund), and the
// seller's answers (agree, refuse), each with the marketplace's rules.
#include "dispatch/Dispatcher.h"

#include <QSqlQuery>

const std::vector<TMethodDef>& KxRefundShopMethods();

// The next refunds of a query (TRefundMarket::page columns), at most `limit`.
std::vector<QVariantList> KxReadRefunds(QSqlQuery& query, int limit);
// Stores refunds in the books, and shows each one's state on the order line it refunds. The
// seller's own state (dbstatus, the receipt made of it) stays; a product bound once stays bound.
void KxStoreRefunds(TContext& ctx, const std::vector<QVariantList>& refunds, const QString& downloaded);
