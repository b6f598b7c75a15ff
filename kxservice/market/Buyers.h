#pragma once
// The simulated marketplace's buyers: each buyer number of a seller is one person with one
// account and one delivery address somewhere in the country, so a buyer who orders again
// orders to the same address. Messages are what buyers write, emoji and rare characters included.
#include "MarketRng.h"

#include <QString>

struct TBuyer {
    QString nick, email, receiver, state, city, district, address, zip, mobile, phone;
};

TBuyer KxBuyer(quint64 seed, int number);
// A buyer's message to the seller; most orders have none.
QString KxBuyerMessage(TRng& rng);
// Why a buyer asks for a refund.
QString KxRefundReason(TRng& rng);
// What the buyer writes about it.
QString KxRefundDesc(TRng& rng);
