#include "GuiMain.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QTranslator>

#include "Form1Logic.h"
#include <array>
#include <iostream>
#include <optional>
#include <string_view>

#include "Form1.h"
#include "QtDialogs.h"
#include "QtSettings.h"

namespace dex {

namespace {

struct GuiOptions {
    std::optional<std::string> pathA, pathB, product, screenshot;
    bool compare = false;
    bool dialogsLog = false;
};

// Qt's own options (QGuiApplication, QApplication, the xcb platform), as
// "-name" or "--name"; those of the first list take a value ("-style
// fusion" or "-style=fusion").
constexpr std::array<std::string_view, 15> kQtOptionsWithValue{
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "geometry", "qwindowtitle",
    "title", "qwindowicon", "icon", "session", "display", "style", "stylesheet", "name"};
constexpr std::array<std::string_view, 7> kQtFlags{"reverse",  "testability", "widgetcount", "nograb",
                                                   "dograb",   "sync",        "qmljsdebugger"};

// How many arguments a Qt option at args[i] takes up (1 or 2); 0 when it
// is none of Qt's. Sets platformGiven for -platform.
int qtOptionLength(const QStringList& args, int i, bool& platformGiven) {
    QString word = args[i];
    if (!word.startsWith(QLatin1Char('-'))) return 0;
    word.remove(0, word.startsWith(QLatin1String("--")) ? 2 : 1);
    const bool inlineValue = word.contains(QLatin1Char('='));
    const std::string name = word.section(QLatin1Char('='), 0, 0).toStdString();
    for (std::string_view flag : kQtFlags)
        if (name == flag) return 1;
    for (std::string_view option : kQtOptionsWithValue)
        if (name == option) {
            if (name == "platform") platformGiven = true;
            return inlineValue || i + 1 >= args.size() ? 1 : 2;
        }
    return 0;
}

// Parses the options (args[0] is the program); with qtOptions, Qt's own
// are passed over, as before QApplication has taken them. False, with the
// reason in problem, for anything it does not know.
bool parseOptions(const QStringList& args, GuiOptions& options, std::string& problem, bool qtOptions = false,
                  bool* platformGiven = nullptr) {
    bool platform = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](std::optional<std::string>& target) {
            if (i + 1 >= args.size()) {
                problem = "option " + a.toStdString() + " needs a value";
                return false;
            }
            target = args[++i].toStdString();
            return true;
        };
        if (qtOptions) {
            if (const int length = qtOptionLength(args, i, platform)) {
                i += length - 1;
                continue;
            }
        }
        if (a == QLatin1String("--gui")) continue;
        if (a == QLatin1String("--compare")) {
            options.compare = true;
        } else if (a == QLatin1String("--dialogs-log")) {
            options.dialogsLog = true;
        } else if (a == QLatin1String("--path-a")) {
            if (!value(options.pathA)) return false;
        } else if (a == QLatin1String("--path-b")) {
            if (!value(options.pathB)) return false;
        } else if (a == QLatin1String("--product")) {
            if (!value(options.product)) return false;
        } else if (a == QLatin1String("--screenshot")) {
            if (!value(options.screenshot)) return false;
        } else if (!a.startsWith(QLatin1Char('-')) && !options.pathA) {
            options.pathA = a.toStdString();  // a file given as "dexmira A [B]"
        } else if (!a.startsWith(QLatin1Char('-')) && !options.pathB) {
            options.pathB = a.toStdString();
        } else if (!a.startsWith(QLatin1Char('-'))) {
            problem = "at most two files (box A and box B); also given: " + a.toStdString();
            return false;
        } else {
            problem = "unknown option " + a.toStdString();
            return false;
        }
    }
    if (platformGiven) *platformGiven = platform;
    return true;
}

bool parseOptions(const QStringList& args, GuiOptions& options) {
    std::string problem;
    if (parseOptions(args, options, problem)) return true;
    std::cerr << "dexmira: " << problem << '\n';
    return false;
}

// Message boxes that do not block: each message is a line on stderr.
class StderrDialogs : public Dialogs {
public:
    void message(const std::string& text, const std::string& title, Icon) override {
        std::cerr << "[" << title << "] " << flatten(text) << std::endl;
    }
    bool askYesNo(const std::string& text, const std::string& title, bool) override {
        std::cerr << "[" << title << "] " << flatten(text) << " -> No" << std::endl;
        return false;
    }
    OpenFileResult openFile(const OpenFileRequest& request) override {
        std::cerr << "[open file] " << request.fileName << " -> cancelled" << std::endl;
        return OpenFileResult{true, false, {}};
    }
    OpenFileResult saveFile(const OpenFileRequest& request) override {
        std::cerr << "[save file] " << request.fileName << " -> cancelled" << std::endl;
        return OpenFileResult{true, false, {}};
    }

private:
    static std::string flatten(std::string s) {
        for (char& c : s)
            if (c == '\r' || c == '\n') c = ' ';
        return s;
    }
};

