#pragma once

// Decodes a byte stream as UTF-8 piece by piece without losing anything at the
// seams: a multi-byte character split between two reads is carried over to
// the next piece, and bytes that are truly invalid show as U+FFFD.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace veldrin {

class Utf8StreamDecoder {
public:
    // Decodes as much of carried-over bytes + `bytes` as forms complete
    // characters; keeps an incomplete trailing sequence for the next call.
    QString feed(QByteArrayView bytes);
    // End of stream: whatever is still carried over is invalid and shows as U+FFFD.
    QString finish();

private:
    QByteArray carry_;
};

} // namespace veldrin
