#include "window/start.h"

#include "counter/number_text.h"
#include "platform/file_io.h"
#include "platform/program_directory.h"
#include "platform/user_settings_directory.h"
#include "window/messages.h"

namespace ksv::start {

SettingsPlace FindSettings() {
    SettingsPlace place =
        SettingsPath(platform::ProgramDirectory(), platform::UserSettingsDirectory);
    if (place.inUserFolder) {
        platform::MakeDirectories(platform::ParentPath(place.path));
    }
    return place;
}

Notice BeforeWindow(const SettingsPlace& place, bool guarded) {
    if (!guarded) {
        SettingsFile(place.path).Read();
        return {messages::NoGuard(place.path), true};
    }
    if (place.carry) {
        const platform::FileResult carried = CarryOver(place);
        return {messages::SetAsideNotice(place, carried), !carried.ok()};
    }
    return {place.tell ? messages::SetAsideNotice(place, {}) : std::string()};
}

std::string Failure(const platform::NativePath& file) {
    try {
        throw;
    } catch (const SettingsPlaceError& error) {
        return messages::NoPlace(error);
    } catch (const SettingsReadError& error) {
        return messages::UnreadableSettings(error.path(), error.result());
    } catch (const CountError& error) {
        return messages::UnreadableCount(file, error);
    } catch (const std::exception& error) {
        return messages::UnexpectedError(error.what());
    } catch (...) {
        return messages::UnexpectedError({});
    }
}

}  // namespace ksv::start
