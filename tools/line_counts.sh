#!/usr/bin/env bash
# Non-blank lines of code (src/, tools/, bench/) and of tests (tests/, every
# language, test data left out), from the files git tracks, and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  git ls-files -z -- "$@" | grep -zvE '\.(dem|bin|bmp|ico|png|dat)$|^tests/data/' |
    xargs -0 -r cat | grep -cv '^[[:space:]]*$' || true
}
code=$(count src tools bench)
tests=$(count tests)
echo "code  $code"
echo "tests $tests"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests/code = %.2f\n", t / c }'
