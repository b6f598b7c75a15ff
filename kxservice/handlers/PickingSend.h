#pragma once
// Shipping picking lists: the pickings to print or ship, their carrier, waybill number and
// freight, and the shipment reported to the marketplace picking by picking.
#include "dispatch/Dispatcher.h"

#include <QHash>

const std::vector<TMethodDef>& KxPickingSendMethods();

// A picking's carrier and waybill number as a save would write them (`fields` with the
// picking's own number under "pickingid", empty while new): refused when another picking of
// the seller has the same carrier and number.
void KxPickingWaybillCheck(TContext& ctx, const QHash<QString, QString>& fields);
