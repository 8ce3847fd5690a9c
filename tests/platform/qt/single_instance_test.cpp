#include "platform/qt/single_instance.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>

#include "platform/settings_lock.h"

namespace ksv::platform::qt {

class SingleInstanceTest : public QObject {
    Q_OBJECT

  private:
    // The later copy asks from another thread while this one's event loop
    // lets the first copy answer, as two processes would.
    static bool Ask(const SingleInstance& later, const LaunchTokens& tokens = {}) {
        auto asked = std::async(std::launch::async, [&] { return later.ActivateFirst(tokens); });
        while (asked.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
            QCoreApplication::processEvents();
        }
        return asked.get();
    }

    // Another user listening under the first copy's socket name before it
    // starts, answering or not: a child process that ends with the object.
    struct Squatter {
        pid_t pid = -1;
        Squatter(const std::string& name, bool answers) {
            int ready[2];
            if (pipe(ready) != 0 || (pid = fork()) != 0) {
                char up = 'n';
                pid = pid > 0 && read(ready[0], &up, 1) == 1 && up == 'y' ? pid : -pid;
                return;
            }
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path + 1, name.data(), name.size());
            const auto length =
                static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            const bool up = setuid(65533) == 0 &&
                            bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                            listen(fd, 4) == 0;
            [[maybe_unused]] const ssize_t told = write(ready[1], up ? "y" : "n", 1);
            for (int client; (client = answers ? accept(fd, nullptr, nullptr) : -1) >= 0;) {
                [[maybe_unused]] const ssize_t sent = send(client, "A", 1, MSG_NOSIGNAL);
                close(client);
            }
            pause();
        }
        ~Squatter() {
            if (pid != 0) {
                kill(pid < 0 ? -pid : pid, SIGKILL);
                waitpid(pid < 0 ? -pid : pid, nullptr, 0);
            }
        }
    };

  private slots:
    void oneCopyPerSettingsFile() {
        QTemporaryDir one;
        QTemporaryDir other;
        const std::filesystem::path dir = one.path().toStdString();
        const std::filesystem::path file = dir / "ksv.ini";

        auto first = std::make_unique<SingleInstance>(file);
        QVERIFY(first->IsFirst());
        SingleInstance second(file);
        QVERIFY(!second.IsFirst());
        // The same file by another name is the same file.
        QVERIFY(!SingleInstance(dir / "." / "ksv.ini").IsFirst());
        QVERIFY(SingleInstance(std::filesystem::path(other.path().toStdString()) / "ksv.ini")
                    .IsFirst());
        QVERIFY(SingleInstance(dir / "other.ini").IsFirst());

        // Not answering yet (as when stopped): the later copy gives up.
        QVERIFY(!second.ActivateFirst());
        first->Listen();
        QSignalSpy activated(first.get(), &SingleInstance::ActivationRequested);
        QVERIFY(Ask(second));
        QVERIFY(activated.count() >= 1);
        second.Listen();  // a later copy never takes the first one's requests
        const auto before = activated.count();
        QVERIFY(Ask(second));
        QCOMPARE(activated.count(), before + 1);

        // The launcher's tokens come along as they were; one that would break
        // its line does not.
        const LaunchTokens tokens{"wl-token", "id \"quoted\"_TIME42"};
        QVERIFY(Ask(second, tokens));
        QCOMPARE(activated.last().at(0).value<LaunchTokens>(), tokens);
        QVERIFY(Ask(second, {"a\nDESKTOP_STARTUP_ID=forged", "b\xe2\x80\x8b"}));
        QCOMPARE(activated.last().at(0).value<LaunchTokens>(), LaunchTokens{});

        // The lock file taken away under the first copy: a later one makes a
        // new one, but still finds the first by its name.
        QVERIFY(std::filesystem::remove(dir / "ksv.ini.lock"));
        QVERIFY(!SingleInstance(file).IsFirst());

        // The guard goes with the copy that held it. Its lock file stays, for
        // this user alone to open.
        first.reset();
        QVERIFY(!second.ActivateFirst());
        QVERIFY(SingleInstance(file).IsFirst());
        QCOMPARE(QDir(one.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{"ksv.ini.lock", "other.ini.lock"}));
        struct stat status {};
        QCOMPARE(stat((dir / "ksv.ini.lock").c_str(), &status), 0);
        QCOMPARE(status.st_mode & 07777, 0600u);
    }

    // A folder that takes no new file, and no settings folder to fall back
    // on (its name is a file's): the settings file itself is locked, which
    // its saves then rewrite in place. With no file either, nothing is.
    void guardsWhereNoLockFileCanBeMade() {
        QTemporaryDir dir;
        const std::filesystem::path folder =
            std::filesystem::path(dir.path().toStdString()) / "closed";
        std::filesystem::create_directory(folder);
        QFile ini(QString::fromStdString((folder / "ksv.ini").native()));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.close();
        QFile notAFolder(dir.filePath("config"));
        QVERIFY(notAFolder.open(QIODevice::WriteOnly));
        notAFolder.close();
        QVERIFY(qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8()));
        std::filesystem::permissions(folder, std::filesystem::perms(0555));
        {
            SingleInstance first(folder / "ksv.ini");
            QVERIFY(first.IsFirst() && first.Guarded());
            QVERIFY(!SingleInstance(folder / "ksv.ini").IsFirst());
        }
        const SingleInstance none(folder / "other.ini");
        QVERIFY(none.IsFirst() && !none.Guarded());
        std::filesystem::permissions(folder, std::filesystem::perms(0755));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(QDir(QString::fromStdString(folder.native())).entryList(QDir::Files),
                 QStringList{"ksv.ini"});
    }

    // Nothing another user does with the socket stops the first copy or
    // fools a later one.
    void anotherUsersSocketNeitherStopsNorFools_data() {
        QTest::addColumn<bool>("answers");
        QTest::newRow("another user holds the socket's name") << false;
        QTest::newRow("another user answers in the first copy's place") << true;
    }
    void anotherUsersSocketNeitherStopsNorFools() {
        QFETCH(bool, answers);
        if (geteuid() != 0) {
            QSKIP("needs root, to act another user's part");
        }
        QTemporaryDir dir;
        const std::filesystem::path file =
            std::filesystem::path(dir.path().toStdString()) / "ksv.ini";
        const std::string name = "ksv-settings-" + SettingsLock(file).Key();
        const Squatter other(name, answers);
        QVERIFY(other.pid > 0);
        SingleInstance first(file);
        SingleInstance later(file);
        QVERIFY(first.IsFirst());
        QVERIFY(!later.IsFirst());
        first.Listen();
        QVERIFY(!Ask(later));
    }

    // A first copy that never answers (it is stopped), its queue of requests
    // full: every later copy still gives up in time and can tell its user.
    void aStoppedFirstCopyHoldsNobodyUp() {
        QTemporaryDir dir;
        const std::filesystem::path file =
            std::filesystem::path(dir.path().toStdString()) / "ksv.ini";
        SingleInstance first(file);
        SingleInstance later(file);
        for (int i = 0; i < 8; ++i) {
            QVERIFY(!later.ActivateFirst());
        }
    }
};

}  // namespace ksv::platform::qt

QTEST_GUILESS_MAIN(ksv::platform::qt::SingleInstanceTest)
#include "single_instance_test.moc"
