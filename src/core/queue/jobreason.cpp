#include "core/queue/jobreason.h"

#include "core/base/filechecks.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <csignal>

namespace fulmaro {

namespace {

// Signals another program (a user's kill, a system shutdown, the memory killer) sends to end a
// process, as opposed to a fault of the encoder itself.
bool isEndingSignal(int signal)
{
#ifdef Q_OS_UNIX
    return signal == SIGKILL || signal == SIGTERM || signal == SIGINT || signal == SIGHUP ||
           signal == SIGQUIT;
#else
    Q_UNUSED(signal)
    return false;
#endif
}

JobReason signalReason(int signal)
{
    if (isEndingSignal(signal))
        return {QStringLiteral("Kodlayıcı dışarıdan sonlandırıldı (sinyal %1).").arg(signal)};
    return {QStringLiteral("Kodlayıcı çöktü (sinyal %1).").arg(signal)};
}

bool mentions(const QString &line, const QString &path)
{
    return !path.isEmpty() && line.contains(path);
}

} // namespace

QString outputFaultText(OutputFault fault, const QString &errorText)
{
    switch (fault) {
    case OutputFault::None:
        break;
    case OutputFault::FolderMissing:
        return QStringLiteral("Çıkış klasörü bulunamadı.");
    case OutputFault::NotWritable:
        return QStringLiteral("Çıkış klasörüne yazılamıyor.");
    case OutputFault::DiskFull:
        return QStringLiteral("Çıkış diskinde yer kalmadı.");
    case OutputFault::NameTooLong:
        return QStringLiteral("Çıktı dosyasının adı bu dosya sistemi için fazla uzun.");
    case OutputFault::NameRefused:
        return QStringLiteral("Çıkış klasörünün dosya sistemi bu dosya adını kabul etmiyor "
                              "(adda izin vermediği bir karakter var).");
    case OutputFault::IsFolder:
        return QStringLiteral("Çıktı dosyasının adında bir klasör var; dokunulmadı.");
    case OutputFault::Protected:
        return QStringLiteral("Çıktı dosyası yazmaya karşı korumalı; üzerine yazılmadı.");
    case OutputFault::Other:
        return QStringLiteral("Çıkış dosyası yazılamadı: %1").arg(errorText);
    }
    return QString();
}

QString sourceProblem(const QString &sourcePath)
{
    const QString reason = notRegularFileReason(sourcePath);
    if (!reason.isEmpty() && !QFileInfo::exists(sourcePath) &&
        !nameHidesUndecodableEntry(sourcePath))
        return QStringLiteral("Kaynak dosya bulunamadı.");
    if (!reason.isEmpty())
        return QStringLiteral("Kaynak dosya kullanılamıyor: ") + reason;
    QFile file(sourcePath);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Kaynak dosya okunamadı.");
    return QString();
}

QString overwriteRefusedText()
{
    return QStringLiteral("Çıktı, listedeki bir kaynak dosyanın yerine yazılacaktı (aynı dosyaya "
                          "başka bir yoldan ulaşılıyor); kaynağa dokunulmadı.");
}

QString leftoverRemovedText(const QString &path)
{
    return QStringLiteral("Yarıda kalmış önceki bir işlemin dosyası silindi: %1")
        .arg(QFileInfo(path).fileName());
}

QString keptPartText(const QString &path)
{
    return QStringLiteral("Yazılan dosya geçici adıyla bırakıldı: %1").arg(path);
}

QString shortOutputText(double outputSeconds, double plannedSeconds)
{
    const double missing = plannedSeconds - outputSeconds;
    if (missing <= 1.0 || missing <= plannedSeconds / 10)
        return QString();
    const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    const auto seconds = [&turkish](double value) {
        return turkish.toString(value, 'f', 1).remove(QRegularExpression(QStringLiteral(",0$")));
    };
    return QStringLiteral("Çıktı %1 sn, beklenen %2 sn: kaynak dosya bozuk olabilir.")
        .arg(seconds(outputSeconds), seconds(plannedSeconds));
}

QString encoderCheckFailedText()
{
    return QStringLiteral("Kodlayıcı denetimden geçmedi; iş çalıştırılmadı.");
}

JobReason encoderFailureReason(RunEnd end, int exitCode, const QStringList &lines,
                               const QString &sourcePath, const QString &outputPath)
{
    switch (end) {
    case RunEnd::Succeeded:
    case RunEnd::Stopped:
        return {};
    case RunEnd::FailedToStart:
        return {QStringLiteral("Kodlayıcı başlatılamadı."), true};
    case RunEnd::Crashed:
        // The interpreter hands the run over to the encoder, so its signal is the encoder's.
        return signalReason(exitCode);
    case RunEnd::Failed:
        break;
    }

    // The interpreter's own codes: the tool is not there, or cannot be run.
    if (exitCode == 127)
        return {QStringLiteral("Kodlayıcı bulunamadı."), true};
    if (exitCode == 126)
        return {QStringLiteral("Kodlayıcı çalıştırılamadı."), true};
    // An interpreter that waited for its encoder reports a signal as 128 + its number.
    if (exitCode > 128 && exitCode < 160)
        return signalReason(exitCode - 128);

    static const QRegularExpression received(QStringLiteral("received signal (\\d+)"));
    const QString outputFolder = QFileInfo(outputPath).absolutePath();
    bool diskFull = false;
    bool outputRefused = false;
    bool sourceRefused = false;
    int signal = 0;
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = received.match(line);
        if (match.hasMatch())
            signal = match.captured(1).toInt();
        if (line.contains(QLatin1String("No space left on device")) ||
            line.contains(QLatin1String("Disk quota exceeded")))
            diskFull = true;
        const bool refused = line.contains(QLatin1String("Permission denied")) ||
                             line.contains(QLatin1String("Read-only file system")) ||
                             line.contains(QLatin1String("No such file or directory"));
        if (refused && mentions(line, sourcePath))
            sourceRefused = true;
        else if (refused && (mentions(line, outputPath) || mentions(line, outputFolder)))
            outputRefused = true;
    }
    // The encoder ends itself cleanly on these and says so.
    if (signal > 0)
        return signalReason(signal);
    if (diskFull)
        return {outputFaultText(OutputFault::DiskFull)};
    if (!QFileInfo(outputFolder).isDir())
        return {outputFaultText(OutputFault::FolderMissing)};
    const QString source = sourceProblem(sourcePath);
    if (!source.isEmpty())
        return {source};
    if (outputRefused)
        return {outputFaultText(OutputFault::NotWritable)};
    if (sourceRefused)
        return {QStringLiteral("Kaynak dosya okunamadı.")};
    return {QStringLiteral("Kodlayıcı hata ile bitti (çıkış kodu %1).").arg(exitCode)};
}

} // namespace fulmaro
