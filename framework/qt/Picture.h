// A picture of the window, loaded from the file or resource path in `source` when that is set
// (by the stored layout, while the window is created). JPEG data is decoded with libjpeg
// (decodeJpeg); other formats (the palette bitmap) through Qt. The picture is shown centred
// at its own size. A picture that cannot be read or decoded raises EPictureError from
// setSource, so the window is never built with a missing picture. UI thread only.
#pragma once

#include <QImage>
#include <QLabel>
#include <QString>

namespace qt {

class Picture : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QString source READ source WRITE setSource)

public:
    explicit Picture(QWidget *parent = nullptr);

    QString source() const { return m_source; }
    void setSource(const QString &source);

    // The picture as loaded, in its own format (a palette bitmap stays indexed).
    const QImage &image() const { return m_image; }

private:
    QString m_source;
    QImage m_image;
};

// Loads a picture file or resource as Picture does; raises EPictureError.
QImage loadPicture(const QString &source);

} // namespace qt
