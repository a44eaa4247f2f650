#include "framework/qt/SaveFile.h"

#include "framework/qt/Ansi.h"

#include <QFile>
#include <QSaveFile>

#include <stdexcept>

namespace {

class SaveFailed : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A file written through a Qt file device; any failure throws with the device's message.
template<class Device> class QtFile : public BackgroundSave::File
{
public:
    void write(std::string_view bytes) override
    {
        if (m_file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()))
            fail();
    }

protected:
    QtFile(const QString &path, QIODevice::OpenMode mode) : m_file(path)
    {
        if (!m_file.open(mode))
            fail();
    }

    [[noreturn]] void fail() const { throw SaveFailed(toAnsi(m_file.errorString())); }

    Device m_file;
};

// Replaces the file only when the whole of it is written.
class QtSaveFile final : public QtFile<QSaveFile>
{
public:
    explicit QtSaveFile(const QString &path) : QtFile(path, QIODevice::WriteOnly) {}

    void finish() override
    {
        if (!m_file.commit())
            fail();
    }
};

// Written in place and unbuffered: what each write gave is in the file at once, and stays
// there whatever happens later.
class QtCaptureFile final : public QtFile<QFile>
{
public:
    explicit QtCaptureFile(const QString &path)
        : QtFile(path, QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)
    {}

    void finish() override
    {
        m_file.close();
        if (m_file.error() != QFileDevice::NoError)
            fail();
    }
};

} // namespace

std::unique_ptr<BackgroundSave::File> openSaveFile(const QString &path)
{
    return std::make_unique<QtSaveFile>(path);
}

std::unique_ptr<BackgroundSave::File> openCaptureFile(const QString &path)
{
    return std::make_unique<QtCaptureFile>(path);
}
