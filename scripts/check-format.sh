#!/bin/sh
# Fails, listing the files, when a source is not formatted as .clang-format says.
set -eu
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
