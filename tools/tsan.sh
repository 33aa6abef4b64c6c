#!/usr/bin/env bash
# Builds the tests that exercise threads with ThreadSanitizer in build-tsan/
# (CMake option VORLIX_TSAN=ON) and runs them; the first data race, deadlock
# or misuse of a lock ends the test with the report. Only those tests and
# what they link are built:
#
#   tst_datamodule             the opening check on a thread of its own
#   tst_disccontents           the name index read on its own thread
#   tst_csvread                the import's rows checked on several threads
#   tst_importstore, tst_import  the import, from the store to the dialog
#   tst_longjobs, tst_catalogworker  the long-jobs worker and its connection
#                              (when those tests exist)
#
# The cover wall's thumbnails (tst_coverwall) are left out: they run on a
# QThreadPool through QtConcurrent, whose queue is guarded by a QMutex inside
# Qt Core; with Qt not built with the sanitizer, every task's captured values
# read on the pooled thread are reported as races. Checking them needs a Qt
# built with -fsanitize=thread.
#
# tools/tsan.supp names the races inside Qt's and the system's own libraries
# that are not ours to fix, each with its reason.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/ensure-deps.sh

tests=(tst_datamodule tst_disccontents tst_csvread tst_importstore tst_import
  tst_longjobs tst_catalogworker)

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Warnings as errors are the plain build's check: GCC warns, for instance,
# that ThreadSanitizer does not see atomic_thread_fence.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLIX_TSAN=ON \
  -DVORLIX_BUILD_BENCH=OFF -DVORLIX_WERROR=OFF "${launcher[@]}" >/dev/null

# The tests of the list that this tree has.
known=$(cmake --build build-tsan --target help | sed -n 's/^\.\.\. \([^ ]*\).*/\1/p')
targets=()
for test in "${tests[@]}"; do
  if grep -qx "$test" <<<"$known"; then
    targets+=("$test")
  fi
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "tsan: none of the threaded tests exist" >&2
  exit 2
fi
echo "tsan: ${targets[*]}"
cmake --build build-tsan -j"$(nproc)" --target "${targets[@]}"

regex="^($(
  IFS='|'
  echo "${targets[*]}"
))\$"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tools/tsan.supp${TSAN_OPTIONS:+:$TSAN_OPTIONS}"
ctest --test-dir build-tsan --output-on-failure -j"$(nproc)" -R "$regex"
