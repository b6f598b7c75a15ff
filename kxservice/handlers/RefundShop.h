#pragma once
// The seller's refund calls to the marketplace: downloads into the books (kx_refund), and the
// seller's answers (agree, refuse), each with the marketplace's rules.
#include "dispatch/Dispatcher.h"

#include <QSqlQuery>

const std::vector<TMethodDef>& KxRefundShopMethods();

// Stores the refund the query stands on (TRefundMarket::page columns) in the books, and shows
// its state on the order line it refunds. The seller's own state (dbstatus, the receipt made
// of it) stays; a product bound once stays bound.
void KxStoreRefund(TContext& ctx, const QSqlQuery& refund, const QString& downloaded);
