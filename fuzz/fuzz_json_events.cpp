// The headless event writer's hand-made JSON on arbitrary text: every line must be exactly what
// QJsonDocument writes for the same object, and read back to the same text.
//
// Input: byte 0 chooses how the rest becomes text (UTF-16 units as they come, including lone surrogates;
// UTF-8; Latin-1), the rest is the text.
#include "app/json_event_writer.h"
#include "fuzz_support.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    startFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    const uint8_t mode = input.byte();
    const QByteArrayView bytes(input.rest(), input.restSize());
    QString text;
    switch (mode % 3) {
    case 0:
        text = QString(reinterpret_cast<const QChar *>(bytes.data()), bytes.size() / 2);
        break;
    case 1:
        text = QString::fromUtf8(bytes);
        break;
    default:
        text = QString::fromLatin1(bytes);
        break;
    }

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    {
        JsonEventWriter writer(out);
        writer.show(text);
    }
    const QJsonObject object{{QStringLiteral("event"), QStringLiteral("message")},
                             {QStringLiteral("text"), text}};
    const QByteArray expected = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    FUZZ_CHECK(out.data() == expected);

    QJsonParseError error{};
    const QJsonDocument back = QJsonDocument::fromJson(out.data(), &error);
    FUZZ_CHECK(error.error == QJsonParseError::NoError && back.isObject());
    bool loneSurrogate = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            loneSurrogate = true;
    }
    // Qt's reader decodes a string value without escapes as UTF-8 text, which drops a byte order mark at its
    // start; that is the reader's doing, the line holds it.
    const QString read = back.object().value(QStringLiteral("text")).toString();
    if (!loneSurrogate)
        FUZZ_CHECK(read == text || (text.startsWith(QChar(0xFEFF)) && read == text.sliced(1)));
    return 0;
}
