#include "cli/batchoptions.h"

namespace fulmaro::batch {

BatchOptions parseArguments(const QStringList &arguments)
{
    BatchOptions options;
    bool filesOnly = false;
    for (const QString &arg : arguments) {
        if (filesOnly || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            options.files << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            filesOnly = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.command = Command::Help;
        } else if (arg == QLatin1String("--list")) {
            if (options.command == Command::None)
                options.command = Command::List;
        } else {
            options.error = QStringLiteral("Bilinmeyen seçenek: %1").arg(arg);
            return options;
        }
    }
    if (options.command == Command::Help)
        return options;
    if (options.command == Command::None)
        options.error = QStringLiteral("Ne yapılacağı belirtilmedi.");
    else if (options.command == Command::List && options.files.isEmpty())
        options.error = QStringLiteral("Listelenecek dosya verilmedi.");
    return options;
}

QString helpText()
{
    return QStringLiteral(
        "Kullanım: fulmaro-batch --list DOSYA...\n"
        "\n"
        "Fulmaro'nun komut satırı arayüzü. Videoları, programın çalışma klasöründeki\n"
        "Bin klasörüne konmuş ffprobe ile inceler.\n"
        "\n"
        "Seçenekler:\n"
        "  --list DOSYA...  Dosyaları video listesine eklenir gibi inceler ve her biri için\n"
        "                   bir satır yazar: dosya adı, Süre, Tür, Dosya Boyutu ve\n"
        "                   Çözünürlük, aralarında sekme karakteri ile, verilen sırada.\n"
        "  --help           Bu açıklamayı gösterir.\n"
        "\n"
        "Çıkış kodları: 0 başarılı, 2 hatalı kullanım ya da bulunamayan dosya.\n");
}

} // namespace fulmaro::batch
