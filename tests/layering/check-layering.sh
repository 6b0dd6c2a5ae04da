#!/usr/bin/env bash
# Fails when an include runs from a lower layer to a higher one, or when the core library is
# not built from exactly the sources under src/core/.
#
#   src/core/model/    may include: the standard library, core/model
#   src/core/compute/  may include: core/model, core/compute
#   src/core/device/   may include: core/model, core/compute, core/device
#   src/core/**        never a Qt header
#   src/gui/**         core, gui and Qt; never app/
#   src/**             never a test double (testkit/)
#   tests/testkit/**   core and testkit only (the fuzz build links it without Qt)
#
# Usage: check-layering.sh ROOT   (ROOT holds src/). Prints one line per violation.
set -u
root=${1:?usage: check-layering.sh ROOT}
cd "$root" || exit 2
[ -d src/core ] || { echo "no src/core under $root"; exit 2; }

failures=0
fail() {
    echo "$1"
    failures=$((failures + 1))
}

# Project includes ("...") of one file whose path does not start with an allowed prefix.
check_quoted() {
    local file=$1
    shift
    local line target prefix ok
    while IFS= read -r line; do
        target=${line#*\"}
        target=${target%%\"*}
        ok=0
        for prefix in "$@"; do
            [[ $target == "$prefix"* ]] && ok=1
        done
        [ $ok = 1 ] || fail "$file: includes \"$target\""
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
}

sources() { find "$1" -type f \( -name '*.h' -o -name '*.cpp' \) | sort; }

for file in $(sources src/core); do
    if grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(Q[A-Za-z]|q[a-z_]*\.h)' "$file"; then
        fail "$file: includes a Qt header"
    fi
    case $file in
    src/core/model/*) check_quoted "$file" core/model/ ;;
    src/core/compute/*) check_quoted "$file" core/model/ core/compute/ ;;
    src/core/device/*) check_quoted "$file" core/model/ core/compute/ core/device/ ;;
    *) check_quoted "$file" core/ ;;
    esac
done
for file in $(sources src/gui); do
    check_quoted "$file" core/ gui/
done
# The test doubles live in tests/testkit, out of every library of the program.
for file in $(sources src); do
    if grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"testkit/' "$file"; then
        fail "$file: includes a test double"
    fi
done
if [ -d tests/testkit ]; then
    for file in $(sources tests/testkit); do
        check_quoted "$file" core/ testkit/
    done
fi

# ombrix_core lists exactly the .cpp files under src/core (paths relative to src/core).
listed=$(grep -oE '[A-Za-z0-9_/]+\.cpp' src/core/CMakeLists.txt | sort -u)
present=$(cd src/core && find . -name '*.cpp' | sed 's#^\./##' | sort)
while IFS= read -r f; do
    [ -n "$f" ] && fail "src/core/$f: not built into ombrix_core"
done < <(comm -13 <(echo "$listed") <(echo "$present"))
while IFS= read -r f; do
    [ -n "$f" ] && fail "src/core/CMakeLists.txt: lists $f, which is not under src/core"
done < <(comm -23 <(echo "$listed") <(echo "$present"))
while IFS= read -r f; do
    fail "$f: adds sources to ombrix_core outside src/core"
done < <(grep -rlE 'target_sources\(ombrix_core' --include=CMakeLists.txt --include='*.cmake' . \
         2>/dev/null | grep -v '^\./build')

if [ $failures -gt 0 ]; then
    echo "$failures layering violation(s)"
    exit 1
fi
echo "layering: core, gui and app include downwards only"
