#!/usr/bin/env bash
# test.sh [ctest arguments]: installs what is missing, builds, and runs the whole test suite.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" --tests
"$root/scripts/build.sh"
cd "$root/build"
status=0
ctest --output-on-failure --parallel "$(nproc)" "$@" || status=$?
if [ "$status" -ne 0 ] && [ -f Testing/Temporary/LastTest.log ]; then
    # The failures' own lines, gathered at the end: a parallel run's full output buries them.
    echo "=== What failed ==="
    awk '/^[0-9]+\/[0-9]+ Test: / { test = $3 }
         /^FAIL!|^QFATAL|Received signal|Received a fatal error|Segmentation fault|Aborted/ { print test ": " $0; failed = 1; next }
         failed && /^   Loc:/ { print test ": " $0; failed = 0 }
         /<signal handler called>/ { frames = 10 }
         frames > 0 { print test ": " $0; frames-- }' \
        Testing/Temporary/LastTest.log | head -n 60
fi
exit "$status"
