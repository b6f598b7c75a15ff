#include "Passwords.h"

#include <sodium.h>

#include <mutex>
#include <stdexcept>

namespace {
// Interactive-class cost sized for a service that checks many logins at once: 2 passes over
// 19 MiB (argon2id, one lane) takes some tens of milliseconds and keeps memory bounded when
// dozens of operators log in together.
constexpr unsigned long long kOps = 2;
constexpr size_t kMem = size_t(19) * 1024 * 1024;

void init()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0)
            throw std::runtime_error("libsodium cannot be initialised");
    });
}
}

QString KxHashPassword(const QString& password)
{
    init();
    const QByteArray pw = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, pw.constData(), quint64(pw.size()), kOps, kMem, crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw std::runtime_error("password hashing failed (out of memory)");
    return QString::fromLatin1(out);
}

bool KxVerifyPassword(const QString& password, const QString& hash)
{
    init();
    const QByteArray pw = password.toUtf8();
    const QByteArray h = hash.toLatin1();
    if (h.isEmpty() || h.size() >= crypto_pwhash_STRBYTES)
        return false;
    return crypto_pwhash_str_verify(h.constData(), pw.constData(), quint64(pw.size())) == 0;
}
