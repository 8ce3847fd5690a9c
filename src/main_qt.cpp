// The Linux entry: the guard against a second counting copy, the load step,
// then the window and its event loop.
#include <QApplication>
#include <QMessageBox>
#include <chrono>

#include "counter/number_text.h"
#include "platform/decimal_separator.h"
#include "platform/program_directory.h"
#include "platform/qt/single_instance.h"
#include "settings/settings_file.h"
#include "window/messages.h"
#include "window/qt/form1.h"

namespace {

constexpr std::chrono::milliseconds kMinute(60'000);

void ShowMessage(QMessageBox::Icon icon, const std::string& text) {
    QMessageBox box(icon, QString::fromStdString(ksv::messages::BoxTitle()),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::filesystem::path directory = ksv::platform::ProgramDirectory();
    const std::filesystem::path settingsPath = ksv::SettingsPath(directory);

    // A second copy would overwrite the first one's count. When the first
    // copy answers it comes to the front, and this one needs no display.
    ksv::platform::SingleInstance instance(directory);
    if (!instance.IsFirst() && instance.ActivateFirst()) {
        return 0;
    }

    // The program takes no command line; Qt's own options are not passed on.
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName("ksv");
    QApplication::setApplicationVersion(KSV_VERSION_TEXT);
    // Wayland desktops find the menu entry, and with it the icon, by this id.
    QApplication::setDesktopFileName("io.github.ksv.Ksv");

    if (!instance.IsFirst()) {
        ShowMessage(QMessageBox::Information, ksv::messages::AlreadyRunning(settingsPath));
        return 0;
    }

    ksv::SettingsFile settings(settingsPath);
    ksv::Form1 form(settings, ksv::platform::DecimalSeparator(), kMinute);
    try {
        form.Load();
    } catch (const ksv::CountError& error) {
        ShowMessage(QMessageBox::Critical, ksv::messages::UnreadableCount(settingsPath, error));
        return 1;
    }
    QObject::connect(&form, &ksv::Form1::CountUnreadable, &form, [&form](const QString& message) {
        QMessageBox::critical(&form, QString::fromStdString(ksv::messages::BoxTitle()), message);
        QApplication::exit(1);
    });

    instance.Listen();
    QObject::connect(&instance, &ksv::platform::SingleInstance::ActivationRequested, &form,
                     &ksv::Form1::Activate);

    form.show();
    return QApplication::exec();
}
