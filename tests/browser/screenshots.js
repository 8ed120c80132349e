// Screenshots of the three dashboards for the README (docs/*.png), from a `tarvo demo` run:
//   node tests/browser/screenshots.js HTML_DIR OUT_DIR
// Each page is shown on the tab that tells most about it, at 1280x800.
"use strict";
const path = require("node:path");
const { launchChromium } = require("./chromium.js");

const SHOTS = [
  { page: "ovik_dashboard.html", tab: "firmalar", detail: true, out: "dashboard.png" },
  { page: "ovik_dashboard_yonetici.html", tab: "akis", out: "dashboard_yonetici.png" },
  { page: "ovik_dashboard_admin.html", tab: "tani", out: "dashboard_admin.png" },
];

(async () => {
  const [htmlDir, outDir] = process.argv.slice(2);
  const browser = await launchChromium();
  for (const s of SHOTS) {
    const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
    await page.goto("file://" + path.resolve(htmlDir, s.page));
    await page.waitForSelector("body[data-ready='1']");
    await page.click("#tab-" + s.tab);
    if (s.detail) await page.click("#firm-grid .tabulator-row >> nth=4");
    await page.waitForTimeout(400);
    await page.screenshot({ path: path.join(outDir, s.out) });
    await page.close();
  }
  await browser.close();
})().catch((e) => { console.error(e); process.exit(1); });
