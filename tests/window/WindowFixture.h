#pragma once
// A shown Form1 over a scripted dialogs recorder, in-memory settings and a
// small in-memory database engine.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <map>
#include <memory>

#include "Dialogs.h"
#include "FakeEngine.h"
#include "Form1.h"
#include "Settings.h"

namespace dex::test {


class WindowTest : public ::testing::Test {
protected:
    dex::MemorySettings settings;
    dex::RecordingDialogs dialogs;
    FakeEngine engine;
    std::vector<bool> autoUpdateCalls;     // skip-refresh flags
    std::vector<bool> visibleAtAutoUpdate;
    std::unique_ptr<Form1> form;

    void TearDown() override { form.reset(); }

    Form1& open(bool show = true) {
        form = std::make_unique<Form1>(engine, dialogs, settings, [this](bool skip) {
            autoUpdateCalls.push_back(skip);
            visibleAtAutoUpdate.push_back(form && form->isVisible());
        });
        if (show) {
            form->show();
            form->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        }
        return *form;
    }

    template <class T>
    T* child(const char* name) {
        T* w = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* box(int i) { return child<QLineEdit>(i == 0 ? "txtDBPath_0" : "txtDBPath_1"); }
    QComboBox* list() { return child<QComboBox>("cmbApp"); }
    std::string text(int i) { return box(i)->text().toStdString(); }
    std::string setting(const std::string& key) { return settings.get("환경설정", key); }

    // The user picks a list entry.
    void choose(int entry) {
        list()->setCurrentIndex(entry);
        emit list()->activated(entry);
    }
    // A key pressed while the focus is wherever it is.
    void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : form.get(), key, mods);
    }
    bool shown(const std::string& textShown) const {
        for (const auto& s : dialogs.shown)
            if (s.text == textShown) return true;
        return false;
    }
};

}  // namespace dex::test
