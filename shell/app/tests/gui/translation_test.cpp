// The German translation: it covers every text of the tables with the same
// placeholders, the application shows it when it is loaded, and a broken or
// missing translation leaves the application in English.
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include "base/command_registry_qt.h"
#include "resources/command_ids.h"
#include "resources/dialog_texts.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "resources/strings.h"
#include "shell/app/app_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/tests/gui/run_in_application.h"
#include "shell/app/translation_qt.h"

namespace {

QString TranslationDir() { return qEnvironmentVariable("STITCHARA_BUILD_DIR") + "/bin/translations"; }
const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

// What a format text takes, in order: printf conversions and %1..%9. A
// translation that drops, adds or reorders one would print garbage or crash.
QStringList Placeholders(const QString& text) {
    QStringList found;
    static const QRegularExpression pattern(QStringLiteral("%(?:%|[0-9]|[-+ #0]*[0-9]*(?:\\.[0-9]+)?[a-zA-Z])"));
    for (auto it = pattern.globalMatch(text); it.hasNext();) found << it.next().captured();
    return found;
}

// Mnemonic marks: single '&' ("&&" is a literal one).
int Mnemonics(const QString& text) {
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (i + 1 < text.size() && text[i + 1] == '&') ++i;
        else ++n;
    }
    return n;
}

}  // namespace

class TranslationTest : public QObject {
    Q_OBJECT
    QStringList messages_;

    CVandrelApp* app() { return theApp(); }
    PMainWnd* main() { return theApp()->mainWindow(); }

    void restart() {
        CVandrelApp::StartOptions options;
        options.showLogo = false;
        QVERIFY(app()->InitInstance(options));
    }
    QStringList menuTitles() {
        QStringList titles;
        for (QAction* action : main()->menuBar()->actions()) titles << action->text();
        return titles;
    }

    // Checks one text and its translation; false (with the reason in
    // problems) when it is missing or does not fit.
    static void check(const QTranslator& translator, const char* context, const char* text, QStringList& problems) {
        const QString english = QString::fromUtf8(text);
        const QString german = translator.translate(context, text);
        const QString where = QString::fromUtf8(context) + ": \"" + english + '"';
        if (german.isEmpty()) {
            problems << where + " has no translation";
            return;
        }
        if (Placeholders(german) != Placeholders(english)) problems << where + " changes its placeholders";
        if (german.count('\n') != english.count('\n')) problems << where + " changes its line breaks";
        if (Mnemonics(german) != Mnemonics(english)) problems << where + " changes its mnemonic marks";
    }

private slots:
    void init() {
        messages_.clear();
        app()->setMessageHandler([this](const QString& text) { messages_ << text; });
    }
    void cleanup() {
        InstallTranslation(*app(), kEnglish, {TranslationDir()});
        app()->setMessageHandler({});
    }

