#include "ui/dialogs/msgform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace fulmaro;

namespace {
// Runs action on the message dialog once it is up, and returns showMsg's result.
int showAndDo(MsgDlgType type, int seconds, const std::function<void(MsgForm *)> &action)
{
    QTimer::singleShot(0, [action] {
        auto *form = qobject_cast<MsgForm *>(QApplication::activeModalWidget());
        QVERIFY(form);
        action(form);
    });
    return showMsg(type, QStringLiteral("Metin"), seconds);
}
} // namespace

class TestMsgForm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void layoutByType_data();
    void layoutByType();
    void results_data();
    void results();
    void countdown();
    void noCountdownForZeroOrNegative();
    void longTextShownWhole_data();
    void longTextShownWhole();
};

void TestMsgForm::layoutByType_data()
{
    QTest::addColumn<MsgDlgType>("type");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("first");
    QTest::addColumn<int>("firstLeft");
    QTest::addColumn<bool>("twoButtons");
    QTest::newRow("warning") << MsgDlgType::mtWarning << "Uyarı"
                             << "Tamam" << 334 << false;
    QTest::newRow("error") << MsgDlgType::mtError << "Hata"
                           << "Tamam" << 334 << false;
    QTest::newRow("information") << MsgDlgType::mtInformation << "Bilgi"
                                 << "Tamam" << 334 << false;
    QTest::newRow("confirmation") << MsgDlgType::mtConfirmation << "Onay"
                                  << "Evet" << 253 << true;
    QTest::newRow("custom") << MsgDlgType::mtCustom << ""
                            << "Tamam" << 334 << false;
}

void TestMsgForm::layoutByType()
{
    QFETCH(MsgDlgType, type);
    QFETCH(QString, title);
    QFETCH(QString, first);
    QFETCH(int, firstLeft);
    QFETCH(bool, twoButtons);
    MsgForm form;
    form.messageType = type;
    form.messageText = QStringLiteral("Seçili videolar listeden çıkartılsın mı?");
    form.prepareForm();
    form.show();
    QCOMPARE(form.windowTitle(), title);
    QCOMPARE(form.msgLabel()->text(), form.messageText);
    QCOMPARE(form.btnYes()->text(), first);
    QCOMPARE(form.btnYes()->x(), firstLeft);
    QCOMPARE(form.btnNo()->isVisible(), twoButtons);
    if (!twoButtons)
        QVERIFY(form.btnYes()->isDefault());
    if (twoButtons) {
        QCOMPARE(form.btnNo()->text(), QStringLiteral("Hayır"));
        QCOMPARE(form.btnNo()->x(), 334);
    }
    QCOMPARE(form.size(), QSize(427, 98));
    QCOMPARE(form.closeTimer()->isActive(), false);
}

void TestMsgForm::results_data()
{
    QTest::addColumn<MsgDlgType>("type");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::newRow("confirmation: Evet") << MsgDlgType::mtConfirmation << "yes" << 6;
    QTest::newRow("confirmation: Hayır") << MsgDlgType::mtConfirmation << "no" << 7;
    QTest::newRow("confirmation: Escape") << MsgDlgType::mtConfirmation << "escape" << 7;
    QTest::newRow("confirmation: Enter on Evet") << MsgDlgType::mtConfirmation << "enter" << 6;
    QTest::newRow("confirmation: Enter on focused Hayır")
        << MsgDlgType::mtConfirmation << "tab enter" << 7;
    QTest::newRow("confirmation: close box") << MsgDlgType::mtConfirmation << "close" << 2;
    QTest::newRow("error: Tamam") << MsgDlgType::mtError << "yes" << 6;
    QTest::newRow("error: Enter") << MsgDlgType::mtError << "enter" << 6;
    QTest::newRow("error: Escape does nothing, then Tamam")
        << MsgDlgType::mtError << "escape yes" << 6;
    QTest::newRow("warning: close box") << MsgDlgType::mtWarning << "close" << 2;
}

void TestMsgForm::results()
{
    QFETCH(MsgDlgType, type);
    QFETCH(QString, action);
    QFETCH(int, result);
    bool stillOpenAfterEscape = false;
    const int got = showAndDo(type, 0, [&](MsgForm *form) {
        QApplication::setActiveWindow(form);
        for (const QString &step : action.split(QLatin1Char(' '))) {
            if (step == QLatin1String("yes"))
                QTest::mouseClick(form->btnYes(), Qt::LeftButton);
            else if (step == QLatin1String("no"))
                QTest::mouseClick(form->btnNo(), Qt::LeftButton);
            else if (step == QLatin1String("escape")) {
                QTest::keyClick(form, Qt::Key_Escape);
                stillOpenAfterEscape = form->isVisible();
            } else if (step == QLatin1String("enter"))
                QTest::keyClick(form->focusWidget() ? form->focusWidget() : form, Qt::Key_Return);
            else if (step == QLatin1String("tab"))
                form->btnNo()->setFocus();
            else if (step == QLatin1String("close"))
                form->windowHandle()->close();
        }
    });
    QCOMPARE(got, result);
    if (action == QLatin1String("escape yes"))
        QVERIFY(stillOpenAfterEscape);
}

