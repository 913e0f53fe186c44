// A stand-in for logind on a private bus: registers org.freedesktop.login1 and writes each call
// it receives, with its argument, as one line to the record file.
//   fakeLogind <bus address> <record file>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QFile>
#include <QObject>
#include <QTextStream>

class FakeManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    explicit FakeManager(QString recordPath) : recordPath_(std::move(recordPath)) {}

public slots:
    QString CanPowerOff() {
        record(QStringLiteral("CanPowerOff"));
        return QStringLiteral("yes");
    }
    void PowerOff(bool interactive) {
        record(QStringLiteral("PowerOff %1").arg(interactive ? "true" : "false"));
    }

private:
    void record(const QString& line) {
        QFile file(recordPath_);
        if (file.open(QIODevice::Append | QIODevice::Text)) QTextStream(&file) << line << "\n";
    }
    QString recordPath_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromUtf8(argv[1]), "fake-logind");
    if (!bus.isConnected()) return 3;
    FakeManager manager{QString::fromUtf8(argv[2])};
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager,
                            QDBusConnection::ExportAllSlots)) {
        return 4;
    }
    if (!bus.registerService(QStringLiteral("org.freedesktop.login1"))) return 5;
    return app.exec();
}

#include "fakeLogind.moc"
