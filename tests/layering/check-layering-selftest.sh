#!/usr/bin/env bash
# The layering check itself: a clean tree passes, and each kind of violation is reported
# with the file that commits it.
set -u
check=${1:?usage: check-layering-selftest.sh CHECK-SCRIPT}
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

mkdir -p "$tree"/src/core/{model,compute,device} "$tree"/src/gui/charts "$tree"/src/app
printf '#include "core/model/a.h"\n#include <vector>\n' > "$tree"/src/core/model/a.cpp
printf '#pragma once\n' > "$tree"/src/core/model/a.h
printf '#include "core/model/a.h"\n' > "$tree"/src/core/compute/b.cpp
printf '#include "core/compute/b.h"\n#include "core/model/a.h"\n' > "$tree"/src/core/device/c.cpp
printf '#include "core/model/a.h"\n#include <QWidget>\n' > "$tree"/src/gui/charts/d.cpp
printf '#include "gui/charts/d.h"\n' > "$tree"/src/app/e.cpp
printf 'add_library(ombrix_core STATIC\n model/a.cpp\n compute/b.cpp\n device/c.cpp)\n' \
    > "$tree"/src/core/CMakeLists.txt

status=0
expect() { # expect PASS|FAIL what [text the report must hold]
    local want=$1 what=$2 needle=${3:-}
    local out rc
    out=$(bash "$check" "$tree" 2>&1)
    rc=$?
    if [ "$want" = PASS ] && [ $rc -ne 0 ]; then
        echo "FAILED: $what: clean tree refused: $out"
        status=1
    elif [ "$want" = FAIL ] && { [ $rc -ne 1 ] || ! grep -qF -- "$needle" <<<"$out"; }; then
        echo "FAILED: $what: exit $rc, report: $out"
        status=1
    fi
}

expect PASS "clean tree"

printf '#include <QString>\n' >> "$tree"/src/core/model/a.cpp
expect FAIL "Qt header in core" "src/core/model/a.cpp: includes a Qt header"
printf '#include "core/model/a.h"\n#include <vector>\n' > "$tree"/src/core/model/a.cpp

printf '#include "core/device/c.h"\n' >> "$tree"/src/core/compute/b.cpp
expect FAIL "compute includes device" 'src/core/compute/b.cpp: includes "core/device/c.h"'
printf '#include "core/model/a.h"\n' > "$tree"/src/core/compute/b.cpp

printf '#include "core/compute/b.h"\n' > "$tree"/src/core/model/f.h
expect FAIL "model includes compute" 'src/core/model/f.h: includes "core/compute/b.h"'
rm "$tree"/src/core/model/f.h

printf '#include "gui/charts/d.h"\n' > "$tree"/src/core/device/g.h
expect FAIL "core includes gui" 'src/core/device/g.h: includes "gui/charts/d.h"'
rm "$tree"/src/core/device/g.h

printf '#include "app/e.h"\n' >> "$tree"/src/gui/charts/d.cpp
expect FAIL "gui includes app" 'src/gui/charts/d.cpp: includes "app/e.h"'
printf '#include "core/model/a.h"\n' > "$tree"/src/gui/charts/d.cpp

printf '#include "testkit/fakeport.h"\n' > "$tree"/src/app/f.cpp
expect FAIL "program includes a test double" "src/app/f.cpp: includes a test double"
rm "$tree"/src/app/f.cpp

printf '#pragma once\n' > "$tree"/src/core/device/h.cpp
expect FAIL "core source not built" "src/core/device/h.cpp: not built into ombrix_core"
rm "$tree"/src/core/device/h.cpp

printf 'target_sources(ombrix_core PRIVATE x.cpp)\n' > "$tree"/src/gui/CMakeLists.txt
expect FAIL "core sources from elsewhere" "adds sources to ombrix_core outside src/core"
rm "$tree"/src/gui/CMakeLists.txt

expect PASS "clean tree again"
[ $status = 0 ] && echo "layering check: every violation reported"
exit $status
