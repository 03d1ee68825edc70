#!/usr/bin/env bash
# Refreshes the translation sources from the program's code with lupdate:
#   bash mainwindow/translations/update.sh
# The Chinese file translates every text to itself (the code's texts are
# Chinese); in the English file new texts arrive unfinished and need an
# English text by hand (lrelease leaves them out until then, so they show
# in Chinese). Texts no longer in the code are dropped.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
here="$root/mainwindow/translations"
cd "$root"
dirs=()
for d in core devices widgets devtools traffic mainwindow dbc canopen; do
  [ -d "$d" ] && dirs+=("$d")
done
lupdate -silent -I "$root" -no-obsolete -locations none -extensions cpp,h,ui \
  -source-language zh_CN -target-language zh_CN "${dirs[@]}" -ts "$here/lanague_cn.ts"
lupdate -silent -I "$root" -no-obsolete -locations none -extensions cpp,h,ui \
  -source-language zh_CN -target-language en "${dirs[@]}" -ts "$here/lanague_en.ts"
/usr/bin/python3 - "$here/lanague_cn.ts" <<'PY'
import copy
import sys
import xml.etree.ElementTree as ET
path = sys.argv[1]
tree = ET.parse(path)
for msg in tree.getroot().iter('message'):
    src = msg.find('source')
    tr = msg.find('translation')
    if src is None or tr is None:
        continue
    # The whole source, with the <byte value="xd"/> elements that stand for
    # carriage returns and the text after them.
    for child in list(tr):
        tr.remove(child)
    tr.text = src.text
    for child in src:
        tr.append(copy.deepcopy(child))
    tr.attrib.pop('type', None)
tree.write(path, encoding='utf-8', xml_declaration=True)
PY
echo "unfinished English texts: $(grep -c 'type="unfinished"' "$here/lanague_en.ts" || true)"
