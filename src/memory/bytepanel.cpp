#include "memory/bytepanel.h"

#include "base/numbers.h"
#include "serial/linkthread.h"
#include "serial/meterprofile.h"

namespace memory {

double boxValue(const QString& text) {
    return base::roundHalfEven(base::leadingNumber(text, /*allowHex=*/true));
}

ByteRequest parseByteRequest(const QString& command, const QStringList& boxes) {
    ByteRequest request;
    if (command.isEmpty())
        return request;
    for (const QChar c : command) {
        if (c.unicode() > 0xFF) {
            request.error = QStringLiteral("The command \"%1\" holds the character \"%2\", "
                                           "which is not one byte. Nothing was sent.")
                                .arg(command, c);
            return request;
        }
    }
    QByteArray payload;
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        const QString& text = boxes.at(i);
        if (text.trimmed().isEmpty())
            break;
        if (i >= kPayloadBoxes) {
            request.error = QStringLiteral("At most %1 bytes can follow the command. "
                                           "Nothing was sent.")
                                .arg(kPayloadBoxes);
            return request;
        }
        const double value = boxValue(text);
        if (!(value >= 0 && value <= 255)) {
            request.error = QStringLiteral("Byte %1 (\"%2\") is not a value from 0 to 255. "
                                           "Nothing was sent.")
                                .arg(i + 1)
                                .arg(text);
            return request;
        }
        payload.append(char(int(value)));
    }
    request.command = command.toLatin1();
    request.payload = payload;
    return request;
}

QString replyText(const QByteArray& reply) {
    QString out;
    out.reserve(reply.size() * 4);
    for (const char byte : reply)
        out += QStringLiteral("%1  ").arg(quint8(byte), 2, 16, QLatin1Char('0')).toUpper();
    return out;
}

QByteArray exchangeBytes(serial::LinkSession& session, const QByteArray& command,
                         const QByteArray& payload) {
    serial::MeterLink& link = session.link;
    link.flush();
    link.checkMeter();
    link.port().write(command);
    if (!payload.isEmpty()) {
        link.payloadGap();
        link.port().write(payload);
    }
    link.delay(kByteReplyWait);
    return link.port().readAll();
}

} // namespace memory
