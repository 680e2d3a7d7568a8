#include "QtSettings.h"

namespace dex {

namespace {

QString settingsKey(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

}  // namespace

QtSettings::QtSettings(const QString& organization, const QString& application)
    : settings_(QSettings::NativeFormat, QSettings::UserScope, organization, application) {}

std::string QtSettings::get(const std::string& section, const std::string& key) {
    return settings_.value(settingsKey(section, key), QString()).toString().toStdString();
}

void QtSettings::set(const std::string& section, const std::string& key, const std::string& value) {
    settings_.setValue(settingsKey(section, key), QString::fromStdString(value));
    // Written through at once: the window may be killed rather than closed.
    settings_.sync();
}

}  // namespace dex
