#include "ui/startfiles.h"

#include "ui/mainform.h"

#include <QDir>
#include <QFileInfo>

namespace fulmaro {

void addFilesOnStartup(MainForm *form, const QStringList &arguments)
{
    QStringList files;
    for (const QString &argument : arguments)
        files << QDir::toNativeSeparators(QFileInfo(argument).absoluteFilePath());
    if (files.isEmpty())
        return;
    if (form->startupHandled()) {
        form->addVideoFiles(files);
        return;
    }
    QObject::connect(
        form, &MainForm::startupDone, form, [form, files] { form->addVideoFiles(files); },
        Qt::SingleShotConnection);
}

} // namespace fulmaro
