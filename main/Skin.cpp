#include "main/Skin.h"

#include "platform/AppError.h"
#include "platform/AppPaths.h"
#include "platform/FileFunctions.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QWidget>

namespace mainwindow {

namespace {

// Qt reports a style sheet it cannot parse only as a warning, while the sheet is set.
// For that moment the warning is caught instead of printed.
bool g_parseFailed = false;
QtMessageHandler g_previousHandler = nullptr;

void catchParseFailure(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("Could not parse stylesheet"))) {
        g_parseFailed = true;
        return;
    }
    g_previousHandler(type, context, message);
}

QString sheetText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError() || bytes.contains('\0'))
        throw platform::AppError(QStringLiteral("Invalid skin: the file is not UTF-8 text"));
    return text;
}

} // namespace

QString skinFile()
{
    return platform::programFolder() + QStringLiteral("/x/o.cjs");
}

bool skinPresent()
{
    const QString path = skinFile();
    return !platform::DirEntry(path, false).isEmpty() && QFileInfo(path).isReadable();
}

void applySkin(QWidget* window, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Path/File access error: cannot read '%1'").arg(path));
    // Read no further than the bound, whatever size the file says it has.
    const QByteArray bytes = file.read(kMaxSkinBytes + 1);
    if (bytes.size() > kMaxSkinBytes)
        throw platform::AppError(QStringLiteral("Invalid skin: '%1' is larger than %2 KB; the window keeps its own style")
                                     .arg(path)
                                     .arg(kMaxSkinBytes / 1024));
    const QString sheet = sheetText(bytes);
    // Parsed now, not when the window is first shown, so a failure is known here.
    window->ensurePolished();
    g_parseFailed = false;
    g_previousHandler = qInstallMessageHandler(catchParseFailure);
    window->setStyleSheet(sheet);
    qInstallMessageHandler(g_previousHandler);
    if (g_parseFailed) {
        window->setStyleSheet(QString());
        throw platform::AppError(QStringLiteral("Invalid skin: Qt cannot parse the style sheet in '%1'").arg(path));
    }
}

} // namespace mainwindow
