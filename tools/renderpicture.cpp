#include "renderpicture.h"

#include "atomicfile.h"
#include "figurestyle.h"
#include "usageerror.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

namespace vorn {

std::unique_ptr<QGuiApplication> StartPictureApplication()
{
    if (QGuiApplication::instance() != nullptr) {
        return nullptr;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "vorn-render: %s\n", qPrintable(message));
        }
    });
    static int argc = 1;
    static char name[] = "vorn-render";
    static char* argv[] = { name, nullptr };
    return std::make_unique<QGuiApplication>(argc, argv);
}

bool HasSuffix(std::string_view path, std::string_view suffix)
{
    if (path.size() < suffix.size()) {
        return false;
    }
    const std::string_view tail = path.substr(path.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = tail[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != suffix[i]) {
            return false;
        }
    }
    return true;
}

std::string ToStdString(const QByteArray& bytes)
{
    return { bytes.constData(), static_cast<std::size_t>(bytes.size()) };
}

QByteArray PaintSvg(QSize size, const QString& title, const std::function<void(QPainter&)>& paint)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(title);
    QPainter painter(&generator);
    paint(painter);
    painter.end();
    return bytes;
}

QByteArray EncodePng(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        throw std::runtime_error("cannot encode the PNG image");
    }
    return bytes;
}

void WriteFileAtomically(const std::string& path, const std::string& bytes)
{
    AtomicFile file(path);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n
            = ::write(file.Descriptor(), bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            const int error = errno;
            if (error == EINTR) {
                continue;
            }
            throw UsageError("cannot write '" + path + "': " + std::strerror(error));
        }
        written += static_cast<std::size_t>(n);
    }
    file.Commit();
}

void WriteFigure(const std::string& output, QSize size, const QString& title,
    const std::function<void(QPainter&)>& paint)
{
    const auto draw = [&](QPainter& painter) {
        painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setFont(FigureFont());
        paint(painter);
    };
    QByteArray bytes;
    if (HasSuffix(output, ".svg")) {
        bytes = PaintSvg(size, title, draw);
    } else {
        QImage image(size, QImage::Format_RGB32);
        {
            QPainter painter(&image);
            draw(painter);
        }
        bytes = EncodePng(image);
    }
    WriteFileAtomically(output, ToStdString(bytes));
}

} // namespace vorn
