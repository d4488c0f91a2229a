#!/usr/bin/env bash
# Brings the translations (resources/translations/stitchara_*.ts) up to date
# with the program's texts: the Qt layer's tr() and translate() calls, and the
# core's tables (the string table, the commands' menu texts, the dialog
# texts, the menu titles), which lupdate cannot see and which are listed for
# it in a generated file. Translations already made are kept; a new text comes
# in unfinished, a text that is gone leaves.
#
#   scripts/update_translations.sh          update the .ts files
#   scripts/update_translations.sh --check  change nothing; fail when a text
#                                           has no finished translation
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
LUPDATE=${LUPDATE:-$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)}
check=0
[ "${1:-}" = "--check" ] && check=1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tables="$work/core_tables.cpp"
{
  # The string table, without the entries that are names (settings sections
  # and keys, file names, the program's name and maker): never translated.
  grep -E '^STITCHARA_STRING\(' resources/string_list.inc |
    grep -vE '^STITCHARA_STRING\((IDS_SECTION_|IDS_KEY_|IDS_WATERMARK_|IDS_LOGO_FILE|IDS_PALETTE_MAP_FILE|IDS_MANUFACTURER|IDS_PRODUCT_FAMILY)' |
    sed -E 's/^STITCHARA_STRING\([A-Z0-9_]+, *[0-9]+, *(".*")\)$/QT_TRANSLATE_NOOP("Strings", \1)/'
  grep -E '^STITCHARA_COMMAND\(.*"\)$' resources/command_list.inc |
    sed -E 's/^STITCHARA_COMMAND\([A-Za-z0-9_]+, *[0-9]+, *(".*")\)$/QT_TRANSLATE_NOOP("Commands", \1)/'
  grep -E '^ *\{IDD_[A-Z_]+, [^,]+, ".*"\},$' resources/dialog_texts.cpp |
    sed -E 's/^ *\{IDD_[A-Z_]+, [^,]+, (".*")\},$/QT_TRANSLATE_NOOP("Dialogs", \1)/'
  # Menu titles and sub-menus of the commands' places ("&View/&Enlarge").
  grep -rhoE '(S::[A-Za-z]+|AddViewCommand\(r, [A-Z0-9_a-z]+), "&[^"]+"' --include='*_qt.cpp' \
      base display document print acquire info stitch shell |
    sed -E 's/.*"(.*)"$/\1/' | tr '/' '\n' | sort -u |
    sed -E 's/^(.*)$/QT_TRANSLATE_NOOP("Menus", "\1")/'
} > "$tables"

# Headers first: lupdate learns the classes from them.
qt_files() {
  find base display document print acquire info stitch shell/app shell/embed -path '*/tests' -prune -o -name "$1" -print | sort
}
sources="$(qt_files '*_qt.h') $(qt_files '*_qt.cpp')"

status=0
for ts in resources/translations/stitchara_*.ts; do
  if [ $check -eq 1 ]; then
    copy="$work/$(basename "$ts")"
    cp "$ts" "$copy"
    "$LUPDATE" -silent -I "$root" -locations none -no-obsolete $sources "$tables" -ts "$copy" >/dev/null
    missing=$(grep -c 'type="unfinished"' "$copy" || true)
    if [ "$missing" -ne 0 ]; then
      echo "$ts: $missing texts without a finished translation:" >&2
      grep -B3 'type="unfinished"' "$copy" | grep '<source>' >&2 || true
      status=1
    fi
  else
    "$LUPDATE" -silent -I "$root" -locations none -no-obsolete $sources "$tables" -ts "$ts"
  fi
done
exit $status
