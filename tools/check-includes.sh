#!/usr/bin/env bash
# Checks the layering of the source tree without building anything, and fails
# listing every offending line:
#
#  1. every quoted include names its folder from the top of the source tree
#     ("store/catalog/DiscList.h", not "DiscList.h"); only files the build
#     generates are named bare (a test's own "tst_x.moc", moc_*/ui_* files);
#  2. includes point down the layers, a folder taking itself and what lies
#     below it:
#        pinyin < store/engine < media < store/catalog < toolkit
#               < resources < dialogs < browser < app
#     tests/, bench/ and tools/ may include anything (the tools' libraries,
#     such as the catalog generator, serve the tests and benchmarks); the
#     program's layers never include tests/, bench/ or tools/;
#  3. statements are written only in store/: no SQL keyword that starts a
#     statement (SELECT, INSERT INTO, UPDATE, DELETE FROM, CREATE, DROP,
#     ALTER, PRAGMA) inside a string literal in the other layers -- a cheap
#     look at the text, not a parser;
#  4. the engine's own header <sqlite3.h> is included only by store/engine/,
#     tests/, bench/ and tools/.
#
#   tools/check-includes.sh        every tracked *.cpp and *.h
set -euo pipefail
cd "$(dirname "$0")/.."

# ALLOWANCE, to remove: the catalog layer still calls the engine library
# directly in a few places while that moves behind store/engine/. Until then
# <sqlite3.h> in store/catalog/ is reported as a note, not a failure. When
# `git grep sqlite3.h -- store/catalog` finds nothing, delete this line.
sqlite_tolerated="store/catalog"

mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
if [ ${#files[@]} -eq 0 ]; then
  echo "check-includes: no C++ files to check"
  exit 0
fi

# Every check works on "file:line:text" lines from one grep pass each.
status=0
report=$(
  {
    grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' -- "${files[@]}" || true
  } | awk -v tolerated="$sqlite_tolerated" '
    function layer(path,    n, i) {
      # The longest known folder that starts the path; "" when none.
      for (i = 1; i <= nlayers; i++) {
        if (index(path, names[i] "/") == 1) return names[i]
      }
      return ""
    }
    BEGIN {
      # Longest names first, so that store/engine wins over a bare store.
      split("store/engine store/catalog pinyin media toolkit resources dialogs browser app tests bench tools", names, " ")
      nlayers = 12
      split("pinyin store/engine media store/catalog toolkit resources dialogs browser app", order, " ")
      for (i = 1; i <= 9; i++) rank[order[i]] = i
      free["tests"] = 1; free["bench"] = 1; free["tools"] = 1
    }
    {
      # file:line:text, the text may hold colons of its own.
      first = index($0, ":"); file = substr($0, 1, first - 1)
      rest = substr($0, first + 1); second = index(rest, ":")
      line = substr(rest, 1, second - 1); text = substr(rest, second + 1)
      where = file ":" line ": " text
      from = layer(file)

      if (text ~ /#[[:space:]]*include[[:space:]]*</) {
        if (text ~ /sqlite3\.h>/ && from != "store/engine" && !(from in free)) {
          if (from == tolerated) {
            notes[++nnotes] = where
          } else {
            print "engine header outside store/engine/: " where
          }
        }
        next
      }

      target = text
      sub(/^[^"]*"/, "", target); sub(/".*$/, "", target)
      if (target !~ /\//) {
        base = target
        if (base ~ /\.moc$/ || base ~ /^moc_/ || base ~ /^ui_/ || base ~ /^qrc_/) next
        print "include without its folder: " where
        next
      }
      to = layer(target)
      if (from in free) next
      if (from == "") next
      if (to == "" || (to in free)) {
        print "include outside the layers: " where
        next
      }
      if (rank[to] > rank[from]) {
        print "include pointing up (" from " -> " to "): " where
      }
    }
    END {
      for (i = 1; i <= nnotes; i++) print "note (tolerated for now): engine header in " tolerated "/: " notes[i] > "/dev/stderr"
    }
  '
) || status=$?
if [ "$status" -ne 0 ]; then
  echo "check-includes: the check itself failed" >&2
  exit 2
fi

# Statement text outside store/: string literals in the other layers.
statements=$(
  git grep -nE '"([^"\\]|\\.)*\<(SELECT|INSERT[[:space:]]+INTO|UPDATE|DELETE[[:space:]]+FROM|CREATE[[:space:]]+(TABLE|INDEX|TRIGGER|VIEW)|DROP[[:space:]]+(TABLE|INDEX|TRIGGER|VIEW)|ALTER[[:space:]]+TABLE|PRAGMA)[[:space:]]' \
    -- 'pinyin/*.cpp' 'pinyin/*.h' 'media/*.cpp' 'media/*.h' 'toolkit/*.cpp' 'toolkit/*.h' \
    'resources/*.cpp' 'resources/*.h' 'dialogs/*.cpp' 'dialogs/*.h' 'browser/*.cpp' 'browser/*.h' \
    'app/*.cpp' 'app/*.h' |
    sed 's/^/statement text outside store\/: /' || true
)

failures=$(printf '%s\n%s\n' "$report" "$statements" | sed '/^$/d')
if [ -n "$failures" ]; then
  echo "$failures"
  echo "check-includes: $(echo "$failures" | wc -l) offending lines in ${#files[@]} files" >&2
  exit 1
fi
echo "check-includes: ${#files[@]} files keep to the layers"
