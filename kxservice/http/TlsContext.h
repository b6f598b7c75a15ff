#pragma once
// The service's TLS: a PEM certificate chain and its private key (--tls-cert, --tls-key),
// TLS 1.2 and later. A key that does not belong to the certificate is refused at start.
#include "ServiceOptions.h"

#include <boost/asio/ssl/context.hpp>

#include <memory>

// Null when the options name no certificate. Throws std::runtime_error saying which file will
// not do and why.
std::shared_ptr<boost::asio::ssl::context> KxTlsContext(const TServiceOptions& options);
