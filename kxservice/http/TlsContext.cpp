#include "TlsContext.h"

#include <QFileInfo>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <memory>
#include <stdexcept>

namespace {
std::string opensslError()
{
    const unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (!e)
        return "unknown error";
    char text[256];
    ERR_error_string_n(e, text, sizeof text);
    return text;
}

void needReadable(const char* option, const QString& path)
{
    const QFileInfo f(path);
    if (!f.isFile() || !f.isReadable())
        throw std::runtime_error(QStringLiteral("%1: cannot read %2").arg(QLatin1String(option), path).toStdString());
}
}

std::shared_ptr<boost::asio::ssl::context> KxTlsContext(const TServiceOptions& o)
{
    namespace ssl = boost::asio::ssl;
    if (o.tlsCert.isEmpty() && o.tlsKey.isEmpty())
        return nullptr;
    if (o.tlsCert.isEmpty() || o.tlsKey.isEmpty())
        throw std::runtime_error("--tls-cert and --tls-key go together");
    needReadable("--tls-cert", o.tlsCert);
    needReadable("--tls-key", o.tlsKey);
    auto ctx = std::make_shared<ssl::context>(ssl::context::tls_server);
    ctx->set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 | ssl::context::no_sslv3
                     | ssl::context::no_tlsv1 | ssl::context::no_tlsv1_1 | ssl::context::single_dh_use);
    SSL_CTX* native = ctx->native_handle();
    ERR_clear_error();
    if (SSL_CTX_use_certificate_chain_file(native, o.tlsCert.toLocal8Bit().constData()) != 1)
        throw std::runtime_error("--tls-cert " + o.tlsCert.toStdString() + ": not a PEM certificate (" + opensslError() + ")");
    // Read apart from its use, so that an unreadable key and a key of another certificate
    // are told apart.
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_file(o.tlsKey.toLocal8Bit().constData(), "r"), &BIO_free);
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr,
                                                            &EVP_PKEY_free);
    if (!key)
        throw std::runtime_error("--tls-key " + o.tlsKey.toStdString() + ": not a PEM private key without a pass phrase ("
                                 + opensslError() + ")");
    if (SSL_CTX_use_PrivateKey(native, key.get()) != 1 || SSL_CTX_check_private_key(native) != 1) {
        ERR_clear_error();
        throw std::runtime_error("--tls-key " + o.tlsKey.toStdString() + " does not match the certificate in " + o.tlsCert.toStdString());
    }
    return ctx;
}
