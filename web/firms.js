// The "Firmalar" tab: the firm grid over every embedded row, with search, filters and sorting.
// Filtering and sorting run on the columnar arrays (an index list per sort key, cached), and the
// grid asks for one page at a time, so no DOM row exists per firm and 100,000 rows stay fast.
"use strict";
(function () {
  var Tarvo = window.Tarvo;
  var PAGE_SIZE = 50;

  Tarvo.FirmTab = function (data, container, onSelect) {
    var n = data.n;
    var rows = data.rows;
    var lastP = data.periods.length - 1;
    var folded = new Array(n);
    for (var i = 0; i < n; i++) folded[i] = Tarvo.foldTr(rows.muta[i]) + "\u0001" + Tarvo.foldTr(rows.unvan[i]);
    var state = { search: "", segment: "", bolge: "", sube: "", band: "", flags: {}, yi: false };
    var sortCache = {};
    var current = null; // matching row indices in the current order
    var sortKey = "";

    function distinct(name) {
      var seen = {}, out = [];
      var c = rows[name] || [];
      for (var i = 0; i < n; i++) {
        var v = c[i];
        if (v !== null && v !== "" && !seen[v]) { seen[v] = 1; out.push(v); }
      }
      return out.sort();
    }

    // Sort key per row: numbers (null last whatever the direction) or folded texts.
    function numericKey(name) {
      var c = rows[name], k = new Float64Array(n);
      for (var i = 0; i < n; i++) {
        var v = c ? c[i] : null;
        k[i] = v === "YI" ? 1001 : (typeof v === "number" ? v : NaN);
      }
      return k;
    }
    // Folded texts of a column, made once per column; a muta (digits, no leading zeros) sorts by number.
    var textKeys = {};
    function textKey(field) {
      if (textKeys[field]) return textKeys[field];
      var c = rows[field] || [], t = new Array(n);
      for (var i = 0; i < n; i++) {
        t[i] = field === "muta" && c[i] ? String(c[i]).padStart(20, "0") : Tarvo.foldTr(c[i]);
      }
      return (textKeys[field] = t);
    }
    function order(field, dir) {
      var key = field + ":" + dir;
      if (sortCache[key]) return sortCache[key];
      var idx = new Array(n);
      for (var i = 0; i < n; i++) idx[i] = i;
      var sign = dir === "desc" ? -1 : 1;
      if (field === "bant") {
        var b = new Int8Array(n);
        for (i = 0; i < n; i++) b[i] = data.lastBand(i);
        idx.sort(function (x, y) { return (b[x] < 0) - (b[y] < 0) || sign * (b[x] - b[y]) || x - y; });
      } else if (TEXT_FIELDS[field]) {
        var t = textKey(field);
        idx.sort(function (x, y) {
          var a = t[x], b2 = t[y];
          return (a === "") - (b2 === "") || (a < b2 ? -sign : a > b2 ? sign : x - y);
        });
      } else {
        var k = numericKey(field);
        idx.sort(function (x, y) {
          var a = k[x], b2 = k[y], na = a !== a, nb = b2 !== b2;
          if (na || nb) return na - nb || x - y;
          return a < b2 ? -sign : a > b2 ? sign : x - y;
        });
      }
      sortCache[key] = idx;
      return idx;
    }
    var TEXT_FIELDS = { muta: 1, unvan: 1, segment: 1, sube: 1, bolge: 1, neden: 1 };

    // A query of digits only is a muta: it matches that muta exactly (or a name holding the digits).
    function matchesSearch(i) {
      if (!state.search) return true;
      if (state.searchIsMuta) {
        var sep = folded[i].indexOf("\u0001");
        return folded[i].slice(0, sep) === state.search || folded[i].indexOf(state.search, sep) > 0;
      }
      return folded[i].indexOf(state.search) >= 0;
    }
    function matches(i) {
      if (!matchesSearch(i)) return false;
      if (state.segment && rows.segment[i] !== state.segment) return false;
      if (state.bolge && rows.bolge[i] !== state.bolge) return false;
      if (state.sube && rows.sube[i] !== state.sube) return false;
      if (state.band !== "" && data.lastBand(i) !== +state.band) return false;
      if (state.yi && data.lastBand(i) !== 4) return false;
      for (var f in state.flags) if (state.flags[f] && rows[f][i] !== 1) return false;
      return true;
    }

    function refresh() {
      var base = sortKey ? sortCache[sortKey] : null;
      var out = [];
      if (base) {
        for (var j = 0; j < n; j++) if (matches(base[j])) out.push(base[j]);
      } else {
        for (var i = 0; i < n; i++) if (matches(i)) out.push(i);
      }
      current = out;
      countEl.textContent = Tarvo.fmtNum(out.length) + " firma";
    }

    function rowObject(i) {
      var o = { i: i, bant: data.lastBand(i) };
      COLUMNS.forEach(function (c) { if (c.field !== "bant" && rows[c.field]) o[c.field] = rows[c.field][i]; });
      return o;
    }

    // --- controls ---------------------------------------------------------------------------------
    var bar = Tarvo.el("div", { class: "filters" });
    var search = Tarvo.el("input", { type: "search", placeholder: "Muta veya unvan ara", "aria-label": "Muta veya unvan ara" });
    bar.appendChild(search);
    function addSelect(label, field, values) {
      var opts = [["", "Tümü"]].concat(values.map(function (v) { return [v, v]; }));
      var s = Tarvo.select(label, opts, function (v) { state[field] = v; reload(); });
      s.sel.setAttribute("data-filter", field);
      bar.appendChild(s.wrap);
    }
    addSelect("Segment", "segment", distinct("segment"));
    addSelect("Bölge", "bolge", distinct("bolge"));
    addSelect("Şube", "sube", distinct("sube"));
    var bandSel = Tarvo.select("Bant", [["", "Tümü"]].concat(Tarvo.BANDS.map(function (b, k) { return [String(k), b]; })),
      function (v) { state.band = v; reload(); });
    bandSel.sel.setAttribute("data-filter", "band");
    bar.appendChild(bandSel.wrap);
    Tarvo.FLAGS.concat([["yi", "YI"]]).forEach(function (f) {
      var lab = Tarvo.el("label", { class: "ctl chk" });
      var cb = Tarvo.el("input", { type: "checkbox", "data-flag": f[0] });
      cb.addEventListener("change", function () {
        if (f[0] === "yi") state.yi = cb.checked; else state.flags[f[0]] = cb.checked;
        reload();
      });
      lab.appendChild(cb);
      lab.appendChild(document.createTextNode(" " + f[1]));
      bar.appendChild(lab);
    });
    var countEl = Tarvo.el("span", { class: "count", id: "firm-count", role: "status" });
    bar.appendChild(countEl);
    container.appendChild(bar);
    var gridEl = Tarvo.el("div", { id: "firm-grid" });
    container.appendChild(gridEl);

    var timer = null;
    search.addEventListener("input", function () {
      clearTimeout(timer);
      timer = setTimeout(function () {
        state.search = Tarvo.foldTr(search.value.trim());
        state.searchIsMuta = /^[0-9]+$/.test(state.search);
        reload();
      }, 0);
    });

    // --- grid ---------------------------------------------------------------------------------------
    var num = Tarvo.textCell(Tarvo.fmtNum);
    var desc = { headerSortStartingDir: "desc", hozAlign: "right" };
    function column(title, field, formatter, more) {
      var c = { title: title, field: field, formatter: formatter, minWidth: 70 };
      for (var k in more || {}) c[k] = more[k];
      return c;
    }
    var COLUMNS = [
      column("Muta", "muta", Tarvo.textCell(), { width: 80 }),
      column("Unvan", "unvan", Tarvo.textCell(), { widthGrow: 3, minWidth: 160 }),
      column("Segment", "segment", Tarvo.textCell(), { width: 95 }),
      column("Şube", "sube", Tarvo.textCell(), { width: 95 }),
      column("Bölge", "bolge", Tarvo.textCell(), { width: 105 }),
      column("Son skor", "son_skor", Tarvo.textCell(Tarvo.fmtScore), Object.assign({ width: 100 }, desc)),
      column("Bant", "bant", function (c) { return Tarvo.bandNode(c.getValue()); }, { width: 85 }),
      column("Son risk", "son_risk", num, Object.assign({ width: 120 }, desc)),
      column("Risk değişimi", "risk_degisim", num, Object.assign({ width: 125 }, desc)),
      column("İşaretler", "isaretler", function (c) {
        var i = c.getRow().getData().i;
        return document.createTextNode(Tarvo.FLAGS.filter(function (f) { return rows[f[0]] && rows[f[0]][i] === 1; })
          .map(function (f) { return f[1]; }).join(", "));
      }, { headerSort: false, width: 115 }),
      column("Neden", "neden", Tarvo.textCell(), { widthGrow: 2, minWidth: 140 }),
    ];
    if (data.hasMl) {
      COLUMNS.push(column("ML olasılığı", "ml_prob", Tarvo.textCell(Tarvo.fmtPct), Object.assign({ width: 100 }, desc)));
    }

    var table = new Tabulator(gridEl, Tarvo.gridOptions({
      layout: "fitColumns",
      height: "calc(100vh - 260px)",
      pagination: true,
      paginationMode: "remote",
      sortMode: "remote",
      paginationSize: PAGE_SIZE,
      ajaxURL: "embedded",
      ajaxRequestFunc: function (url, config, params) {
        var s = params.sort && params.sort[0];
        var key = s ? s.field + ":" + s.dir : "";
        if (key !== sortKey) {
          if (s) order(s.field, s.dir);
          sortKey = key;
          current = null;
        }
        if (!current) refresh();
        var size = params.size || PAGE_SIZE, page = params.page || 1;
        var slice = current.slice((page - 1) * size, page * size).map(rowObject);
        return Promise.resolve({ last_page: Math.max(1, Math.ceil(current.length / size)), last_row: current.length, data: slice });
      },
      columns: COLUMNS,
      placeholder: "Eşleşen firma yok",
    }));
    table.on("rowClick", function (e, row) { onSelect(row.getData().i); });
    // Rows take the keyboard focus; Enter opens the firm's detail (one listener for the grid, no
    // per-row formatter, which would slow every redraw).
    table.on("renderComplete", function () {
      gridEl.querySelectorAll(".tabulator-row:not([tabindex])").forEach(function (r) { r.tabIndex = 0; });
    });
    gridEl.addEventListener("keydown", function (e) {
      if (e.key !== "Enter" || !e.target.classList.contains("tabulator-row")) return;
      var row = table.getRows("visible").find(function (r) { return r.getElement() === e.target; });
      if (row) onSelect(row.getData().i);
    });
    // "tarvo:table": the first page of rows is in the grid (read by the benchmark).
    table.on("dataProcessed", function () {
      Tarvo.perf.answered++;
      if (!performance.getEntriesByName("tarvo:table").length) performance.mark("tarvo:table");
    });

    function reload() {
      current = null;
      Tarvo.perf.mark();
      return table.setData().then(function () { Tarvo.perf.done(); });
    }
    refresh();
    this.table = table;
  };

  // The number of answers the grid has taken in (searches, filters, sorts, pages), read by the tests
  // to know when an answer is on screen, and the time the last search or filter took.
  Tarvo.perf = {
    start: 0, last: -1, answered: 0,
    mark: function () { this.start = performance.now(); },
    done: function () { this.last = performance.now() - this.start; },
  };
})();
