// Process entry of the UPS monitor.
#include <QApplication>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string_view>

#include "app/process/monitor.h"
#include "app/qt/artwork.h"
#include "app/qt/qtMessageBoxes.h"
#include "app/rules/entryGuard.h"
#include "app/windows/history/historyWindow.h"
#include "app/windows/info/upsInfo.h"
#include "history/historyWriter.h"
#include "platform/platform.h"
#include "tray/qtTrayShell.h"

namespace {

constexpr std::string_view kMsgNoSocketLibrary = "Error loading Socket interface (ws2_32.dll)!";
// The end of the program waits this long at most for the history to reach the disk.
constexpr int kHistoryFlushAtEndMs = 5000;

int runMonitor(ups::Platform& platform, ups::QtMessageBoxes& entryBoxes) {
    std::function<void()> endRequest;
    {
        // One monitor per machine. A later start in this session brings this one's window
        // forward and ends; from another session it says so and ends. The installer's request
        // to end is answered as "&Finalizar" answers. Both come on a thread of the platform's.
        constexpr std::string_view kMsgAlreadyRunning =
            "El monitor de UPS ya está en ejecución en este equipo, en otra sesión.";
        const auto onMainWindow = [](void (ups::TmainF::*action)()) {
            return [action] {
                QMetaObject::invokeMethod(
                    qApp,
                    [action] {
                        // Found first and acted on after: the action may delete other
                        // windows of the list (closing removes the tray icon's own).
                        ups::TmainF* mainF = nullptr;
                        for (QWidget* window : QApplication::topLevelWidgets()) {
                            if ((mainF = qobject_cast<ups::TmainF*>(window)) != nullptr) break;
                        }
                        if (mainF != nullptr) (mainF->*action)();
                    },
                    Qt::QueuedConnection);
            };
        };
        // A box open at the request (one of the start-up's, even before the application's own
        // loop runs) would hold the end back: every loop is left, again until the end comes.
        endRequest = [close = onMainWindow(&ups::TmainF::Cerrar1Click)] {
            close();
            QMetaObject::invokeMethod(
                qApp,
                [] {
                    auto* again = new QTimer(qApp);
                    QObject::connect(again, &QTimer::timeout, qApp,
                                     [] { QCoreApplication::exit(0); });
                    again->start(200);
                },
                Qt::QueuedConnection);
        };
        switch (
            platform.claimSingleInstance(onMainWindow(&ups::TmainF::Restaurar1Click), endRequest)) {
            case ups::InstanceClaim::First:
                break;
            case ups::InstanceClaim::ShownRunning:
                return 0;
            case ups::InstanceClaim::RunningElsewhere:
                entryBoxes.messageBox(kMsgAlreadyRunning, ups::kTitleCaution, ups::MbIcon::Warning,
                                      ups::MbButtons::Ok);
                return ups::kExitFailure;
        }
    }
    // A termination request from the system (a signal, the console closed) ends the monitor as
    // "Finalizar" does, and leaves any box's loop open meanwhile, as the installer's request. It
    // is watched before any window shows: the request is only answered from an event loop, when
    // the window it closes is there.
    platform.onTerminationRequest(endRequest);
    // Before any window: without the socket library the monitor cannot reach its agent.
    if (!platform.startSockets()) {
        ups::showEntryFailure(entryBoxes, kMsgNoSocketLibrary);
        return ups::kExitFailure;
    }
    QApplication::setWindowIcon(ups::art::applicationIcon());
    ups::QtMessageBoxes boxes;
    ups::QtTrayShell trayShell;
    ups::NetAgentTransport agent(platform.icmpEcho());
    // Made before the monitor and ended after it: the monitor's last words go to it.
    const std::string historyPath = platform.historyPath();
    ups::HistoryWriter history(historyPath, platform.clock(), platform.systemLog());
    ups::MainDeps deps{
        platform.store(), platform.serial(),        boxes, platform.clock(), platform.sleeper(),
        trayShell,        platform.systemControl(), agent, history};
    deps.historyPath = historyPath;
    deps.historyAvailable = [&history] { return history.available(); };
    deps.trapPortProblem = [&platform, &deps] {
        const int port = std::atoi(deps.trapOptions.port.c_str());
        return platform.trapPortProblem(deps.trapOptions.address, static_cast<std::uint16_t>(port));
    };
    // The pop-up is made by the first notice, and outlives the monitor's windows.
    std::unique_ptr<ups::TinfoFrm> infoFrm;
    ups::Monitor monitor(deps);
    ups::TmainF& mainF = monitor.window();
    boxes.setDefaultOwner(&mainF);
    mainF.setInfoFormMaker([&infoFrm, &sound = platform.sound()] {
        infoFrm = std::make_unique<ups::TinfoFrm>(sound);
        return infoFrm.get();
    });
    mainF.FormCreate();
    // Created minimised: with a notification area the window waits in the tray; without one it
    // stays on the screen, since nothing else would show that the monitor runs.
    if (trayShell.hostAvailable()) {
        mainF.TrayComp().Minimize();
    } else {
        mainF.showNormal();
    }
    // At a session's end Windows may end the process right after aboutToQuit (the window's own
    // end runs first), before exec returns.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp,
                     [&history] { history.flush(kHistoryFlushAtEndMs); });
    const int status = QApplication::exec();
    history.flush(kHistoryFlushAtEndMs);
    platform.stopSockets();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // The installer's elevated step: no window and no Qt, the answer is the exit status.
    if (argc == 2 && std::string_view(argv[1]) == "--grant-config-access") {
        return ups::grantConfigAccess() ? 0 : 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Servicio de UPS"));
    // Hidden windows (the main window in the tray, the pop-up) do not keep the program alive;
    // the program ends when the main window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    // Made before the monitor and without an owner, so the box can open after the monitor's
    // windows are gone.
    ups::QtMessageBoxes entryBoxes;
    return ups::runGuarded(entryBoxes, [&] {
        const std::unique_ptr<ups::Platform> platform = ups::makePlatform();
        return runMonitor(*platform, entryBoxes);
    });
}
