#include "platform/qt/display_text.h"

#include <QStringDecoder>

QString displayText(std::string_view bytes) {
    const auto size = static_cast<qsizetype>(bytes.size());
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(QByteArrayView(bytes.data(), size));
    if (utf8.hasError()) return QString::fromLatin1(bytes.data(), size);
    return text;
}
