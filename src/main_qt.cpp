// The Linux entry: where the settings live, the guard against a second
// counting copy, the load step, then the window and its event loop. Every
// failure ends with a message in words and a non-zero status.
#include <QMessageBox>
#include <chrono>
#include <optional>

#include "platform/decimal_separator.h"
#include "platform/qt/guarded_application.h"
#include "platform/qt/single_instance.h"
#include "platform/qt/window_system.h"
#include "settings/settings_file.h"
#include "window/messages.h"
#include "window/qt/form1.h"
#include "window/start.h"

namespace {

constexpr std::chrono::milliseconds kMinute(60'000);

void ShowMessage(QMessageBox::Icon icon, const std::string& text, QWidget* parent = nullptr) {
    QMessageBox box(icon, QString::fromStdString(ksv::messages::BoxTitle()),
                    QString::fromStdString(text), QMessageBox::Ok, parent);
    box.exec();
}

int Run(ksv::platform::qt::GuardedApplication& app, const ksv::SettingsPlace& place,
        ksv::platform::qt::SingleInstance& instance, std::optional<ksv::SettingsFile>& settings,
        std::optional<ksv::Form1>& form) {
    if (!instance.IsFirst()) {
        ShowMessage(QMessageBox::Information, ksv::messages::AlreadyRunning(place.path));
        return 0;
    }
    if (const auto notice = ksv::start::BeforeWindow(place, instance.Guarded());
        !notice.text.empty()) {
        ShowMessage(notice.stops ? QMessageBox::Critical : QMessageBox::Information, notice.text);
        if (notice.stops) {
            return 1;
        }
    }

    settings.emplace(place.path, place.inUserFolder);
    form.emplace(*settings, ksv::platform::DecimalSeparator(), kMinute,
                 ksv::messages::UsualToolTip(place));
    form->Load();

    app.SetFailureHandler([&form](const std::string& detail) {
        form->SetTimerEnabled(false);
        ShowMessage(QMessageBox::Critical, ksv::messages::UnexpectedError(detail), &*form);
    });
    QObject::connect(&*form, &ksv::Form1::CountUnreadable, &*form, [&form](const QString& message) {
        QMessageBox::critical(&*form, QString::fromStdString(ksv::messages::BoxTitle()), message);
        QApplication::exit(1);
    });

    instance.Listen();
    QObject::connect(&instance, &ksv::platform::qt::SingleInstance::ActivationRequested, &*form,
                     &ksv::Form1::Activate);

    form->show();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    std::optional<ksv::SettingsPlace> place;
    std::string failure;
    try {
        place = ksv::start::FindSettings();
    } catch (...) {
        failure = ksv::start::Failure({});
    }

    // A second copy would overwrite the first one's count. When the first
    // copy answers it comes to the front, with the token this one was
    // launched with, and this one needs no display.
    std::optional<ksv::platform::qt::SingleInstance> instance;
    if (place) {
        instance.emplace(place->path);
        if (!instance->IsFirst() &&
            instance->ActivateFirst(ksv::platform::qt::LaunchTokensFromEnvironment())) {
            return 0;
        }
    }

    // The program takes no command line; Qt's own options are not passed on.
    int qtArgc = argc > 0 ? 1 : 0;
    // Wayland asked for but not there: X11. Neither there: words, not an abort.
    ksv::platform::qt::AllowX11Fallback();
    std::optional<ksv::platform::qt::WindowSystemGuard> noWindowSystem(
        ksv::messages::NoWindowSystem());
    ksv::platform::qt::GuardedApplication app(qtArgc, argv);
    noWindowSystem.reset();
    QApplication::setApplicationName("ksv");
    QApplication::setApplicationVersion(KSV_VERSION_TEXT);
    // Wayland desktops find the menu entry, and with it the icon, by this id.
    QApplication::setDesktopFileName("io.github.ksv.Ksv");

    std::optional<ksv::SettingsFile> settings;
    std::optional<ksv::Form1> form;
    try {
        if (failure.empty()) {
            return Run(app, *place, *instance, settings, form);
        }
    } catch (...) {
        failure = ksv::start::Failure(place->path);
    }
    // No tick may run behind the message: the file stays as it is.
    if (form) {
        form->SetTimerEnabled(false);
    }
    ShowMessage(QMessageBox::Critical, failure);
    return 1;
}
