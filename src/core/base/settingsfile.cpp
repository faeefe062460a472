#include "core/base/settingsfile.h"

#include "core/base/filechecks.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace fulmaro {

namespace {
const QString kOutputFolderKey = QStringLiteral("outputfolder");
const QStringList kDialogFolderKeys{QStringLiteral("videofolder"), QStringLiteral("stillfolder")};
} // namespace

namespace {

QString decodeSettingsText(const QByteArray &bytes)
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
    return text;
}

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// The index of the first line whose name is key, or -1.
qsizetype keyLine(const QStringList &lines, const QString &key)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype eq = lines.at(i).indexOf(QLatin1Char('='));
        if (eq >= 0 && QStringView(lines.at(i)).left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

QStringList decodeSettingsLines(const QByteArray &bytes)
{
    const QString text = decodeSettingsText(bytes);
    QStringList lines;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isLineEnd(c)) {
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
    const qsizetype line = keyLine(lines, key);
    return line < 0 ? QString() : lines.at(line).mid(lines.at(line).indexOf(QLatin1Char('=')) + 1);
}

namespace {

// Lines of name=value, each ended by CR LF.
QByteArray encodeLines(const QStringList &lines)
{
    if (lines.isEmpty())
        return {};
    const QString text = lines.join(QStringLiteral("\r\n"));
    QStringEncoder encoder(QStringEncoder::System);
    QByteArray bytes = encoder.encode(text);
    // A folder the 8-bit code page cannot spell (Turkish letters under Windows' Western code page
    // 1252) would come back with question marks for them: such a file is written in UTF-8 with a
    // byte-order mark instead, which reading honours.
    if (encoder.hasError() || QStringDecoder(QStringDecoder::System).decode(bytes) != text)
        bytes = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    bytes += "\r\n";
    return bytes;
}

// The file's lines of these keys, as they stand.
QStringList keptLines(const QString &path, const QStringList &keys)
{
    constexpr qint64 kMaxSettingsBytes = 64 * 1024;
    const SmallFileRead read = readSmallRegularFile(path, kMaxSettingsBytes);
    QStringList kept;
    if (!read.ok)
        return kept;
    const QStringList lines = decodeSettingsLines(read.bytes);
    for (const QString &key : keys) {
        const qsizetype line = keyLine(lines, key);
        if (line >= 0)
            kept << lines.at(line);
    }
    return kept;
}

bool writeLines(const QString &path, const QStringList &lines, QString *errorText)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(encodeLines(lines)) < 0 || !file.commit()) {
        if (errorText)
            *errorText = file.errorString();
        return false;
    }
    return true;
}

} // namespace

QByteArray encodeSettings(const QString &outputFolder)
{
    if (outputFolder.isEmpty())
        return {};
    return encodeLines({kOutputFolderKey + QLatin1Char('=') + outputFolder});
}

OutputFolderSetting readOutputFolderSetting(const QString &path)
{
    // A settings file holds a line or two; anything larger is not one.
    constexpr qint64 kMaxSettingsBytes = 64 * 1024;
    OutputFolderSetting setting;
    const SmallFileRead read = readSmallRegularFile(path, kMaxSettingsBytes);
    if (read.missing)
        return setting;
    if (!read.ok) {
        setting.problem = QStringLiteral("Ayar dosyası okunamadı: %1 (%2)").arg(path, read.error);
        return setting;
    }
    // The folder's line is always written with its line end; without one the file was cut short
    // inside the folder's name, and what is left may name its parent.
    const QString text = decodeSettingsText(read.bytes);
    const QStringList lines = decodeSettingsLines(read.bytes);
    const qsizetype line = keyLine(lines, kOutputFolderKey);
    if (line >= 0 && line == lines.size() - 1 && !text.isEmpty() && !isLineEnd(text.back())) {
        setting.problem =
            QStringLiteral("Ayar dosyası yarım kalmış, içindeki çıkış klasörü kullanılmadı: %1")
                .arg(path);
        return setting;
    }
    setting.folder = settingsValue(lines, kOutputFolderKey);
    return setting;
}

QString loadOutputFolder(const QString &path)
{
    return readOutputFolderSetting(path).folder;
}

bool saveOutputFolder(const QString &path, const QString &outputFolder, QString *errorText)
{
    QStringList lines;
    if (!outputFolder.isEmpty())
        lines << kOutputFolderKey + QLatin1Char('=') + outputFolder;
    return writeLines(path, lines + keptLines(path, kDialogFolderKeys), errorText);
}

QString loadDialogFolder(const QString &path, const QString &key)
{
    constexpr qint64 kMaxSettingsBytes = 64 * 1024;
    const SmallFileRead read = readSmallRegularFile(path, kMaxSettingsBytes);
    if (!read.ok)
        return QString();
    const QString folder = settingsValue(decodeSettingsLines(read.bytes), key);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

bool saveDialogFolder(const QString &path, const QString &key, const QString &folder,
                      QString *errorText)
{
    // An output folder cut short stays unusable: written again with its line end it would pass
    // for a whole one.
    QStringList lines;
    const OutputFolderSetting output = readOutputFolderSetting(path);
    if (output.problem.isEmpty() && !output.folder.isEmpty())
        lines << kOutputFolderKey + QLatin1Char('=') + output.folder;
    QStringList keys;
    for (const QString &other : kDialogFolderKeys) {
        if (other.compare(key, Qt::CaseInsensitive) != 0)
            keys << other;
    }
    lines << keptLines(path, keys);
    if (!folder.isEmpty())
        lines << key + QLatin1Char('=') + folder;
    return writeLines(path, lines, errorText);
}

} // namespace fulmaro
