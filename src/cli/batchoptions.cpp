#include "cli/batchoptions.h"

#include "core/queue/jobplan.h"
#include "core/render/settingsoptions.h"

#include <QDir>

namespace fulmaro::batch {

namespace {

QString jobsError(const QString &text)
{
    return QStringLiteral("--jobs için auto ya da 1 ile 4 arasında bir sayı bekleniyor (--slurm "
                          "ile aynı anda çalışacak görev sayısı, 1 ya da daha büyük): \"%1\"")
        .arg(text);
}

} // namespace

BatchOptions parseArguments(const QStringList &arguments)
{
    BatchOptions options;
    if (arguments.isEmpty()) {
        options.error = QStringLiteral("Ne yapılacağı belirtilmedi.");
        return options;
    }
    bool filesOnly = false;
    QString jobsText; // a number given to --jobs
    bool list = false;
    bool presets = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (filesOnly || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            options.files << arg;
            continue;
        }
        // Options that take a value accept it as the next argument or after "=".
        auto value = [&](const QString &name, QString *out) {
            if (arg.startsWith(name + QLatin1Char('='))) {
                *out = arg.mid(name.size() + 1);
                return true;
            }
            if (arg != name)
                return false;
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("%1 bir değer bekliyor.").arg(name);
                *out = QString();
                return true;
            }
            // "--output --dry-run" forgot the folder; taking the next option as the value would
            // turn a dry run into a real one. A value that starts so is given after "=".
            if (arguments[i + 1].startsWith(QLatin1String("--"))) {
                options.error =
                    QStringLiteral("%1 bir değer bekliyor, bir seçenek geldi: %2 (böyle başlayan "
                                   "bir değer %1=DEĞER biçiminde verilir)")
                        .arg(name, arguments[i + 1]);
                *out = QString();
                return true;
            }
            *out = arguments[++i];
            return true;
        };
        QString text;
        if (arg == QLatin1String("--")) {
            filesOnly = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.command = Command::Help;
            return options;
        } else if (arg == QLatin1String("--list")) {
            list = true;
        } else if (arg == QLatin1String("--presets")) {
            presets = true;
        } else if (arg == QLatin1String("--dry-run")) {
            options.dryRun = true;
        } else if (arg == QLatin1String("--preview")) {
            options.preview = true;
        } else if (arg == QLatin1String("--null")) {
            options.nullLines = true;
        } else if (arg == QLatin1String("--fresh")) {
            options.fresh = true;
        } else if (arg == QLatin1String("--skip-existing")) {
            options.skipExisting = true;
        } else if (arg == QLatin1String("--estimate")) {
            options.estimate = true;
        } else if (value(QStringLiteral("--set"), &text)) {
            if (!options.error.isEmpty())
                return options;
            if (!text.contains(QLatin1Char('='))) {
                options.error = QStringLiteral("--set AD=DEĞER biçiminde olmalı: \"%1\"").arg(text);
                return options;
            }
            options.assignments << text;
        } else if (value(QStringLiteral("--preset"), &text) ||
                   value(QStringLiteral("--save-preset"), &text)) {
            if (!options.error.isEmpty())
                return options;
            const bool save = arg.startsWith(QLatin1String("--save-preset"));
            if (text.isEmpty()) {
                options.error =
                    QStringLiteral("%1 için ön ayar adı verilmedi.")
                        .arg(save ? QStringLiteral("--save-preset") : QStringLiteral("--preset"));
                return options;
            }
            (save ? options.savePreset : options.preset) = text;
        } else if (value(QStringLiteral("--jobs"), &text)) {
            if (!options.error.isEmpty())
                return options;
            // Beyond 4 only with --slurm, which may come later: told after every option is read.
            bool ok = false;
            const int count = text.toInt(&ok);
            if (text == QLatin1String("auto")) {
                options.jobs = 0;
            } else if (ok && count >= 1 && count <= kMaximumArrayLimit &&
                       text == QString::number(count)) {
                options.jobs = count;
                jobsText = text;
            } else {
                options.error = jobsError(text);
                return options;
            }
        } else if (value(QStringLiteral("--output"), &text)) {
            if (!options.error.isEmpty())
                return options;
            if (text.isEmpty()) {
                options.error = QStringLiteral("--output için klasör verilmedi.");
                return options;
            }
            options.outputFolder = text;
        } else if (value(QStringLiteral("--slurm"), &text)) {
            if (!options.error.isEmpty())
                return options;
            if (text.isEmpty()) {
                options.error = QStringLiteral("--slurm için betik dosyasının adı verilmedi.");
                return options;
            }
            options.slurmScript = text;
        } else {
            options.error = QStringLiteral("Bilinmeyen seçenek: %1").arg(arg);
            return options;
        }
    }
    const bool renderOptions = options.dryRun || options.preview || options.estimate ||
                               !options.assignments.isEmpty() || !options.outputFolder.isEmpty() ||
                               !options.preset.isEmpty() || !options.savePreset.isEmpty() ||
                               options.jobs >= 0 || options.fresh || options.skipExisting ||
                               !options.slurmScript.isEmpty();
    if (list && renderOptions) {
        options.error = QStringLiteral("--list başka seçeneklerle birlikte kullanılamaz.");
        return options;
    }
    if (presets) {
        if (list || renderOptions || !options.files.isEmpty())
            options.error = QStringLiteral("--presets başka seçeneklerle birlikte kullanılamaz.");
        else
            options.command = Command::Presets;
        return options;
    }
    options.command = list ? Command::List : Command::Render;
    if (options.preview && !options.dryRun) {
        options.error = QStringLiteral("--preview yalnızca --dry-run ile kullanılabilir.");
        return options;
    }
    if (options.estimate && options.dryRun) {
        options.error = QStringLiteral("--estimate ile --dry-run birlikte kullanılamaz.");
        return options;
    }
    if (options.nullLines && !options.dryRun) {
        options.error = QStringLiteral("--null yalnızca --dry-run ile kullanılabilir.");
        return options;
    }
    const bool slurm = !options.slurmScript.isEmpty();
    if (slurm && (options.dryRun || options.estimate)) {
        options.error =
            QStringLiteral("--slurm ile %1 birlikte kullanılamaz.")
                .arg(options.dryRun ? QStringLiteral("--dry-run") : QStringLiteral("--estimate"));
        return options;
    }
    if (options.skipExisting && (options.dryRun || options.estimate)) {
        options.error = QStringLiteral("--skip-existing yalnızca dosyalar işlenirken (ya da "
                                       "--slurm ile) kullanılabilir.");
        return options;
    }
    if (!slurm && options.jobs > kMaximumJobs) {
        options.error = jobsError(jobsText);
        return options;
    }
    // Storing a preset needs no file; with files, they are processed with it too.
    if (options.files.isEmpty() && !options.savePreset.isEmpty() && !options.dryRun &&
        !options.estimate && options.outputFolder.isEmpty())
        return options;
    if (options.files.isEmpty()) {
        options.error = list ? QStringLiteral("Listelenecek dosya verilmedi.")
                             : QStringLiteral("İşlenecek dosya verilmedi.");
    }
    return options;
}

