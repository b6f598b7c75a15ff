#pragma once
// Process-wide configuration and session values shared by the shell, the framework and every
// module package. The service address and the signing secret are fixed at build time; the
// session values are filled by the directory call and the login and read everywhere.
// Only the user-interface thread writes them.
#include <QString>
#include <QStringList>

extern const QString Secret;
extern const QString gWebUrl;

extern QString gNickId;
extern QString gNickName;
extern QString gShopId;
extern QString gShopName;
extern QString gOperId;
extern QString gOperName;
extern QStringList gSubNicks;
// The key of the operator's session, from the login answer; sent with every later call.
extern QString gSessionKey;
extern QString gcallurl;

// Service URL used for calls; equals gWebUrl unless a test or tool points the client elsewhere.
QString KxServiceUrl();
void KxSetServiceUrl(const QString& url);
