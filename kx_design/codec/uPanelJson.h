#pragma once
// The readable form of a panel (JSON), as the kxpanel tool and the service's seed files write
// it: {"width": W, "height": H, "controls": [{"class", "name", "props", "children"}]}.
#include "uPanelStream.h"
#include "uPanelText.h"

#include <QJsonObject>

// Description → "searchfile" text. False with a message naming the control at fault.
bool KxPanelFromJson(const QJsonObject& root, QByteArray* text, QString* error);
// Panel → description (pictures as Base64 text).
QJsonObject KxPanelToJson(const TKxPanelText& panel, const QList<TKxComponentRecord>& records);
