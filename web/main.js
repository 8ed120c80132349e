// Page start: reads the data, draws the header (period, firm counts, band and flag counts, notes)
// and the tabs; each tab is built the first time it is opened.
"use strict";
(function () {
  var Tarvo = window.Tarvo;
  Tarvo.charts = {};

  function header(data, root) {
    var page = data.page;
    var h = Tarvo.el("header", { class: "page-head" });
    h.appendChild(Tarvo.el("h1", null, page.title));
    var facts = Tarvo.el("div", { class: "head-facts" });
    function fact(label, value, id) {
      var f = Tarvo.el("span", { class: "fact", id: id });
      f.appendChild(Tarvo.el("span", { class: "fact-label" }, label));
      f.appendChild(Tarvo.el("span", { class: "fact-value" }, value));
      facts.appendChild(f);
    }
    fact("Son dönem", data.meta.son_donem === null || data.meta.son_donem === undefined ? "—" : String(data.meta.son_donem), "son-donem");
    fact("Gösterilen firma", Tarvo.fmtNum(page.n_shown) + (page.n_shown < page.n_passed ? " / " + Tarvo.fmtNum(page.n_passed) : ""), "shown-firms");
    var perBand = [0, 0, 0, 0, 0];
    for (var i = 0; i < data.n; i++) { var b = data.lastBand(i); if (b >= 0) perBand[b]++; }
    Tarvo.BANDS.forEach(function (b, k) { fact(k === 4 ? "YI firma" : "Bant " + b, Tarvo.fmtNum(perBand[k]), "band-count-" + k); });
    Tarvo.FLAGS.forEach(function (f) {
      var c = data.rows[f[0]] || [], n = 0;
      for (var i = 0; i < data.n; i++) if (c[i] === 1) n++;
      fact(f[1], Tarvo.fmtNum(n), "flag-count-" + f[0]);
    });
    h.appendChild(facts);
    (page.notes || []).forEach(function (t) { h.appendChild(Tarvo.el("p", { class: "page-note", role: "note" }, t)); });
    root.appendChild(h);
  }

  function tabs(root, defs) {
    var list = Tarvo.el("div", { role: "tablist", class: "tabs" });
    var panels = Tarvo.el("div", { class: "panels" });
    var built = {};
    var buttons = defs.map(function (d, k) {
      var b = Tarvo.el("button", { role: "tab", id: "tab-" + d.id, "aria-controls": "panel-" + d.id, "aria-selected": "false", type: "button" }, d.label);
      var p = Tarvo.el("section", { role: "tabpanel", id: "panel-" + d.id, "aria-labelledby": "tab-" + d.id });
      p.hidden = true;
      b.addEventListener("click", function () { open(k); });
      b.addEventListener("keydown", function (e) {
        if (e.key === "ArrowRight") { open((k + 1) % defs.length); buttons[(k + 1) % defs.length].focus(); }
        if (e.key === "ArrowLeft") { open((k + defs.length - 1) % defs.length); buttons[(k + defs.length - 1) % defs.length].focus(); }
      });
      list.appendChild(b);
      panels.appendChild(p);
      return { button: b, panel: p };
    });
    function open(k) {
      buttons.forEach(function (x, j) {
        x.button.setAttribute("aria-selected", j === k ? "true" : "false");
        x.button.tabIndex = j === k ? 0 : -1;
        x.panel.hidden = j !== k;
      });
      if (!built[k]) { built[k] = true; defs[k].build(buttons[k].panel); }
      Object.keys(Tarvo.charts).forEach(function (c) { Tarvo.charts[c].resize(); });
    }
    root.appendChild(list);
    root.appendChild(panels);
    open(0);
  }

  function licences(root) {
    var f = Tarvo.el("footer", { class: "licences" });
    var d = Tarvo.el("details");
    d.appendChild(Tarvo.el("summary", null, "Kullanılan kütüphaneler ve lisansları"));
    document.querySelectorAll("script[type='text/plain'][data-licence]").forEach(function (s) {
      d.appendChild(Tarvo.el("h4", null, s.getAttribute("data-licence")));
      d.appendChild(Tarvo.el("pre", null, s.textContent));
    });
    f.appendChild(d);
    root.appendChild(f);
  }

  // performance marks "tarvo:boot", "tarvo:data" and "tarvo:ready" (and "tarvo:table", firms.js) let the
  // benchmark split the page's opening time.
  function boot() {
    performance.mark("tarvo:boot");
    var data = Tarvo.loadData();
    performance.mark("tarvo:data");
    Tarvo.data = data;
    var root = document.getElementById("app");
    document.title = data.page.title;
    header(data, root);
    var detail = Tarvo.el("aside", { class: "detail", id: "firm-detail" });
    detail.hidden = true;
    function select(i) { Tarvo.showDetail(data, detail, i); }
    document.addEventListener("keydown", function (e) { if (e.key === "Escape") detail.hidden = true; });
    var defs = [
      { id: "firmalar", label: "Firmalar", build: function (p) { Tarvo.firms = new Tarvo.FirmTab(data, p, select); } },
      { id: "trend", label: "Trend listeleri", build: function (p) { new Tarvo.TrendTab(data, p, select); } },
      { id: "akis", label: "Akış matrisi", build: function (p) { var t = new Tarvo.FlowTab(data, p); if (t.draw) t.draw(); } },
      { id: "bant", label: "Bant dağılımı", build: function (p) { var t = new Tarvo.BandTab(data, p); if (t.draw) t.draw(); } },
    ];
    if (data.page.mode === "admin") {
      var admin = data.admin || {};
      defs.push(
        { id: "tani", label: "Tanı bulguları", build: function (p) { Tarvo.DiagTab(admin, p); } },
        { id: "geritest", label: "Geri test", build: function (p) { Tarvo.BacktestTab(admin, p); } },
        { id: "geritest-firma", label: "Geri test firmaları", build: function (p) { Tarvo.BacktestFirmTab(admin, p); } },
        { id: "ml", label: "ML tahminleri", build: function (p) { Tarvo.MlTab(admin, p); } });
    }
    tabs(root, defs);
    root.appendChild(detail);
    licences(root);
    window.addEventListener("resize", function () { Object.keys(Tarvo.charts).forEach(function (c) { Tarvo.charts[c].resize(); }); });
    document.body.setAttribute("data-ready", "1");
    performance.mark("tarvo:ready");
  }

  if (document.readyState === "loading") document.addEventListener("DOMContentLoaded", boot); else boot();
})();