void TestMsgForm::countdown()
{
    QStringList captions;
    QTimer::singleShot(0, [&] {
        auto *form = qobject_cast<MsgForm *>(QApplication::activeModalWidget());
        QVERIFY(form);
        captions << form->btnYes()->text();
        auto *poll = new QTimer(form);
        connect(poll, &QTimer::timeout, [form, &captions] {
            if (captions.last() != form->btnYes()->text())
                captions << form->btnYes()->text();
        });
        poll->start(20);
        // The last caption lives only until the press it causes.
        connect(form->btnYes(), &QPushButton::clicked, [form, &captions] {
            if (captions.last() != form->btnYes()->text())
                captions << form->btnYes()->text();
        });
    });
    QElapsedTimer t;
    t.start();
    const int result = showMsg(MsgDlgType::mtConfirmation, QStringLiteral("Metin"), 2);
    QCOMPARE(result, 6);
    QVERIFY(t.elapsed() >= 1900);
    QCOMPARE(captions, QStringList({"Evet (2)", "Evet (1)", "Evet (0)"}));
}

void TestMsgForm::noCountdownForZeroOrNegative()
{
    for (int seconds : {0, -3}) {
        MsgForm form;
        form.messageType = MsgDlgType::mtInformation;
        form.closeSeconds = seconds;
        form.prepareForm();
        QCOMPARE(form.btnYes()->text(), QStringLiteral("Tamam"));
        QVERIFY(!form.closeTimer()->isActive());
        QCOMPARE(form.closeTimer()->interval(), 1000);
    }
}

// A long text wraps and the dialog grows, wider up to a limit, then taller, until the label holds
// all of it; the buttons stay at the right, under the text.
void TestMsgForm::longTextShownWhole_data()
{
    QTest::addColumn<MsgDlgType>("type");
    QTest::addColumn<QString>("text");
    const QString reason = QStringLiteral(
        "/home/kullanıcı/Videolar/tatil.mp4 dosyası yüklenemedi: Kodlayıcı hata ile bitti "
        "(çıkış kodu 1). Invalid data found when processing input; the stream could not be "
        "decoded and no frame was written before the end of the file was reached.");
    QTest::newRow("a reason after the file name") << MsgDlgType::mtError << reason;
    QTest::newRow("a question with a long name")
        << MsgDlgType::mtConfirmation
        << QStringLiteral("Seçili logo [%1] listeden çıkartılsın mı?").arg(QString(200, u'ş'));
    QTest::newRow("a path without blanks")
        << MsgDlgType::mtError
        << QStringLiteral("Çıkış klasörüne yazılamıyor: ") +
               QStringLiteral("/çok/uzun/bir/klasör/adı").repeated(12);
    QTest::newRow("lines") << MsgDlgType::mtWarning
                           << QStringLiteral("Birinci satır\n").repeated(9) + QStringLiteral("Son");
}

void TestMsgForm::longTextShownWhole()
{
    QFETCH(MsgDlgType, type);
    QFETCH(QString, text);
    MsgForm form;
    form.messageType = type;
    form.messageText = text;
    form.prepareForm();
    form.show();
    const QLabel *label = form.msgLabel();
    QVERIFY(label->wordWrap());
    // What the label shows is the text, with at most invisible break chances added.
    QCOMPARE(label->text().remove(QChar(0x200B)), text);
    const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 1000000),
                                                           Qt::TextWordWrap, label->text());
    QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(),
             qPrintable(QStringLiteral("%1x%2 in %3x%4")
                            .arg(needed.width())
                            .arg(needed.height())
                            .arg(label->width())
                            .arg(label->height())));
    QVERIFY(form.width() > 427 || form.height() > 98);
    QVERIFY(form.width() <= 720);
    QVERIFY(form.rect().contains(label->geometry()));
    QPushButton *last = type == MsgDlgType::mtConfirmation ? form.btnNo() : form.btnYes();
    QCOMPARE(last->geometry().right(), form.width() - 18 - 1);
    QVERIFY(form.btnYes()->y() > label->geometry().bottom());
    QVERIFY(form.rect().contains(form.btnYes()->geometry()));
    if (type == MsgDlgType::mtConfirmation)
        QCOMPARE(form.btnNo()->x() - form.btnYes()->x(), 81);
}

QTEST_MAIN(TestMsgForm)
#include "tst_msgform.moc"
