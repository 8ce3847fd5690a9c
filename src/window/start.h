#pragma once

#include <string>

#include "platform/native_path.h"
#include "settings/settings_file.h"

// The steps of the start that both windows take alike, between the
// single-copy guard and the window.
namespace ksv::start {

// Where ksv counts, decided once: beside the program, or in the user's
// settings folder, which is made now (the lock may live there). Throws
// SettingsPlaceError.
SettingsPlace FindSettings();

// What the user is told before the window opens; `stops`: the program ends
// after it.
struct Notice {
    std::string text;
    bool stops = false;
};

// Once the guard is decided: a guard that locks nothing stops the start (but
// a file that cannot be read says so first, by SettingsReadError); a ksv.ini
// beside the program that is not used is carried over or named.
Notice BeforeWindow(const SettingsPlace& place, bool guarded);

// The words for the exception being handled, which ended the start; `file`
// is the settings file, where one was chosen. Only inside a catch block.
std::string Failure(const platform::NativePath& file);

}  // namespace ksv::start
