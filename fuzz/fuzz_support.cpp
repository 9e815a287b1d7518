// SPDX-License-Identifier: GPL-3.0-or-later

#include "fuzz_support.h"

#include "common/messages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace FuzzSupport {

namespace {

class SilentSink final : public Messages::Sink {
public:
    void show(const Messages::Message &) override {}
};

void quietQt(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    // Fatal messages still abort inside Qt; say why first.
    if (type == QtFatalMsg)
        std::fprintf(stderr, "qFatal: %s\n", qPrintable(message));
}

} // namespace

void setUp()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    static SilentSink sink;
    Messages::setSink(&sink);
    qInstallMessageHandler(quietQt);
}

const QString &scratchFolder()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/minukuru-fuzz-XXXXXX"));
    static const QString path = folder.path();
    require(folder.isValid(), "temporary folder");
    return path;
}

QString writeScratchFile(const QString &name, const QByteArray &bytes)
{
    const QString path = scratchFolder() + u'/' + name;
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "scratch file opens");
    require(file.write(bytes) == bytes.size(), "scratch file written");
    file.close();
    return path;
}

void removeScratchFile(const QString &name) { QFile::remove(scratchFolder() + u'/' + name); }

void require(bool condition, const char *what)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz property failed: %s\n", what);
    std::abort();
}

} // namespace FuzzSupport
