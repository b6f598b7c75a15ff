#pragma once
// Operator passwords exist only as argon2id hashes.
#include <QString>

// Throws std::runtime_error when hashing fails (out of memory).
QString KxHashPassword(const QString& password);
// True when the password matches the stored hash; false for a malformed hash too.
bool KxVerifyPassword(const QString& password, const QString& hash);
