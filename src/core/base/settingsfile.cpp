#include "core/base/settingsfile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace fulmaro {

namespace {
const QString kOutputFolderKey = QStringLiteral("outputfolder");
}

QStringList decodeSettingsLines(const QByteArray &bytes)
{
    QString text;
    if (const auto bom = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*bom, QStringConverter::Flag::ConvertInitialBom);
        text = decoder.decode(bytes);
        if (text.startsWith(QChar::ByteOrderMark))
            text.remove(0, 1);
    } else {
        QStringDecoder decoder(QStringDecoder::System);
        text = decoder.decode(bytes);
    }
    QStringList lines;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(std::exchange(current, QString()));
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        lines.append(current);
    return lines;
}

QString settingsValue(const QStringList &lines, const QString &key)
{
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (QStringView(line).left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return {};
}

QByteArray encodeSettings(const QString &outputFolder)
{
    if (outputFolder.isEmpty())
        return {};
    const QString line = kOutputFolderKey + QLatin1Char('=') + outputFolder;
    QStringEncoder encoder(QStringEncoder::System);
    QByteArray bytes = encoder.encode(line);
    // A folder the 8-bit code page cannot spell (Turkish letters under Windows' Western code page
    // 1252) would come back with question marks for them: such a line is written in UTF-8 with a
    // byte-order mark instead, which reading honours.
    if (encoder.hasError() || QStringDecoder(QStringDecoder::System).decode(bytes) != line)
        bytes = QByteArray("\xEF\xBB\xBF") + line.toUtf8();
    bytes += "\r\n";
    return bytes;
}

QString loadOutputFolder(const QString &path)
{
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return {};
    return settingsValue(decodeSettingsLines(file.readAll()), kOutputFolderKey);
}

bool saveOutputFolder(const QString &path, const QString &outputFolder, QString *errorText)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(encodeSettings(outputFolder)) < 0 ||
        !file.commit()) {
        if (errorText)
            *errorText = file.errorString();
        return false;
    }
    return true;
}

} // namespace fulmaro
