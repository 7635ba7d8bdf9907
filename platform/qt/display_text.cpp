#include "platform/qt/display_text.h"

#include <QStringDecoder>
#include <algorithm>

QString displayText(std::string_view bytes) {
    const auto size = static_cast<qsizetype>(bytes.size());
    // Stateless: a cut sequence at the end (a Latin-1 letter last) is an error too.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), size));
    if (utf8.hasError()) return QString::fromLatin1(bytes.data(), size);
    return text;
}

std::string storedText(const QString& text, bool eightBit) {
    const bool latin1 = eightBit && std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    return latin1 ? text.toLatin1().toStdString() : text.toStdString();
}
