#include "shell/app/translation_qt.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

#include "picture/image_store.h"
#include "resources/strings.h"

namespace {

// The core's texts in the loaded language. The core keeps the pointers it is
// given, so a translated text is stored once and never freed; a later
// language gets new entries and the old ones stay valid.
class CoreTexts {
public:
    // Never destroyed: the core may ask for a text as the program ends.
    static CoreTexts& instance() {
        static CoreTexts* texts = new CoreTexts;
        return *texts;
    }

    const char* translate(const char* context, const char* text) {
        const QByteArray translated = QCoreApplication::translate(context, text).toUtf8();
        if (translated == text) return text;
        std::string key = context;
        key += '\x04';
        key += text;
        std::lock_guard<std::mutex> lock(mutex_);
        const std::string*& slot = index_[key];
        if (!slot || *slot != translated.constData()) {
            kept_.emplace_back(translated.constData(), std::size_t(translated.size()));
            slot = &kept_.back();
        }
        return slot->c_str();
    }

    // The translators installed by InstallTranslation (owned by the application).
    QPointer<QTranslator> program;
    QPointer<QTranslator> qt;

private:
    std::mutex mutex_;
    std::unordered_map<std::string, const std::string*> index_;
    std::deque<std::string> kept_;
};

const char* TranslateCoreText(const char* context, const char* text) {
    return CoreTexts::instance().translate(context, text);
}

void Remove(QCoreApplication& app, QPointer<QTranslator>& translator) {
    if (!translator) return;
    app.removeTranslator(translator);
    delete translator.data();
}

}  // namespace

QStringList TranslationDirectories() {
    const QString app = QString::fromStdString(AppDirectory('/'));
    return {QDir::cleanPath(app + "translations"), QDir::cleanPath(app + "../share/stitchara/translations")};
}

bool InstallTranslation(QCoreApplication& app, const QLocale& locale, const QStringList& directories) {
    CoreTexts& texts = CoreTexts::instance();
    Remove(app, texts.program);
    Remove(app, texts.qt);
    // The hook stays: without a translator it hands back the English texts.
    SetTextTranslator(&TranslateCoreText);
    for (const QString& dir : directories) {
        auto* translator = new QTranslator(&app);
        if (!translator->load(locale, QStringLiteral("stitchara"), QStringLiteral("_"), dir) ||
            !app.installTranslator(translator)) {
            delete translator;
            continue;
        }
        texts.program = translator;
        auto* qt = new QTranslator(&app);
        if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
            app.installTranslator(qt))
            texts.qt = qt;
        else
            delete qt;
        return true;
    }
    return false;
}