// Fills the boxes and the product as the options say; false when the
// product is not a list entry.
bool applyOptions(Form1& form, const GuiOptions& options) {
    auto* boxA = form.findChild<QLineEdit*>(QStringLiteral("txtDBPath_0"));
    auto* boxB = form.findChild<QLineEdit*>(QStringLiteral("txtDBPath_1"));
    // Paths given relative are made absolute: they are remembered for a
    // start from another folder.
    if (options.pathA) boxA->setText(QString::fromStdString(form1::AbsolutePath(*options.pathA)));
    if (options.pathB) boxB->setText(QString::fromStdString(form1::AbsolutePath(*options.pathB)));
    if (options.product) {
        auto* list = form.findChild<QComboBox*>(QStringLiteral("cmbApp"));
        // Entries are found by their designed text, whatever the language shown.
        const int entry = list->findData(QString::fromStdString(*options.product));
        if (entry < 0) {
            std::cerr << "dexmira: no product list entry named '" << *options.product << "'\n";
            return false;
        }
        list->setCurrentIndex(entry);
        form.cmbApp_Click();
    }
    return true;
}

// out/screenshot.png -> out/screenshot-details.png
QString detailsShotName(const QString& file) {
    const QFileInfo info(file);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    return file.left(file.size() - suffix.size()) + QStringLiteral("-details") + suffix;
}

// Saves widget as PNG; false (with a message on stderr) when it cannot.
bool savePng(QWidget& widget, const QString& file) {
    if (widget.grab().save(file, "PNG")) return true;
    std::cerr << "dexmira: cannot write the screenshot " << file.toStdString() << '\n';
    return false;
}

}  // namespace

bool CheckWindowArguments(const std::vector<std::string>& args,
                          const std::function<std::string(const char*)>& environment, std::string& problem) {
    QStringList all{QStringLiteral("dexmira")};
    for (const auto& a : args) all << QString::fromStdString(a);
    GuiOptions options;
    bool platformGiven = false;
    if (!parseOptions(all, options, problem, true, &platformGiven)) return false;
    if (platformGiven || !environment("QT_QPA_PLATFORM").empty() || !environment("DISPLAY").empty() ||
        !environment("WAYLAND_DISPLAY").empty())
        return true;
    problem = "the window needs a display, and neither DISPLAY nor WAYLAND_DISPLAY is set "
              "(the commands below run without one)";
    return false;
}

Translations::Translations(words::Language language) {
    auto install = [this](const QString& file, const QString& folder) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(file, folder) && QCoreApplication::installTranslator(translator.get()))
            installed_.push_back(std::move(translator));
        else
            complete_ = false;
    };
    if (language == words::Language::Korean)
        install(QStringLiteral("qtbase_ko"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    else
        install(QStringLiteral("dexmira_en"), QStringLiteral(":/i18n"));
}

Translations::~Translations() {
    for (const auto& translator : installed_) QCoreApplication::removeTranslator(translator.get());
}

bool applyCommandLine(Form1& form, const QStringList& args) {
    GuiOptions options;
    return parseOptions(args, options) && applyOptions(form, options);
}

int runGui(int argc, char** argv, DbEngine& engine) { return runGui(argc, argv, engine, GuiServices{}); }

int runGui(int argc, char** argv, DbEngine& engine, const GuiServices& services) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Dexmira"));
    QApplication::setApplicationName(QStringLiteral("Dexmira"));
    // The desktop entry, whose icon a Wayland desktop shows for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral("dexmira"));
    QApplication::setWindowIcon(Form1::windowIconOfProgram());
    const Translations translations(words::DesktopLanguage());
    GuiOptions options;
    if (!parseOptions(QApplication::arguments(), options)) return 2;

    QtDialogs boxes;
    StderrDialogs logged;
    Dialogs& dialogs = options.dialogsLog ? static_cast<Dialogs&>(logged) : boxes;
    QtSettings settings;
    std::function<void(bool)> runAutoUpdate;
    if (services.runAutoUpdate)
        runAutoUpdate = [&dialogs, &services](bool skipRefresh) { services.runAutoUpdate(dialogs, skipRefresh); };
    Form1 form(engine, dialogs, settings, std::move(runAutoUpdate));
    std::unique_ptr<Migrator> migrator;
    if (services.makeMigrator) {
        migrator = services.makeMigrator(dialogs);
        form.setMigrator(migrator.get());
    }
    boxes.setParentWidget(&form);
    form.show();
    form.activateWindow();
    if (!applyOptions(form, options)) return 2;

    int status = 0;
    QTimer::singleShot(0, &form, [&] {
        if (options.compare) form.cmdComp_Click();
        if (!options.screenshot) return;
        // Let the grid and its header lay themselves out before the grab.
        QTimer::singleShot(200, &form, [&] {
            const QString file = QString::fromStdString(*options.screenshot);
            if (!savePng(form, file)) status = 2;
            // For scripts/screenshot.sh: DEXMIRA_SCREENSHOT_DETAILS_ROW=N
            // also saves the details box of grid row N as NAME-details.png.
            const int row = qEnvironmentVariableIntValue("DEXMIRA_SCREENSHOT_DETAILS_ROW");
            QDialog* box = row > 0 ? form.showDetails(row) : nullptr;
            if (row > 0 && !box) {
                std::cerr << "dexmira: grid row " << row << " holds no table to show\n";
                status = 2;
            }
            if (!box) {
                QApplication::quit();
                return;
            }
            QTimer::singleShot(200, &form, [&, shown = QPointer<QDialog>(box), file] {
                if (!shown || !savePng(*shown, detailsShotName(file))) status = 2;
                QApplication::quit();
            });
        });
    });
    const int loop = QApplication::exec();
    return status != 0 ? status : loop;
}

}  // namespace dex