    void everyTextOfTheTablesIsTranslated() {
        QTranslator translator;
        QVERIFY2(translator.load(TranslationDir() + "/stitchara_de.qm"), qPrintable(TranslationDir()));
        QStringList problems;
        int names = 0;
        for (const StringEntry& e : AllStrings()) {
            if (IsUserText(e.id)) check(translator, kStringsContext, e.text, problems);
            else ++names;
        }
        // The names are few: settings keys, file names, the program's name.
        QVERIFY(names > 0 && names < 25);
        for (const ControlText& t : AllControlTexts())
            if (*t.text) check(translator, kDialogsContext, t.text, problems);
        for (const CommandEntry& c : AllCommands())
            if (c.menuText) check(translator, kCommandsContext, c.menuText, problems);
        // Every menu and sub-menu the commands are placed in.
        QSet<QString> menus;
        for (const auto& [id, decl] : ProgramCommands().all())
            for (const CommandPlace& place : decl.places)
                for (const QString& part : place.menu.split('/', Qt::SkipEmptyParts)) menus << part;
        QVERIFY(menus.contains("&File") && menus.contains("&Enlarge"));
        for (const QString& menu : menus) check(translator, kMenusContext, menu.toUtf8().constData(), problems);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void theApplicationShowsTheTranslation() {
        QVERIFY(InstallTranslation(*app(), kGerman, {TranslationDir()}));
        restart();
        QCOMPARE(menuTitles(), QStringList({"&Datei", "B&earbeiten", "&Bild", "&Ansicht", "&Fenster", "&Hilfe"}));
        // The menus keep their English object names (what tests and the
        // window's own code look them up by).
        QMenu* file = main()->menuBar()->findChild<QMenu*>("File");
        QVERIFY(file);
        QCOMPARE(file->title(), QString("&Datei"));
        QAction* open = app()->commands()->action(ID_OPEN);
        QCOMPARE(open->text(), QString("Ö&ffnen..."));
        QCOMPARE(open->statusTip(), QString("Eine Bilddatei öffnen"));
        QCOMPARE(open->toolTip(), QString("Öffnen"));
        QCOMPARE(app()->commands()->action(ID_SELECT_SOURCE)->text(), QString("Scanner &wählen..."));
        QVERIFY(main()->menuBar()->findChild<QMenu*>("Enlarge"));
        QCOMPARE(main()->menuBar()->findChild<QMenu*>("Enlarge")->title(), QString("&Vergrößert"));
        // The core's messages come translated too, formatted in place.
        QVERIFY(!app()->OpenDocumentFile("/no/such/picture.png"));
        QCOMPARE(messages_, QStringList({"Die Datei /no/such/picture.png existiert nicht."}));
        QCOMPARE(QString::fromUtf8(LoadStringById(IDS_TYPE_BLACK_WHITE)), QString("Schwarzweiß"));
        // Names are never translated: the settings keep their keys.
        QCOMPARE(QString::fromUtf8(LoadStringById(IDS_SECTION_PREFERENCE)), QString("Preference"));
        const char* german = LoadStringById(IDS_FILE_NOT_EXIST);

        // Back in English: the menus and the core's texts follow, and a text
        // handed out in German stays readable.
        QVERIFY(!InstallTranslation(*app(), kEnglish, {TranslationDir()}));
        restart();
        QCOMPARE(menuTitles(), QStringList({"&File", "&Edit", "&Bitmap", "&View", "&Window", "&Help"}));
        QCOMPARE(app()->commands()->action(ID_OPEN)->text(), QString("&Open..."));
        QCOMPARE(QString::fromUtf8(LoadStringById(IDS_FILE_NOT_EXIST)), QString("The file %s does not exist."));
        QCOMPARE(QString::fromUtf8(german), QString("Die Datei %s existiert nicht."));
    }

    void aBrokenOrMissingTranslationLeavesEnglish_data() {
        QTest::addColumn<QByteArray>("content");
        QFile real(TranslationDir() + "/stitchara_de.qm");
        QVERIFY(real.open(QIODevice::ReadOnly));
        const QByteArray whole = real.readAll();
        QTest::newRow("not a translation") << QByteArray("this is no translation file\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut short") << whole.left(whole.size() / 3);
        QTest::newRow("missing") << QByteArray("-");
    }
    void aBrokenOrMissingTranslationLeavesEnglish() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        if (content != "-") {
            QFile file(dir.filePath("stitchara_de.qm"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        InstallTranslation(*app(), kGerman, {dir.path()});
        restart();
        QCOMPARE(menuTitles(), QStringList({"&File", "&Edit", "&Bitmap", "&View", "&Window", "&Help"}));
        QCOMPARE(app()->commands()->action(ID_OPEN)->statusTip(), QString("Open an image file"));
        QVERIFY(!app()->OpenDocumentFile("/no/such/picture.png"));
        QCOMPARE(messages_, QStringList({"The file /no/such/picture.png does not exist."}));
    }
};

int main(int argc, char** argv) { return apptest::RunInApplication<TranslationTest>(argc, argv); }

#include "translation_test.moc"
