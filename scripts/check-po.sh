#!/bin/sh
# Checks every translation catalog against a template made afresh from the string table:
# msgfmt --check (which also checks each counted entry's forms against the catalog's
# Plural-Forms), then msgcmp, which fails on an entry that is missing, untranslated or fuzzy.
# Usage: scripts/check-po.sh WORK_DIR
set -eu
top="$(cd "$(dirname "$0")/.." && pwd)"
work="$1"
mkdir -p "$work"
(cd "$top/src/text" && xgettext --language=C --from-code=UTF-8 --keyword= --keyword=Q2E_STRING:2 \
  --keyword=Q2E_STRING_CTX:2c,3 --keyword=Q2E_PLURAL:2,3 --no-location -o "$work/template.pot" strings.def)
status=0
for lang in $(grep -E '^[a-z]' "$top/po/LINGUAS"); do
  po="$top/po/$lang.po"
  msgfmt --check --statistics -o /dev/null "$po" || status=1
  msgcmp "$po" "$work/template.pot" || status=1
done
exit "$status"
