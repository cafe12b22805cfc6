#include "framework/cp932.h"

#include "platform/text.h"

#include <QList>
#include <QString>
#include <QStringEncoder>

namespace sv {

std::string Utf8ToCp932(std::string_view text) {
    std::string out;
    const QString all = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    // One character at a time (an encoder's error stays set), so that one the code page lacks
    // becomes exactly one '?'.
    for (char32_t c : all.toUcs4()) {
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        QStringEncoder encoder("windows-31j");
        const QByteArray bytes = encoder.encode(QString::fromUcs4(&c, 1));
        if (!encoder.isValid() || encoder.hasError())
            out += '?';
        else
            out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return out;
}

std::string Cp932ToUtf8(std::string_view text) {
    return platform::Cp932ToUtf8(text);
}

} // namespace sv
