// Times a dashboard page in headless Chromium: opening it until the firm table shows rows, then a
// search and sorts over all of its embedded rows, each until the grid has drawn the answer.
//   node bench/dashboard_bench.js PAGE.html
"use strict";
const path = require("node:path");
const fs = require("node:fs");
const { launchChromium } = require("../tests/browser/chromium.js");

(async () => {
  const file = path.resolve(process.argv[2]);
  const browser = await launchChromium();
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
  const t0 = Date.now();
  await page.goto("file://" + file, { waitUntil: "commit" });
  await page.waitForSelector("#firm-grid .tabulator-row", { timeout: 60000 });
  const open = Date.now() - t0;
  const inPage = await page.evaluate(() => performance.now());
  const marks = await page.evaluate(() => Object.fromEntries(performance.getEntriesByType("mark")
    .map((m) => [m.name, Math.round(m.startTime)])));
  const info = await page.evaluate(() => ({ rows: window.Tarvo.data.n, periods: window.Tarvo.data.periods.length }));
  console.log("page: " + (fs.statSync(file).size / 1048576).toFixed(1) + " MB, " + info.rows + " firms embedded, " +
    info.periods + " periods");
  console.log("open until the table shows rows: " + open + " ms (" + Math.round(inPage) + " ms after navigation start; " +
    "page code starts at " + marks["tarvo:boot"] + " ms, data parsed at " + marks["tarvo:data"] + " ms, ready at " +
    marks["tarvo:ready"] + " ms, first rows in the grid at " + marks["tarvo:table"] + " ms)");

  // Searches (kind "search", arg the text) or sorts (kind "sort", arg [field, dir]) in the page and
  // times it until the grid has processed and drawn the new rows.
  async function timed(label, kind, arg) {
    const ms = await page.evaluate(([k, x]) => new Promise((resolve) => {
      const table = window.Tarvo.firms.table;
      const t = performance.now();
      const done = () => {
        table.off("dataProcessed", done);
        requestAnimationFrame(() => requestAnimationFrame(() => resolve(performance.now() - t)));
      };
      table.on("dataProcessed", done);
      if (k === "search") {
        const s = document.querySelector("input[type=search]");
        s.value = x;
        s.dispatchEvent(new Event("input"));
      } else {
        table.setSort(x[0], x[1]);
      }
    }), [kind, arg]);
    const count = await page.textContent("#firm-count");
    console.log(label + ": " + ms.toFixed(0) + " ms (" + count + ")");
  }
  const muta = await page.evaluate(() => window.Tarvo.data.rows.muta[window.Tarvo.data.n - 1]);
  await timed("search muta " + muta, "search", muta);
  await timed("search text 'ticaret'", "search", "ticaret");
  await timed("clear search", "search", "");
  await timed("sort by son_risk ascending", "sort", ["son_risk", "asc"]);
  await timed("sort by unvan", "sort", ["unvan", "asc"]);
  await timed("sort by son_risk descending", "sort", ["son_risk", "desc"]);
  await browser.close();
})().catch((e) => { console.error(e); process.exit(1); });
