#include "core/player.h"

#include "core/msg.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>

namespace player {

namespace {

Handler& handler()
{
    static Handler h;
    return h;
}

// One player for the program, made at the first recording played.
QMediaPlayer* mediaPlayer()
{
    static QMediaPlayer* p = [] {
        auto* m = new QMediaPlayer(QCoreApplication::instance());
        m->setAudioOutput(new QAudioOutput(m));
        // Most faults (an unreadable file, no decoder) are found after play() has returned.
        QObject::connect(m, &QMediaPlayer::errorOccurred, m, [m](QMediaPlayer::Error, const QString& text) {
            msg::ShowMessage(
                QStringLiteral("无法播放录音 %1：%2").arg(QDir::toNativeSeparators(m->source().toLocalFile()), text));
        });
        return m;
    }();
    return p;
}

} // namespace

bool play(const QString& file, QString* why)
{
    if (handler())
        return handler()(file, why);
    if (!QFileInfo(file).isFile()) {
        *why = QStringLiteral("录音文件 %1 不存在。").arg(QDir::toNativeSeparators(file));
        return false;
    }
    QMediaPlayer* p = mediaPlayer();
    p->stop();
    p->setSource(QUrl::fromLocalFile(file));
    if (p->error() != QMediaPlayer::NoError) {
        *why = QStringLiteral("无法播放录音 %1：%2").arg(QDir::toNativeSeparators(file), p->errorString());
        return false;
    }
    p->play();
    return true;
}

void stop()
{
    if (!handler())
        mediaPlayer()->stop();
}

void setHandler(Handler h)
{
    handler() = std::move(h);
}

} // namespace player
