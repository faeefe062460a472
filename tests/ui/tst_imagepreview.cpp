// The picture window on its own: the picture fits the area and follows its size, the hatch shows
// through transparent parts, and a picture that cannot be loaded is reported.

#include "ui/assets/imagepreviewform.h"
#include "ui/dialogs/msgform.h"

#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

namespace {

const QColor kOlive(128, 128, 0);

// Left half fully transparent, right half opaque blue.
QImage halfTransparent(QSize size)
{
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int y = 0; y < size.height(); ++y)
        for (int x = size.width() / 2; x < size.width(); ++x)
            picture.setPixelColor(x, y, Qt::blue);
    return picture;
}

QSet<QRgb> coloursIn(const QImage &shot, const QRect &block)
{
    QSet<QRgb> colours;
    for (int y = block.top(); y <= block.bottom(); ++y)
        for (int x = block.left(); x <= block.right(); ++x)
            colours.insert(shot.pixel(x, y) | 0xff000000u);
    return colours;
}

} // namespace

class TestImagePreview : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void layout();
    void fitsArea_data();
    void fitsArea();
    void hatchShowsThrough();
    void unreadablePictureKeepsPrevious();
    void choosingNeedsASelection();

private:
    QTemporaryDir m_dir;
    QString m_folder;
};

void TestImagePreview::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_folder = m_dir.path() + QLatin1Char('/');
    QVERIFY(halfTransparent({40, 20}).save(m_folder + QStringLiteral("geniş.png")));
    QVERIFY(halfTransparent({10, 30}).save(m_folder + QStringLiteral("uzun.png")));
    QVERIFY(halfTransparent({2000, 1000}).save(m_folder + QStringLiteral("Büyük.PNG")));
}

void TestImagePreview::layout()
{
    ImagePreviewForm form;
    QCOMPARE(form.objectName(), QStringLiteral("ImagePreviewForm"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Önizleme"));
    QCOMPARE(form.chooseButton->text(), QStringLiteral("Seç"));
    QCOMPARE(form.size(), QSize(658, 452));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.imageListBox->parentWidget()->width(), 185);
    QCOMPARE(form.chooseButton->height(), 25);
    QCOMPARE(form.chooseButton->width(), 185 - 10);
    // The picture lies over the hatch, covering the same area, the rest of the window.
    QCOMPARE(form.image->geometry(), form.backgroundImage->geometry());
    QCOMPARE(form.image->width(), 658 - 185);
    QCOMPARE(form.image->height(), 452);
}

void TestImagePreview::fitsArea_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("wide"); // fills the area's width (else its height)

    QTest::newRow("small wide, enlarged") << "geniş" << true;
    QTest::newRow("small tall, enlarged") << "uzun" << false;
    QTest::newRow("large, reduced, upper-case extension") << "Büyük" << true;
}

void TestImagePreview::fitsArea()
{
    QFETCH(QString, entry);
    QFETCH(bool, wide);

    ImagePreviewForm form;
    form.directory = m_folder;
    form.imageListBox->addItems(
        {QStringLiteral("geniş"), QStringLiteral("uzun"), QStringLiteral("Büyük")});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.imageListBox->setCurrentItem(
        form.imageListBox->findItems(entry, Qt::MatchExactly).constFirst());
    QVERIFY(!form.image->picture().isNull());
    const QSize source = form.image->picture().size();

    for (const QSize windowSize : {QSize(658, 452), QSize(1000, 700)}) {
        form.resize(windowSize);
        QTRY_COMPARE(form.width(), windowSize.width());
        const QRect area = form.image->rect();
        const QRect picture = form.image->pictureRect();
        if (wide)
            QCOMPARE(picture.width(), area.width());
        else
            QCOMPARE(picture.height(), area.height());
        QVERIFY(area.contains(picture));
        // Proportions kept to the pixel, centred to the pixel.
        QVERIFY(qAbs(picture.width() * source.height() - picture.height() * source.width()) <=
                qMax(source.width(), source.height()));
        QVERIFY(qAbs(picture.left() - (area.width() - picture.right() - 1)) <= 1);
        QVERIFY(qAbs(picture.top() - (area.height() - picture.bottom() - 1)) <= 1);
    }
}

void TestImagePreview::hatchShowsThrough()
{
    ImagePreviewForm form;
    form.directory = m_folder;
    form.imageListBox->addItem(QStringLiteral("geniş"));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.imageListBox->setCurrentRow(0);
    const QRect picture = form.image->pictureRect();
    QVERIFY(picture.width() > 100);
    const QImage shot = form.image->parentWidget()->grab().toImage();
    const QRgb face = form.palette().color(QPalette::Window).rgb();

    // Through the transparent left half: the olive hatch over the face colour, nothing else.
    const QRect transparent(picture.left() + 10, picture.center().y() - 10, 20, 20);
    const QSet<QRgb> seen = coloursIn(shot, transparent);
    QVERIFY(seen.contains(kOlive.rgb()));
    QVERIFY(seen.contains(face));
    QCOMPARE(seen.size(), 2);
    // The opaque half covers the hatch; outside the picture the hatch shows as well.
    const QRect opaque(picture.right() - 30, picture.center().y() - 10, 20, 20);
    QCOMPARE(coloursIn(shot, opaque), QSet<QRgb>({QColor(Qt::blue).rgb()}));
    QVERIFY(coloursIn(shot, QRect(2, 2, 20, 20)).contains(kOlive.rgb()));
}

void TestImagePreview::unreadablePictureKeepsPrevious()
{
    QFile broken(m_folder + QStringLiteral("kırık.png"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("no picture here");
    broken.close();
    QStringList errors;
    setMsgHook([&errors](MsgDlgType type, const QString &text) {
        if (type == MsgDlgType::mtError)
            errors << text;
        return kMsgYes;
    });

    ImagePreviewForm form;
    form.directory = m_folder;
    form.imageListBox->addItems(
        {QStringLiteral("uzun"), QStringLiteral("kırık"), QStringLiteral("yok")});
    form.imageListBox->setCurrentRow(0);
    const QImage before = form.image->picture();
    QVERIFY(!before.isNull());
    form.imageListBox->setCurrentRow(1);
    form.imageListBox->setCurrentRow(2); // no such file
    setMsgHook(nullptr);

    QCOMPARE(errors.size(), 2);
    QVERIFY2(errors.at(0).contains(m_folder + QStringLiteral("kırık.png")),
             qPrintable(errors.at(0)));
    QVERIFY2(errors.at(1).contains(m_folder + QStringLiteral("yok.png")), qPrintable(errors.at(1)));
    QCOMPARE(form.image->picture(), before);
}

void TestImagePreview::choosingNeedsASelection()
{
    ImagePreviewForm form;
    form.directory = m_folder;
    form.imageListBox->addItems({QStringLiteral("geniş"), QStringLiteral("uzun")});
    form.show();
    QTest::mouseClick(form.chooseButton, Qt::LeftButton);
    QVERIFY(form.isVisible());
    QCOMPARE(form.result(), 0);
    // Double-clicking an entry only selects it.
    const QRect second = form.imageListBox->visualItemRect(form.imageListBox->item(1));
    QTest::mouseDClick(form.imageListBox->viewport(), Qt::LeftButton, {}, second.center());
    QVERIFY(form.isVisible());
    QCOMPARE(form.imageListBox->currentRow(), 1);
    QTest::mouseClick(form.chooseButton, Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestImagePreview)
#include "tst_imagepreview.moc"
