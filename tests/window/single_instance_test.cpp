#include "platform/qt/single_instance.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <future>
#include <memory>

namespace ksv::platform {

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
        QVERIFY(!SingleInstance(dir / "sub" / ".." / "ksv.ini").IsFirst());
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

        // The guard goes with the copy that held it, leaving nothing behind.
        first.reset();
        QVERIFY(!second.ActivateFirst());
        QVERIFY(SingleInstance(file).IsFirst());
        QCOMPARE(QDir(one.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
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

}  // namespace ksv::platform

QTEST_GUILESS_MAIN(ksv::platform::SingleInstanceTest)
#include "single_instance_test.moc"
