#include "uConfig.h"

#ifndef KX_SECRET
#error "KX_SECRET must be defined by the build"
#endif
#ifndef KX_SERVICE_URL
#error "KX_SERVICE_URL must be defined by the build"
#endif

const QString Secret = QStringLiteral(KX_SECRET);
const QString gWebUrl = QStringLiteral(KX_SERVICE_URL);

QString gNickId;
QString gNickName;
QString gShopId;
QString gShopName;
QString gOperId;
QString gOperName;
QStringList gSubNicks;
QString gSessionKey;
QString gcallurl;

namespace {
QString& serviceUrlOverride()
{
    static QString url;
    return url;
}
}

QString KxServiceUrl()
{
    const QString& o = serviceUrlOverride();
    return o.isEmpty() ? gWebUrl : o;
}

void KxSetServiceUrl(const QString& url)
{
    serviceUrlOverride() = url;
}
