#include "framework/qt/Picture.h"

#include "framework/qt/Ansi.h"
#include "framework/qt/JpegImage.h"

#include <QFile>
#include <QPixmap>

namespace qt {

QImage loadPicture(const QString &source)
{
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        throw EPictureError("Cannot open picture " + toAnsi(source));
    const QByteArray data = file.readAll();
    if (data.startsWith("\xFF\xD8"))
        return decodeJpeg(data);
    QImage image = QImage::fromData(data);
    if (image.isNull())
        throw EPictureError("Cannot read picture " + toAnsi(source));
    return image;
}

Picture::Picture(QWidget *parent) : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
}

void Picture::setSource(const QString &source)
{
    QImage image = source.isEmpty() ? QImage() : loadPicture(source);
    m_source = source;
    m_image = std::move(image);
    setPixmap(QPixmap::fromImage(m_image));
}

} // namespace qt
