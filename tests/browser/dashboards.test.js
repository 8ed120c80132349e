// Browser tests of the dashboard pages: opens the pages that tarvo_page_fixtures writes in headless
// Chromium (Debian's chromium, driven by playwright-core) and checks what an analyst sees.
//
//   node dashboards.test.js FIXTURES_PROGRAM NODE_MODULES_DIR [EMULATOR...]
//
// EMULATOR: in a cross build, the command that runs the fixtures program (qemu-arm ...); the browser
// itself runs natively.
// Fails (exit status 1) on the first failed check, and when Chromium is missing.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { execFileSync } = require("node:child_process");

const [fixturesProgram, nodeModules, ...emulator] = process.argv.slice(2);
const { launchChromium } = require("./chromium.js");

const grouped = (n) => String(n).replace(/\B(?=(\d{3})+(?!\d))/g, ".");

let failures = 0;
async function check(name, fn) {
  try {
    await fn();
    console.log("ok - " + name);
  } catch (e) {
    failures++;
    console.log("not ok - " + name + "\n  " + String(e.stack || e).split("\n").slice(0, 6).join("\n  "));
  }
}

// A fresh page on `file`, recording console errors, page errors, dialogs and any request that is
// not the file itself.
async function open(browser, file) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  const page = await context.newPage();
  const events = { errors: [], requests: [], dialogs: [] };
  page.on("console", (m) => { if (m.type() === "error") events.errors.push(m.text()); });
  page.on("pageerror", (e) => events.errors.push(e.message));
  page.on("dialog", (d) => { events.dialogs.push(d.message()); d.dismiss(); });
  context.on("request", (r) => { if (r.url() !== "file://" + file) events.requests.push(r.url()); });
  await page.goto("file://" + file);
  await page.waitForSelector("body[data-ready='1']", { timeout: 15000 });
  return { page, events, close: () => context.close() };
}

async function clean(events) {
  assert.deepEqual(events.errors, [], "console errors");
  assert.deepEqual(events.requests, [], "network requests");
  assert.deepEqual(events.dialogs, [], "dialogs");
}

const countText = (page) => page.textContent("#firm-count");
// Types into the search box and waits until the grid shows the answer.
async function search(page, text) {
  const before = await page.evaluate(() => window.Tarvo.perf.answered);
  await page.fill("input[type=search]", text);
  await page.waitForFunction((n) => window.Tarvo.perf.answered > n, before);
}
const gridColumn = (page, field) => page.$$eval("#firm-grid .tabulator-row .tabulator-cell[tabulator-field='" + field + "']",
  (cells) => cells.map((c) => c.textContent));

