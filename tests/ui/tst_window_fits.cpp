// The windows on a small screen: run on a 1024 x 600 screen, and on a 1920 x 1080 one at scale
// factor 2 (960 x 540 to the program). Every window opens inside the screen's free area and every
// control of the main window can be reached; the toolkit's dialogs speak Turkish.

#include "support/testsupport.h"
#include "ui/appstyle.h"
#include "ui/mainform.h"
#include "ui/queue/videorenderform.h"
#include "ui/render/settingspanel.h"
#include "ui/translations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QTreeWidget>

using namespace fulmaro;

class TestWindowFits : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void mainWindowFits();
    void queueWindowFitsAndResizes();
    void fileDialogSpeaksTurkish();
};

namespace {

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// Whether the widget lies inside a scroll area's contents, which may be scrolled to.
bool insideScrollArea(const QWidget *widget, const QWidget *window)
{
    for (const QWidget *w = widget->parentWidget(); w && w != window; w = w->parentWidget()) {
        if (qobject_cast<const QScrollArea *>(w))
            return true;
    }
    return false;
}

} // namespace

void TestWindowFits::initTestCase()
{
    testsupport::isolateDataHome();
    QString error;
    QVERIFY2(applyLightStyle(*qApp, &error), qPrintable(error));
    // The screen the test was started with, as the program sees it.
    const QSize expected =
        qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? QSize(960, 540) : QSize(1024, 600);
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), expected);
}

void TestWindowFits::mainWindowFits()
{
    MainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.minimumSizeHint().width() <= 1000);
    QVERIFY2(available().contains(form.frameGeometry()),
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(form.frameGeometry().x())
                            .arg(form.frameGeometry().y())
                            .arg(form.width())
                            .arg(form.height())));
    // Every control shown lies inside the window; one on a settings page may lie in the page's
    // scrolled part, and its scroll area then lies inside the window.
    const QRect inside = form.rect();
    int checked = 0;
    for (QWidget *widget : form.findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(&form) || widget->isWindow() || insideScrollArea(widget, &form))
            continue;
        const QRect at(widget->mapTo(&form, QPoint(0, 0)), widget->size());
        QVERIFY2(inside.contains(at), qPrintable(widget->objectName() + QLatin1Char(' ') +
                                                 widget->metaObject()->className()));
        ++checked;
    }
    QVERIFY(checked > 20);
    // The list keeps room for a few rows.
    QVERIFY(form.videoList->height() >= 80);
    // Each settings page can show all of its controls by scrolling.
    for (int page = 0; page < form.renderSettings->renderPageControl->count(); ++page) {
        auto *area =
            qobject_cast<QScrollArea *>(form.renderSettings->renderPageControl->widget(page));
        QVERIFY(area);
        QVERIFY(inside.contains(QRect(area->mapTo(&form, QPoint(0, 0)), area->size())) ||
                page != form.renderSettings->renderPageControl->currentIndex());
    }
}

void TestWindowFits::queueWindowFitsAndResizes()
{
    MainForm form;
    form.show();
    VideoRenderForm window(&form);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(available().contains(window.frameGeometry()));
    QVERIFY(window.minimumSize() != window.maximumSize());
    // Made wider, the list and the names grow with it.
    const int listWidth = window.logListView->width();
    window.resize(window.width() + 150, window.height() + 40);
    QTRY_VERIFY(window.logListView->width() >= listWidth + 150);
    for (QAbstractButton *button : window.findChildren<QAbstractButton *>()) {
        if (button->isVisibleTo(&window))
            QVERIFY(window.rect().contains(
                QRect(button->mapTo(&window, QPoint(0, 0)), button->size())));
    }
}

// The toolkit's own file dialog, in the program's language once Qt's translations are loaded.
void TestWindowFits::fileDialogSpeaksTurkish()
{
    QVERIFY(installQtTranslations(*qApp, QLocale(QLocale::Turkish, QLocale::Turkey)));
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    auto *box = dialog.findChild<QDialogButtonBox *>();
    QVERIFY(box);
    QAbstractButton *cancel = box->button(QDialogButtonBox::Cancel);
    QVERIFY(cancel);
    QCOMPARE(cancel->text(), QStringLiteral("İptal"));
    // Back to the untranslated texts for whatever runs next.
    QVERIFY(!installQtTranslations(*qApp, QLocale(QLocale::C)));
}

QTEST_MAIN(TestWindowFits)
#include "tst_window_fits.moc"
