// Starts Debian's Chromium headless through playwright-core (never a downloaded browser), with
// every background network feature off; the browser tests, screenshots and benchmark share it.
// TARVO_CHROMIUM names another Chromium binary. Throws when the binary is missing.
"use strict";
const fs = require("node:fs");
const path = require("node:path");

const CHROMIUM = process.env.TARVO_CHROMIUM || "/usr/bin/chromium";
const NODE_MODULES = path.join(__dirname, "../../third_party/npm/node_modules");

// `nodeModules`: the directory holding playwright-core (default: third_party/npm/node_modules).
// playwright-core starts the browser on a fresh, temporary profile directory of its own.
async function launchChromium(nodeModules = NODE_MODULES) {
  if (!fs.existsSync(CHROMIUM)) {
    throw new Error("Chromium not found at " + CHROMIUM + ": run scripts/bootstrap (Debian package chromium)");
  }
  const { chromium } = require(path.join(nodeModules, "playwright-core"));
  return chromium.launch({
    executablePath: CHROMIUM,
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
      "--disable-component-update", "--disable-sync"],
  });
}

module.exports = { launchChromium };
