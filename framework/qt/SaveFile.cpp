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

class QtSaveFile final : public BackgroundSave::File
{
public:
    explicit QtSaveFile(const QString &path) : m_file(path)
    {
        if (!m_file.open(QIODevice::WriteOnly))
            fail();
    }

    void write(std::string_view bytes) override
    {
        if (m_file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()))
            fail();
    }

    void finish() override
    {
        if (!m_file.commit())
            fail();
    }

private:
    [[noreturn]] void fail() const { throw SaveFailed(toAnsi(m_file.errorString())); }

    QSaveFile m_file;
};

// Written in place and unbuffered: what each write gave is in the file at once, and stays
// there whatever happens later.
class QtCaptureFile final : public BackgroundSave::File
{
public:
    explicit QtCaptureFile(const QString &path) : m_file(path)
    {
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            fail();
    }

    void write(std::string_view bytes) override
    {
        if (m_file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()))
            fail();
    }

    void finish() override
    {
        m_file.close();
        if (m_file.error() != QFileDevice::NoError)
            fail();
    }

private:
    [[noreturn]] void fail() const { throw SaveFailed(toAnsi(m_file.errorString())); }

    QFile m_file;
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
