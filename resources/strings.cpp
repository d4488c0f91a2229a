// The string table: every text the system shows, by numeric id. Ids are kept
// in ascending order so that a lookup is a binary search.
#include "resources/strings.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <iterator>

#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace {

constexpr StringEntry kStrings[] = {
#define STITCHARA_STRING(name, id, text) {id, text},
#include "resources/string_list.inc"
#undef STITCHARA_STRING
};

constexpr bool AscendingAndUnique() {
    for (std::size_t i = 1; i < std::size(kStrings); ++i)
        if (kStrings[i - 1].id >= kStrings[i].id) return false;
    return true;
}
static_assert(AscendingAndUnique(), "string ids must be listed in ascending order, once each");

const StringEntry* Find(int id) {
    auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                               [](const StringEntry& e, int key) { return e.id < key; });
    return it != std::end(kStrings) && it->id == id ? it : nullptr;
}

// Set once by the application before its windows are made; read from any
// thread.
std::atomic<TextTranslator> g_translator{nullptr};

}  // namespace

void SetTextTranslator(TextTranslator translator) { g_translator.store(translator); }

const char* TranslateText(const char* context, const char* text) {
    const TextTranslator translator = g_translator.load();
    if (!translator || !text || !*text) return text;
    const char* translated = translator(context, text);
    return translated ? translated : text;
}

bool IsUserText(int id) {
    switch (id) {
    case IDS_MANUFACTURER:
    case IDS_PRODUCT_FAMILY:
    case IDS_LOGO_FILE:
    case IDS_PALETTE_MAP_FILE:
    case IDS_SECTION_STITCHARA:
    case IDS_KEY_VERSION:
    case IDS_SECTION_MAINWINDOW:
    case IDS_KEY_LOGOTITLE:
    case IDS_SECTION_PREFERENCE:
    case IDS_KEY_UNIT:
    case IDS_SECTION_INIT:
    case IDS_KEY_OPENDIR:
    case IDS_KEY_OPENEXT:
    case IDS_WATERMARK_1:
    case IDS_WATERMARK_2:
    case IDS_WATERMARK_3:
    case IDS_WATERMARK_4:
    case IDS_WATERMARK_5:
        return false;
    default:
        return true;
    }
}

const char* LoadStringById(int id) {
    const StringEntry* e = Find(id);
    if (!e) return "";
    return IsUserText(id) ? TranslateText(kStringsContext, e->text) : e->text;
}

bool HasString(int id) { return Find(id) != nullptr; }

std::span<const StringEntry> AllStrings() { return kStrings; }

std::string FormatStringById(int id, ...) {
    const char* format = LoadStringById(id);
    std::va_list args;
    va_start(args, id);
    std::va_list again;
    va_copy(again, args);
    std::string out;
    int needed = std::vsnprintf(nullptr, 0, format, args);
    if (needed > 0) {
        out.resize(std::size_t(needed) + 1);
        std::vsnprintf(out.data(), out.size(), format, again);
        out.resize(std::size_t(needed));
    }
    va_end(again);
    va_end(args);
    return out;
}

std::string TextBeforeLineBreak(std::string_view text) {
    std::size_t end = text.find_first_of("\r\n");
    return std::string(text.substr(0, end));
}

std::string TextAfterLineBreak(std::string_view text) {
    std::size_t end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) return std::string();
    if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    return std::string(text.substr(end + 1));
}

std::string PlainText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '&') {
            out += '&';
            ++i;
        }
    }
    return out;
}
