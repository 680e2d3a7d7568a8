#pragma once
// The per-user settings store on QSettings: organisation and application
// "Dexmira", one group per section. The values land in
// $XDG_CONFIG_HOME/Dexmira/Dexmira.conf.
#include <QSettings>

#include "Settings.h"

namespace dex {

class QtSettings : public Settings {
public:
    explicit QtSettings(const QString& organization = QStringLiteral("Dexmira"),
                        const QString& application = QStringLiteral("Dexmira"));
    std::string get(const std::string& section, const std::string& key) override;
    void set(const std::string& section, const std::string& key, const std::string& value) override;
    QString fileName() const { return settings_.fileName(); }

private:
    QSettings settings_;
};

}  // namespace dex
