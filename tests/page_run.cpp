#include "page_run.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

#include "x_session.h"

namespace {

constexpr int kRunTimeoutMs = 200000;

Frame LoadFrame(const QDir& folder, const QJsonObject& frame) {
    return {QImage(folder.filePath(frame["file"].toString())).convertToFormat(QImage::Format_RGB32),
            static_cast<qint64>(frame["at"].toDouble())};
}

}  // namespace

PageRun PlayPage(const PagePlan& plan) {
    PageRun run;
    // The frames stay in the working directory for whoever has to look at a failure.
    const QString folder =
        QDir().absoluteFilePath("page-frames-" + (plan.name.isEmpty() ? plan.engine : plan.name));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QJsonObject planJson{
        {"engine", plan.engine}, {"page", QORVELIN_PAGE},         {"width", plan.width},
        {"height", plan.height}, {"hideFonts", plan.hideFonts},   {"touch", plan.touch},
        {"breaks", plan.breaks}, {"lighthouse", plan.lighthouse}, {"out", folder},
        {"steps", plan.steps}};
    if (plan.site) {
        planJson["site"] = QORVELIN_SITE;
    }
    if (plan.screen.isValid()) {
        planJson["screen"] =
            QJsonObject{{"width", plan.screen.width()}, {"height", plan.screen.height()}};
    }
    QFile planFile(QDir(folder).filePath("plan.json"));
    if (!planFile.open(QIODevice::WriteOnly) ||
        planFile.write(QJsonDocument(planJson).toJson()) < 0) {
        run.failure = "cannot write " + planFile.fileName();
        return run;
    }
    planFile.close();

    const QStringList arguments{QORVELIN_PAGE_PLAYER, planFile.fileName()};
    std::unique_ptr<XSession> display;
    std::unique_ptr<QProcess> ownPlayer;
    QProcess* player = nullptr;
    if (plan.engine == "webkit") {
        // MiniBrowser needs an X display, and a screen larger than its window.
        display = std::make_unique<XSession>(90, 99, QSize(plan.width + 200, plan.height + 200));
        if (!display->IsUp()) {
            run.failure = display->Error();
            return run;
        }
        player = display->Launch("node", arguments);
    } else {
        ownPlayer = std::make_unique<QProcess>();
        ownPlayer->setProcessChannelMode(QProcess::ForwardedChannels);
        ownPlayer->start("node", arguments);
        player = ownPlayer.get();
    }
    if (player == nullptr || !player->waitForStarted(10000)) {
        run.failure = "cannot start node " + arguments.join(' ');
        return run;
    }
    if (!player->waitForFinished(kRunTimeoutMs)) {
        StopProcess(*player);
        run.failure = "the page's run did not finish in time";
        return run;
    }

    QFile recordFile(QDir(folder).filePath("record.json"));
    if (!recordFile.open(QIODevice::ReadOnly)) {
        run.failure = "the page's run left no record: node ended with status " +
                      QString::number(player->exitCode());
        return run;
    }
    run.record = QJsonDocument::fromJson(recordFile.readAll()).object();
    run.failure = run.record["failure"].toString();
    const QDir frames(folder);
    const QJsonObject named = run.record["frames"].toObject();
    for (auto frame = named.begin(); frame != named.end(); ++frame) {
        run.frames[frame.key()] = LoadFrame(frames, frame.value().toObject());
    }
    const QJsonObject bursts = run.record["bursts"].toObject();
    for (auto burst = bursts.begin(); burst != bursts.end(); ++burst) {
        for (const QJsonValue frame : burst.value().toArray()) {
            run.bursts[burst.key()].push_back(LoadFrame(frames, frame.toObject()));
        }
    }
    return run;
}
