#pragma once
// The service answer on the wire: a 4-byte little-endian uncompressed length, then a zlib
// stream of exactly that many bytes of XML. Shared by the client and the service.
#include <QByteArray>
#include <QString>

// Largest answer accepted; anything claiming more is refused before any allocation.
constexpr qint64 KxMaxAnswerBytes = qint64(1) << 30;

QByteArray KxEncodeAnswer(const QByteArray& xml, int level = 6);

// Inflates an answer. Returns false with a message on anything that is not a well-formed
// answer: fewer than 4 bytes, a negative or too large length, data that is not zlib, a stream
// that ends early or inflates to another size than announced.
bool KxDecodeAnswer(const char* data, qint64 size, QByteArray& xml, QString& error,
                    qint64 maxBytes = KxMaxAnswerBytes);
inline bool KxDecodeAnswer(const QByteArray& wire, QByteArray& xml, QString& error)
{
    return KxDecodeAnswer(wire.constData(), wire.size(), xml, error);
}
