// The pictures and the icon compiled into the program: formats as stored, and content that
// tells the two switch pictures apart.
#include "framework/qt/JpegImage.h"
#include "framework/qt/Picture.h"
#include "resources/Pictures.h"

#include <QFile>
#include <QtEndian>
#include <QtTest>

namespace {

QByteArray resource(const char *path)
{
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint16 word(const QByteArray &data, qsizetype at)
{
    return qFromLittleEndian<quint16>(data.constData() + at);
}

quint32 dword(const QByteArray &data, qsizetype at)
{
    return qFromLittleEndian<quint32>(data.constData() + at);
}

bool isCyan(QColor colour)
{
    return colour.red() < 80 && colour.green() > 180 && colour.blue() > 180;
}

} // namespace

class StoredPicturesTest : public QObject
{
    Q_OBJECT

private slots:
    void switchPicturesAreBaselineJfifInThreeComponents_data();
    void switchPicturesAreBaselineJfifInThreeComponents();
    void knobIsCyanAtTheSwitchPositionNamed();
    void logoIsAnEightBitPaletteBitmap();
    void iconIs32By32In16Colours();
    void damagedStoredPictureRaises();
};

void StoredPicturesTest::switchPicturesAreBaselineJfifInThreeComponents_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("setup") << QString(kSetupModePicture);
    QTest::newRow("run") << QString(kRunModePicture);
}

void StoredPicturesTest::switchPicturesAreBaselineJfifInThreeComponents()
{
    QFETCH(QString, path);
    const QByteArray data = resource(path.toLatin1());
    QVERIFY(data.startsWith("\xFF\xD8\xFF\xE0"));
    QCOMPARE(data.mid(6, 5), QByteArray("JFIF", 5));
    QVERIFY(!data.contains("\xFF\xC2")); // no progressive frame
    const qsizetype frame = data.indexOf("\xFF\xC0");
    QVERIFY(frame > 0);
    QCOMPARE(qFromBigEndian<quint16>(data.constData() + frame + 5), quint16(256)); // height
    QCOMPARE(qFromBigEndian<quint16>(data.constData() + frame + 7), quint16(290)); // width
    QCOMPARE(int(data[frame + 9]), 3);

    const QImage image = decodeJpeg(data);
    QCOMPARE(image.size(), QSize(290, 256));
}

void StoredPicturesTest::knobIsCyanAtTheSwitchPositionNamed()
{
    // The slot runs from y 96 to 168 at x 119: RUN is its upper half, SETUP its lower half.
    const QImage setup = decodeJpeg(resource(kSetupModePicture));
    const QImage run = decodeJpeg(resource(kRunModePicture));
    QVERIFY(isCyan(setup.pixelColor(119, 150)));
    QVERIFY(!isCyan(setup.pixelColor(119, 114)));
    QVERIFY(isCyan(run.pixelColor(119, 114)));
    QVERIFY(!isCyan(run.pixelColor(119, 150)));
}

void StoredPicturesTest::logoIsAnEightBitPaletteBitmap()
{
    const QByteArray data = resource(kLogoPicture);
    QVERIFY(data.startsWith("BM"));
    QCOMPARE(dword(data, 18), 121u); // width
    QCOMPARE(dword(data, 22), 80u);  // height
    QCOMPARE(word(data, 28), quint16(8));
    QCOMPARE(dword(data, 30), 0u);   // uncompressed
    QCOMPARE(dword(data, 46), 256u); // palette entries

    const QImage logo = qt::loadPicture(kLogoPicture);
    QCOMPARE(logo.format(), QImage::Format_Indexed8);
    QCOMPARE(logo.colorCount(), 256);
}

void StoredPicturesTest::iconIs32By32In16Colours()
{
    const QByteArray data = resource(kMainIcon);
    QCOMPARE(word(data, 2), quint16(1)); // icon
    QCOMPARE(word(data, 4), quint16(1)); // one image
    QCOMPARE(quint8(data[6]), quint8(32));
    QCOMPARE(quint8(data[7]), quint8(32));
    QCOMPARE(quint8(data[8]), quint8(16));
    QCOMPARE(word(data, 12), quint16(4)); // bits per pixel
    const QImage icon(kMainIcon);
    QCOMPARE(icon.size(), QSize(32, 32));
}

void StoredPicturesTest::damagedStoredPictureRaises()
{
    const QByteArray data = resource(kSetupModePicture);
    QVERIFY_THROWS_EXCEPTION(EPictureError, decodeJpeg(data.left(data.size() * 2 / 3)));
    QVERIFY_THROWS_EXCEPTION(EPictureError, qt::loadPicture(":/pictures/missing.jpg"));

    // A picture in the layout that cannot be decoded stops the window's construction.
    QTemporaryFile broken;
    QVERIFY(broken.open());
    broken.write(data.left(600));
    broken.close();
    qt::Picture picture;
    QVERIFY_THROWS_EXCEPTION(EPictureError, picture.setSource(broken.fileName()));
    QVERIFY(picture.image().isNull());
}

QTEST_MAIN(StoredPicturesTest)
#include "StoredPictures_test.moc"