async function main() {
  const browser = await launchChromium(nodeModules);
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), "tarvo-browser-"));
  const [program, ...args] = [...emulator, fixturesProgram, dir];
  execFileSync(program, args, { stdio: ["ignore", "ignore", "inherit"] });
  const expect = JSON.parse(fs.readFileSync(path.join(dir, "expect.json"), "utf8"));
  const html = path.join(dir, "outputs", "html");
  try {
    // --- full page --------------------------------------------------------------------------------
    const full = await open(browser, path.join(html, "ovik_dashboard.html"));
    const p = full.page;
    await check("full page: firm count", async () => {
      assert.equal(await countText(p), grouped(expect.n_firms) + " firma");
      assert.equal(await p.textContent("h1"), "OVIK Erken Uyarı Skorbordu");
    });
    await check("search by muta shows exactly that firm, its markup name as text", async () => {
      await search(p, expect.xss_muta);
      assert.equal(await countText(p), "1 firma");
      assert.deepEqual(await gridColumn(p, "muta"), [expect.xss_muta]);
      assert.deepEqual(await gridColumn(p, "unvan"), [expect.xss_firm]);
      assert.equal(await p.$$eval("img", (x) => x.length), 0);
    });
    await check("search folds Turkish case", async () => {
      await search(p, "istanbul ışık");
      assert.deepEqual(await gridColumn(p, "unvan"), [expect.turkish_name]);
      await search(p, "");
      assert.equal(await countText(p), grouped(expect.n_firms) + " firma");
    });
    await check("a flag filter shows exactly the flagged firms", async () => {
      const flags = await p.evaluate(() => window.Tarvo.FLAGS.map((f) => [f[0], f[1],
        window.Tarvo.data.rows[f[0]].filter((v) => v === 1).length]));
      const [key, label, n] = flags.find((f) => f[2] > 0);
      const before = await p.evaluate(() => window.Tarvo.perf.answered);
      await p.check("input[data-flag='" + key + "']");
      await p.waitForFunction((b) => window.Tarvo.perf.answered > b, before);
      assert.equal(await countText(p), grouped(n) + " firma");
      for (const marks of await gridColumn(p, "isaretler")) assert.ok(marks.includes(label), marks);
      const checked = await p.evaluate(() => window.Tarvo.perf.answered);
      await p.uncheck("input[data-flag='" + key + "']");
      await p.waitForFunction((b) => window.Tarvo.perf.answered > b, checked);
    });
    await check("sorting by latest risk puts the largest first", async () => {
      const before = await p.evaluate(() => window.Tarvo.perf.answered);
      await p.click(".tabulator-col[tabulator-field='son_risk']");
      await p.waitForFunction((b) => window.Tarvo.perf.answered > b, before);
      assert.equal(await p.getAttribute(".tabulator-col[tabulator-field='son_risk']", "aria-sort"), "descending");
      const max = await p.evaluate(() => Math.max(...window.Tarvo.data.rows.son_risk));
      const shown = (await gridColumn(p, "son_risk")).map((t) => Number(t.replace(/\./g, "")));
      assert.equal(shown[0], max);
      for (let i = 1; i < shown.length; i++) assert.ok(shown[i - 1] >= shown[i]);
    });
    await check("the detail chart has one point per period", async () => {
      await p.click("#firm-grid .tabulator-row >> nth=0");
      await p.waitForSelector("#firm-detail:not([hidden]) #detail-chart");
      const points = await p.evaluate(() => window.Tarvo.charts.detail.getOption().series.map((s) => s.data.length));
      assert.deepEqual(points, [expect.n_periods, expect.n_periods]);
      assert.equal(await p.$$eval("#detail-periods tr", (r) => r.length), expect.n_periods + 1);
      await p.click("#firm-detail .close");
      assert.equal(await p.$eval("#firm-detail", (d) => d.hidden), true);
    });
    await check("the keyboard opens and closes a firm's detail", async () => {
      await p.focus("#firm-grid .tabulator-row >> nth=1");
      await p.keyboard.press("Enter");
      const muta = (await gridColumn(p, "muta"))[1];
      assert.ok((await p.textContent("#detail-title")).startsWith(muta + " — "));
      await p.keyboard.press("Escape");
      assert.equal(await p.$eval("#firm-detail", (d) => d.hidden), true);
    });
    await check("a branch named like markup is shown as text", async () => {
      const options = await p.$$eval("select[data-filter='sube'] option", (o) => o.map((x) => x.textContent));
      assert.ok(options.includes(expect.xss_branch), options.join("|"));
      const before = await p.evaluate(() => window.Tarvo.perf.answered);
      await p.selectOption("select[data-filter='sube']", expect.xss_branch);
      await p.waitForFunction((b) => window.Tarvo.perf.answered > b, before);
      for (const b of await gridColumn(p, "sube")) assert.equal(b, expect.xss_branch);
      assert.equal(await p.$$eval("script:not([type])", (s) => s.length), 3);  // the two libraries and our page code
    });
    await check("flow matrix cells sum to the matrix totals for every segment and period pair", async () => {
      await p.click("#tab-akis");
      const segs = await p.$$eval("select[data-ctl='segment'] option", (o) => o.map((x) => x.value));
      const pairs = await p.$$eval("select[data-ctl='pair'] option", (o) => o.map((x) => x.value));
      assert.ok(segs.length === 5 && pairs.length === expect.n_periods - 1, segs + " " + pairs);
      for (const seg of segs) {
        for (const pair of pairs) {
          await p.selectOption("select[data-ctl='segment']", seg);
          await p.selectOption("select[data-ctl='pair']", pair);
          const r = await p.evaluate(([s, k]) => {
            const d = window.Tarvo.data, entry = d.flow_matrix[s][+k];
            const cells = window.Tarvo.charts.flow.getOption().series[0].data.reduce((a, c) => a + c[2], 0);
            const own = entry.flows.reduce((a, f) => a + f.count, 0);
            const from = d.periods.indexOf(String(entry.from)), to = d.periods.indexOf(String(entry.to));
            let banded = 0;
            for (let i = 0; i < d.n; i++) {
              if ((s === "ALL" || d.rows.segment[i] === s) && d.bandAt(from, i) >= 0 && d.bandAt(to, i) >= 0) banded++;
            }
            return { cells, own, banded, shown: +document.querySelector("#flow-total").getAttribute("data-total") };
          }, [seg, pair]);
          assert.equal(r.cells, r.own, seg + " " + pair);
          assert.equal(r.shown, r.own, seg + " " + pair);
          assert.equal(r.banded, r.own, seg + " " + pair);
        }
      }
    });
    await check("the flow matrix toggles to risk amounts", async () => {
      await p.selectOption("select[data-ctl='segment']", "ALL");
      await p.selectOption("select[data-ctl='measure']", "risk_tl");
      const r = await p.evaluate(() => {
        const k = +document.querySelector("select[data-ctl='pair']").value;
        const own = window.Tarvo.data.flow_matrix.ALL[k].flows.reduce((a, f) => a + f.risk_tl, 0);
        const cells = window.Tarvo.charts.flow.getOption().series[0].data.reduce((a, c) => a + c[2], 0);
        return { own, cells, text: document.querySelector("#flow-total").textContent };
      });
      assert.ok(r.own > 0);
      assert.equal(r.cells, r.own);
      assert.ok(r.text.endsWith(" TL"), r.text);
    });
    await check("band snapshot bars per period add up to the snapshot's counts", async () => {
      await p.click("#tab-bant");
      const r = await p.evaluate(() => {
        const snap = window.Tarvo.data.band_snapshot.ALL;
        const series = window.Tarvo.charts.bands.getOption().series;
        return snap.map((e, k) => [Object.values(e.bands).reduce((a, b) => a + b.count, 0),
          series.reduce((a, s) => a + s.data[k], 0)]);
      });
      assert.equal(r.length, expect.n_periods);
      for (const [own, bars] of r) assert.equal(bars, own);
    });
    await check("trend lists hold exactly the flagged firms", async () => {
      await p.click("#tab-trend");
      const r = await p.evaluate(() => window.Tarvo.FLAGS.map((f) => {
        const n = window.Tarvo.data.rows[f[0]].filter((v) => v === 1).length;
        const sec = document.querySelector("section[data-list='" + f[2] + "']");
        return [sec.querySelector("h3").textContent, f[1] + " (" + n + ")",
          n ? sec.querySelectorAll(".tabulator-row").length : 0, n];
      }));
      for (const [title, want, rows, n] of r) {
        assert.equal(title, want);
        assert.ok(rows > 0 === n > 0, title);
      }
    });
    await check("full page: no console error, no request, no dialog", () => clean(full.events));
    await full.close();

    // --- manager page -----------------------------------------------------------------------------
    const mgr = await open(browser, path.join(html, "ovik_dashboard_yonetici.html"));
    await check("manager page: title, filter note and firm count", async () => {
      assert.equal(await mgr.page.textContent("h1"), "OVIK Erken Uyarı Skorbordu — Yönetici");
      assert.equal(await countText(mgr.page), grouped(expect.manager_count) + " firma");
      const notes = await mgr.page.$$eval(".page-note", (n) => n.map((x) => x.textContent));
      assert.deepEqual(notes, [grouped(expect.n_firms) + " firmadan " + grouped(expect.manager_count) + " tanesi: yönetici filtresi"]);
      await clean(mgr.events);
    });
    await mgr.close();

    // --- admin page of the mart run -----------------------------------------------------------------
    const adm = await open(browser, path.join(html, "ovik_dashboard_admin.html"));
    const a = adm.page;
    await check("admin page: back-test summary per model with its chart", async () => {
      assert.equal(await a.textContent("h1"), "OVIK Erken Uyarı Skorbordu — Admin");
      await a.click("#tab-geritest");
      const s = await a.evaluate(() => window.Tarvo.data.admin.backtest_summary);
      for (const [model, rows] of [["eus", s.eus.donem_metrikleri.length], ["ml", s.ml.fold_detay.length]]) {
        assert.equal(await a.$$eval("section[data-model='" + model + "'] .tabulator-row", (r) => r.length), rows, model);
        const chart = await a.evaluate((m) => window.Tarvo.charts["backtest_" + m].getOption().series.map((x) => x.data.length), model);
        assert.ok(chart.length >= 3 && chart.every((n) => n === rows), model + " " + chart);
      }
      assert.equal(await a.$$eval("section[data-model='yis']", (x) => x.length), 0);
    });
    await check("admin page: back-test firm lists with names", async () => {
      await a.click("#tab-geritest-firma");
      const lists = await a.evaluate(() => window.Tarvo.data.admin.backtest_firma.eus);
      const total = lists.tp.length + lists.fp.length + lists.fn.length;
      assert.ok(total > 0);
      assert.equal(await a.$$eval("#panel-geritest-firma .tabulator-row", (r) => r.length), total);
      const names = await a.$$eval("#panel-geritest-firma .tabulator-cell[tabulator-field='unvan']", (c) => c.map((x) => x.textContent));
      assert.ok(names.includes(expect.xss_firm));
    });
    await check("admin page: absent ML data shows a note", async () => {
      await a.click("#tab-ml");
      const notes = await a.$$eval("#panel-ml .empty-note", (n) => n.map((x) => x.textContent));
      assert.deepEqual(notes, ["ML model özeti yok.", "ML tahmini yok."]);
      await clean(adm.events);
    });
    await adm.close();

    // --- admin page with ML fields ------------------------------------------------------------------
    const ml = await open(browser, path.join(html, "ml_admin.html"));
    await check("ML admin page: ML list, model summary, diagnostic findings and ML column", async () => {
      const m = ml.page;
      await m.click("#tab-ml");
      assert.equal(await m.textContent("#ml-count"), grouped(expect.ml_count) + " firma");
      const model = await m.textContent("#ml-model");
      assert.ok(model.includes("skor_degisim_3") && model.includes("0,8312"), model);
      await m.click("#tab-tani");
      const findings = await m.evaluate(() => Object.values(window.Tarvo.data.admin.diag_index_full)
        .reduce((a, f) => a + Object.values(f).reduce((b, e) => b + e.bulgular.length, 0), 0));
      assert.ok(findings > 0);
      assert.equal(await m.textContent("#diag-count"), grouped(findings) + " bulgu");
      await m.click("#tab-firmalar");
      assert.equal(await m.$$eval(".tabulator-col[tabulator-field='ml_prob']", (c) => c.length), 1);
      await clean(ml.events);
    });
    await ml.close();

    // --- a page whose rows were cut -----------------------------------------------------------------
    const cutFile = path.join(html, "cut.html");
    const cut = await open(browser, cutFile);
    await check("cut page: says so and stays within its limit", async () => {
      assert.ok(fs.statSync(cutFile).size <= expect.cut_limit_bytes);
      const shown = await cut.page.evaluate(() => window.Tarvo.data.page.n_shown);
      assert.ok(shown > 0 && shown < expect.n_firms, String(shown));
      assert.equal(await countText(cut.page), grouped(shown) + " firma");
      const notes = await cut.page.$$eval(".page-note", (n) => n.map((x) => x.textContent));
      assert.equal(notes.length, 1);
      assert.ok(notes[0].startsWith(grouped(expect.n_firms) + " firmadan " + grouped(shown) + " tanesi gösteriliyor"), notes[0]);
      await clean(cut.events);
    });
    await cut.close();

    // --- the scoreboard of an empty warehouse -------------------------------------------------------
    const empty = await open(browser, path.join(html, "empty.html"));
    await check("empty page: opens with zero firms and notes in place of charts", async () => {
      const e = empty.page;
      assert.equal(await countText(e), "0 firma");
      assert.equal(await e.textContent("#son-donem .fact-value"), "—");
      await e.click("#tab-akis");
      assert.equal(await e.textContent("#panel-akis .empty-note"), "Akış matrisi için en az iki dönem gerekir; veri yok.");
      await e.click("#tab-bant");
      assert.equal(await e.textContent("#panel-bant .empty-note"), "Bant dağılımı verisi yok.");
      await clean(empty.events);
    });
    await empty.close();
  } finally {
    await browser.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
  if (failures) throw new Error(failures + " check(s) failed");
}

main().catch((e) => {
  console.error("dashboard browser tests: " + (e.message || e));
  process.exit(1);
});