void resolveRelativePaths(BatchOptions &options, const QString &currentFolder)
{
    const QDir current(currentFolder);
    // Only made absolute, not cleaned: a link keeps its own name, as the list shows it.
    for (QString &file : options.files)
        file = QDir::toNativeSeparators(current.absoluteFilePath(file));
    if (!options.outputFolder.isEmpty())
        options.outputFolder =
            QDir::toNativeSeparators(current.absoluteFilePath(options.outputFolder));
    if (!options.slurmScript.isEmpty())
        options.slurmScript = QDir::toNativeSeparators(
            QDir::cleanPath(current.absoluteFilePath(options.slurmScript)));
}

QString helpText()
{
    const QString text = QStringLiteral(
        "Kullanım:\n"
        "  fulmaro-batch --list DOSYA...\n"
        "  fulmaro-batch [--preset AD] [--output KLASÖR] [--set AD=DEĞER]...\n"
        "                [--jobs N|auto] [--fresh] [--skip-existing]\n"
        "                [--dry-run [--preview] [--null]] DOSYA...\n"
        "  fulmaro-batch [--preset AD] [--output KLASÖR] [--set AD=DEĞER]...\n"
        "                [--jobs N|auto] --slurm BETİK DOSYA...\n"
        "  fulmaro-batch [--preset AD] [--output KLASÖR] [--set AD=DEĞER]...\n"
        "                --estimate DOSYA...\n"
        "  fulmaro-batch [--preset AD] [--set AD=DEĞER]... --save-preset AD [DOSYA...]\n"
        "  fulmaro-batch --presets\n"
        "\n"
        "Fulmaro'nun komut satırı arayüzü. Programın çalışma klasörünü, oradaki Bin\n"
        "klasörüne konmuş ffmpeg ve ffprobe araçlarını (Bin'de olmayanlar için sistemin\n"
        "PATH'teki araçlarını) ve programın ayarlarını kullanır; pencere açmaz.\n"
        "\n"
        "Seçenekler:\n"
        "  --list DOSYA...    Dosyaları video listesine eklenir gibi inceler ve her biri için\n"
        "                     bir satır yazar: dosya adı, Süre, Tür, Dosya Boyutu ve\n"
        "                     Çözünürlük, aralarında sekme karakteri ile, verilen sırada.\n"
        "  --output KLASÖR    Çıktı klasörü. Verilmezse programda seçili olan klasör.\n"
        "  --set AD=DEĞER     Bir ayarı değiştirir; birden çok kez verilebilir. AD, ayar\n"
        "                     panelindeki denetimin adıdır (cbRenderScale, tbVideoSpeed ...)\n"
        "                     ya da cbPreviewScale, cbPreviewNoAudio. DEĞER:\n"
        "                       sabit listeler için öğenin sırası (cbRenderScale=2),\n"
        "                       metin alanları için metin (cbBitrate=3000, cbExtension=mkv,\n"
        "                       cbVideoScale=30%, cbLogoScale=100x100),\n"
        "                       resim seçiciler için öğenin adı (cbFrame=Fulmaro Özel 2, ya da\n"
        "                       kitaplıktaki bir resmin adı: cbFilter, cbFrame, cbLogo),\n"
        "                       onay kutuları için 0 ya da 1, sayı kutuları ve kaydırıcılar\n"
        "                       için tam sayı (kaydırıcının aralığında).\n"
        "                     Kodek ve kalite: cbVideoCodec (0 Otomatik, 1 H.264, 2 H.265,\n"
        "                     3 VP9, 4 AV1), cbExtension (mp4, mkv, avi, flv, webm, mov),\n"
        "                     cbRateMode (0 Bitrate, 1 Kalite, 2 İki geçiş), tbQuality\n"
        "                     (0 en küçük dosya .. 100 en iyi görüntü, Kalite kipinde),\n"
        "                     cbPreset (0 En Hızlı .. 4 En Yavaş, her kodlayıcının kendi\n"
        "                     hız ölçeğine çevrilir). Kapsayıcının yazamadığı bir kodek\n"
        "                     (örneğin avi içinde AV1, webm içinde H.264) nedeniyle reddedilir.\n"
        "  --jobs N|auto      Aynı anda işlenecek dosya sayısı (1 ile 4 arası); auto,\n"
        "                     işlemci çekirdeklerine ve çıktının boyutuna göre karar verir\n"
        "                     (küçük çıktılarda çekirdek sayısı kadar, büyüklerde bir iş).\n"
        "                     Verilmezse ayarlardaki cbJobs (0 Otomatik, 1-4). Çekirdekler\n"
        "                     işler arasında paylaştırılır; bitenlerin durum satırları yine\n"
        "                     dosyaların sırasıyla yazılır. --slurm ile: dizinin aynı anda\n"
        "                     çalışacak görev sayısı (1 ya da daha büyük).\n"
        "  --fresh            Aynı komutun yarım kalmış bir çalıştırması sürdürülmez; her iş,\n"
        "                     yarıda kalan kodlamaların parçaları da kullanılmadan, baştan\n"
        "                     yapılır.\n"
        "  --skip-existing    Çıktısı son adıyla zaten var olan kaynak yeniden işlenmez\n"
        "                     (\"çıktı zaten var\" yazılır ve iş başarılı sayılır). Çıktı son\n"
        "                     adını yalnızca kodlayıcı başarıyla bitince aldığı için var olan\n"
        "                     çıktı tamdır; kaynağı değişen bir dosyayı yeniden işletmek için\n"
        "                     çıktısını silin.\n"
        "  --slurm BETİK      Dosyaları işlemez; Slurm'ün sbatch komutuna verilecek bir iş\n"
        "                     dizisi betiği yazar: her kaynak için bir görev, her görev bu\n"
        "                     programı aynı --output ve --set seçenekleriyle (--preset'in\n"
        "                     ayarları da --set olarak) ve --skip-existing ile tek bir kaynak\n"
        "                     için çalıştırır. Kaynakların listesi BETİK.files dosyasına\n"
        "                     (her satıra bir tam yol), görevlerin günlükleri BETİK.logs\n"
        "                     klasörüne (İŞ_GÖREV.log) yazılır. Görev başına çekirdek sayısı\n"
        "                     (--cpus-per-task) çıktının boyutundan gelir: saniyede 40\n"
        "                     milyon piksel (30 kare/sn sayılır) için bir çekirdek, en az 1.\n"
        "                     --jobs N aynı anda en çok N görev çalıştırır (%N); --jobs auto\n"
        "                     ya da verilmezse sınırı Slurm koyar. Betik yeniden\n"
        "                     gönderildiğinde yalnızca çıktısı olmayan kaynaklar işlenir.\n"
        "                     Bozuk bir kaynağın görevi çıkış kodu 1 ile\n"
        "                     FAILED olur; nedeni görevin günlüğündedir. Adında satır sonu ya\n"
        "                     da başka bir denetim karakteri olan dosyalar ve çıktıları aynı\n"
        "                     adı alacak kaynaklar reddedilir (çıkış kodu 2).\n"
        "  --preset AD        Kayıtlı bir ön ayarı uygular; --set seçenekleri onun üzerine\n"
        "                     uygulanır. Kitaplıkta artık olmayan bir resim \"Yok\" sayılır ve\n"
        "                     standart hataya yazılır.\n"
        "  --save-preset AD   Verilen ayarları (--preset ve --set) bu adla ön ayar olarak\n"
        "                     saklar; aynı adlı ön ayarın yerine yazar. Dosya verilmezse\n"
        "                     yalnızca saklar.\n"
        "  --presets          Kayıtlı ön ayarların adlarını, her satıra bir ad, yazar.\n"
        "  --dry-run          Dosyaları inceler, bindirme resimlerinin geçici kopyalarını\n"
        "                     hazırlar ve her dosya için, işlem kuyruğunun çalıştıracağı komut\n"
        "                     satırını yazar; iş çalıştırılmaz. Satır çıktıyı geçici adına\n"
        "                     yazar ve \"&& mv\" ile ona son adını yalnızca kodlayıcı başarıyla\n"
        "                     bitince verir. Her işin komut satırından önce\n"
        "                     \"# \" ile başlayan bir açıklama satırı çıktının tahmini boyutunu,\n"
        "                     en sondaki bir açıklama satırı da tahmini toplamı yazar (kabuk bu\n"
        "                     satırları çalıştırmaz). Görüntüsü olmayan ya da okunamayan\n"
        "                     dosyalar için nedeni standart hataya yazılır.\n"
        "  --estimate         Yalnızca çıktıların tahmini boyutlarını yazar: her dosya için bir\n"
        "                     satır, boyut ve çıktının yolu, aralarında sekme karakteri ile; son\n"
        "                     satır toplam (\"toplam\"). Boyutlar Bitrate ve İki geçiş\n"
        "                     kiplerinde bit hızından ve süreden hesaplanır; Kalite kipinde\n"
        "                     kodlayıcı her dosyanın birkaç kısa örneğini geçici klasöre kodlar\n"
        "                     ve ölçer (dosya başına birkaç saniye). Tahmin edilemeyen bir\n"
        "                     dosya \"bilinmiyor\" yazar ve çıkış kodunu 1 yapar.\n"
        "  --preview          --dry-run ile: işleme yerine önizleme komutlarını yazar.\n"
        "  --null             --dry-run ile: komut satırlarını satır sonu yerine NUL\n"
        "                     karakteriyle bitirir (parallel -0, xargs -0 için). Bu olmadan\n"
        "                     adında satır sonu ya da başka bir denetim karakteri olan dosyalar\n"
        "                     reddedilir, çünkü satırı bölerler.\n"
        "  --help             Bu açıklamayı gösterir.\n"
        "\n"
        "--dry-run ya da --estimate verilmezse dosyalar çıktı klasörüne işlenir; her\n"
        "iş için bir durum satırı, başarısız işlerde nedeniyle birlikte, standart hataya\n"
        "yazılır. Her iş önce geçici bir ada (AD.part.UZANTI) yazar; çıktı son adını yalnızca\n"
        "kodlayıcı başarıyla bitince alır. Ctrl-C çalışan işleri durdurur ve yarım kalan\n"
        "dosyalarını siler. SIGTERM ve SIGHUP (kapanış, terminalin kapanması, bir\n"
        "zamanlayıcının süre sınırı) da durdurur, ama çalıştırmanın kaydını ve uzun\n"
        "kodlamaların bitmiş parçalarını bırakır: aynı komut yeniden verildiğinde kaldığı\n"
        "yerden sürer.\n"
        "\n"
        "Çalıştırma, çalışma klasörünün Journal klasöründe bir kayıt tutar. Program çökerse\n"
        "ya da öldürülürse (kill -9, elektrik kesintisi) aynı komut yeniden verildiğinde\n"
        "kaldığı yerden sürer: tamamlanmış çıktılar (kaynakları o zamandan beri\n"
        "değişmediyse) yeniden işlenmez, gerisi işlenir. Farklı bir komut (başka dosyalar,\n"
        "ayarlar ya da çıktı klasörü) ya da --fresh baştan başlar; sonuna kadar giden ya da\n"
        "Ctrl-C ile durdurulan bir çalıştırmanın kaydı silinir.\n"
        "\n"
        "Bir dakikadan uzun çıktılar (mp4, mov, mkv ve webm; tek geçişte, giriş/çıkış klibi ve\n"
        "ses ayarı olmadan) yaklaşık 15 saniyelik parçalar halinde çıktının yanındaki\n"
        "AD.part klasörüne kodlanır ve sonunda yeniden kodlanmadan birleştirilir. Kesilen\n"
        "bir kodlama, aynı çıktıyı yazan bir sonraki çalıştırmada kaldığı parçadan sürer;\n"
        "sonuna kadar giden, başarısız olan ya da durdurulan bir işin parçaları silinir.\n"
        "\n"
        "Yalnızca normal dosyalar işlenir: klasör, boru (FIFO) ve aygıtlar reddedilir. Bir\n"
        "kaynak dosyanın yerine, ona başka bir yoldan (bağlantı, büyük/küçük harf) ulaşılsa\n"
        "bile, hiçbir çıktı yazılmaz. Yazmaya karşı korumalı bir çıktı değiştirilmez.\n"
        "Kaynağın listelenen süresinden belirgin biçimde kısa kalan bir çıktı hata sayılır ve\n"
        "geçici adıyla bırakılır. Program sonlandırılırsa (kill -9 dahil) kodlayıcı da durur;\n"
        "yarım kalan geçici dosyayı aynı çıktıyı yazan bir sonraki çalıştırma siler.\n"
        "\n"
        "Kalite kipinde --dry-run de tahmin için aynı kısa örnekleri kodlar.\n"
        "\n"
        "Çıkış kodları: 0 her iş başarılı, 1 en az bir iş başarısız, 2 hatalı kullanım,\n"
        "bulunamayan ya da normal dosya olmayan dosya, bulunamayan klasör, yazılamayan çıkış\n"
        "klasörü ya da geçersiz ayar (boş, sıfır ya da çok büyük bit hızı, videodan bir şey\n"
        "bırakmayan kırpma), 130 Ctrl-C, SIGTERM ya da SIGHUP ile durduruldu.\n"
        "\n"
        "Giriş/Çıkış ve Ses: cbIntro ve cbOutro, çalışma klasörünün Intro ve Outro\n"
        "kitaplıklarındaki bir klibin adıyla (uzantısız) her çıktının başına ve sonuna o\n"
        "klibi ekler; klip çıktının boyutuna oranı korunarak ortalanır, sesi yoksa sessizlik\n"
        "eklenir. cbEraseAudio=1 sesi siler, cbEraseVideo=1 yalnızca sesi yazar (mp4, mov,\n"
        "mkv yerine m4a; avi, flv yerine mp3; webm yerine opus). tbVolume sesi yüzde olarak\n"
        "ayarlar. cbLoudness (1 Web -14 LUFS, 2 Yayın -23 LUFS) sesi iki geçişte ölçüp\n"
        "hedefe getirir: --dry-run ikisini tek satırda yazar; ilk geçişin ölçtüğü değerler\n"
        "awk ile okunup ikinci geçişin süzgecine konur.\n"
        "\n"
        "Ayarlar (AD, aldığı değerler ve varsayılanı):\n");
    return text + settingsHelpText();
}

} // namespace fulmaro::batch
