#!/usr/bin/env bash
# Gathers the texts of the windows and command lines (written in Chinese in the code) into
# the English catalogue translations/orvo-k500_en.ts; new texts come in unfinished, ready for
# Qt Linguist or an editor, texts gone from the code are dropped.
#   bash scripts/update-translations.sh [LUPDATE] [TS-FILE]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
lupdate=${1:-}
if [ -z "$lupdate" ]; then
  for l in /usr/lib/qt6/bin/lupdate /usr/lib/qt5/bin/lupdate; do
    [ -x "$l" ] && { lupdate=$l; break; }
  done
fi
[ -n "$lupdate" ] || { echo "update-translations: lupdate not found (qt6-l10n-tools or qttools5-dev-tools)" >&2; exit 1; }
ts=${2:-$here/translations/orvo-k500_en.ts}
cd "$here"
"$lupdate" -silent -locations none -no-obsolete -source-language zh_CN -target-language en_US \
  OrvoPrintSetting OrvoFWUpdate OrvoPrinterTool OrvoPrintMaint OrvoPrinterStatus common -ts "$ts"
